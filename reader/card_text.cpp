#include "reader/card_text.h"

#include <cstring>
#include <utility>

#include "base/gb18030.h"
#include "base/iconv_converter.h"

namespace sdt {

namespace {

constexpr uint16_t kTextLengthValue = kTextBytes;
constexpr uint16_t kPhotoLengthValue = kPhotoBytes;
constexpr char16_t kBlank = u' ';
constexpr char16_t kEnd = 0;

// GB/T 2261.1: sex codes.
constexpr std::pair<std::string_view, std::string_view> kSexNames[] = {
    {"0", "未知"},
    {"1", "男"},
    {"2", "女"},
    {"9", "未说明"},
};

// GB/T 3304: the 56 nationalities, then the codes for others and for
// citizens of foreign descent (shortened so that it fits the program's
// ten-byte field).
constexpr std::pair<std::string_view, std::string_view> kNationNames[] = {
    {"01", "汉"},       {"02", "蒙古"},   {"03", "回"},     {"04", "藏"},       {"05", "维吾尔"},   {"06", "苗"},
    {"07", "彝"},       {"08", "壮"},     {"09", "布依"},   {"10", "朝鲜"},     {"11", "满"},       {"12", "侗"},
    {"13", "瑶"},       {"14", "白"},     {"15", "土家"},   {"16", "哈尼"},     {"17", "哈萨克"},   {"18", "傣"},
    {"19", "黎"},       {"20", "傈僳"},   {"21", "佤"},     {"22", "畲"},       {"23", "高山"},     {"24", "拉祜"},
    {"25", "水"},       {"26", "东乡"},   {"27", "纳西"},   {"28", "景颇"},     {"29", "柯尔克孜"}, {"30", "土"},
    {"31", "达斡尔"},   {"32", "仫佬"},   {"33", "羌"},     {"34", "布朗"},     {"35", "撒拉"},     {"36", "毛南"},
    {"37", "仡佬"},     {"38", "锡伯"},   {"39", "阿昌"},   {"40", "普米"},     {"41", "塔吉克"},   {"42", "怒"},
    {"43", "乌孜别克"}, {"44", "俄罗斯"}, {"45", "鄂温克"}, {"46", "德昂"},     {"47", "保安"},     {"48", "裕固"},
    {"49", "京"},       {"50", "塔塔尔"}, {"51", "独龙"},   {"52", "鄂伦春"},   {"53", "赫哲"},     {"54", "门巴"},
    {"55", "珞巴"},     {"56", "基诺"},   {"97", "其他"},   {"98", "外国血统"},
};

template <size_t N>
std::string nameOf(const std::pair<std::string_view, std::string_view> (&table)[N], std::string_view code) {
  for (const auto& [key, name] : table)
    if (key == code) return base::utf8ToGb18030(name).value_or(std::string());
  return std::string(code);
}

uint16_t bigEndian16(std::span<const uint8_t> bytes) { return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]); }

std::u16string unitsOf(std::span<const uint8_t> ucs2) {
  std::u16string units;
  for (size_t i = 0; i + 1 < ucs2.size(); i += 2) {
    char16_t unit = static_cast<char16_t>(ucs2[i] | ucs2[i + 1] << 8);
    if (unit == kEnd) break;
    units.push_back(unit);
  }
  while (!units.empty() && units.back() == kBlank) units.pop_back();
  return units;
}

std::string littleEndianBytes(std::u16string_view units) {
  std::string bytes;
  for (char16_t unit : units) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

}  // namespace

std::string fieldText(std::span<const uint8_t> ucs2) {
  // A unit that does not convert (a surrogate without its pair) costs only itself.
  return base::Converter("GB18030", "UTF-16LE").convertReplacing(littleEndianBytes(unitsOf(ucs2)), "?", 2);
}

std::string sexName(std::string_view code) { return nameOf(kSexNames, code); }
std::string nationName(std::string_view code) { return nameOf(kNationNames, code); }

std::optional<BaseInfo> baseInfoOf(std::span<const uint8_t> data) {
  if (data.size() != kBaseInfoBytes) return std::nullopt;
  if (bigEndian16(data.subspan(0)) != kTextLengthValue ||
      bigEndian16(data.subspan(kSectionLengthBytes)) != kPhotoLengthValue)
    return std::nullopt;
  std::span<const uint8_t> text = data.subspan(2 * kSectionLengthBytes, kTextBytes);
  auto field = [&](CardField f) { return fieldText(text.subspan(placeOf(f).offset, placeOf(f).bytes)); };
  BaseInfo info;
  CardTexts& t = info.texts;
  t.name = field(CardField::kName);
  t.sex = sexName(field(CardField::kSex));
  t.nation = nationName(field(CardField::kNation));
  t.birth = field(CardField::kBirth);
  t.address = field(CardField::kAddress);
  t.number = field(CardField::kNumber);
  t.issuer = field(CardField::kIssuer);
  t.validFrom = field(CardField::kValidFrom);
  t.validTo = field(CardField::kValidTo);
  std::span<const uint8_t> photo = data.subspan(2 * kSectionLengthBytes + kTextBytes, kPhotoBytes);
  std::copy(photo.begin(), photo.end(), info.photo.begin());
  return info;
}

void writeCut(char* buffer, size_t capacity, std::string_view text) {
  size_t length = base::gb18030PrefixLength(text, capacity);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

}  // namespace sdt
