// The runtime's binding, read off the service trace of the real plugin images: each service is
// reached by its number, in the call or the value form, with the arguments the skeleton passes;
// and the descriptor and display-name header carry their fixed values.
#include <cstring>

#include "plugin_run.h"

namespace layout = phonesim::layout;

class Binding : public PluginTest {
 protected:
  std::vector<uint32_t> numbers(const std::vector<phonesim::TraceRecord>& calls) {
    std::vector<uint32_t> out;
    for (auto& c : calls) out.push_back(c.number);
    return out;
  }
  bool on_stack(uint32_t a) { return a >= layout::kStackBase && a < layout::kStackTop; }
  bool in_image(uint32_t a) { return a - loaded().block < loaded().size; }
};

INSTANTIATE_TEST_SUITE_P(Images, Binding, ::testing::ValuesIn(kAllImages), image_name);

TEST_P(Binding, MainRefreshesTheNameThenCreatesTheProcessAtTheRoot) {
  start();
  const bool clock = std::string(GetParam().plugin) == "clock";
  auto calls = sim->trace().records();
  const std::vector<uint32_t> refresh = clock ? std::vector<uint32_t>{0xB4, 0x124} : std::vector<uint32_t>{0x5F, 0x124};
  std::vector<uint32_t> expected = refresh;
  for (uint32_t n : {0x146u, 0x8106u, 0x8106u, 0x107u, 0x8106u, 0x147u}) expected.push_back(n);
  ASSERT_EQ(numbers(calls), expected);

  const uint32_t descriptor = proc().descriptor;
  const auto& sprintf = calls[1];
  EXPECT_EQ(sprintf.name, "fw_wsprintf");
  EXPECT_EQ(sprintf.args[0], descriptor + 24) << "the display-name header follows the descriptor";
  EXPECT_EQ(guest_text(sprintf.args[1]), clock ? "%i:%02i   %02i.%02i.%i" : "%i kb RAM");
  EXPECT_EQ(sprintf.argc, clock ? 7 : 3);
  if (clock) {
    const auto& dt = calls[0];
    EXPECT_EQ(dt.name, "fw_get_date_time");
    EXPECT_TRUE(on_stack(dt.args[0]) && on_stack(dt.args[1]));
    EXPECT_GE(std::max(dt.args[0], dt.args[1]) - std::min(dt.args[0], dt.args[1]), 8u) << "8 bytes reserved for each";
    const phonesim::DateTime now = sim->clock().now();
    EXPECT_EQ(std::vector<uint32_t>(sprintf.args.begin() + 2, sprintf.args.begin() + 7),
              (std::vector<uint32_t>{now.hour, now.minute, now.day, now.month, uint32_t(now.year)}));
  }
  for (size_t i : {3u, 4u, 6u}) {
    EXPECT_EQ(calls[i].name, "fw_process_root");
    EXPECT_EQ(calls[i].result, layout::kProcessRoot);
  }
  const auto& create = calls[5];
  EXPECT_EQ(create.name, "fw_create_process");
  EXPECT_EQ(create.args[0], descriptor);
  EXPECT_TRUE(on_stack(create.args[1])) << "scratch area on the stack";
  EXPECT_EQ(create.args[2], 0u);
  EXPECT_EQ(create.result, pid);
  for (auto& c : calls) EXPECT_TRUE(in_image(c.pc)) << c.name << ": every SWI is in the image's own stubs";
  EXPECT_EQ(loaded().main_result, 0u);
}

TEST_P(Binding, TheMessageHandlerRefreshesOnlyOn1009WithParameter1) {
  start();
  const uint64_t before = sim->trace().total();
  ASSERT_TRUE(sim->send_message(pid, 1009, 0));
  ASSERT_TRUE(sim->send_message(pid, 1010, 1));
  EXPECT_EQ(sim->trace().total(), before) << "no service call at all";
  ASSERT_TRUE(sim->send_message(pid, 1009, 1));
  EXPECT_EQ(sim->trace().total(), before + 2);
}

TEST_P(Binding, TheCloseConventionAndTheSelfUnload) {
  start();
  const uint64_t before = sim->trace().total();
  ASSERT_TRUE(sim->end_process(pid));
  auto calls = sim->trace().since(before);
  ASSERT_EQ(numbers(calls), (std::vector<uint32_t>{0x18C, 0x171, 0x8015, 0x15}));
  const uint32_t mytmr = calls[0].args[0];
  EXPECT_TRUE(in_image(mytmr)) << "mytmr lies in the image's zeroed data";
  EXPECT_TRUE(in_image(calls[1].args[0])) << "the self-unload routine is the image's own";
  EXPECT_EQ(calls[2].name, "fw_free_address");
  EXPECT_EQ(calls[2].result, layout::stub_address(0x15));
  EXPECT_TRUE(in_image(calls[2].pc)) << "asked for by the image's self-unload routine";
  EXPECT_EQ(calls[3].name, "fw_free");
  EXPECT_EQ(calls[3].args[0], loaded().block) << "ELF_BEGIN is the block's address";
  EXPECT_TRUE(calls[3].via_routine) << "reached through the free routine, not a SWI of the image";
}

TEST_P(Binding, TheDescriptorAndTheNameHeaderHoldTheirFixedValues) {
  start();
  const uint32_t d = proc().descriptor;
  auto word = [&](uint32_t a) { return *sim->cpu().read32(a); };
  auto header = [&] {
    std::vector<uint8_t> h(20);
    sim->cpu().read(d + 24, h.data(), h.size());
    return h;
  };
  EXPECT_TRUE(in_image(d));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(in_image(word(d + 4 * i))) << "handler " << i;
  EXPECT_EQ(word(d + 12), 40u) << "record size";
  EXPECT_EQ(word(d + 16), 1u) << "state count";
  EXPECT_EQ(int32_t(word(word(d + 20))), -11) << "the state table minus11";
  const uint32_t body = word(d + 24);
  EXPECT_TRUE(in_image(body));
  EXPECT_GE(loaded().size - (body - loaded().block), 280u) << "280 bytes of body inside the block";
  EXPECT_EQ(word(d + 28), 0x55AACCCCu);
  EXPECT_EQ(word(d + 32), 0x3333AA55u);
  EXPECT_EQ(word(d + 36), 0u);
  EXPECT_EQ(word(d + 40), 139u) << "maximum length 139, reserved 0";
  EXPECT_EQ(sim->heap().find_live(proc().record)->size, 40u);

  const auto before = header();
  for (int i = 0; i < 3; ++i) refresh();
  EXPECT_EQ(header(), before) << "only the body changes";
}
