// The base information of a resident identity card as the reader hands it
// over, and its conversion into the texts the program takes.
//
// The answer to "read base information" carries the text length and the
// photo length (two bytes each, big-endian), then the text: fixed fields of
// UCS-2 little-endian characters padded with blanks, in this order and these
// byte widths: name 30, sex code 2, nationality code 4, birth date YYYYMMDD
// 16, address 70, identity number 36, issuing authority 30, valid from 16,
// valid to 16, reserved 36; then the card's compressed photo.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "reader/frame.h"

namespace sdt {

inline constexpr size_t kTextBytes = 256;
inline constexpr size_t kPhotoBytes = 1024;
inline constexpr size_t kSectionLengthBytes = 2;
// The data of a base-information answer: both lengths, the text, the photo.
inline constexpr size_t kBaseInfoBytes = 2 * kSectionLengthBytes + kTextBytes + kPhotoBytes;

// The fields of the text, in their order on the card.
enum class CardField { kName, kSex, kNation, kBirth, kAddress, kNumber, kIssuer, kValidFrom, kValidTo, kReserved };
inline constexpr size_t kCardFieldCount = 10;
struct FieldPlace {
  size_t offset;
  size_t bytes;
};
inline constexpr std::array<FieldPlace, kCardFieldCount> kFieldPlaces = {{
    {0, 30},
    {30, 2},
    {32, 4},
    {36, 16},
    {52, 70},
    {122, 36},
    {158, 30},
    {188, 16},
    {204, 16},
    {220, 36},
}};
constexpr FieldPlace placeOf(CardField field) { return kFieldPlaces[static_cast<size_t>(field)]; }
static_assert(kFieldPlaces.back().offset + kFieldPlaces.back().bytes == kTextBytes);

// The card's texts as the program takes them: GB18030, trailing blanks
// removed, sex and nationality as their Chinese names.
struct CardTexts {
  std::string name, sex, nation, birth, address, number, issuer, validFrom, validTo;
};

struct BaseInfo {
  CardTexts texts;
  std::array<uint8_t, kPhotoBytes> photo{};
};

// The base information of an answer's data; nothing when the data is not
// exactly both lengths (0x0100 and 0x0400), the text and the photo.
std::optional<BaseInfo> baseInfoOf(std::span<const uint8_t> data);

// One text field: UCS-2 little-endian up to its first zero character,
// trailing blanks removed, in GB18030. A character that does not convert (a
// lone surrogate) becomes "?".
std::string fieldText(std::span<const uint8_t> ucs2);

// Chinese names of the codes (national standard code tables); a code without
// a name is returned as it stands.
std::string sexName(std::string_view code);
std::string nationName(std::string_view code);

// Writes `text` into a buffer of `capacity` text bytes plus the terminating
// zero: at most `capacity` bytes, cut between two characters, then the zero.
// Nothing is written at or after buffer[capacity + 1].
void writeCut(char* buffer, size_t capacity, std::string_view text);

}  // namespace sdt
