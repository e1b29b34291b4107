// The loader's validation and the block it builds, without a CPU.
#include <gtest/gtest.h>

#include "elf_image.h"
#include "image_loader.h"

using namespace phonesim;
using testing_elf::get32;
using testing_elf::Image;
using testing_elf::put32;

namespace {

constexpr uint32_t kBase = 0x00123400;

std::vector<uint8_t> words(std::initializer_list<uint32_t> ws) {
  std::vector<uint8_t> v;
  for (uint32_t w : ws) put32(v, v.size(), w);
  return v;
}

// Code-and-constants segment with two address words, zeroed data after it.
Image small_image(uint32_t reloc_type = 23) {
  Image img;
  img.entry = 0;
  img.segments.push_back({1, 0, words({0xE3A00000, 0xE12FFF1E, 0x10, 0x20}), 0, 5});
  img.segments.push_back({1, 16, {}, 16, 6});
  img.relocs = {{8, reloc_type}, {12, reloc_type}};
  return img;
}

}  // namespace

TEST(ImageLoader, AddsTheBlockAddressForBothRelocationTypes) {
  for (uint32_t type : {23u, 253u}) {
    const auto file = small_image(type).build();
    auto plan = plan_image(file);
    ASSERT_TRUE(plan) << plan.error();
    EXPECT_EQ(plan->block_size, 32u);
    const auto block = build_block(*plan, file, kBase);
    ASSERT_EQ(block.size(), 32u);
    EXPECT_EQ(get32(block, 0), 0xE3A00000u) << "code is not relocated";
    EXPECT_EQ(get32(block, 8), kBase + 0x10);
    EXPECT_EQ(get32(block, 12), kBase + 0x20);
    for (size_t i = 16; i < 32; ++i) EXPECT_EQ(block[i], 0) << "zeroed data at " << i;
  }
}

TEST(ImageLoader, ADataSegmentLyingOverTheCodeDoesNotZeroIt) {
  // Initialised data placed at 0 over the first segment, with no file data of its own, and
  // listed after it: copying must not be followed by zero-filling.
  Image img = small_image();
  img.segments.insert(img.segments.begin() + 1, testing_elf::Segment{1, 0, {}, 24, 6});
  const auto file = img.build();
  auto plan = plan_image(file);
  ASSERT_TRUE(plan) << plan.error();
  const auto block = build_block(*plan, file, kBase);
  EXPECT_EQ(get32(block, 4), 0xE12FFF1Eu);
  EXPECT_EQ(get32(block, 12), kBase + 0x20);
}

TEST(ImageLoader, RefusesOtherRelocationTypesNamingThem) {
  for (auto [type, name] : {std::pair{2u, "R_ARM_ABS32"}, {22u, "R_ARM_JUMP_SLOT"}, {0u, "R_ARM_NONE"}, {99u, "unknown"}}) {
    auto plan = plan_image(small_image(type).build());
    ASSERT_FALSE(plan) << type;
    EXPECT_NE(plan.error().find("type " + std::to_string(type) + " (" + name + ")"), std::string::npos) << plan.error();
  }
}

TEST(ImageLoader, FindsTheTableRelativeToTheDynamicSegmentsAddress) {
  Image img = small_image();
  img.dynamic_vaddr = 0x400;  // DT_REL is then 0x418
  auto plan = plan_image(img.build());
  ASSERT_TRUE(plan) << plan.error();
  EXPECT_EQ(plan->relocations.size(), 2u);
}

TEST(ImageLoader, ExplainsWhatIsBrokenInABrokenImage) {
  struct Case {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> spoil;
    const char* expected;
  };
  const auto good = small_image().build();
  const uint32_t phoff = 52;
  const uint32_t dyn = phoff + 2 * 32;  // third program header
  const Case cases[] = {
      {"short", [](auto& f) { f.resize(40); }, "too short for an ELF header"},
      {"magic", [](auto& f) { f[1] = 'X'; }, "bad magic"},
      {"class", [](auto& f) { f[4] = 2; }, "32-bit little-endian"},
      {"machine", [](auto& f) { f[18] = 3; }, "not an ARM image"},
      {"no headers", [](auto& f) { f[44] = 0; }, "no program headers"},
      {"headers past the end", [&](auto& f) { put32(f, 28, uint32_t(f.size()) - 40); }, "runs past the end"},
      {"segment past the end", [&](auto& f) { put32(f, phoff + 16, 4000); put32(f, phoff + 20, 4000); }, "run past the end of the file"},
      {"file size over memory size", [&](auto& f) { put32(f, phoff + 20, 8); }, "exceeds its memory size"},
      {"huge segment", [&](auto& f) { put32(f, phoff + 32 + 20, 0xFFFFFFF0); }, "beyond the loader's"},
      {"entry outside", [](auto& f) { put32(f, 24, 32); }, "entry point 0x20"},
      {"only dynamic", [&](auto& f) { put32(f, phoff, 2); put32(f, phoff + 32, 7); }, "no loadable segment"},
      {"no DT_NULL", [&](auto& f) { put32(f, dyn + 16, 16); }, "no DT_NULL"},
      {"table outside", [&](auto& f) { put32(f, get32(f, dyn + 4) + 4, 200); }, "lies outside the segment"},
      {"relocation outside the block", [&](auto& f) { put32(f, get32(f, dyn + 4) + 24, 30); }, "outside the image's 32 bytes"},
      {"odd table size", [&](auto& f) { put32(f, get32(f, dyn + 4) + 12, 12); }, "not a multiple of 8"},
  };
  for (const Case& c : cases) {
    auto f = good;
    c.spoil(f);
    auto plan = plan_image(f);
    ASSERT_FALSE(plan) << c.name;
    EXPECT_NE(plan.error().find(c.expected), std::string::npos) << c.name << ": " << plan.error();
  }
}

TEST(ImageLoader, NeverReadsPastATruncatedFile) {
  // Every prefix of a valid image is refused cleanly (the sanitizer build checks the reads).
  const auto good = small_image().build();
  for (size_t n = 0; n < good.size(); ++n) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + n);
    auto plan = plan_image(cut);
    if (plan) build_block(*plan, cut, kBase);
  }
  EXPECT_TRUE(plan_image(good));
}
