#include "elf_image.h"

#include <cstring>

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

static void put16(std::vector<uint8_t>& v, size_t at, uint16_t x) { std::memcpy(v.data() + at, &x, 2); }

std::vector<uint8_t> Image::build() const {
  std::vector<Segment> all = segments;
  if (!relocs.empty()) {
    Segment dyn;
    dyn.type = 2;
    dyn.vaddr = dynamic_vaddr;
    dyn.flags = 4;
    std::vector<uint8_t>& d = dyn.data;
    put32(d, 0, 17);  // DT_REL
    put32(d, 4, dynamic_vaddr + 24);
    put32(d, 8, 18);  // DT_RELSZ
    put32(d, 12, uint32_t(8 * relocs.size()));
    put32(d, 16, 0);
    put32(d, 20, 0);
    for (size_t i = 0; i < relocs.size(); ++i) {
      put32(d, 24 + 8 * i, relocs[i].offset);
      put32(d, 28 + 8 * i, relocs[i].type);
    }
    dyn.memsz = 0;
    all.push_back(dyn);
  }
  std::vector<uint8_t> f(52, 0);
  f[0] = 0x7F, f[1] = 'E', f[2] = 'L', f[3] = 'F', f[4] = 1, f[5] = 1, f[6] = 1;
  put16(f, 16, 2);
  put16(f, 18, machine);
  put32(f, 20, 1);
  put32(f, 24, entry);
  put32(f, 28, 52);
  put16(f, 40, 52);
  put16(f, 42, 32);
  put16(f, 44, uint16_t(all.size()));
  f.resize(52 + 32 * all.size());
  for (size_t i = 0; i < all.size(); ++i) {
    const Segment& s = all[i];
    const size_t h = 52 + 32 * i;
    const uint32_t offset = uint32_t(f.size());
    f.insert(f.end(), s.data.begin(), s.data.end());
    put32(f, h, s.type);
    put32(f, h + 4, offset);
    put32(f, h + 8, s.vaddr);
    put32(f, h + 12, s.vaddr);
    put32(f, h + 16, uint32_t(s.data.size()));
    put32(f, h + 20, s.type == 1 && s.memsz == 0 ? uint32_t(s.data.size()) : s.memsz);
    put32(f, h + 24, s.flags);
    put32(f, h + 28, 4);
  }
  return f;
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
