// Timers: the callback runs once after the delay, may restart its record, and stops for good.
#include "guest_fixture.h"

class TimersTest : public GuestTest {
 protected:
  void SetUp() override {
    GuestTest::SetUp();
    load();
  }
  void start(uint32_t delay) { ASSERT_TRUE(sim->call(at(guest::start_timer), {at(guest::mytmr), delay})); }
  uint32_t hits() { return word(guest::timer_hits); }
};

TEST_F(TimersTest, FiresOnceAfterTheDelayWithItsRecord) {
  start(100);
  ASSERT_TRUE(sim->advance(99));
  EXPECT_EQ(hits(), 0u);
  ASSERT_TRUE(sim->advance(1));
  EXPECT_EQ(hits(), 1u);
  ASSERT_TRUE(sim->advance(10000));
  EXPECT_EQ(hits(), 1u);
  EXPECT_EQ(sim->clock().ticks(), 10100u);
}

TEST_F(TimersTest, ACallbackMayStartItsRecordAgain) {
  set_word(guest::timer_restart, 50);
  start(100);
  ASSERT_TRUE(sim->advance(1000));  // fires at 100, 150, ..., 1000
  EXPECT_EQ(hits(), 19u);
  // Each restart is made at the tick its timer fired.
  const auto restarts = calls_named("fw_start_timer");
  ASSERT_EQ(restarts.size(), 20u);
  EXPECT_EQ(restarts[1].tick, 100u);
  EXPECT_EQ(restarts[1].args[0], at(guest::mytmr)) << "the callback got its record";
  EXPECT_EQ(restarts.back().tick, 1000u);
}

TEST_F(TimersTest, StoppedTimersNeverFireAndStoppingAZeroRecordIsHarmless) {
  ASSERT_TRUE(sim->call(at(guest::stop_timer), {at(guest::mytmr)}));
  EXPECT_EQ(calls_named("fw_stop_timer").back().note, "was not running");
  start(100);
  ASSERT_TRUE(sim->call(at(guest::stop_timer), {at(guest::mytmr)}));
  EXPECT_EQ(calls_named("fw_stop_timer").back().note, "stopped");
  ASSERT_TRUE(sim->advance(1000));
  EXPECT_EQ(hits(), 0u);
}

TEST_F(TimersTest, ATimerRecordMustBeGuestMemory) {
  auto r = sim->call(at(guest::start_timer), {0x10, 5});
  ASSERT_FALSE(r);
  EXPECT_NE(r.error().find("fw_start_timer: cannot read the timer record"), std::string::npos) << r.error();
}
