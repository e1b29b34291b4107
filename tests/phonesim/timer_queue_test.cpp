// Ordering and re-arming of the firmware timers (their callbacks run in timers_test.cpp).
#include <gtest/gtest.h>

#include "timer_queue.h"

using namespace phonesim;

TEST(TimerQueue, FiresInDueOrderAndByStartOrderOnTheSameTick) {
  TimerQueue q;
  q.start(0x300, 50, 3);
  q.start(0x100, 20, 1);
  q.start(0x200, 50, 2);
  std::vector<uint32_t> fired;
  while (auto t = q.pop_due(100)) fired.push_back(t->callback);
  EXPECT_EQ(fired, (std::vector<uint32_t>{1, 3, 2}));
  EXPECT_EQ(q.size(), 0u);
}

TEST(TimerQueue, StartingARunningRecordReArmsIt) {
  TimerQueue q;
  q.start(0x100, 20, 1);
  q.start(0x100, 80, 2);
  EXPECT_FALSE(q.pop_due(79));
  auto t = q.pop_due(80);
  ASSERT_TRUE(t);
  EXPECT_EQ(t->callback, 2u);
  EXPECT_FALSE(q.pop_due(1000)) << "the first arming is gone";
}

TEST(TimerQueue, StopReportsWhetherTheRecordRan) {
  TimerQueue q;
  EXPECT_FALSE(q.stop(0x100));
  q.start(0x100, 20, 1);
  EXPECT_TRUE(q.stop(0x100));
  EXPECT_FALSE(q.pop_due(1000));
  q.start(0x104, 20, 1);
  q.start(0x200, 20, 1);
  EXPECT_EQ(q.armed_within(0x100, 0x110).size(), 1u);
}
