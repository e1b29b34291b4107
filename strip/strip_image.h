// The applet image records and the one in-memory image that elfslim reads and writes.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>

// Records are read and written as raw bytes, so the host must share the images' byte order.
static_assert(std::endian::native == std::endian::little, "elfslim assumes a little-endian host");

struct Elf32_Ehdr {
    std::uint8_t e_ident[16];
    std::uint16_t e_type;
    std::uint16_t e_machine;
    std::uint32_t e_version;
    std::uint32_t e_entry;
    std::uint32_t e_phoff;
    std::uint32_t e_shoff;
    std::uint32_t e_flags;
    std::uint16_t e_ehsize;
    std::uint16_t e_phentsize;
    std::uint16_t e_phnum;
    std::uint16_t e_shentsize;
    std::uint16_t e_shnum;
    std::uint16_t e_shstrndx;
};
static_assert(sizeof(Elf32_Ehdr) == 52);
static_assert(offsetof(Elf32_Ehdr, e_entry) == 24);
static_assert(offsetof(Elf32_Ehdr, e_phoff) == 28);
static_assert(offsetof(Elf32_Ehdr, e_shoff) == 32);
static_assert(offsetof(Elf32_Ehdr, e_phentsize) == 42);
static_assert(offsetof(Elf32_Ehdr, e_phnum) == 44);
static_assert(offsetof(Elf32_Ehdr, e_shstrndx) == 50);

struct Elf32_Phdr {
    std::uint32_t p_type;
    std::uint32_t p_offset;
    std::uint32_t p_vaddr;
    std::uint32_t p_paddr;
    std::uint32_t p_filesz;
    std::uint32_t p_memsz;
    std::uint32_t p_flags;
    std::uint32_t p_align;
};
static_assert(sizeof(Elf32_Phdr) == 32);
static_assert(offsetof(Elf32_Phdr, p_offset) == 4);
static_assert(offsetof(Elf32_Phdr, p_filesz) == 16);
static_assert(offsetof(Elf32_Phdr, p_align) == 28);

struct Elf32_Dyn {
    std::int32_t d_tag;
    std::uint32_t d_val;
};
static_assert(sizeof(Elf32_Dyn) == 8);
static_assert(offsetof(Elf32_Dyn, d_val) == 4);

struct Elf32_Rel {
    std::uint32_t r_offset;
    std::uint32_t r_info;
};
static_assert(sizeof(Elf32_Rel) == 8);
static_assert(offsetof(Elf32_Rel, r_info) == 4);

inline constexpr std::uint32_t PT_NULL = 0;
inline constexpr std::uint32_t PT_LOAD = 1;
inline constexpr std::uint32_t PT_DYNAMIC = 2;
inline constexpr std::uint32_t PT_NOTE = 4;

inline constexpr std::int32_t DT_NULL = 0;
inline constexpr std::int32_t DT_RELA = 7;
inline constexpr std::int32_t DT_RELASZ = 8;
inline constexpr std::int32_t DT_REL = 17;
inline constexpr std::int32_t DT_RELSZ = 18;
inline constexpr std::int32_t DT_BIND_NOW = 24;  // the highest tag the reader records

// Largest e_phnum accepted; every input program header yields at most one collected segment.
inline constexpr int MAX_PHDRS = 10;

// What the reader collects and the writer writes out. Buffers are owned here; the writer
// releases each one as soon as it is on disk.
struct StripImage {
    Elf32_Ehdr header;
    Elf32_Phdr phdrs[MAX_PHDRS];
    std::int32_t count;
    std::unique_ptr<std::uint8_t[]> data[MAX_PHDRS];  // data[k] holds phdrs[k].p_filesz bytes
    std::int32_t input_size;
    std::int32_t output_size;
};

// Reads, checks and dumps the image at path into img; the dump goes to dump, flushed per line.
// Returns 0 or a negative code from strip_codes.h.
int read_image(const char* path, StripImage& img, std::ostream& dump);

// Writes the reduced image held in img to path; sets the new offsets and output_size.
// Returns 0 or a negative code from strip_codes.h.
int write_image(const char* path, StripImage& img);

void zero_fill(void* p, std::size_t n);
