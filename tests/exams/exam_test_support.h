// What the exam tests share: learners, bookings as stored, the lists of the
// exam pages and the gestures on them.
#pragma once

#include <QDate>
#include <QTest>
#include <QTreeView>

#include <string>
#include <vector>

#include "tests/support/app_fixture.h"

namespace examtest {

using namespace jxtest;
using Row = std::vector<std::string>;
using Rows = std::vector<Row>;

inline const std::string kSubjectTables[] = {"one", "two", "three", "four"};

// Three learners: A and B share the part "0101" of their identity numbers.
inline std::vector<StudentFields> learners() {
  StudentFields a = student("张三", "110101199001011234", "13811112222", "C1", "2024年3月3日", "王教练", "李教练");
  StudentFields b = student("李四", "110101199202022345", "13933334444", "C2", "2024年4月15日", "李教练", "王教练");
  StudentFields c = student("王五", "220202198803033456", "13755556666", "B2", "2023年12月1日", "张教练", "赵教练");
  b[kSex] = "女";
  b[kNation] = "回";
  c[kAddress] = "上海市浦东新区";
  return {a, b, c};
}
inline const StudentFields kA = learners()[0];
inline const StudentFields kB = learners()[1];
inline const StudentFields kC = learners()[2];

// Bookings of one exam table in stored order: identity number, date, result.
inline Rows bookings(const std::string& table) {
  return queryRows("SELECT 身份证号码, 考试时间, ifnull(是否通过, '') FROM " + table + " ORDER BY rowid");
}

inline Row rowOf(const rt::api::Unit& list, int32_t row, int32_t columns) {
  Row cells;
  for (int32_t column = 0; column < columns; ++column) cells.push_back(cell(list, row, column));
  return cells;
}
inline Rows rowsOf(const rt::api::Unit& list, int32_t columns) {
  Rows rows;
  for (int32_t row = 0; row < rowCount(list); ++row) rows.push_back(rowOf(list, row, columns));
  return rows;
}
// 超级列表框3: ID, 姓名, 性别, 民族, 身份证号码, 地址, 电话, 车型, 科目, 教练姓名, 考试次数.
inline Rows examList() { return rowsOf(ui::超级列表框3, 11); }
// 超级列表框2: ID, 车型, 科目, 姓名, 身份证号码, 考试时间, 是否通过.
inline Rows examDetails() { return rowsOf(ui::超级列表框2, 7); }

// The exam-list row a booking of this learner should add.
inline Row examListRow(int number, const StudentFields& s, const std::string& subject, const std::string& coach,
                       int count) {
  return {std::to_string(number),
          s[kName],
          s[kSex],
          s[kNation],
          s[kIdentity],
          s[kAddress],
          s[kPhone],
          s[kVehicle],
          subject,
          coach,
          std::to_string(count)};
}
// The exam-detail row of a booking of this learner.
inline Row detailRow(int number, const StudentFields& s, const std::string& subject, const std::string& date,
                     const std::string& result = "") {
  return {std::to_string(number), s[kVehicle], subject, s[kName], s[kIdentity], date, result};
}

inline std::string dateText(const QDate& date) {
  return std::to_string(date.year()) + "年" + std::to_string(date.month()) + "月" + std::to_string(date.day()) + "日";
}
inline QDate pickerDate(const rt::api::Unit& picker) {
  auto* widget = screenWidget<rt::DatePickerWidget>(picker);
  return widget ? widget->date() : QDate();
}

inline int currentPage() { return rt::api::readInt(ui::选择夹1, rt::prop::kTabPage); }

// --- gestures on the lists ---

inline QTreeView* listView(const rt::api::Unit& list) { return screenWidget<QTreeView>(list); }
inline QPoint rowCentre(QTreeView* view, int32_t row) {
  return view->visualRect(view->model()->index(row, 1)).center();
}
// A point of the list below its last row.
inline QPoint belowTheRows(QTreeView* view) { return QPoint(20, view->viewport()->height() - 5); }

inline void clickAt(const rt::api::Unit& list, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
  QTreeView* view = listView(list);
  ASSERT_NE(view, nullptr);
  QTest::mouseClick(view->viewport(), button, {}, at);
  settle();
}
inline void doubleClickAt(const rt::api::Unit& list, QPoint at) {
  QTreeView* view = listView(list);
  ASSERT_NE(view, nullptr);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
  settle();
}

// Right-clicks a row of the student list and books the subject ("一".."四").
inline void bookFromPopup(ScriptedDesktop& desktop, int32_t studentRow, const std::string& numeral) {
  desktop.choosePopupEntry("添加科目" + numeral);
  clickAt(ui::超级列表框1, rowCentre(listView(ui::超级列表框1), studentRow), Qt::RightButton);
}
// The user selects a learner (the form takes the row) and books a subject.
inline void selectAndBook(ScriptedDesktop& desktop, int32_t studentRow, const std::string& numeral) {
  clickRow(studentRow);
  bookFromPopup(desktop, studentRow, numeral);
}

inline void openHistoryOf(int32_t studentRow) {
  doubleClickAt(ui::超级列表框1, rowCentre(listView(ui::超级列表框1), studentRow));
}

// Subject index 0..3 and date text on the page 考试详情, then 考试查询.
inline void queryByDate(int subjectIndex, const std::string& date) {
  chooseItem(ui::组合框8, subjectIndex);
  typeInto(ui::编辑框6, date);
  click(ui::考试查询);
}
inline void selectDetailRow(int32_t row) { clickAt(ui::超级列表框2, rowCentre(listView(ui::超级列表框2), row)); }

// Message box styles as the desktop receives them: the icon bits only.
inline uint32_t iconOf(const MessageBoxCall& message) { return message.style & rt::mb::kIconMask; }

}  // namespace examtest
