// Text commands, conversions and the command-line splitter on arbitrary
// bytes: no crash, no read past a text, and the results keep their promises.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/commands/core_commands.h"
#include "runtime/convert.h"
#include "runtime/heap.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

using rt::TypedValue;
namespace c = rt::commands;

void require(bool condition) {
  if (!condition) std::abort();
}

// Each text argument gets its own exact-size heap block so that a read past
// its end is caught by the address sanitizer.
struct Texts {
  std::vector<char*> blocks;
  TypedValue add(const std::string& s) {
    char* p = static_cast<char*>(std::malloc(s.size() + 1));
    std::memcpy(p, s.c_str(), s.size() + 1);
    blocks.push_back(p);
    return TypedValue::ofText(p);
  }
  ~Texts() {
    for (char* p : blocks) std::free(p);
  }
};

TypedValue call(rt::CommandFn command, std::vector<TypedValue> args) {
  TypedValue result;
  command(&result, static_cast<int32_t>(args.size()), args.data());
  return result;
}

std::string take(const TypedValue& v) {
  char* p = v.pointer<char>();
  std::string out = p ? p : "";
  require(!p || !out.empty());  // the empty text is always null
  rt::Free(p);
  return out;
}

TypedValue optionalInt(fuzz::Input& in) { return in.byte() & 1 ? TypedValue{} : TypedValue::ofInt(in.position()); }

void textCommands(fuzz::Input& in, Texts& texts) {
  std::string a = in.text(), b = in.text(), r = in.text();
  TypedValue ta = texts.add(a), tb = texts.add(b), tr = texts.add(r);

  std::string left = take(call(c::TextLeft, {ta, TypedValue::ofInt(in.position())}));
  require(a.compare(0, left.size(), left) == 0);
  std::string right = take(call(c::TextRight, {ta, TypedValue::ofInt(in.position())}));
  require(right.size() <= a.size() && a.compare(a.size() - right.size(), right.size(), right) == 0);
  std::string mid = take(call(c::TextMid, {ta, TypedValue::ofInt(in.position()), TypedValue::ofInt(in.position())}));
  require(a.find(mid) != std::string::npos);

  TypedValue ignoreCase = in.byte() & 1 ? TypedValue{} : TypedValue::ofBool(in.byte() & 1);
  int32_t found = call(c::FindText, {ta, tb, optionalInt(in), ignoreCase}).asInt();
  require(found == -1 || (found >= 1 && static_cast<size_t>(found) <= a.size()));
  if (found > 0 && ignoreCase.omitted() && !b.empty()) require(a.compare(found - 1, b.size(), b) == 0);

  bool caseSensitive = in.byte() & 1;
  std::string replaced =
      take(call(c::ReplaceText, {ta, tb, tr, optionalInt(in), optionalInt(in), TypedValue::ofBool(caseSensitive)}));
  if (r == b && caseSensitive) require(replaced == a);

  TypedValue pieces = call(c::SplitText, {ta, in.byte() & 1 ? TypedValue{} : tb, optionalInt(in)});
  void* block = pieces.pointer<void>();
  require(block != nullptr);
  size_t total = 0;
  for (int32_t i = 0; i < rt::arrayCount(block); ++i) {
    char* piece;
    std::memcpy(&piece, rt::arrayElements(block) + i * sizeof(char*), sizeof piece);
    total += piece ? std::strlen(piece) : 0;
    rt::Free(piece);
  }
  require(total <= a.size());
  rt::Free(block);

  take(call(c::CharToText, {TypedValue::ofByte(in.byte())}));
  int32_t spaces = in.position() % 4096;
  require(take(call(c::Spaces, {TypedValue::ofInt(spaces)})).size() == static_cast<size_t>(spaces > 0 ? spaces : 0));
  rt::Free(call(c::ZeroBytes, {TypedValue::ofInt(in.position() % 4096)}).pointer<void>());
  call(c::ToInteger, {ta});
  require(take(call(c::ToText, {ta})) == a);

  std::vector<std::string> words;
  c::splitCommandLine(a, words);
}

// Any basic value converts; the random data words must not matter.
void conversions(fuzz::Input& in) {
  static const uint32_t kTags[] = {rt::tag::kByte,  rt::tag::kShort,    rt::tag::kInt,
                                   rt::tag::kInt64, rt::tag::kFloat,    rt::tag::kDouble,
                                   rt::tag::kBool,  rt::tag::kDateTime, 0,
                                   0x00010001,      rt::tag::kText | 0};
  TypedValue v{static_cast<uint32_t>(in.int32()), static_cast<uint32_t>(in.int32()), kTags[in.byte() % 10]};
  rt::valueToText(v);
  call(c::ToInteger, {v});
  take(call(c::ToText, {v}));
  rt::DateParts parts = rt::splitDateTime(v.asDouble());
  require(parts.year >= 100 && parts.year <= 9999 && parts.hour < 24 && parts.minute < 60 && parts.second < 60);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  Texts texts;
  if (in.byte() & 1)
    conversions(in);
  else
    textCommands(in, texts);
  return 0;
}
