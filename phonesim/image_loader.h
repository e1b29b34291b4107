// The phone's applet loader, split into a pure part that validates an image file and builds the
// bytes of its memory block (tested without a CPU), and the simulator's part that places the
// block in guest memory and calls `main`.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "result.h"

namespace phonesim {

struct LoadSegment {
  unsigned index = 0;  // program header number
  uint32_t offset = 0, vaddr = 0, filesz = 0, memsz = 0, flags = 0;
};

struct ImageRelocation {
  uint32_t offset = 0;  // into the block
  uint32_t type = 0;
};

struct LoadPlan {
  uint32_t block_size = 0;  // largest p_vaddr + p_memsz over the loadable segments
  uint32_t entry = 0;       // e_entry, an offset into the block
  std::vector<LoadSegment> segments;
  std::vector<ImageRelocation> relocations;
};

// The largest block the loader asks the heap for; anything larger is a broken image.
constexpr uint32_t kMaxImageBlock = 16 * 1024 * 1024;

// Validates everything the loader reads against the file's size; a broken image gives an error
// naming what is wrong, never a read outside the file.
Result<LoadPlan> plan_image(std::span<const uint8_t> file);

// The block as the loader leaves it at `base`: zero-filled first, then each loadable segment's
// file data copied to its address in program-header order (segments may lie over one another, so
// nothing is zero-filled after copying), then every relocation adds `base` to its word.
std::vector<uint8_t> build_block(const LoadPlan& plan, std::span<const uint8_t> file, uint32_t base);

const char* relocation_type_name(uint32_t type);

}  // namespace phonesim
