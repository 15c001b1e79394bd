#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "runtime/commands/core_commands.h"
#include "runtime/dispatch.h"
#include "tests/commands/command_test_support.h"

namespace {

using namespace cmdtest;
namespace c = rt::commands;
namespace status = rt::automation;
using rt::InvokeKind;
using rt::TypedValue;
using rt::Variant;

int liveObjects = 0;

// A scriptable object: members by (lower-case ASCII name, kind), a log of the
// kinds it was asked to bind, and the arguments of the last invocation.
class FakeObject : public rt::RefCountedDispatch {
 public:
  struct Member {
    int32_t id;
    int32_t parameters;
    int32_t status = status::kOk;
    Variant result;
  };

  FakeObject() { ++liveObjects; }
  ~FakeObject() override { --liveObjects; }

  void define(std::u16string name, InvokeKind kind, Member member) { members[{std::move(name), kind}] = member; }

  bool available() const override { return connected; }
  int32_t findMember(std::u16string_view name, InvokeKind kind, rt::MemberBinding& binding) override {
    askedKinds.push_back(kind);
    if (lookupStatus != status::kOk) return lookupStatus;
    std::u16string lower(name);
    for (char16_t& ch : lower)
      if (ch >= u'A' && ch <= u'Z') ch = static_cast<char16_t>(ch - u'A' + u'a');
    auto it = members.find({lower, kind});
    if (it == members.end()) return status::kNameNotBound;
    binding = {it->second.id, it->second.parameters};
    return status::kOk;
  }
  int32_t invoke(int32_t id, InvokeKind kind, std::span<const Variant> arguments, Variant& result) override {
    lastKind = kind;
    lastArguments.assign(arguments.begin(), arguments.end());
    for (auto& [key, member] : members) {
      if (member.id != id) continue;
      result = member.result;
      return member.status;
    }
    return status::kMemberNotFound;
  }
  void takeBackAuxiliary(void* block) override {
    returnedAuxiliary = block;
    rt::Free(block);
  }

  std::map<std::pair<std::u16string, InvokeKind>, Member> members;
  std::vector<InvokeKind> askedKinds;
  std::vector<Variant> lastArguments;
  InvokeKind lastKind = InvokeKind::kMethod;
  int32_t lookupStatus = status::kOk;
  bool connected = true;
  void* returnedAuxiliary = nullptr;
};

// A worksheet whose PageSetup property gives a page-setup object with an
// Orientation property, as the form printing uses them.
struct Worksheet {
  rt::DispatchRef sheetRef = rt::makeDispatch<FakeObject>();
  rt::DispatchRef pageSetupRef = rt::makeDispatch<FakeObject>();
  FakeObject& sheet = static_cast<FakeObject&>(*sheetRef.get());
  FakeObject& pageSetup = static_cast<FakeObject&>(*pageSetupRef.get());
  rt::ObjectHolder* holder = rt::newObjectHolder(sheetRef);

  Worksheet() {
    sheet.define(u"pagesetup", InvokeKind::kPropertyGet, {1, 0, status::kOk, Variant::ofDispatch(pageSetupRef)});
    sheet.define(u"name", InvokeKind::kPropertyGet, {2, 0, status::kOk, Variant::ofString(u"Sheet1")});
    sheet.define(u"cells", InvokeKind::kMethod, {3, 2, status::kOk, Variant::ofDispatch(pageSetupRef)});
    sheet.define(u"echo", InvokeKind::kMethod, {4, 12, status::kOk, Variant::ofDispatch(pageSetupRef)});
    pageSetup.define(u"orientation", InvokeKind::kPropertyPut, {10, 1, status::kOk, {}});
    pageSetup.define(u"orientation", InvokeKind::kPropertyGet, {11, 0, status::kOk, Variant::ofI4(1)});
  }
  ~Worksheet() {
    rt::releaseObjectHolder(holder);
    rt::Free(holder);
  }
  TypedValue object() const { return TypedValue::ofPointer(holder, rt::kind::kComObject); }
};

// Takes an object result: its holder's object, the holder released and freed.
rt::DispatchObject* takeObject(const TypedValue& result) {
  EXPECT_EQ(result.tag, rt::kind::kComObject);
  auto* holder = result.pointer<rt::ObjectHolder>();
  EXPECT_NE(holder, nullptr);
  if (!holder) return nullptr;
  EXPECT_EQ(holder->auxiliary, nullptr);
  rt::DispatchObject* object = holder->object;
  rt::releaseObjectHolder(holder);
  rt::Free(holder);
  return object;
}

// The form printing's sequence: read PageSetup, set its Orientation, release.
TEST(Automation, PageSetupOrientationThroughNewHolders) {
  int before = liveObjects;
  {
    Worksheet ws;
    TypedValue pageSetup = call(c::ObjectGetProperty, {ws.object(), text("PageSetup")});
    EXPECT_EQ(rt::lastAutomationStatus(), status::kOk);
    EXPECT_EQ(ws.sheet.askedKinds, std::vector<InvokeKind>{InvokeKind::kPropertyGet});
    EXPECT_TRUE(call(c::ObjectSetProperty, {pageSetup, text("orientation"), TypedValue::ofInt(2)}).asBool());
    EXPECT_EQ(ws.pageSetup.lastKind, InvokeKind::kPropertyPut);
    ASSERT_EQ(ws.pageSetup.lastArguments.size(), 1u);
    EXPECT_EQ(*ws.pageSetup.lastArguments[0].get<int32_t>(), 2);
    EXPECT_EQ(takeObject(pageSetup), &ws.pageSetup);
    EXPECT_EQ(liveObjects, before + 2);  // the holder's reference is gone, the worksheet's own remains
  }
  EXPECT_EQ(liveObjects, before);
}

TEST(Automation, BindingOrderPerAccess) {
  Worksheet ws;
  ws.sheet.askedKinds.clear();
  TypedValue cells =
      call(c::ObjectGetProperty, {ws.object(), text("Cells"), TypedValue::ofInt(1), TypedValue::ofInt(2)});
  EXPECT_EQ(ws.sheet.askedKinds, (std::vector<InvokeKind>{InvokeKind::kPropertyGet, InvokeKind::kMethod}));
  EXPECT_EQ(takeObject(cells), &ws.pageSetup);

  ws.sheet.askedKinds.clear();
  EXPECT_FALSE(call(c::ObjectSetProperty, {ws.object(), text("Name"), text("x")}).asBool());
  EXPECT_EQ(rt::lastAutomationStatus(), status::kNameNotBound);
  EXPECT_EQ(ws.sheet.askedKinds,
            (std::vector<InvokeKind>{InvokeKind::kPropertyPut, InvokeKind::kPropertyPutRef, InvokeKind::kMethod}));
}

TEST(Automation, ArgumentsAreConvertedToVariants) {
  Worksheet ws;
  void* otherAuxiliary = nullptr;
  rt::ObjectHolder other{&ws.pageSetup, otherAuxiliary};
  TypedValue result =
      call(c::ObjectGetProperty,
           {ws.object(), text("Echo"), TypedValue::ofBool(true), TypedValue::ofDateTime(39574.5), utf8("学员"),
            TypedValue::ofByte(200), TypedValue::ofShort(-2), TypedValue::ofInt64(0x100000005LL),
            TypedValue::ofFloat(1.5f), TypedValue::ofDouble(2.25), TypedValue::ofPointer(&other, rt::kind::kComObject),
            kOmitted, TypedValue::ofInt(7), kOmitted});
  ASSERT_EQ(rt::lastAutomationStatus(), status::kOk);
  takeObject(result);
  const std::vector<Variant>& a = ws.sheet.lastArguments;
  ASSERT_EQ(a.size(), 11u);  // the trailing omitted argument is dropped
  EXPECT_EQ(*a[0].get<bool>(), true);
  EXPECT_EQ(a[1].get<rt::AutomationDate>()->days, 39574.5);
  EXPECT_EQ(*a[2].get<std::u16string>(), u"学员");
  EXPECT_EQ(*a[3].get<uint8_t>(), 200);
  EXPECT_EQ(*a[4].get<int16_t>(), -2);
  EXPECT_EQ(*a[5].get<int32_t>(), 5);
  EXPECT_EQ(*a[6].get<float>(), 1.5f);
  EXPECT_EQ(*a[7].get<double>(), 2.25);
  EXPECT_EQ(a[8].get<rt::DispatchRef>()->get(), &ws.pageSetup);
  EXPECT_TRUE(a[9].empty());  // omitted in between
  EXPECT_EQ(*a[10].get<int32_t>(), 7);
  ws.sheet.lastArguments.clear();
}

// Every failure gives a new, empty holder and records its status.
void expectFailure(const TypedValue& result, int32_t expected) {
  EXPECT_EQ(rt::lastAutomationStatus(), expected);
  EXPECT_EQ(takeObject(result), nullptr);
}

TEST(Automation, FailuresGiveAnEmptyHolderAndTheirStatus) {
  Worksheet ws;
  rt::ObjectHolder empty{nullptr, nullptr};
  expectFailure(call(c::ObjectGetProperty, {TypedValue::ofPointer(&empty, rt::kind::kComObject), text("PageSetup")}),
                status::kNoInterface);
  expectFailure(call(c::ObjectGetProperty, {TypedValue::ofPointer(nullptr, rt::kind::kComObject), text("x")}),
                status::kNoInterface);
  expectFailure(call(c::ObjectGetProperty, {ws.object(), text("Nothing")}), status::kNameNotBound);
  expectFailure(call(c::ObjectGetProperty, {ws.object(), text("")}), status::kNameNotBound);
  expectFailure(call(c::ObjectGetProperty, {ws.object(), text("PageSetup"), TypedValue::ofInt(1)}),
                status::kTooManyArguments);
  expectFailure(call(c::ObjectGetProperty, {ws.object(), text("Name")}), status::kResultNotConvertible);
  void* array = rt::newArray(0, 8);
  expectFailure(call(c::ObjectGetProperty,
                     {ws.object(), text("Cells"), TypedValue::ofPointer(array, rt::tag::kText | rt::tag::kArrayBit)}),
                status::kArgumentNotConvertible);
  rt::Free(array);

  ws.sheet.members[{u"pagesetup", InvokeKind::kPropertyGet}].status = status::kException;
  expectFailure(call(c::ObjectGetProperty, {ws.object(), text("PageSetup")}), status::kException);
  ws.sheet.members[{u"pagesetup", InvokeKind::kPropertyGet}].status = 42;
  expectFailure(call(c::ObjectGetProperty, {ws.object(), text("PageSetup")}), status::kOtherFailure);

  ws.sheet.lookupStatus = status::kNoTypeInformation;
  ws.sheet.askedKinds.clear();
  expectFailure(call(c::ObjectGetProperty, {ws.object(), text("PageSetup")}), status::kNoTypeInformation);
  EXPECT_EQ(ws.sheet.askedKinds.size(), 1u);
  ws.sheet.connected = false;
  expectFailure(call(c::ObjectGetProperty, {ws.object(), text("PageSetup")}), status::kNoDispatchInterface);
  EXPECT_FALSE(call(c::ObjectSetProperty, {ws.object(), text("Orientation"), TypedValue::ofInt(1)}).asBool());
}

TEST(Automation, LastStatusBelongsToTheCallingThread) {
  Worksheet ws;
  takeObject(call(c::ObjectGetProperty, {ws.object(), text("Nothing")}));
  int32_t otherThread = 1;
  std::thread([&otherThread] { otherThread = rt::lastAutomationStatus(); }).join();
  EXPECT_EQ(otherThread, status::kOk);
  EXPECT_EQ(rt::lastAutomationStatus(), status::kNameNotBound);
}

TEST(Automation, ReleaseHandsTheAuxiliaryBlockBackAndKeepsTheHolder) {
  int before = liveObjects;
  {
    rt::DispatchRef object = rt::makeDispatch<FakeObject>();
    auto& fake = static_cast<FakeObject&>(*object.get());
    auto* holder = rt::newObjectHolder(object);
    void* auxiliary = rt::Allocate(16);
    holder->auxiliary = auxiliary;
    TypedValue ref = TypedValue::ofPointer(holder, rt::kind::kComObject);
    call(c::ObjectRelease, {ref});
    EXPECT_EQ(fake.returnedAuxiliary, auxiliary);
    EXPECT_EQ(holder->object, nullptr);
    EXPECT_EQ(holder->auxiliary, nullptr);
    call(c::ObjectRelease, {ref});  // a second release does nothing

    holder->auxiliary = rt::Allocate(8);  // a lone auxiliary block is freed (the leak checker watches)
    call(c::ObjectRelease, {ref});
    EXPECT_EQ(holder->auxiliary, nullptr);
    rt::Free(holder);
    EXPECT_EQ(liveObjects, before + 1);  // `object` still holds its own reference
  }
  EXPECT_EQ(liveObjects, before);
  call(c::ObjectRelease, {TypedValue::ofPointer(nullptr, rt::kind::kComObject)});
}

}  // namespace
