// Misuse of the scheduler lock stops the run; a proper pair does not.
#include "guest_fixture.h"

struct LockCase {
  const char* name;
  guest::Symbol routine;
  const char* what;  // empty: no fault
};

void PrintTo(const LockCase& c, std::ostream* os) { *os << c.name; }

class SchedLockTest : public GuestTest, public ::testing::WithParamInterface<LockCase> {};

TEST_P(SchedLockTest, Misuse) {
  load();
  const LockCase& c = GetParam();
  auto r = sim->call(at(c.routine));
  if (!*c.what) {
    EXPECT_TRUE(r) << r.error();
    EXPECT_FALSE(sim->sched_locked());
    return;
  }
  ASSERT_FALSE(r);
  EXPECT_EQ(sim->fault()->kind, phonesim::FaultKind::SchedLock);
  EXPECT_NE(r.error().find(c.what), std::string::npos) << r.error();
}

INSTANTIATE_TEST_SUITE_P(
    Lock, SchedLockTest,
    ::testing::Values(LockCase{"paired", guest::lock_pair, ""},
                      LockCase{"nested", guest::lock_twice, "already locked"},
                      LockCase{"unlock_without_lock", guest::unlock_alone, "not locked"},
                      LockCase{"held_past_its_handler", guest::lock_and_return, "returned with the scheduler still locked"},
                      LockCase{"unlocked_in_another_handler", guest::lock_unlock_in_handler, "another handler"}),
    [](const auto& info) { return std::string(info.param.name); });
