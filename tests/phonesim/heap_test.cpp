// The simulated heap and its ledger.
#include <gtest/gtest.h>

#include "heap.h"

using namespace phonesim;

namespace {
constexpr uint32_t kBase = 0x100000;
}

TEST(Heap, LiveSinceAMarkIsWhatARunLeaked) {
  Heap heap(kBase, 64 * 1024);
  const uint32_t before = heap.alloc(100, "before");
  const uint64_t mark = heap.mark();
  const uint32_t kept = heap.alloc(24, "applet (fw_alloc)", 3);
  const uint32_t freed = heap.alloc(40, "process 1 record");
  ASSERT_TRUE(heap.free(freed));
  auto leaked = heap.live_since(mark);
  ASSERT_EQ(leaked.size(), 1u);
  EXPECT_EQ(leaked[0].address, kept);
  EXPECT_EQ(leaked[0].size, 24u);
  EXPECT_EQ(leaked[0].owner, "applet (fw_alloc)");
  EXPECT_EQ(heap.live_owned_by(3).size(), 1u);
  EXPECT_NE(before, 0u);
}

TEST(Heap, RefusesBadFreesNamingWhatTheAddressIs) {
  Heap heap(kBase, 64 * 1024);
  const uint32_t a = heap.alloc(64, "first");
  const uint32_t b = heap.alloc(64, "second");
  ASSERT_TRUE(heap.free(a));
  struct Case {
    uint32_t address;
    const char* expected;
  } cases[] = {
      {a, "double free of"},
      {b + 8, "lies inside block"},
      {kBase + 60000, "never handed out"},
      {0x1234, "never handed out"},
  };
  for (const Case& c : cases) {
    auto r = heap.free(c.address);
    ASSERT_FALSE(r) << c.expected;
    EXPECT_NE(r.error().find(c.expected), std::string::npos) << r.error();
  }
  EXPECT_NE(heap.find_live(b), nullptr) << "a refused free changes nothing";
}

TEST(Heap, ReturnsZeroWhenFullAndReusesCoalescedSpace) {
  Heap heap(kBase, 4096);
  std::vector<uint32_t> blocks;
  for (uint32_t b; (b = heap.alloc(1024, "x")) != 0;) blocks.push_back(b);
  EXPECT_EQ(blocks.size(), 4u);
  EXPECT_EQ(heap.alloc(1, "x"), 0u);
  // Freed out of order, the pieces must merge back into one range.
  for (uint32_t b : {blocks[1], blocks[3], blocks[0], blocks[2]}) ASSERT_TRUE(heap.free(b));
  EXPECT_EQ(heap.free_bytes(), 4096u);
  EXPECT_EQ(heap.alloc(4096, "whole"), kBase);
}

TEST(Heap, ImageBlocksArePageAlignedAndNeverHandedOutAgain) {
  Heap heap(kBase, 16 * 1024);
  heap.alloc(10, "small");
  const uint32_t image = heap.alloc(748, "plugin", 0, BlockKind::Image);
  EXPECT_EQ(image % 1024, 0u);
  EXPECT_EQ(heap.find_live(image)->reserved, 1024u);
  ASSERT_TRUE(heap.free(image));
  EXPECT_NE(heap.quarantined_containing(image + 700), nullptr);
  // A range is caught by any byte it shares with the released block, not only by its start.
  EXPECT_NE(heap.quarantined_overlapping(image - 4, 8), nullptr);
  EXPECT_NE(heap.quarantined_overlapping(image - 16, 2048), nullptr);
  EXPECT_EQ(heap.quarantined_overlapping(image - 4, 4), nullptr);
  EXPECT_EQ(heap.quarantined_overlapping(image + 1024, 64), nullptr);
  EXPECT_EQ(heap.quarantined_overlapping(image, 0), nullptr);
  for (uint32_t b; (b = heap.alloc(8, "filler")) != 0;) EXPECT_FALSE(b >= image && b < image + 1024);
  auto again = heap.free(image);
  ASSERT_FALSE(again);
  EXPECT_NE(again.error().find("double free"), std::string::npos);
}
