// Checks the built applet images, full and reduced, for what the phone's loader and elfslim
// rely on: the kinds and order of segments, relocations that cover every absolute address,
// the process descriptor, and the self-unload path. Symbols always come from the full image,
// which shares every load address with its reduced copy.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "elf_view.h"

namespace {

constexpr std::uint32_t kRelArmRelative = 23;
constexpr std::uint32_t kRelArmRabs32 = 253;
constexpr std::uint32_t kFlagsReadExecute = PF_R | PF_X;
constexpr std::uint32_t kFlagsReadWrite = PF_R | PF_W;

constexpr std::uint32_t kNameBodyBytes = 280;
constexpr std::uint32_t kTimerBytes = 16;

struct ImageCase {
  std::string applet;
  bool reduced;
  // The firmware services this applet must call, with their SWI numbers.
  std::map<std::string, std::uint32_t> services;
};

void PrintTo(const ImageCase& c, std::ostream* os) {
  *os << c.applet << (c.reduced ? "_new.elf" : ".elf");
}

const std::map<std::string, std::uint32_t> kSharedServices = {
    {"fw_free_address", 0x8015}, {"fw_wsprintf", 0x124},       {"fw_lock_sched", 0x146},
    {"fw_unlock_sched", 0x147},  {"fw_create_process", 0x107}, {"fw_process_root", 0x8106},
    {"fw_run_later", 0x171},     {"fw_stop_timer", 0x18C},
};

std::map<std::string, std::uint32_t> with(std::string name, std::uint32_t number) {
  auto services = kSharedServices;
  services.emplace(std::move(name), number);
  return services;
}

std::string image_path(const ImageCase& c, bool reduced) {
  return std::string(APPLET_IMAGE_DIR) + "/" + c.applet + (reduced ? "_new.elf" : ".elf");
}

class AppletImageTest : public ::testing::TestWithParam<ImageCase> {
 protected:
  void SetUp() override {
#ifndef HAVE_REDUCED_IMAGES
    if (GetParam().reduced) GTEST_SKIP() << "elfslim is not part of this build";
#endif
    image_ = std::make_unique<ElfView>(image_path(GetParam(), GetParam().reduced));
    full_ = std::make_unique<ElfView>(image_path(GetParam(), false));
    ASSERT_EQ(image_->error(), "");
    ASSERT_EQ(full_->error(), "");
  }

  // Address of a symbol of the full image; a missing one fails the test.
  Elf32_Sym sym(const std::string& name) {
    auto s = full_->symbol(name);
    if (!s) {
      ADD_FAILURE() << "no symbol " << name << " in " << image_path(GetParam(), false);
      return Elf32_Sym{};
    }
    return *s;
  }

  std::uint32_t word(std::uint32_t address) {
    auto w = image_->word_at(address);
    if (!w) {
      ADD_FAILURE() << "no file data at load address " << address;
      return 0;
    }
    return *w;
  }

  std::vector<Elf32_Phdr> loads() const {
    std::vector<Elf32_Phdr> out;
    for (const Elf32_Phdr& p : image_->segments())
      if (p.p_type == PT_LOAD) out.push_back(p);
    return out;
  }

  // End of the block the loader allocates.
  std::uint32_t block_size() const {
    std::uint32_t end = 0;
    for (const Elf32_Phdr& p : loads()) end = std::max(end, p.p_vaddr + p.p_memsz);
    return end;
  }

  std::set<std::uint32_t> relocated_words() {
    std::set<std::uint32_t> at;
    for (const Elf32_Rel& r : image_->relocations()) at.insert(r.r_offset);
    return at;
  }

  std::unique_ptr<ElfView> image_;
  std::unique_ptr<ElfView> full_;
};

TEST_P(AppletImageTest, IsA32BitLittleEndianArmImage) {
  const Elf32_Ehdr& h = image_->header();
  EXPECT_EQ(h.e_ident[EI_CLASS], ELFCLASS32);
  EXPECT_EQ(h.e_ident[EI_DATA], ELFDATA2LSB);
  EXPECT_EQ(h.e_machine, EM_ARM);
  EXPECT_EQ(h.e_phentsize, sizeof(Elf32_Phdr));
  EXPECT_EQ(h.e_entry, sym("main").st_value);
}

TEST_P(AppletImageTest, HasOnlyLoadAndOneDynamicSegment) {
  int dynamic = 0;
  for (const Elf32_Phdr& p : image_->segments()) {
    EXPECT_TRUE(p.p_type == PT_LOAD || p.p_type == PT_DYNAMIC) << "segment type " << p.p_type;
    if (p.p_type == PT_DYNAMIC) ++dynamic;
    EXPECT_LE(std::uint64_t{p.p_offset} + p.p_filesz, image_->file_size());
  }
  EXPECT_EQ(dynamic, 1);
}

TEST_P(AppletImageTest, CodeSegmentBeginsTheImageAndZeroDataFollowsWithoutFileData) {
  const auto segments = loads();
  ASSERT_EQ(segments.size(), 2u);
  const Elf32_Phdr& code = segments[0];
  const Elf32_Phdr& zeroed = segments[1];

  EXPECT_EQ(code.p_vaddr, 0u);
  EXPECT_EQ(code.p_flags, kFlagsReadExecute);
  EXPECT_EQ(code.p_filesz, code.p_memsz);
  EXPECT_GT(code.p_filesz, 0u);

  EXPECT_EQ(zeroed.p_filesz, 0u);
  EXPECT_EQ(zeroed.p_flags, kFlagsReadWrite);
  EXPECT_GE(zeroed.p_vaddr, code.p_vaddr + code.p_memsz) << "zero data overlaps the code";
  EXPECT_GE(zeroed.p_memsz, kNameBodyBytes + kTimerBytes);
}

TEST_P(AppletImageTest, ZeroDataHoldsTheNameBodyAndTheTimer) {
  const Elf32_Phdr zeroed = loads().at(1);
  for (auto [name, size] : {std::pair{"maincsm_name_body", kNameBodyBytes},
                            std::pair{"mytmr", kTimerBytes}}) {
    const Elf32_Sym s = sym(name);
    EXPECT_EQ(s.st_size, size) << name;
    EXPECT_GE(s.st_value, zeroed.p_vaddr) << name;
    EXPECT_LE(s.st_value + s.st_size, zeroed.p_vaddr + zeroed.p_memsz) << name;
  }
}

TEST_P(AppletImageTest, RelocationsAreRelativeAndStayInsideTheBlock) {
  const auto table = image_->relocations();
  ASSERT_EQ(image_->error(), "");
  ASSERT_FALSE(table.empty());
  EXPECT_FALSE(image_->dynamic_value(DT_RELA)) << "relocations with addends are not carried";
  EXPECT_FALSE(image_->dynamic_value(DT_JMPREL)) << "PLT relocations";

  const Elf32_Phdr code = loads().at(0);
  for (const Elf32_Rel& r : table) {
    const std::uint32_t type = ELF32_R_TYPE(r.r_info);
    EXPECT_TRUE(type == kRelArmRelative || type == kRelArmRabs32)
        << "type " << type << " at " << r.r_offset;
    // Every relocated word is file data of the code segment, and what it holds is an
    // offset into the block, to which the loader adds the block's address.
    EXPECT_EQ(r.r_offset % 4, 0u) << r.r_offset;
    EXPECT_LE(std::uint64_t{r.r_offset} + 4, code.p_vaddr + code.p_filesz) << r.r_offset;
    EXPECT_LT(word(r.r_offset), block_size()) << "word at " << r.r_offset;
  }
}

TEST_P(AppletImageTest, DescriptorAndNameHeaderAreRelocatedAndHoldTheirValues) {
  const std::uint32_t csm = sym("MAINCSM").st_value;
  EXPECT_EQ(sym("MAINCSM").st_size, 44u);
  const auto relocated = relocated_words();

  struct Slot {
    std::uint32_t offset;
    const char* target;
  };
  for (Slot slot : {Slot{0, "maincsm_onmessage"}, Slot{4, "maincsm_oncreate"},
                    Slot{8, "maincsm_onclose"}, Slot{20, "minus11"},
                    Slot{24, "maincsm_name_body"}}) {
    EXPECT_TRUE(relocated.count(csm + slot.offset)) << "MAINCSM+" << slot.offset << " not relocated";
    EXPECT_EQ(word(csm + slot.offset), sym(slot.target).st_value) << "MAINCSM+" << slot.offset;
  }
  EXPECT_EQ(word(csm + 12), 40u) << "record size";
  EXPECT_EQ(word(csm + 16), 1u) << "state count";
  EXPECT_EQ(word(sym("minus11").st_value), 0xFFFFFFF5u);
  EXPECT_EQ(word(csm + 28), 0x55AACCCCu);
  EXPECT_EQ(word(csm + 32), 0x3333AA55u);
  EXPECT_EQ(word(csm + 36), 0u);
  EXPECT_EQ(word(csm + 40), 139u) << "maximum length 139, reserved 0";

  const Elf32_Phdr code = loads().at(0);
  EXPECT_LE(csm + 44, code.p_vaddr + code.p_filesz) << "MAINCSM must be in the read-only part";
}

// The image is freed by the routine that kill_data branches to, so the self-unload routine
// must reach it by branches only, with its caller's return address back in lr.
TEST_P(AppletImageTest, SelfUnloadBranchesToKillDataWithTheCallersReturnAddress) {
  EXPECT_EQ(sym("ELF_BEGIN").st_value, 0u);
  EXPECT_EQ(sym("kill_data").st_value, 0u) << "kill_data is the first instruction";
  EXPECT_EQ(word(sym("kill_data").st_value), 0xE12FFF11u) << "kill_data: bx r1";
  EXPECT_EQ(word(sym("seqkill").st_value), 0xE12FFF13u) << "seqkill: bx r3";

  const Elf32_Sym killer = sym("Killer");
  EXPECT_EQ(ELF32_ST_BIND(killer.st_info), STB_LOCAL) << "Killer is private to its file";
  ASSERT_GE(killer.st_size, 8u);

  std::uint32_t branch_at = 0;
  for (std::uint32_t at = killer.st_value; at < killer.st_value + killer.st_size; at += 4) {
    if ((word(at) & 0xFF000000u) == 0xEA000000u) {  // B, always, no link
      branch_at = at;
      break;
    }
  }
  ASSERT_NE(branch_at, 0u) << "Killer has no plain branch";
  const std::int32_t imm24 = static_cast<std::int32_t>(word(branch_at) << 8) >> 8;
  EXPECT_EQ(branch_at + 8 + imm24 * 4, sym("kill_data").st_value);

  const std::uint32_t pop = word(branch_at - 4);
  EXPECT_EQ(pop & 0xFFFF0000u, 0xE8BD0000u) << "the branch follows a pop";
  EXPECT_TRUE(pop & (1u << 14)) << "the pop restores lr";
  EXPECT_FALSE(pop & (1u << 15)) << "the pop must not return";

  // What follows the branch is the literal ELF_BEGIN, handed to kill_data.
  const auto relocated = relocated_words();
  for (std::uint32_t at = branch_at + 4; at < killer.st_value + killer.st_size; at += 4) {
    EXPECT_TRUE(relocated.count(at)) << "Killer+" << at - killer.st_value << " is not a literal";
    EXPECT_EQ(word(at), sym("ELF_BEGIN").st_value);
  }
}

// Services of up to four arguments are SWIs issued inline; the rest go through two-word stubs.
// Either way the number sits in the SWI's immediate, and an applet issues exactly the services
// it is meant to: the set of SWI immediates in its code is that set of numbers.
TEST_P(AppletImageTest, ServicesAreReachedBySwiWithTheNumberInTheImmediate) {
  const Elf32_Phdr code = loads().front();
  std::set<std::uint32_t> issued;
  for (std::uint32_t at = code.p_vaddr; at + 4 <= code.p_vaddr + code.p_filesz; at += 4)
    if ((word(at) & 0xFF000000u) == 0xEF000000u) issued.insert(word(at) & 0x00FFFFFFu);
  std::set<std::uint32_t> expected;
  for (const auto& [name, number] : GetParam().services) expected.insert(number);
  EXPECT_EQ(issued, expected);

  const std::uint32_t stub = sym("fw_wsprintf").st_value;
  EXPECT_EQ(word(stub), 0xEF000124u) << "fw_wsprintf: swi #0x124";
  EXPECT_EQ(word(stub + 4), 0xE12FFF1Eu) << "fw_wsprintf: bx lr";
}

std::vector<ImageCase> image_cases() {
  std::vector<ImageCase> cases;
  for (bool reduced : {false, true}) {
    cases.push_back({"nimbrel_clock", reduced, with("fw_get_date_time", 0xB4)});
    cases.push_back({"nimbrel_ram", reduced, with("fw_free_ram", 0x5F)});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Images, AppletImageTest, ::testing::ValuesIn(image_cases()),
                         [](const auto& info) {
                           return info.param.applet + (info.param.reduced ? "_new" : "");
                         });

}  // namespace
