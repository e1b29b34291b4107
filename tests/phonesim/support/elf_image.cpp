#include "elf_image.h"

#include <cstring>

#include "elf_fixture.h"

namespace testing_elf {

void put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  if (v.size() < at + 4) v.resize(at + 4);
  std::memcpy(v.data() + at, &x, 4);
}

uint32_t get32(std::span<const uint8_t> v, size_t at) {
  uint32_t x;
  std::memcpy(&x, v.data() + at, 4);
  return x;
}

// The images are laid out as the simulator's tests need them (header, program headers, then
// each segment's data in order) and written by the shared fixture builder.
std::vector<uint8_t> Image::build() const {
  namespace ef = elf_fixture;
  std::vector<Segment> all = segments;
  if (!relocs.empty()) {
    std::vector<Elf32_Rel> table;
    for (const Reloc& r : relocs) table.push_back({r.offset, r.type});
    const std::vector<Elf32_Dyn> entries = {
        {DT_REL, dynamic_vaddr + 24}, {DT_RELSZ, uint32_t(sizeof(Elf32_Rel) * table.size())}, {DT_NULL, 0}};
    all.push_back({PT_DYNAMIC, dynamic_vaddr, ef::concat({ef::bytes_of(entries), ef::bytes_of(table)}), 0,
                   ef::PF_R});
  }
  ef::ImageDesc desc;
  const uint32_t phoff = sizeof(Elf32_Ehdr);
  desc.header = ef::arm_header(entry, phoff, uint16_t(all.size()), 0, 0);
  desc.header.e_machine = machine;
  uint32_t offset = phoff + uint32_t(sizeof(Elf32_Phdr) * all.size());
  for (const Segment& s : all) {
    const uint32_t filesz = uint32_t(s.data.size());
    const uint32_t memsz = s.type == PT_LOAD && s.memsz == 0 ? filesz : s.memsz;
    desc.phdrs.push_back(ef::phdr(s.type, offset, s.vaddr, filesz, memsz, s.flags));
    desc.blobs.push_back({offset, s.data});
    offset += filesz;
  }
  return ef::build(desc);
}

uint32_t guest_symbol(std::span<const uint8_t> blob, uint32_t symbol) { return get32(blob, 16 + 4 * symbol); }

Image guest_image(std::span<const uint8_t> blob, uint32_t entry_symbol, uint32_t reloc_type) {
  const uint32_t words_start = get32(blob, 0), words_end = get32(blob, 4), bss_end = get32(blob, 8);
  Image img;
  img.entry = guest_symbol(blob, entry_symbol);
  img.segments.push_back({1, 0, std::vector<uint8_t>(blob.begin(), blob.begin() + words_start), 0, 5});
  img.segments.push_back({1, words_end, {}, bss_end - words_end, 6});
  for (uint32_t at = words_start; at < words_end; at += 4) img.relocs.push_back({get32(blob, at), reloc_type});
  return img;
}

}  // namespace testing_elf
