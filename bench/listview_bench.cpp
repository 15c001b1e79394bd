// Filling a 16-column list view row by row through the list commands, as the
// student list is filled: clear, then per row one insert and one cell write
// per column, then the view catches up (layout and paint of a shown list).
// Baseline: the same cell texts copied into a vector of strings.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "runtime/command_ids.h"
#include "runtime/encoding.h"
#include "runtime/library.h"
#include "runtime/listview/list_library.h"
#include "runtime/listview/list_view_unit.h"

namespace {

constexpr uint32_t kWindowId = 0x5201001B;
constexpr uint32_t kListId = 0x16011D2E;
constexpr int32_t kColumns = 16;
constexpr int32_t kColumnWidth = 80;

// Cell texts shaped like the registry's: running number, name, sex, nation,
// dates, address, identity number, telephone, class, coaches and plates.
std::vector<std::string> makeCells(int32_t rows) {
  const std::string name = rt::utf8ToGb("张伟"), sex = rt::utf8ToGb("男"), nation = rt::utf8ToGb("汉"),
                    address = rt::utf8ToGb("河北省石家庄市长安区建设北大街"), coach = rt::utf8ToGb("李教练"),
                    plate = rt::utf8ToGb("冀A1234学"), date = rt::utf8ToGb("2014年5月6日");
  std::vector<std::string> cells;
  cells.reserve(static_cast<size_t>(rows) * kColumns);
  for (int32_t row = 0; row < rows; ++row) {
    std::string number = std::to_string(row + 1);
    char id[24];
    std::snprintf(id, sizeof id, "130102199001%06d", row % 1000000);
    const std::string rowCells[kColumns] = {
        number, name + number, sex,           nation, date,  address,       id,   "1380000" + number, "C1",
        date,   coach,         "13900000000", plate,  coach, "13700000000", plate};
    for (const std::string& cell : rowCells) cells.push_back(cell);
  }
  return cells;
}

class ListFixture {
 public:
  ListFixture() : parent_(std::make_unique<QWidget>()) {
    for (int32_t c = 0; c < kColumns; ++c) tpl_.columns.push_back({-1, 0, kColumnWidth, std::to_string(c)});
    tpl_.id = kListId;
    tpl_.kind = rt::kind::kListView;
    tpl_.width = 1288;
    tpl_.height = 488;
    parent_->resize(1300, 500);
    unit_ = rt::createListViewUnit({kWindowId, kListId, &tpl_}, rt::asScreenParent(parent_.get()));
    rt::registerUnitObject(kWindowId, kListId, unit_.get());
    parent_->show();
  }
  ~ListFixture() { rt::unregisterUnitObject(kWindowId, kListId); }

  void fill(const std::vector<std::string>& cells, int32_t rows) {
    const rt::Library& library = rt::listViewLibrary();
    rt::TypedValue list = rt::TypedValue::unitRef(kWindowId, kListId, rt::kind::kListView);
    rt::TypedValue result;
    library.commands[rt::cmd::kListClear](&result, 1, &list);
    rt::TypedValue insertArgs[7] = {list};
    rt::TypedValue cellArgs[4] = {list};
    size_t next = 0;
    for (int32_t row = 0; row < rows; ++row) {
      result = {};
      library.commands[rt::cmd::kListInsertRow](&result, 7, insertArgs);
      cellArgs[1] = rt::TypedValue::ofInt(result.asInt());
      for (int32_t column = 0; column < kColumns; ++column) {
        cellArgs[2] = rt::TypedValue::ofInt(column);
        cellArgs[3] = rt::TypedValue::ofText(cells[next++].c_str());
        library.commands[rt::cmd::kListSetCellText](&result, 4, cellArgs);
      }
    }
    QApplication::processEvents();  // the view takes the rows in, lays them out and paints
  }

 private:
  std::unique_ptr<QWidget> parent_;
  rt::UnitTemplate tpl_;
  std::unique_ptr<rt::UnitObject> unit_;
};

void list_fill(benchmark::State& state) {
  auto rows = static_cast<int32_t>(state.range(0));
  std::vector<std::string> cells = makeCells(rows);
  ListFixture fixture;
  for (auto _ : state) fixture.fill(cells, rows);
  state.SetItemsProcessed(state.iterations() * rows * kColumns);
}

void list_fill_baseline(benchmark::State& state) {
  auto rows = static_cast<int32_t>(state.range(0));
  std::vector<std::string> cells = makeCells(rows);
  std::vector<std::string> copies;
  for (auto _ : state) {
    copies.clear();
    copies.shrink_to_fit();
    for (const std::string& cell : cells) copies.push_back(cell);
    benchmark::DoNotOptimize(copies.data());
  }
  state.SetItemsProcessed(state.iterations() * rows * kColumns);
}

}  // namespace

BENCHMARK(list_fill)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(list_fill_baseline)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
