#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "runtime/encoding.h"
#include "runtime/heap.h"
#include "runtime/value.h"

namespace {

TEST(TypedValue, LayoutIsThreeWordsAndPointersFillBothDataWords) {
  static_assert(sizeof(rt::TypedValue) == 12);
  char probe[4] = "abc";
  auto v = rt::TypedValue::ofText(probe);
  EXPECT_EQ(v.asText(), probe);
  EXPECT_EQ(v.tag, rt::tag::kText);
  auto d = rt::TypedValue::ofDouble(-2.5);
  EXPECT_EQ(d.asDouble(), -2.5);
  rt::TypedValue omitted;
  EXPECT_TRUE(omitted.omitted());
  EXPECT_FALSE(rt::TypedValue::ofInt(0).omitted());
}

TEST(Heap, LiteralsAreInternedOnceAndNeverFreed) {
  const char* a = "学员"_gb;
  const char* b = "学员"_gb;
  EXPECT_EQ(a, b);
  EXPECT_TRUE(rt::inConstantBlock(a));
  EXPECT_STREQ(a, "\xD1\xA7\xD4\xB1");
  rt::Free(const_cast<char*>(a));  // ignored
  rt::Free(nullptr);               // ignored
  EXPECT_STREQ(a, "\xD1\xA7\xD4\xB1");
  EXPECT_EQ(rt::emptyLiteral()[0], '\0');
  EXPECT_TRUE(rt::inConstantBlock(rt::emptyLiteral()));
}

TEST(Heap, ReallocatingALiteralCopiesIntoANewBlock) {
  const char* lit = rt::internGb("hello");
  auto* copy = static_cast<char*>(rt::Reallocate(const_cast<char*>(lit), 6));
  EXPECT_FALSE(rt::inConstantBlock(copy));
  EXPECT_STREQ(copy, "hello");
  rt::Free(copy);
}

// Small blocks come from size classes: every live block is distinct,
// aligned and keeps its bytes; Reallocate keeps the bytes across classes
// and into a large block; a block freed on another thread is still a valid
// block to free and reuse.
TEST(Heap, SmallAndLargeBlocksKeepTheirBytesThroughReallocationAndFree) {
  std::vector<char*> blocks;
  std::set<char*> distinct;
  for (int32_t i = 0; i < 5000; ++i) {
    int32_t size = 1 + i % 200;
    auto* block = static_cast<char*>(rt::Allocate(size));
    ASSERT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
    std::memset(block, 'a' + i % 26, static_cast<size_t>(size));
    blocks.push_back(block);
    distinct.insert(block);
  }
  EXPECT_EQ(distinct.size(), blocks.size());
  for (int32_t i = 0; i < 5000; ++i) {
    int32_t size = 1 + i % 200;
    for (int32_t k = 0; k < size; ++k) ASSERT_EQ(blocks[i][k], 'a' + i % 26) << i;
  }
  for (char* block : blocks) rt::Free(block);

  auto* text = static_cast<char*>(rt::Allocate(10));
  std::memcpy(text, "123456789", 10);
  for (int32_t size : {16, 17, 40, 128, 129, 4000, 12}) {
    text = static_cast<char*>(rt::Reallocate(text, size));
    ASSERT_EQ(std::string(text, 9), "123456789") << size;
  }
  rt::Free(text);

  std::vector<void*> made;
  std::thread maker([&made] {
    for (int32_t i = 0; i < 100; ++i) made.push_back(rt::Allocate(24));
  });
  maker.join();
  for (void* block : made) rt::Free(block);
  void* again = rt::Allocate(24);
  std::memset(again, 0, 24);
  rt::Free(again);
}

TEST(Heap, EmptyTextsAndArraysAreNull) {
  EXPECT_EQ(rt::newText(""), nullptr);
  EXPECT_EQ(rt::newByteArray("x", 0), nullptr);
  void* bytes = rt::newByteArray("xyz", 3);
  EXPECT_EQ(rt::arrayCount(bytes), 3);
  EXPECT_EQ(std::memcmp(rt::arrayElements(bytes), "xyz", 3), 0);
  rt::Free(bytes);
}

TEST(Encoding, Gb18030RoundTripsRareCharactersAndBackslashPaths) {
  std::string rare = "\xF0\xA0\x80\x80";  // U+20000, outside GBK
  std::string gb = rt::utf8ToGb(rare);
  EXPECT_EQ(gb.size(), 4u);
  EXPECT_EQ(rt::gbToUtf8(gb), rare);
  EXPECT_EQ(rt::toNativePath(rt::utf8ToGb("C:\\a\\日志.log")), "C:/a/日志.log");
  EXPECT_EQ(rt::gbToUtf16(rt::utf8ToGb("名")), u"名");
}

}  // namespace
