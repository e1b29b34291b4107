// Builds ELF32 applet images for tests from a plain description: header fields, program
// headers, byte blocks at file offsets (segment data, dynamic segment, section data) and an
// optional section header table. Apart from the section name table, nothing is derived or
// fixed up behind the description's back, so broken images are described as easily as sound
// ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "strip_image.h"

namespace elf_fixture {

using Bytes = std::vector<std::uint8_t>;

struct Elf32_Shdr {
    std::uint32_t sh_name, sh_type, sh_flags, sh_addr, sh_offset, sh_size, sh_link, sh_info,
        sh_addralign, sh_entsize;
};
static_assert(sizeof(Elf32_Shdr) == 40);

inline constexpr std::uint32_t PF_X = 1, PF_W = 2, PF_R = 4;
inline constexpr std::uint32_t SHT_PROGBITS = 1, SHT_SYMTAB = 2, SHT_STRTAB = 3,
                               SHT_DYNAMIC = 6, SHT_NOBITS = 8;
inline constexpr std::uint32_t SHF_WRITE = 1, SHF_ALLOC = 2, SHF_EXECINSTR = 4;
inline constexpr std::uint32_t R_ARM_RABS32 = 253;
inline constexpr std::int32_t DT_HASH = 4, DT_STRTAB = 5, DT_SYMTAB = 6, DT_STRSZ = 10,
                              DT_SYMENT = 11, DT_SONAME = 14, DT_RELENT = 19,
                              DT_LOPROC = 0x70000000;

struct Blob {
    std::uint32_t offset;
    Bytes bytes;
};

// A section header; the builder puts the names into the data of the section called
// ".shstrtab" and sets that section's size to the table's length.
struct Section {
    std::string name;
    Elf32_Shdr header;  // sh_name is filled in by the builder
};

struct ImageDesc {
    Elf32_Ehdr header{};
    std::vector<Elf32_Phdr> phdrs;  // written at e_phoff, e_phentsize apart, whatever e_phnum says
    std::vector<Blob> blobs;
    std::vector<Section> sections;  // written at e_shoff when not empty
    std::uint32_t size = 0;         // file size; 0: up to the last byte placed
};

// An ARM executable header with the applets' fixed fields; phoff, phnum, shoff, shnum as given.
Elf32_Ehdr arm_header(std::uint32_t entry, std::uint32_t phoff, std::uint16_t phnum,
                      std::uint32_t shoff, std::uint16_t shnum);

Elf32_Phdr phdr(std::uint32_t type, std::uint32_t offset, std::uint32_t vaddr, std::uint32_t filesz,
                std::uint32_t memsz, std::uint32_t flags, std::uint32_t align = 4);

// Raw bytes of records laid end to end.
Bytes bytes_of(const std::vector<Elf32_Dyn>& entries);
Bytes bytes_of(const std::vector<Elf32_Rel>& entries);
Bytes words(const std::vector<std::uint32_t>& values);
Bytes concat(const std::vector<Bytes>& parts);
// n bytes of a fixed pseudo-random sequence, so that each segment's bytes can be told apart.
Bytes pattern(std::size_t n, std::uint32_t seed);

// Length of the name table that build() makes for these sections.
std::uint32_t section_names_size(const std::vector<Section>& sections);

Bytes build(const ImageDesc& desc);
// Returns false if the file cannot be written whole.
bool write_file(const std::string& path, const Bytes& bytes);
Bytes read_file(const std::string& path);

// A dynamic segment as the applets carry it: eleven entries, the module name, one all-zero
// symbol, the relocations and a one-bucket hash table, back to back. Its address is 0, so its
// address values are offsets into it.
struct DynamicSegment {
    Bytes bytes;
    std::uint32_t rel_at;  // offset of the relocation table within the segment
    std::uint32_t rel_size;
};
DynamicSegment applet_dynamic(const std::string& module, std::uint32_t strsz,
                              const std::vector<Elf32_Rel>& rels);
// n word-aligned places spread over code_size bytes; symbol index 2, or 4 and 2 in turn.
std::vector<Elf32_Rel> relocations(std::uint32_t n, std::uint32_t code_size, bool two_symbols);
// Section data filling [start, end) exactly: section names, a string table and a symbol table
// of all-zero symbols; sets desc.sections to the given ones framed by these.
void add_symbol_sections(ImageDesc& desc, const std::vector<Section>& program_sections,
                         std::uint32_t start, std::uint32_t end, std::uint32_t symbols);

// The three applet images with their exact layouts: file size, header, program headers,
// dynamic segment (eleven entries, string table, one symbol, relocations, hash table),
// section data and section header table.
struct AppletImage {
    std::string name;
    ImageDesc desc;
    std::uint32_t dynamic_offset;  // file offset of the dynamic segment
    std::uint32_t rel_offset;      // file offset of the relocation table
    std::uint32_t rel_size;
};
AppletImage alarm_image();          // wakebell, 8512 bytes
AppletImage clock_plugin_image();   // nimbrel_clock, 1432 bytes
AppletImage ram_plugin_image();     // nimbrel_ram, 1352 bytes
std::vector<AppletImage> applet_images();

}  // namespace elf_fixture
