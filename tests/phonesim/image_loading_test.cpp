// The loader inside the simulator: the block comes from the heap, is relocated and runs.
#include "guest_fixture.h"

TEST_F(GuestTest, LoadsFromTheHeapRelocatesAndRunsMain) {
  for (uint32_t type : {23u, 253u}) {
    make_simulator({});
    load(guest::applet_main, type);
    const phonesim::LoadedImage& img = sim->images()[0];
    EXPECT_EQ(img.entry, at(guest::applet_main));
    const phonesim::HeapBlock* block = sim->heap().find_live(base);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->size, img.size);
    EXPECT_EQ(block->owner, "guest.elf");
    EXPECT_EQ(*sim->cpu().read32(at(guest::descriptor) + 24), at(guest::name_body)) << "relocated, type " << type;
    EXPECT_EQ(sim->processes().size(), 1u) << "the relocated descriptor's handlers ran";
  }
}

TEST_F(GuestTest, AnImageThatCannotLoadLeavesTheHeapAsItWas) {
  auto broken = testing_elf::guest_image(kGuestBlob, guest::main_nothing, 2).build();
  auto r = sim->load_image(broken, "broken.elf");
  ASSERT_FALSE(r);
  EXPECT_NE(r.error().find("broken.elf: relocation 0"), std::string::npos) << r.error();
  EXPECT_TRUE(sim->heap().live().empty());
  EXPECT_FALSE(sim->halted()) << "a refused image is no fault of a running applet";

  make_simulator({.heap_size = 1024});
  auto big = sim->load_image(testing_elf::guest_image(kGuestBlob, guest::main_nothing).build(), "big.elf");
  ASSERT_FALSE(big);
  EXPECT_NE(big.error().find("not enough free memory"), std::string::npos) << big.error();

  auto missing = sim->load_file("/nonexistent/clock.elf");
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.error().find("cannot open /nonexistent/clock.elf"), std::string::npos);
}
