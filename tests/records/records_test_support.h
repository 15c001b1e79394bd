// What the records tests share: date texts as the program writes them, the
// log's entries, the demo learners.
#pragma once

#include <QDate>
#include <QDateTime>
#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "tests/support/app_fixture.h"

namespace recordstest {

using namespace jxtest;

inline std::string dateText(const QDate& date) {
  return std::to_string(date.year()) + "年" + std::to_string(date.month()) + "月" + std::to_string(date.day()) + "日";
}

inline QDate pickerDate(const rt::api::Unit& picker) {
  auto* widget = screenWidget<rt::DatePickerWidget>(picker);
  return widget ? widget->date() : QDate();
}

// The log's timestamp of a local time: date, then hours, minutes and seconds
// down to the last one that is not zero.
inline std::string timestampText(const QDateTime& at) {
  std::string text = dateText(at.date());
  QTime t = at.time();
  if (t.second() != 0)
    return text + std::to_string(t.hour()) + "时" + std::to_string(t.minute()) + "分" + std::to_string(t.second()) +
           "秒";
  if (t.minute() != 0) return text + std::to_string(t.hour()) + "时" + std::to_string(t.minute()) + "分";
  if (t.hour() != 0) return text + std::to_string(t.hour()) + "时";
  return text;
}

// Every timestamp text of the seconds from `from` to `to`.
inline std::set<std::string> timestampsBetween(const QDateTime& from, const QDateTime& to) {
  std::set<std::string> texts;
  for (QDateTime at = from.addMSecs(-from.time().msec()); at <= to; at = at.addSecs(1)) texts.insert(timestampText(at));
  return texts;
}

inline const std::string kSeparatorLine = std::string(45, '*') + "\r\n";

// One entry of log.log, split into its timestamp and its body (UTF-8).
struct LogEntry {
  std::string timestamp;
  std::string body;
};

// Splits the log's bytes (GB18030) into entries; a malformed log fails the test.
inline std::vector<LogEntry> logEntries(const std::string& bytes) {
  std::vector<LogEntry> entries;
  std::string text = rt::gbToUtf8(bytes);
  size_t at = 0;
  while (at < text.size()) {
    if (text.compare(at, kSeparatorLine.size(), kSeparatorLine) != 0) {
      ADD_FAILURE() << "no separator line at byte " << at << " of\n" << text;
      break;
    }
    at += kSeparatorLine.size();
    size_t next = text.find(kSeparatorLine, at);
    std::string entry = text.substr(at, next == std::string::npos ? std::string::npos : next - at);
    at = next == std::string::npos ? text.size() : next;
    // The timestamp runs up to the body's first line break.
    size_t bodyStart = entry.find("\r\n");
    if (bodyStart == std::string::npos || entry.size() < 2 || entry.compare(entry.size() - 2, 2, "\r\n") != 0) {
      ADD_FAILURE() << "entry without body or final line break: " << entry;
      break;
    }
    entries.push_back({entry.substr(0, bodyStart), entry.substr(bodyStart, entry.size() - bodyStart - 2)});
  }
  return entries;
}

inline std::string joined(const std::vector<std::string>& values) {
  std::string text;
  for (size_t i = 0; i < values.size(); ++i) text += (i ? "  " : "") + values[i];
  return text;
}

// Three learners of different coaches, classes and dates.
inline std::vector<StudentFields> threeStudents() {
  StudentFields a = student("张三", "110101199001011234", "13811112222", "C1", "2024年3月3日", "王教练", "李教练");
  StudentFields b = student("李四", "110101199202022345", "13933334444", "C2", "2024年4月15日", "李教练", "王教练");
  StudentFields c = student("王五", "220202198803033456", "13755556666", "B2", "2023年12月1日", "张教练", "张教练");
  a[kCoach2Phone] = "13900000001";
  a[kCoach2Plate] = "京A1111学";
  b[kCoach3Phone] = "13900000001";
  c[kAddress] = "上海市浦东新区";
  return {a, b, c};
}

}  // namespace recordstest
