// Builds small ARM ELF images for the simulator's tests: load segments, an optional dynamic
// segment with a REL table, and an entry point. Each field can be set to something broken.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace testing_elf {

struct Segment {
  uint32_t type = 1;  // PT_LOAD
  uint32_t vaddr = 0;
  std::vector<uint8_t> data;
  uint32_t memsz = 0;  // 0: data.size()
  uint32_t flags = 5;
};

struct Reloc {
  uint32_t offset = 0;
  uint32_t type = 23;  // R_ARM_RELATIVE
};

struct Image {
  uint32_t entry = 0;
  std::vector<Segment> segments;
  std::vector<Reloc> relocs;  // non-empty: a PT_DYNAMIC segment with DT_REL/DT_RELSZ follows
  uint32_t dynamic_vaddr = 0;
  uint16_t machine = 40;

  std::vector<uint8_t> build() const;
};

// The test guest (see guest/guest.S) as an image: its code and constants, its zeroed data as a
// segment without file data, and a relocation for every address word it lists.
Image guest_image(std::span<const uint8_t> blob, uint32_t entry_symbol, uint32_t reloc_type = 23);
uint32_t guest_symbol(std::span<const uint8_t> blob, uint32_t symbol);

void put32(std::vector<uint8_t>& v, size_t at, uint32_t x);
uint32_t get32(std::span<const uint8_t> v, size_t at);

}  // namespace testing_elf
