#include <gtest/gtest.h>

#include <QHeaderView>

#include "list_test_support.h"
#include "runtime/encoding.h"

namespace {

using namespace listtest;

// What the view was told, as (first, last) ranges.
struct Notifications {
  std::vector<std::pair<int, int>> inserted;
  std::vector<std::pair<QModelIndex, QModelIndex>> changed;
  int resets = 0;

  explicit Notifications(rt::ListModel& model) {
    QObject::connect(&model, &QAbstractItemModel::rowsInserted,
                     [this](const QModelIndex&, int first, int last) { inserted.emplace_back(first, last); });
    QObject::connect(&model, &QAbstractItemModel::dataChanged,
                     [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                       changed.emplace_back(topLeft, bottomRight);
                     });
    QObject::connect(&model, &QAbstractItemModel::modelReset, [this] { ++resets; });
  }
};

QString shown(rt::ListModel& model, int row, int column) {
  return model.data(model.index(row, column), Qt::DisplayRole).toString();
}

TEST(ListModelTest, ColumnsComeFromTheTemplate) {
  StandaloneList standalone;
  rt::ListWidget& view = standalone.view();
  EXPECT_EQ(view.model()->columnCount(), kColumns);
  EXPECT_EQ(view.model()->headerData(3, Qt::Horizontal).toString(), "column 3");
  EXPECT_EQ(view.header()->sectionSize(0), 60);
  EXPECT_EQ(view.header()->sectionSize(15), 75);
  EXPECT_EQ(view.geometry(), QRect(8, 160, 1288, 488));

  ListCommands list;
  list.insert();
  list.clear();  // the columns keep their widths through a clear
  QApplication::processEvents();
  EXPECT_EQ(view.header()->sectionSize(15), 75);
}

TEST(ListModelTest, AFillIsAnnouncedAsOneBatchAtTheNextTurnOfTheLoop) {
  StandaloneList standalone;
  rt::ListModel& model = standalone.unit().model();
  Notifications seen(model);
  ListCommands list;
  for (int32_t row = 0; row < 500; ++row) {
    list.insert();
    for (int32_t column = 0; column < kColumns; ++column)
      list.set(row, integer(column), text(std::to_string(row * 100 + column)));
  }
  EXPECT_TRUE(seen.inserted.empty());
  QApplication::processEvents();
  ASSERT_EQ(seen.inserted.size(), 1u);
  EXPECT_EQ(seen.inserted[0], std::make_pair(0, 499));
  EXPECT_TRUE(seen.changed.empty());  // the cells arrived with their rows
  EXPECT_EQ(model.rowCount(), 500);
  EXPECT_EQ(shown(model, 499, 15), "49915");
}

TEST(ListModelTest, ChangesToShownRowsAreCoalescedIntoOneRectangle) {
  StandaloneList standalone;
  rt::ListModel& model = standalone.unit().model();
  ListCommands list;
  for (int32_t row = 0; row < 10; ++row) list.insert();
  QApplication::processEvents();
  Notifications seen(model);
  list.set(7, integer(2), text("a"));
  list.set(3, integer(9), text("b"));
  list.set(5, integer(4), text("c"));
  QApplication::processEvents();
  ASSERT_EQ(seen.changed.size(), 1u);
  EXPECT_EQ(seen.changed[0].first, model.index(3, 2));
  EXPECT_EQ(seen.changed[0].second, model.index(7, 9));
  EXPECT_EQ(shown(model, 3, 9), "b");
}

TEST(ListModelTest, InsertingAmongShownRowsKeepsTheViewInStep) {
  StandaloneList standalone;
  rt::ListModel& model = standalone.unit().model();
  ListCommands list;
  for (int32_t row = 0; row < 4; ++row) list.set(list.insert(), integer(0), text("old " + std::to_string(row)));
  QApplication::processEvents();
  // Pending: a new last row and a changed shown cell; then rows move.
  list.set(list.insert(), integer(0), text("appended"));
  list.set(1, integer(1), text("changed"));
  list.insert(integer(1), text("inserted"));
  // Every row is known to the view before the move, which it hears of at once.
  EXPECT_EQ(model.rowCount(), 6);
  EXPECT_EQ(shown(model, 1, 0), "inserted");
  EXPECT_EQ(shown(model, 2, 0), "old 1");
  EXPECT_EQ(shown(model, 2, 1), "changed");
  EXPECT_EQ(shown(model, 5, 0), "appended");
}

TEST(ListModelTest, ReachingTheScreenObjectBringsTheViewUpToDate) {
  StandaloneList standalone;
  ListCommands list;
  list.insert(omitted(), text("one"));
  list.insert(omitted(), text("two"));
  QWidget* widget = standalone.unit().widget();
  EXPECT_EQ(static_cast<QTreeView*>(widget)->model()->rowCount(), 2);
}

TEST(ListModelTest, CellsAreShownConvertedFromTheirBytes) {
  StandaloneList standalone;
  ListCommands list;
  list.insert(omitted(), text(rt::utf8ToGb("张三")));
  list.set(0, integer(1), text(rt::utf8ToGb("冀A1234学")));
  list.set(0, integer(2), text("C1"));
  rt::ListModel& model = standalone.unit().model();
  model.publish();
  EXPECT_EQ(shown(model, 0, 0), QString::fromUtf8("张三"));
  EXPECT_EQ(shown(model, 0, 1), QString::fromUtf8("冀A1234学"));
  EXPECT_EQ(shown(model, 0, 2), "C1");
  EXPECT_EQ(shown(model, 0, 3), "");
}

TEST(ListModelTest, ClearResetsTheViewEvenWithRowsPending) {
  StandaloneList standalone;
  rt::ListModel& model = standalone.unit().model();
  ListCommands list;
  list.insert();
  QApplication::processEvents();
  list.insert();
  Notifications seen(model);
  list.clear();
  QApplication::processEvents();
  EXPECT_EQ(seen.resets, 1);
  EXPECT_TRUE(seen.inserted.empty());
  EXPECT_EQ(model.rowCount(), 0);
}

}  // namespace
