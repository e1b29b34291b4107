// The bounded trace: it keeps the newest calls, counts all of them, and finds a record to
// complete after nested calls have been pushed behind it.
#include <gtest/gtest.h>

#include "trace.h"

using namespace phonesim;

namespace {
TraceRecord call(uint32_t number) {
  TraceRecord r;
  r.number = number;
  r.name = "fw_test";
  return r;
}
}  // namespace

TEST(Trace, KeepsTheNewestRecordsAndCountsAll) {
  Trace t(3);
  for (uint32_t n = 1; n <= 5; ++n) t.push(call(n));
  EXPECT_EQ(t.total(), 5u);
  auto kept = t.records();
  ASSERT_EQ(kept.size(), 3u);
  EXPECT_EQ(kept[0].number, 3u);
  EXPECT_EQ(kept[2].number, 5u);
  EXPECT_EQ(kept[2].seq, 5u);
  EXPECT_EQ(t.since(4).size(), 1u);
  EXPECT_EQ(t.last(2)[0].number, 4u);
}

TEST(Trace, FindsARecordByItsNumberAfterWrapsResizesAndPauses) {
  Trace t(4);
  for (uint32_t n = 1; n <= 6; ++n) t.push(call(n));
  ASSERT_NE(t.find(5), nullptr);
  EXPECT_EQ(t.find(5)->number, 5u);
  EXPECT_EQ(t.find(2), nullptr) << "dropped";
  t.set_capacity(2);
  ASSERT_NE(t.find(6), nullptr);
  EXPECT_EQ(t.find(6)->number, 6u);
  t.set_enabled(false);
  t.push(call(7));
  t.set_enabled(true);
  const uint64_t seq = t.push(call(8)).seq;
  EXPECT_EQ(seq, 8u);
  ASSERT_NE(t.find(8), nullptr);
  EXPECT_EQ(t.find(8)->number, 8u);
  EXPECT_EQ(t.find(7), nullptr) << "not kept while paused";
}

TEST(Trace, FormatsARecordForTheAuthor) {
  TraceRecord r = call(0x124);
  r.name = "fw_wsprintf";
  r.seq = 2;
  r.tick = 216;
  r.argc = 3;
  r.args = {0x00100198, 7, uint32_t(-1)};
  r.result = 17;
  r.done = true;
  r.note = "\"7:05\"";
  EXPECT_EQ(format_trace_record(r), "#2     t=216     fw_wsprintf [0x124](0x00100198, 7, -1) = 17  \"7:05\"");
  r.done = false;
  EXPECT_NE(format_trace_record(r).find("still running"), std::string::npos);
}
