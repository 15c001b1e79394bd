#include "tools/tplgen/source.h"

#include <cctype>
#include <climits>

#include "runtime/value.h"

namespace tplgen {

void fail(const Location& where, const std::string& message) { throw GenError(where.text() + ": " + message); }

int64_t parseNumber(const std::string& token, const Location& where) {
  if (token.empty()) fail(where, "number expected");
  size_t used = 0;
  long long value = 0;
  try {
    value = std::stoll(token, &used, 0);
  } catch (const std::exception&) { fail(where, "number expected, found '" + token + "'"); }
  if (used != token.size()) fail(where, "number expected, found '" + token + "'");
  return value;
}

int32_t parseInt(const std::string& token, const Location& where) {
  int64_t v = parseNumber(token, where);
  if (v < INT32_MIN || v > INT32_MAX) fail(where, "number out of range: " + token);
  return static_cast<int32_t>(v);
}

uint32_t parseId(const std::string& token, const Location& where) {
  int64_t v = parseNumber(token, where);
  if (v <= 0 || v > UINT32_MAX) fail(where, "id out of range: " + token);
  return static_cast<uint32_t>(v);
}

bool looksNumeric(const std::string& token) {
  return !token.empty() && (std::isdigit(static_cast<unsigned char>(token[0])) || token[0] == '-');
}

namespace {

const std::set<std::string> kPlacedKeys = {"rect", "container", "contains", "flags", "order", "event", "tag"};

std::set<std::string> placedWith(std::initializer_list<const char*> extra) {
  std::set<std::string> keys = kPlacedKeys;
  for (const char* k : extra) keys.insert(k);
  return keys;
}

}  // namespace

const std::map<std::string, KindInfo>& kinds() {
  namespace kind = rt::kind;
  static const std::map<std::string, KindInfo> table = {
      {"window", {kind::kWindow, "kWindow", placedWith({"caption"})}},
      {"menu", {kind::kMenu, "kMenu", {"level", "flags", "caption", "event"}}},
      {"EditBox", {kind::kEditBox, "kEditBox", placedWith({"font"})}},
      {"PicBox", {kind::kPicBox, "kPicBox", placedWith({"border", "display"})}},
      {"Label", {kind::kLabel, "kLabel", placedWith({"font", "caption"})}},
      {"Button", {kind::kButton, "kButton", placedWith({"font", "caption"})}},
      {"ComboBox", {kind::kComboBox, "kComboBox", placedWith({"font", "items"})}},
      {"ProcessBar", {kind::kProcessBar, "kProcessBar", placedWith({"maximum", "position"})}},
      {"Tab", {kind::kTab, "kTab", placedWith({"font", "pages"})}},
      {"DatePicker", {kind::kDatePicker, "kDatePicker", placedWith({})}},
      {"CommonDlg",
       {kind::kCommonDlg, "kCommonDlg",
        placedWith({"dialog-type", "filter", "filter-index", "folder", "dialog-title", "default-ext", "file"})}},
      {"ListView", {kind::kListView, "kListView", placedWith({"font", "column", "single-selection"})}},
      {"DBConnection", {kind::kDBConnection, "kDBConnection", placedWith({})}},
      {"RecordSet", {kind::kRecordSet, "kRecordSet", placedWith({})}},
      {"ExcelApp", {kind::kExcelApp, "kExcelApp", placedWith({})}},
      {"ExcelWorkbooks", {kind::kExcelWorkbooks, "kExcelWorkbooks", placedWith({})}},
      {"LearnerImport", {kind::kLearnerImport, "kLearnerImport", placedWith({})}},
  };
  return table;
}

}  // namespace tplgen
