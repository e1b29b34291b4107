// Calls between the firmware and guest code, and the guards that stop a run.
#include "guest_fixture.h"

using phonesim::FaultKind;

class GuestCallTest : public GuestTest {
 protected:
  void SetUp() override {
    GuestTest::SetUp();
    load();
  }

  // A display-name-like wide string in the heap: header, then a body of max_len + 1 units.
  uint32_t make_wide_string(uint16_t max_len) {
    const uint32_t body = sim->heap().alloc(2 * (max_len + 1u), "test body");
    const uint32_t header = sim->heap().alloc(20, "test header");
    uint8_t h[20] = {};
    std::memcpy(h, &body, 4);
    std::memcpy(h + 16, &max_len, 2);
    sim->cpu().write(header, h, sizeof h);
    return header;
  }

  uint32_t text_in_heap(const std::string& s) {
    const uint32_t at = sim->heap().alloc(uint32_t(s.size() + 1), "test text");
    sim->cpu().write(at, s.c_str(), s.size() + 1);
    return at;
  }

  std::string wide_text(uint32_t header) {
    const uint32_t body = *sim->cpu().read32(header);
    uint16_t len = 0;
    sim->cpu().read(body, &len, 2);
    std::u16string s(len, u'\0');
    sim->cpu().read(body + 2, s.data(), 2 * len);
    return phonesim::utf16_to_utf8(s);
  }
};

TEST_F(GuestCallTest, ArgumentsBeyondTheFourthGoOnTheStackToTheGuest) {
  auto r = sim->call(at(guest::sum6), {1, 2, 3, 4, 5, 6});
  ASSERT_TRUE(r) << r.error();
  EXPECT_EQ(*r, 1u + 4 + 9 + 16 + 25 + 36);
}

TEST_F(GuestCallTest, ServicesReadArgumentsBeyondTheFourthFromTheCallersStack) {
  const uint32_t ws = make_wide_string(139);
  const uint32_t fmt = text_in_heap("%i:%02i   %02i.%02i.%i");
  auto r = sim->call(at(guest::stub_wsprintf), {ws, fmt, 7, 5, 3, 3, 2024});
  ASSERT_TRUE(r) << r.error();
  EXPECT_EQ(wide_text(ws), "7:05   03.03.2024");
  EXPECT_EQ(*r, 17u);
  const auto calls = calls_named("fw_wsprintf");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].argc, 7) << "the trace shows the values read";
  EXPECT_EQ(calls[0].args[6], 2024u);

  // The same from guest code that pushes its own stack arguments.
  ASSERT_TRUE(sim->call(at(guest::format_five), {ws}));
  EXPECT_EQ(wide_text(ws), "1 2 3 4 5");
}

TEST_F(GuestCallTest, WsprintfNeverWritesPastTheMaximumLength) {
  const uint32_t ws = make_wide_string(4);
  const uint32_t body = *sim->cpu().read32(ws);
  const uint32_t fmt = text_in_heap("%i kb RAM");
  // Guard units right after the 5-unit body.
  const uint32_t guard = 0xA5A5A5A5;
  sim->cpu().write32(body + 10, guard);
  ASSERT_TRUE(sim->call(at(guest::stub_wsprintf), {ws, fmt, 2047}));
  EXPECT_EQ(wide_text(ws), "2047");
  EXPECT_EQ(*sim->cpu().read32(body + 10), guard);
  EXPECT_NE(calls_named("fw_wsprintf")[0].note.find("cut"), std::string::npos);
}

struct GuardCase {
  const char* name;
  guest::Symbol routine;
  FaultKind kind;
  const char* what;
};

void PrintTo(const GuardCase& c, std::ostream* os) { *os << c.name; }

class GuardTest : public GuestCallTest, public ::testing::WithParamInterface<GuardCase> {};

TEST_P(GuardTest, StopsTheRunWithAReport) {
  const GuardCase& c = GetParam();
  sim->cpu().set_instruction_limit(100000);
  auto r = sim->call(at(c.routine));
  ASSERT_FALSE(r);
  ASSERT_TRUE(sim->fault());
  EXPECT_EQ(sim->fault()->kind, c.kind) << r.error();
  EXPECT_NE(r.error().find(c.what), std::string::npos) << r.error();
  EXPECT_NE(r.error().find("guest.elf+0x"), std::string::npos) << "names where: " << r.error();
  // The phone stays halted: later events report the same fault.
  auto again = sim->call(at(guest::main_nothing));
  ASSERT_FALSE(again);
  EXPECT_EQ(again.error(), r.error());
}

INSTANTIATE_TEST_SUITE_P(
    Guards, GuardTest,
    ::testing::Values(GuardCase{"null_write", guest::write_null, FaultKind::Memory, "write of unmapped address 0x00000000"},
                      GuardCase{"unknown_service", guest::unknown_service, FaultKind::UnknownService, "unknown service 0x7777"},
                      GuardCase{"endless_loop", guest::spin, FaultKind::Runaway, "did not return within 100000 instructions"},
                      GuardCase{"undefined", guest::undefined_insn, FaultKind::Cpu, "undefined instruction"},
                      GuardCase{"thumb_swi", guest::thumb_swi, FaultKind::Cpu, "SWI in Thumb state"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GuestCallTest, AFaultReportQuotesTheLastServiceCalls) {
  ASSERT_TRUE(sim->call(at(guest::stub_alloc), {16}));
  auto r = sim->call(at(guest::write_null));
  ASSERT_FALSE(r);
  EXPECT_NE(r.error().find("last service calls:"), std::string::npos);
  EXPECT_NE(r.error().find("fw_alloc [0x14](16)"), std::string::npos) << r.error();
}

TEST_F(GuestCallTest, TheValueFormOfAServiceWithoutOneIsARoutineAddress) {
  // 0x8014: the routine behind fw_alloc, callable like the service itself.
  const uint32_t routine = phonesim::layout::stub_address(0x14);
  auto block = sim->call(routine, {24});
  ASSERT_TRUE(block) << block.error();
  EXPECT_NE(sim->heap().find_live(*block), nullptr);
  EXPECT_TRUE(calls_named("fw_alloc").back().via_routine);
}
