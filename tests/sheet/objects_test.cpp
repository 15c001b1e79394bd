// The automation objects by dispatch number, with the variant types the
// automation calls use, and by name through the runtime's late-bound call.
#include <gtest/gtest.h>

#include "base/utf8.h"
#include "runtime/heap.h"
#include "sheet/automation/objects.h"
#include "tests/sheet/sheet_support.h"
#include "tests/support/runtime_fixture.h"

namespace {

using namespace sheettest;
using namespace sheet::automation;
using rt::InvokeKind;
using rt::Variant;
namespace status = rt::automation;

Variant text(const std::string& utf8) { return Variant::ofString(base::utf8ToUtf16(utf8)); }

int32_t invoke(rt::DispatchObject* on, int32_t id, InvokeKind kind, std::vector<Variant> args, Variant& result) {
  return on->invoke(id, kind, args, result);
}
template <typename T>
int32_t invoke(const Ref<T>& on, int32_t id, InvokeKind kind, std::vector<Variant> args, Variant& result) {
  return invoke(on.get(), id, kind, std::move(args), result);
}
int32_t invoke(const rt::DispatchRef& on, int32_t id, InvokeKind kind, std::vector<Variant> args, Variant& result) {
  return invoke(on.get(), id, kind, std::move(args), result);
}

// Invokes and returns the result object (null on failure).
rt::DispatchRef object(rt::DispatchObject* on, int32_t id, InvokeKind kind, std::vector<Variant> args = {},
                       int32_t* outStatus = nullptr) {
  Variant result;
  int32_t s = invoke(on, id, kind, std::move(args), result);
  if (outStatus) *outStatus = s;
  const rt::DispatchRef* ref = result.get<rt::DispatchRef>();
  return s == status::kOk && ref ? *ref : rt::DispatchRef();
}

struct Opened {
  Ref<Application> application = make<Application>();
  rt::DispatchRef workbooks, workbook, sheets, sheet;
  Opened() {
    workbooks = object(application.get(), dispid::kWorkbooks, InvokeKind::kPropertyGet);
    workbook = object(workbooks.get(), dispid::kAdd, InvokeKind::kMethod);  // Template omitted
    sheets = object(workbook.get(), dispid::kSheets, InvokeKind::kPropertyGet);
    sheet = object(sheets.get(), dispid::kItem, InvokeKind::kPropertyGet, {Variant::ofI4(1)});
  }
};

TEST(DispatchNumbers, TheWholeCallChainOfAnExport) {
  TempFolder folder;
  Opened o;
  ASSERT_TRUE(o.sheet);
  Variant ignored;
  EXPECT_EQ(invoke(o.workbook, dispid::kActivate, InvokeKind::kMethod, {}, ignored), status::kOk);
  rt::DispatchRef range = object(o.sheet.get(), dispid::kRange, InvokeKind::kPropertyGet, {text("c3"), text("C3")});
  ASSERT_TRUE(range);
  EXPECT_EQ(invoke(range, dispid::kNumberFormatLocal, InvokeKind::kPropertyPut, {text("@")}, ignored), status::kOk);
  EXPECT_EQ(invoke(range, dispid::kValue, InvokeKind::kPropertyPut, {text("0123")}, ignored), status::kOk);
  EXPECT_EQ(invoke(range, dispid::kColumnWidth, InvokeKind::kPropertyPut, {Variant::ofR8(15)}, ignored), status::kOk);
  Variant value;
  EXPECT_EQ(invoke(range, dispid::kValue, InvokeKind::kPropertyGet, {}, value), status::kOk);
  ASSERT_TRUE(value.get<std::u16string>());
  EXPECT_EQ(*value.get<std::u16string>(), u"0123");
  // SaveAs: Filename, then eight omitted (dropped before the call).
  EXPECT_EQ(invoke(o.sheet, dispid::kSaveAs, InvokeKind::kMethod, {text((folder / "out").string())}, ignored),
            status::kOk);
  EXPECT_EQ(readBack(folder / "out.xlsx").text(0, "C3"), "0123");
  EXPECT_EQ(invoke(o.workbooks, dispid::kClose, InvokeKind::kMethod, {}, ignored), status::kOk);
  EXPECT_FALSE(o.sheet->available()) << "the workbook was closed";
  EXPECT_EQ(invoke(o.application, dispid::kQuit, InvokeKind::kMethod, {}, ignored), status::kOk);
  EXPECT_FALSE(o.application->available());
}

TEST(DispatchNumbers, WrongArgumentsFailWithTheirStatus) {
  Opened o;
  int32_t s = 0;
  EXPECT_FALSE(object(o.sheets.get(), dispid::kItem, InvokeKind::kPropertyGet, {Variant::ofI4(2)}, &s));
  EXPECT_EQ(s, status::kException) << "a sheet index beyond the sheets";
  EXPECT_FALSE(object(o.sheets.get(), dispid::kItem, InvokeKind::kPropertyGet, {}, &s));
  EXPECT_EQ(s, status::kParameterNotOptional);
  EXPECT_TRUE(object(o.sheets.get(), dispid::kItem, InvokeKind::kPropertyGet, {text("sheet1")}, &s))
      << "by name, any case";
  EXPECT_FALSE(object(o.sheet.get(), dispid::kRange, InvokeKind::kPropertyGet, {text(""), text("C3")}, &s));
  EXPECT_EQ(s, status::kException) << "an empty Cell1";
  EXPECT_FALSE(object(o.sheet.get(), dispid::kRange, InvokeKind::kPropertyGet, {Variant::ofI4(3)}, &s));
  EXPECT_EQ(s, status::kTypeMismatch);
  EXPECT_FALSE(
      object(o.sheet.get(), dispid::kRange, InvokeKind::kPropertyGet, {text("A1"), text("B2"), text("C3")}, &s));
  EXPECT_EQ(s, status::kBadParameterCount);
  EXPECT_FALSE(object(o.workbooks.get(), dispid::kOpen, InvokeKind::kMethod, {text("/no/such/file.xlsx")}, &s));
  EXPECT_EQ(s, status::kException);
  rt::DispatchRef range = object(o.sheet.get(), dispid::kRange, InvokeKind::kPropertyGet, {text("A1")});
  Variant ignored;
  EXPECT_EQ(invoke(range, dispid::kColumnWidth, InvokeKind::kPropertyPut, {Variant::ofR8(300)}, ignored),
            status::kException);
  EXPECT_EQ(invoke(range, dispid::kValue, InvokeKind::kPropertyPut, {text(std::string(32768, 'x'))}, ignored),
            status::kException)
      << "longer than a cell holds";
  EXPECT_EQ(invoke(range, 0x7777, InvokeKind::kMethod, {}, ignored), status::kMemberNotFound);
  rt::DispatchRef everything = object(o.sheet.get(), dispid::kRange, InvokeKind::kPropertyGet, {text("A1:XFD1048576")});
  ASSERT_TRUE(everything) << "a whole-sheet range can be made";
  EXPECT_EQ(invoke(everything, dispid::kValue, InvokeKind::kPropertyPut, {text("x")}, ignored), status::kException)
      << "but not filled cell by cell";
}

TEST(DispatchNumbers, PrintOutTakesItsEightArgumentsAsTheCallPassesThem) {
  jxtest::startRuntime();  // printing needs the runtime's Qt application
  TempFolder folder;
  PdfPrintService printers(folder.path(), {"P1"}, "P1");
  sheet::setPrintService(&printers);
  Opened o;
  rt::DispatchRef range = object(o.sheet.get(), dispid::kRange, InvokeKind::kPropertyGet, {text("A1")});
  Variant ignored;
  invoke(range, dispid::kValue, InvokeKind::kPropertyPut, {text("x")}, ignored);
  // From, To, Copies as I4; Preview, PrintToFile, Collate as I2; the names as BSTR, empty ones too.
  std::vector<Variant> args = {Variant::ofI4(1), Variant::ofI4(1), Variant::ofI4(1), Variant::ofI2(0),
                               text(""),         Variant::ofI2(0), Variant::ofI2(0), text("")};
  EXPECT_EQ(invoke(o.sheets, dispid::kPrintOut, InvokeKind::kMethod, args, ignored), status::kOk);
  ASSERT_EQ(printers.jobs.size(), 1u);
  EXPECT_EQ(printers.jobs[0].printer, "P1");
  args[4] = Variant::ofI4(5);
  EXPECT_EQ(invoke(o.sheets, dispid::kPrintOut, InvokeKind::kMethod, args, ignored), status::kTypeMismatch);
  sheet::setPrintService(nullptr);
}

TEST(MemberNames, BindInAnyCaseForTheirKindOnly) {
  Opened o;
  rt::MemberBinding binding;
  EXPECT_EQ(o.sheet->findMember(u"pagesetup", InvokeKind::kPropertyGet, binding), status::kOk);
  EXPECT_EQ(binding.dispatchId, dispid::kPageSetup);
  EXPECT_EQ(o.sheet->findMember(u"PageSetup", InvokeKind::kPropertyPut, binding), status::kNameNotBound);
  EXPECT_EQ(o.sheet->findMember(u"SAVEAS", InvokeKind::kMethod, binding), status::kOk);
  EXPECT_EQ(binding.parameterCount, kSaveAsParameters);
  rt::DispatchRef setup = object(o.sheet.get(), dispid::kPageSetup, InvokeKind::kPropertyGet);
  ASSERT_TRUE(setup);
  EXPECT_EQ(setup->findMember(u"orientation", InvokeKind::kPropertyPut, binding), status::kOk);
  EXPECT_EQ(binding.dispatchId, dispid::kOrientation);

  // Through the runtime's late-bound call, as ObjectSetProperty makes it.
  rt::ObjectHolder* holder = rt::newObjectHolder(setup);
  rt::TypedValue two = rt::TypedValue::ofInt(2);
  Variant ignored;
  EXPECT_EQ(rt::callByName(holder, "Orientation", rt::Access::kWrite, {&two, 1}, ignored), status::kOk);
  Variant now;
  EXPECT_EQ(rt::callByName(holder, "ORIENTATION", rt::Access::kRead, {}, now), status::kOk);
  EXPECT_EQ(*now.get<int32_t>(), kLandscape);
  rt::releaseObjectHolder(holder);
  rt::Free(holder);
}

}  // namespace
