#include "reader/sim/card_file.h"

#include <fstream>
#include <iterator>

#include "base/text.h"

namespace sdt::sim {

namespace {

bool readBytes(const std::filesystem::path& file, Bytes& bytes) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), {});
  return true;
}

}  // namespace

bool setCardField(Card& card, std::string_view key, const std::string& value, const std::filesystem::path& folder,
                  std::string& error) {
  std::string* const texts[] = {&card.name,   &card.sex,    &card.nation,    &card.birth,  &card.address,
                                &card.number, &card.issuer, &card.validFrom, &card.validTo};
  constexpr std::string_view kKeys[] = {"name",   "sex",    "nation",     "birth",   "address",
                                        "number", "issuer", "valid_from", "valid_to"};
  for (size_t i = 0; i < std::size(kKeys); ++i) {
    if (key != kKeys[i]) continue;
    *texts[i] = value;
    return true;
  }
  if (key == "photo") {
    std::filesystem::path file(value);
    if (file.is_relative()) file = folder / file;
    if (readBytes(file, card.photo)) return true;
    error = "cannot read the photo file " + file.string();
    return false;
  }
  error = "unknown card field \"" + std::string(key) + "\"";
  return false;
}

bool readCardFile(const std::filesystem::path& file, Card& card, std::string& error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = "cannot read " + file.string();
    return false;
  }
  std::string text(std::istreambuf_iterator<char>(in), {});
  std::string_view rest = text;
  for (int lineNumber = 1; !rest.empty(); ++lineNumber) {
    std::string_view line = base::trimmed(base::takeLine(rest));
    if (line.empty() || line.front() == '#') continue;
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      error = file.string() + ":" + std::to_string(lineNumber) + ": expected key = value";
      return false;
    }
    std::string fieldError;
    if (!setCardField(card, base::trimmed(line.substr(0, equals)), std::string(base::trimmed(line.substr(equals + 1))),
                      file.parent_path(), fieldError)) {
      error = file.string() + ":" + std::to_string(lineNumber) + ": " + fieldError;
      return false;
    }
  }
  return true;
}

}  // namespace sdt::sim
