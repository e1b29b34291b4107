#include "elf_view.h"

#include <cstring>
#include <fstream>
#include <iterator>

ElfView::ElfView(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error_ = "cannot open " + path;
    return;
  }
  bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  auto header = record_at<Elf32_Ehdr>(0);
  if (!header || std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0) {
    error_ = path + " is not an ELF file";
    return;
  }
  header_ = *header;
  for (unsigned i = 0; i < header_.e_phnum; ++i) {
    auto phdr = record_at<Elf32_Phdr>(std::uint64_t{header_.e_phoff} + i * header_.e_phentsize);
    if (!phdr) {
      error_ = "program header " + std::to_string(i) + " lies outside the file";
      return;
    }
    segments_.push_back(*phdr);
  }
}

template <typename Record>
std::optional<Record> ElfView::record_at(std::uint64_t offset) const {
  if (offset > bytes_.size() || bytes_.size() - offset < sizeof(Record)) return std::nullopt;
  Record record;
  std::memcpy(&record, bytes_.data() + offset, sizeof(Record));
  return record;
}

std::optional<std::uint32_t> ElfView::read32(std::uint64_t offset) const {
  return record_at<std::uint32_t>(offset);
}

std::vector<Elf32_Dyn> ElfView::dynamic_entries() const {
  std::vector<Elf32_Dyn> entries;
  for (const Elf32_Phdr& p : segments_) {
    if (p.p_type != PT_DYNAMIC) continue;
    for (std::uint32_t at = 0; at + sizeof(Elf32_Dyn) <= p.p_filesz; at += sizeof(Elf32_Dyn)) {
      auto entry = record_at<Elf32_Dyn>(std::uint64_t{p.p_offset} + at);
      if (!entry || entry->d_tag == DT_NULL) break;
      entries.push_back(*entry);
    }
    break;
  }
  return entries;
}

std::optional<std::uint32_t> ElfView::dynamic_value(std::int32_t tag) const {
  for (const Elf32_Dyn& entry : dynamic_entries())
    if (entry.d_tag == tag) return entry.d_un.d_val;
  return std::nullopt;
}

std::vector<Elf32_Rel> ElfView::relocations() {
  const Elf32_Phdr* dynamic = nullptr;
  for (const Elf32_Phdr& p : segments_)
    if (p.p_type == PT_DYNAMIC) dynamic = &p;
  auto rel = dynamic_value(DT_REL);
  auto size = dynamic_value(DT_RELSZ);
  if (!dynamic || !rel || !size) {
    error_ = "no dynamic segment with DT_REL and DT_RELSZ";
    return {};
  }
  const std::uint64_t start = std::uint64_t{*rel} - dynamic->p_vaddr;  // wraps if below
  if (*rel < dynamic->p_vaddr || start > dynamic->p_filesz || dynamic->p_filesz - start < *size ||
      *size % sizeof(Elf32_Rel) != 0) {
    error_ = "relocation table not inside the dynamic segment's data";
    return {};
  }
  std::vector<Elf32_Rel> table;
  for (std::uint32_t at = 0; at < *size; at += sizeof(Elf32_Rel)) {
    auto entry = record_at<Elf32_Rel>(dynamic->p_offset + start + at);
    if (!entry) {
      error_ = "relocation table runs past the end of the file";
      return {};
    }
    table.push_back(*entry);
  }
  return table;
}

std::optional<std::uint32_t> ElfView::word_at(std::uint32_t address) const {
  for (const Elf32_Phdr& p : segments_) {
    if (p.p_type != PT_LOAD || address < p.p_vaddr) continue;
    const std::uint64_t into = address - p.p_vaddr;
    if (into + 4 <= p.p_filesz) return read32(p.p_offset + into);
  }
  return std::nullopt;
}

std::optional<Elf32_Sym> ElfView::symbol(const std::string& name) const {
  for (unsigned i = 0; i < header_.e_shnum; ++i) {
    auto table = record_at<Elf32_Shdr>(std::uint64_t{header_.e_shoff} + i * header_.e_shentsize);
    if (!table || table->sh_type != SHT_SYMTAB || table->sh_entsize != sizeof(Elf32_Sym)) continue;
    auto strings = record_at<Elf32_Shdr>(std::uint64_t{header_.e_shoff} +
                                         std::uint64_t{table->sh_link} * header_.e_shentsize);
    if (!strings) return std::nullopt;
    for (std::uint32_t at = 0; at + sizeof(Elf32_Sym) <= table->sh_size; at += sizeof(Elf32_Sym)) {
      auto sym = record_at<Elf32_Sym>(std::uint64_t{table->sh_offset} + at);
      if (!sym || sym->st_name >= strings->sh_size) continue;
      const std::uint64_t text = std::uint64_t{strings->sh_offset} + sym->st_name;
      const std::uint64_t room = std::uint64_t{strings->sh_size} - sym->st_name;
      if (text + room > bytes_.size()) continue;
      const char* chars = reinterpret_cast<const char*>(bytes_.data() + text);
      if (name.size() < room && name.compare(0, name.size(), chars, name.size()) == 0 &&
          chars[name.size()] == '\0')
        return *sym;
    }
  }
  return std::nullopt;
}
