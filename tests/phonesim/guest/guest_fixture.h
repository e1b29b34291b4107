// A simulated phone with the test guest loaded, and shortcuts to the guest's symbols.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "elf_image.h"
#include "guest_blob.h"
#include "guest_symbols.h"
#include "simulator.h"
#include "wide_text.h"

class GuestTest : public ::testing::Test {
 protected:
  void SetUp() override { make_simulator({}); }

  void make_simulator(const phonesim::SimulatorOptions& options) {
    auto s = phonesim::Simulator::create(options);
    ASSERT_TRUE(s) << s.error();
    sim = std::move(*s);
  }

  // Loads the guest and runs `entry` as its main; returns false (with the failure noted) if the
  // load failed.
  void load(guest::Symbol entry = guest::main_nothing, uint32_t reloc_type = 23) {
    image = testing_elf::guest_image(kGuestBlob, entry, reloc_type).build();
    mark = sim->heap().mark();
    auto id = sim->load_image(image, "guest.elf");
    ASSERT_TRUE(id) << id.error();
    base = sim->images()[*id].block;
  }

  uint32_t at(guest::Symbol s) const { return base + testing_elf::guest_symbol(kGuestBlob, s); }
  uint32_t word(guest::Symbol s) const { return sim->cpu().read32(at(s)).value_or(0xDEADBEEF); }
  void set_word(guest::Symbol s, uint32_t v) { ASSERT_TRUE(sim->cpu().write32(at(s), v)); }

  std::string name_of(uint32_t pid) {
    auto n = sim->display_name(pid);
    return n ? phonesim::utf16_to_utf8(*n) : "<" + n.error() + ">";
  }

  std::vector<phonesim::TraceRecord> calls_named(std::string_view name) const {
    std::vector<phonesim::TraceRecord> out;
    for (auto& r : sim->trace().records())
      if (r.name == name) out.push_back(r);
    return out;
  }

  std::unique_ptr<phonesim::Simulator> sim;
  std::vector<uint8_t> image;
  uint32_t base = 0;
  uint64_t mark = 0;
};
