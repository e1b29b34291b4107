// Small hand-laid images for the reader's edge cases: the program header table at 52 and the
// segment data from kDataAt on.
#pragma once

#include <cstring>
#include <vector>

#include "elf_fixture.h"

inline constexpr std::uint32_t kDataAt = 512;

inline elf_fixture::Bytes small_image(const std::vector<Elf32_Phdr>& phdrs,
                                      const std::vector<elf_fixture::Blob>& blobs,
                                      std::uint32_t size = 0)
{
    elf_fixture::ImageDesc d;
    d.header = elf_fixture::arm_header(0x100, 52, static_cast<std::uint16_t>(phdrs.size()), 0, 0);
    d.header.e_shentsize = 0;
    d.header.e_shstrndx = 0;
    d.phdrs = phdrs;
    d.blobs = blobs;
    d.size = size;
    return elf_fixture::build(d);
}

inline Elf32_Phdr load(std::uint32_t offset, std::uint32_t filesz, std::uint32_t vaddr = 0)
{
    return elf_fixture::phdr(PT_LOAD, offset, vaddr, filesz, filesz, elf_fixture::PF_R);
}

inline Elf32_Phdr dynamic(std::uint32_t offset, std::uint32_t filesz, std::uint32_t vaddr = 0)
{
    return elf_fixture::phdr(PT_DYNAMIC, offset, vaddr, filesz, 0, elf_fixture::PF_R);
}

// Overwrites a field of an image built elsewhere.
template <class T>
elf_fixture::Bytes patched(elf_fixture::Bytes b, std::size_t offset, T value)
{
    std::memcpy(b.data() + offset, &value, sizeof value);
    return b;
}
