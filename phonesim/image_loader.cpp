#include "image_loader.h"

#include <cstdio>
#include <cstring>

namespace phonesim {

namespace {

constexpr uint32_t PT_LOAD = 1, PT_DYNAMIC = 2;
constexpr int32_t DT_NULL = 0, DT_RELA = 7, DT_RELASZ = 8, DT_REL = 17, DT_RELSZ = 18,
                  DT_RELENT = 19;
constexpr uint32_t R_ARM_RELATIVE = 23, R_ARM_RABS32 = 253;
constexpr unsigned kMaxProgramHeaders = 64;

uint32_t le32(std::span<const uint8_t> f, uint64_t at) {
  return uint32_t(f[at]) | uint32_t(f[at + 1]) << 8 | uint32_t(f[at + 2]) << 16 |
         uint32_t(f[at + 3]) << 24;
}
uint16_t le16(std::span<const uint8_t> f, uint64_t at) {
  return uint16_t(f[at] | f[at + 1] << 8);
}

std::string hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

std::string segment_name(unsigned i) { return "program header " + std::to_string(i); }

}  // namespace

const char* relocation_type_name(uint32_t type) {
  switch (type) {
    case 0: return "R_ARM_NONE";
    case 2: return "R_ARM_ABS32";
    case 3: return "R_ARM_REL32";
    case 20: return "R_ARM_COPY";
    case 21: return "R_ARM_GLOB_DAT";
    case 22: return "R_ARM_JUMP_SLOT";
    case 23: return "R_ARM_RELATIVE";
    case 253: return "R_ARM_RABS32";
    default: return "unknown";
  }
}

Result<LoadPlan> plan_image(std::span<const uint8_t> f) {
  const uint64_t size = f.size();
  if (size < 52) return Error{"the file is " + std::to_string(size) + " bytes, too short for an ELF header"};
  if (f[0] != 0x7F || f[1] != 'E' || f[2] != 'L' || f[3] != 'F') return Error{"not an ELF file (bad magic)"};
  if (f[4] != 1 || f[5] != 1) return Error{"not a 32-bit little-endian ELF image"};
  if (le16(f, 18) != 40) return Error{"not an ARM image (e_machine " + std::to_string(le16(f, 18)) + ")"};

  LoadPlan plan;
  plan.entry = le32(f, 24);
  const uint32_t phoff = le32(f, 28);
  const uint16_t phentsize = le16(f, 42);
  const uint16_t phnum = le16(f, 44);
  if (phnum == 0) return Error{"the image has no program headers"};
  if (phnum > kMaxProgramHeaders) return Error{"the image has " + std::to_string(phnum) + " program headers, more than " + std::to_string(kMaxProgramHeaders)};
  if (phentsize < 32) return Error{"program header entries of " + std::to_string(phentsize) + " bytes are too small"};
  if (uint64_t(phoff) + uint64_t(phnum - 1) * phentsize + 32 > size)
    return Error{"the program header table (" + std::to_string(phnum) + " entries at " + hex(phoff) + ") runs past the end of the file"};

  struct Dyn { unsigned index; uint32_t offset, vaddr, filesz; };
  std::vector<Dyn> dynamics;
  uint64_t block = 0;
  for (unsigned i = 0; i < phnum; ++i) {
    const uint64_t at = phoff + uint64_t(i) * phentsize;
    const uint32_t type = le32(f, at);
    LoadSegment s{i, le32(f, at + 4), le32(f, at + 8), le32(f, at + 16), le32(f, at + 20), le32(f, at + 24)};
    if (type != PT_LOAD && type != PT_DYNAMIC) continue;  // the phone's loader looks at nothing else
    if (uint64_t(s.offset) + s.filesz > size)
      return Error{segment_name(i) + ": its " + std::to_string(s.filesz) + " bytes at file offset " + hex(s.offset) + " run past the end of the file (" + std::to_string(size) + " bytes)"};
    if (type == PT_DYNAMIC) {
      dynamics.push_back({i, s.offset, s.vaddr, s.filesz});
      continue;
    }
    if (s.filesz > s.memsz)
      return Error{segment_name(i) + ": file size " + std::to_string(s.filesz) + " exceeds its memory size " + std::to_string(s.memsz)};
    const uint64_t end = uint64_t(s.vaddr) + s.memsz;
    if (end > kMaxImageBlock)
      return Error{segment_name(i) + ": ends at " + hex(uint32_t(std::min<uint64_t>(end, 0xFFFFFFFF))) + ", beyond the loader's " + std::to_string(kMaxImageBlock / (1024 * 1024)) + " MiB limit"};
    block = std::max(block, end);
    plan.segments.push_back(s);
  }
  if (plan.segments.empty()) return Error{"the image has no loadable segment"};
  if (block == 0) return Error{"the image's loadable segments occupy no memory"};
  plan.block_size = uint32_t(block);
  if ((plan.entry & ~1u) >= plan.block_size)
    return Error{"the entry point " + hex(plan.entry) + " lies outside the image's " + std::to_string(plan.block_size) + " bytes"};

  for (const Dyn& d : dynamics) {
    const std::string seg = "dynamic segment (" + segment_name(d.index) + ")";
    uint32_t rel = 0, relsz = 0, relent = 8, relasz = 0;
    bool has_rel = false, terminated = false;
    for (uint64_t at = 0; at + 8 <= d.filesz; at += 8) {
      const int32_t tag = int32_t(le32(f, d.offset + at));
      const uint32_t val = le32(f, d.offset + at + 4);
      if (tag == DT_NULL) {
        terminated = true;
        break;
      }
      if (tag == DT_REL) rel = val, has_rel = true;
      if (tag == DT_RELSZ) relsz = val;
      if (tag == DT_RELENT) relent = val;
      if (tag == DT_RELASZ) relasz = val;
      (void)DT_RELA;
    }
    if (!terminated) return Error{seg + ": no DT_NULL entry within its " + std::to_string(d.filesz) + " bytes"};
    if (relasz != 0) return Error{seg + ": relocations with addends (DT_RELA) are not supported"};
    if (relsz == 0) continue;
    if (!has_rel) return Error{seg + ": DT_RELSZ is " + std::to_string(relsz) + " but there is no DT_REL"};
    if (relent != 8) return Error{seg + ": relocation entries of " + std::to_string(relent) + " bytes (DT_RELENT), expected 8"};
    if (relsz % 8 != 0) return Error{seg + ": DT_RELSZ " + std::to_string(relsz) + " is not a multiple of 8"};
    if (rel < d.vaddr || uint64_t(rel - d.vaddr) + relsz > d.filesz)
      return Error{seg + ": the relocation table (DT_REL " + hex(rel) + ", " + std::to_string(relsz) + " bytes) lies outside the segment's " + std::to_string(d.filesz) + " bytes at address " + hex(d.vaddr)};
    const uint64_t table = uint64_t(d.offset) + (rel - d.vaddr);
    for (uint32_t k = 0; k < relsz / 8; ++k) {
      const uint32_t r_offset = le32(f, table + 8 * k);
      const uint32_t type = le32(f, table + 8 * k + 4) & 0xFF;
      if (type != R_ARM_RELATIVE && type != R_ARM_RABS32)
        return Error{"relocation " + std::to_string(k) + " at " + hex(r_offset) + " has type " + std::to_string(type) + " (" + relocation_type_name(type) + "); the loader handles only R_ARM_RELATIVE (23) and R_ARM_RABS32 (253)"};
      if (uint64_t(r_offset) + 4 > plan.block_size)
        return Error{"relocation " + std::to_string(k) + " patches " + hex(r_offset) + ", outside the image's " + std::to_string(plan.block_size) + " bytes"};
      plan.relocations.push_back({r_offset, type});
    }
  }
  return plan;
}

std::vector<uint8_t> build_block(const LoadPlan& plan, std::span<const uint8_t> file, uint32_t base) {
  std::vector<uint8_t> block(plan.block_size, 0);
  for (const LoadSegment& s : plan.segments)
    if (s.filesz) std::memcpy(block.data() + s.vaddr, file.data() + s.offset, s.filesz);
  for (const ImageRelocation& r : plan.relocations) {
    uint32_t w;
    std::memcpy(&w, block.data() + r.offset, 4);
    w += base;
    std::memcpy(block.data() + r.offset, &w, 4);
  }
  return block;
}

}  // namespace phonesim
