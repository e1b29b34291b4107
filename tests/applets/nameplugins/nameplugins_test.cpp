// The two name plugins, end to end: the real ARM images (full and reduced) in the simulated
// phone, their names in the task list, their reaction to messages and their unloading.
#include "plugin_run.h"

using phonesim::DateTime;
using phonesim::parse_date_time;

class ClockPlugin : public PluginTest {};
class RamPlugin : public PluginTest {};
class NamePlugin : public PluginTest {};

INSTANTIATE_TEST_SUITE_P(Images, ClockPlugin, ::testing::ValuesIn(kClockImages), image_name);
INSTANTIATE_TEST_SUITE_P(Images, RamPlugin, ::testing::ValuesIn(kRamImages), image_name);
INSTANTIATE_TEST_SUITE_P(Images, NamePlugin, ::testing::ValuesIn(kAllImages), image_name);

TEST_P(ClockPlugin, TheTaskListShowsTheTimeAndDate) {
  ASSERT_TRUE(sim->clock().set(*parse_date_time("2024-03-03 07:05")));
  start();
  auto list = sim->task_list();
  ASSERT_TRUE(list) << list.error();
  ASSERT_EQ(list->size(), 1u);
  EXPECT_EQ((*list)[0].name_utf8, "7:05   03.03.2024");
}

TEST_P(ClockPlugin, FormatsEveryFieldAsTheNameSays) {
  start();
  struct Case {
    const char* when;
    const char* name;
  } cases[] = {
      {"2024-03-03 00:00", "0:00   03.03.2024"},
      {"2024-12-31 23:59", "23:59   31.12.2024"},
      {"2025-01-09 10:07", "10:07   09.01.2025"},
      {"0999-06-15 09:30", "9:30   15.06.999"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(sim->clock().set(*parse_date_time(c.when)));
    refresh();
    EXPECT_EQ(name(), c.name) << c.when;
  }
}

TEST_P(ClockPlugin, KeepsItsTextUntilTheNextRefresh) {
  ASSERT_TRUE(sim->clock().set(*parse_date_time("2024-03-03 07:05")));
  start();
  ASSERT_TRUE(sim->advance(60 * phonesim::Clock::kTicksPerSecond));
  EXPECT_EQ(name(), "7:05   03.03.2024") << "time alone changes nothing";
  ASSERT_TRUE(sim->send_message(pid, 1009, 2));
  ASSERT_TRUE(sim->send_message(pid, 1008, 1));
  ASSERT_TRUE(sim->send_message(pid, -1009, 1));
  EXPECT_EQ(name(), "7:05   03.03.2024") << "only 1009 with parameter 1 refreshes";
  refresh();
  EXPECT_EQ(name(), "7:06   03.03.2024");
}

TEST_P(RamPlugin, ShowsTheFreeRamInWholeKilobytes) {
  struct Case {
    uint32_t bytes;
    const char* name;
  } cases[] = {
      {0, "0 kb RAM"},
      {1023, "0 kb RAM"},
      {1536, "1 kb RAM"},
      {2 * 1024 * 1024, "2048 kb RAM"},
      {0x7FFFFFFF, "2097151 kb RAM"},
      // The count is signed and the quotient truncated toward zero.
      {uint32_t(-512), "0 kb RAM"},
      {uint32_t(-1536), "-1 kb RAM"},
  };
  sim->set_free_ram(500);
  start();
  EXPECT_EQ(name(), "0 kb RAM") << "written by main";
  for (const Case& c : cases) {
    sim->set_free_ram(c.bytes);
    refresh();
    EXPECT_EQ(name(), c.name) << c.bytes;
  }
  sim->set_free_ram(4096);
  ASSERT_TRUE(sim->send_message(pid, 1009, 0));
  EXPECT_EQ(name(), "-1 kb RAM") << "only 1009 with parameter 1 refreshes";
}

TEST_P(RamPlugin, FollowsTheSimulatedHeap) {
  start();
  const uint32_t free = sim->heap().free_bytes();
  refresh();
  EXPECT_EQ(name(), std::to_string(free / 1024) + " kb RAM");
}

TEST_P(NamePlugin, AnswersEveryMessageWithZero) {
  start();
  for (auto [code, param] : {std::pair<int16_t, uint32_t>{1009, 1}, {1009, 7}, {0, 0}, {-3, 1}, {32767, 0xFFFFFFFF}}) {
    auto r = sim->send_message(pid, code, param, 0x12345678);
    ASSERT_TRUE(r) << r.error();
    EXPECT_EQ(*r, 0u) << code;
  }
  EXPECT_EQ(sim->processes().size(), 1u) << "the plugins never end themselves";
}

TEST_P(NamePlugin, CreationHappensAtTheRootAndLeavesTheCurrentProcessAsItWas) {
  const uint32_t before = sim->current_process_word();
  start();
  EXPECT_EQ(proc().current_word_at_creation, sim->first_process_word())
      << "the queue's first process stands as current while the process is created";
  EXPECT_NE(sim->first_process_word(), before);
  EXPECT_TRUE(proc().created_under_lock);
  EXPECT_EQ(sim->current_process_word(), before);
  EXPECT_FALSE(sim->sched_locked());
}

TEST_P(NamePlugin, EndingTheProcessUnloadsTheImageAndFreesEverything) {
  start();
  refresh();
  const uint32_t block = loaded().block;
  const uint64_t calls = sim->trace().total();
  ASSERT_TRUE(sim->end_process(pid));
  EXPECT_TRUE(sim->processes().empty());
  EXPECT_TRUE(loaded().released);
  EXPECT_TRUE(sim->heap().live_since(mark).empty()) << "the ledger is back to where it was before the load";
  EXPECT_TRUE(sim->heap().live().empty());
  EXPECT_TRUE(sim->warnings().empty());

  // The close handler's calls, then the self-unload; the free routine is the last thing that
  // touches the image: any later instruction or data access in the block would have faulted.
  auto after = sim->trace().since(calls);
  ASSERT_EQ(after.size(), 4u);
  EXPECT_EQ(after[0].number, 0x18Cu);
  EXPECT_EQ(after[1].number, 0x171u);
  EXPECT_EQ(after[2].number, 0x8015u);
  EXPECT_EQ(after[3].number, 0x15u);
  EXPECT_TRUE(after[3].via_routine);
  EXPECT_EQ(after[3].args[0], block);
  EXPECT_FALSE(sim->halted());

  auto rerun = sim->call(loaded().entry);
  ASSERT_FALSE(rerun);
  EXPECT_EQ(sim->fault()->kind, phonesim::FaultKind::ReleasedImage) << rerun.error();
}

TEST_P(NamePlugin, ClosingBeforeAnyMessageStillUnloads) {
  start();
  ASSERT_TRUE(sim->end_process(pid));
  EXPECT_TRUE(loaded().released);
  EXPECT_TRUE(sim->heap().live().empty());
  EXPECT_EQ(sim->trace().records()[sim->trace().records().size() - 4].note, "was not running");
}

TEST_P(NamePlugin, BothPluginsLiveSideBySide) {
  start();
  auto other = sim->load_file(std::string(KIT_APPLET_DIR) + "/" +
                              (std::string(GetParam().plugin) == "clock" ? "nimbrel_ram_new.elf" : "nimbrel_clock_new.elf"));
  ASSERT_TRUE(other) << other.error();
  auto list = sim->task_list();
  ASSERT_TRUE(list) << list.error();
  ASSERT_EQ(list->size(), 2u);
  EXPECT_NE((*list)[0].name_utf8, (*list)[1].name_utf8);
  ASSERT_TRUE(sim->end_process((*list)[0].id));
  ASSERT_TRUE(sim->end_process((*list)[1].id));
  EXPECT_TRUE(sim->heap().live().empty());
}

TEST_P(NamePlugin, AHundredThousandRefreshesLeakNothing) {
  start();
  sim->trace().set_enabled(false);
  const size_t live = sim->heap().live().size();
  const uint32_t free = sim->heap().free_bytes();
  for (int i = 0; i < 100000; ++i) ASSERT_TRUE(sim->send_message(pid, 1009, 1)) << i;
  EXPECT_EQ(sim->heap().live().size(), live);
  EXPECT_EQ(sim->heap().free_bytes(), free);
  ASSERT_TRUE(sim->end_process(pid));
  EXPECT_TRUE(sim->heap().live_since(mark).empty());
}
