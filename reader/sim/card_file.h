// Card descriptions for the simulated reader: "key = value" lines of UTF-8
// text, one field each; "#" starts a comment.
//
//   name = 张三
//   sex = 1                   (code: 0 unknown, 1 male, 2 female, 9 not stated)
//   nation = 01               (code of the nationality, 01 to 56, 97, 98)
//   birth = 19900307
//   address = 北京市东城区景山前街4号
//   number = 110101199003071234
//   issuer = 北京市公安局东城分局
//   valid_from = 20150101
//   valid_to = 20350101       (or 长期)
//   photo = photo.bin         (the compressed photo blob; relative to this file)
//
// Fields left out keep the sample card's values.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "reader/sim/simulated_reader.h"

namespace sdt::sim {

// Sets one field by its key; the photo's value is a file path. False, with
// the reason in `error`, for an unknown key or an unreadable photo file.
bool setCardField(Card& card, std::string_view key, const std::string& value, const std::filesystem::path& folder,
                  std::string& error);

// Reads a card description over `card`; false with the reason in `error`.
bool readCardFile(const std::filesystem::path& file, Card& card, std::string& error);

}  // namespace sdt::sim
