// A read-only view of an applet image file, enough to check its layout: program headers,
// the relocation table found through the dynamic segment, words at load addresses, and (in
// a full image) symbols by name. Every read is bounds-checked; a malformed file gives empty
// results and an error text rather than a crash.
#pragma once

#include <elf.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class ElfView {
 public:
  // Reads the whole file; error() says what went wrong if anything did.
  explicit ElfView(const std::string& path);

  const std::string& error() const { return error_; }
  const Elf32_Ehdr& header() const { return header_; }
  const std::vector<Elf32_Phdr>& segments() const { return segments_; }
  std::uint32_t file_size() const { return static_cast<std::uint32_t>(bytes_.size()); }

  // The PT_DYNAMIC segment's entries, from its first byte to DT_NULL.
  std::vector<Elf32_Dyn> dynamic_entries() const;
  std::optional<std::uint32_t> dynamic_value(std::int32_t tag) const;

  // The DT_REL table, read from the dynamic segment's own file data (DT_REL minus p_vaddr).
  // Empty, with error() set, if the table is not wholly inside that data.
  std::vector<Elf32_Rel> relocations();

  // The 32-bit word that the loader finds at load address `address`, from the file data of
  // the PT_LOAD segment that covers it.
  std::optional<std::uint32_t> word_at(std::uint32_t address) const;

  // Symbol by name from .symtab; only full images have one.
  std::optional<Elf32_Sym> symbol(const std::string& name) const;

 private:
  std::optional<std::uint32_t> read32(std::uint64_t offset) const;
  template <typename Record>
  std::optional<Record> record_at(std::uint64_t offset) const;

  std::vector<std::uint8_t> bytes_;
  Elf32_Ehdr header_{};
  std::vector<Elf32_Phdr> segments_;
  std::string error_;
};
