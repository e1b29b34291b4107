// The process model, driven by the guest's miniature applet: root-level creation, messages, the
// end of a process from inside and outside, the close convention and the self-unload.
#include "guest_fixture.h"

using phonesim::FaultKind;
namespace layout = phonesim::layout;

class ProcessTest : public GuestTest {
 protected:
  void SetUp() override {
    GuestTest::SetUp();
    load(guest::applet_main);
    ASSERT_EQ(sim->processes().size(), 1u);
    pid = sim->processes()[0].id;
  }
  uint32_t pid = 0;
};

TEST_F(ProcessTest, MainCreatesTheProcessAtTheRootAndRestoresTheCurrentProcessWord) {
  const phonesim::ProcessInfo& p = sim->processes()[0];
  EXPECT_EQ(sim->images()[0].main_result, 0u);
  EXPECT_EQ(p.descriptor, at(guest::descriptor));
  EXPECT_EQ(p.current_word_at_creation, sim->first_process_word());
  EXPECT_TRUE(p.created_under_lock);
  EXPECT_EQ(word(guest::seen_current), sim->first_process_word()) << "seen by the create handler";
  EXPECT_EQ(sim->current_process_word(), layout::kLauncherProcess) << "restored after creation";
  EXPECT_FALSE(sim->sched_locked());
  EXPECT_EQ(word(guest::created_record), p.record);
  const phonesim::HeapBlock* rec = sim->heap().find_live(p.record);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->size, 40u);
  EXPECT_EQ(name_of(pid), "Тест 0");
}

TEST_F(ProcessTest, MessagesReachTheHandlerWithCodeParameterAndTheirProcessAsCurrent) {
  auto r = sim->send_message(pid, 1009, 1);
  ASSERT_TRUE(r) << r.error();
  EXPECT_EQ(*r, 0u);
  EXPECT_EQ(name_of(pid), "Тест 1");
  ASSERT_TRUE(sim->send_message(pid, 1009, 2));
  ASSERT_TRUE(sim->send_message(pid, -1, 1));
  EXPECT_EQ(name_of(pid), "Тест 1") << "only 1009 with parameter 1 renames";
  EXPECT_EQ(word(guest::msg_count), 3u);
  EXPECT_EQ(sim->current_process_word(), layout::kLauncherProcess);
  EXPECT_FALSE(sim->send_message(pid + 1, 1009, 1)) << "no such process";
}

TEST_F(ProcessTest, TaskListRefreshesEveryProcessThenShowsItsName) {
  auto list = sim->task_list();
  ASSERT_TRUE(list) << list.error();
  ASSERT_EQ(list->size(), 1u);
  EXPECT_EQ((*list)[0].id, pid);
  EXPECT_EQ((*list)[0].name_utf8, "Тест 1");
  EXPECT_EQ((*list)[0].image, 0);
}

TEST_F(ProcessTest, EndingFromOutsideClosesUnloadsAndLeavesTheLedgerAsBefore) {
  const uint64_t calls_before = sim->trace().total();
  ASSERT_TRUE(sim->end_process(pid));
  EXPECT_TRUE(sim->processes().empty());
  EXPECT_TRUE(sim->images()[0].released);
  EXPECT_TRUE(sim->heap().live_since(mark).empty());
  EXPECT_TRUE(sim->warnings().empty());

  // stop_timer(mytmr) never started, run_later(killer), then killer: the free routine's
  // address and the free routine itself on the image block.
  auto calls = sim->trace().since(calls_before);
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].name, "fw_stop_timer");
  EXPECT_EQ(calls[0].args[0], at(guest::mytmr));
  EXPECT_EQ(calls[0].note, "was not running");
  EXPECT_EQ(calls[1].name, "fw_run_later");
  EXPECT_EQ(calls[2].number, 0x8015u);
  EXPECT_EQ(calls[2].result, layout::stub_address(0x15));
  EXPECT_EQ(calls[3].name, "fw_free");
  EXPECT_TRUE(calls[3].via_routine);
  EXPECT_EQ(calls[3].args[0], base);
}

TEST_F(ProcessTest, AStateWordOfMinusThreeEndsTheProcessAfterItsHandler) {
  ASSERT_TRUE(sim->send_message(pid, 77, 0));
  EXPECT_TRUE(sim->processes().empty());
  EXPECT_TRUE(sim->images()[0].released);
  EXPECT_TRUE(sim->heap().live_since(mark).empty());
}

TEST_F(ProcessTest, NothingOfAReleasedImageRunsOrIsReadAgain) {
  ASSERT_TRUE(sim->end_process(pid));
  auto r = sim->call(at(guest::main_nothing));
  ASSERT_FALSE(r);
  ASSERT_TRUE(sim->fault());
  EXPECT_EQ(sim->fault()->kind, FaultKind::ReleasedImage);
  EXPECT_NE(r.error().find("guest.elf"), std::string::npos) << r.error();
}

TEST_F(ProcessTest, ACloseHandlerThatUnloadsItselfFaultsOnItsReturnIntoTheImage) {
  set_word(guest::close_mode, 1);
  auto st = sim->end_process(pid);
  ASSERT_FALSE(st);
  EXPECT_EQ(sim->fault()->kind, FaultKind::ReleasedImage) << st.error();
  EXPECT_NE(st.error().find("released"), std::string::npos) << st.error();
}

TEST_F(ProcessTest, UnloadingWithATimerStillRunningInTheImageIsStopped) {
  set_word(guest::close_mode, 2);
  ASSERT_TRUE(sim->send_message(pid, 79, 0));  // starts mytmr
  auto st = sim->end_process(pid);
  ASSERT_FALSE(st);
  EXPECT_EQ(sim->fault()->kind, FaultKind::ReleasedImage);
  EXPECT_NE(st.error().find("timer record"), std::string::npos) << st.error();
}

TEST_F(ProcessTest, BlocksTheAppletLeftAllocatedAreReportedWhenItUnloads) {
  ASSERT_TRUE(sim->send_message(pid, 78, 0));  // allocates 24 bytes and keeps them
  ASSERT_TRUE(sim->end_process(pid));
  ASSERT_EQ(sim->warnings().size(), 1u);
  EXPECT_NE(sim->warnings()[0].find("24 bytes, guest.elf (fw_alloc)"), std::string::npos) << sim->warnings()[0];
  EXPECT_EQ(sim->heap().live_since(mark).size(), 1u);
}

TEST_F(ProcessTest, HeapMisuseStopsTheRun) {
  auto block = sim->call(at(guest::stub_alloc), {32});
  ASSERT_TRUE(block);
  ASSERT_TRUE(sim->call(at(guest::stub_free), {*block}));
  auto again = sim->call(at(guest::stub_free), {*block});
  ASSERT_FALSE(again);
  EXPECT_EQ(sim->fault()->kind, FaultKind::Heap);
  EXPECT_NE(again.error().find("double free"), std::string::npos) << again.error();
}

TEST_F(ProcessTest, FreeingAnAddressTheHeapNeverGaveStopsTheRun) {
  auto r = sim->call(at(guest::stub_free), {at(guest::name_body)});
  ASSERT_FALSE(r);
  EXPECT_EQ(sim->fault()->kind, FaultKind::Heap);
  EXPECT_NE(r.error().find("lies inside block"), std::string::npos) << r.error();
}

TEST_F(ProcessTest, FreeOfZeroIsAccepted) {
  ASSERT_TRUE(sim->call(at(guest::stub_free), {0}));
  EXPECT_EQ(calls_named("fw_free").back().note, "free of 0 ignored");
}
