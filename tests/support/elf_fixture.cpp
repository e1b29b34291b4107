#include "elf_fixture.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace elf_fixture {

namespace {

// Copies what falls inside the image; bytes placed past its end are dropped, so a short
// size describes a truncated file.
void place(Bytes& image, std::uint64_t offset, const void* src, std::size_t n)
{
    if (n == 0 || offset >= image.size())  // an empty block may have no storage at all
        return;
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, image.size() - offset));
    std::memcpy(image.data() + offset, src, n);
}

std::uint64_t phdr_end(const ImageDesc& d)
{
    if (d.phdrs.empty())
        return 0;
    return d.header.e_phoff + std::uint64_t{d.header.e_phentsize} * (d.phdrs.size() - 1) +
           sizeof(Elf32_Phdr);
}

std::uint32_t shentsize(const ImageDesc& d)
{
    return d.header.e_shentsize ? d.header.e_shentsize : sizeof(Elf32_Shdr);
}

// Names in section order, each NUL-terminated, after the leading NUL of the empty name.
Bytes section_names(const std::vector<Section>& sections, std::vector<std::uint32_t>& at)
{
    Bytes names{0};
    for (const Section& s : sections) {
        if (s.name.empty()) {
            at.push_back(0);
            continue;
        }
        at.push_back(static_cast<std::uint32_t>(names.size()));
        names.insert(names.end(), s.name.begin(), s.name.end());
        names.push_back(0);
    }
    return names;
}

}  // namespace

Elf32_Ehdr arm_header(std::uint32_t entry, std::uint32_t phoff, std::uint16_t phnum,
                      std::uint32_t shoff, std::uint16_t shnum)
{
    Elf32_Ehdr h{};
    const std::uint8_t ident[16] = {0x7f, 'E', 'L', 'F', 1 /*ELFCLASS32*/, 1 /*ELFDATA2LSB*/,
                                    1 /*EV_CURRENT*/};
    std::memcpy(h.e_ident, ident, sizeof ident);
    h.e_type = 2;      // ET_EXEC
    h.e_machine = 40;  // EM_ARM
    h.e_version = 1;
    h.e_entry = entry;
    h.e_phoff = phoff;
    h.e_shoff = shoff;
    h.e_flags = 2;
    h.e_ehsize = sizeof(Elf32_Ehdr);
    h.e_phentsize = sizeof(Elf32_Phdr);
    h.e_phnum = phnum;
    h.e_shentsize = sizeof(Elf32_Shdr);
    h.e_shnum = shnum;
    h.e_shstrndx = 1;
    return h;
}

Elf32_Phdr phdr(std::uint32_t type, std::uint32_t offset, std::uint32_t vaddr, std::uint32_t filesz,
                std::uint32_t memsz, std::uint32_t flags, std::uint32_t align)
{
    return Elf32_Phdr{type, offset, vaddr, vaddr, filesz, memsz, flags, align};
}

Bytes bytes_of(const std::vector<Elf32_Dyn>& entries)
{
    Bytes out(entries.size() * sizeof(Elf32_Dyn));
    if (!out.empty())
        std::memcpy(out.data(), entries.data(), out.size());
    return out;
}

Bytes bytes_of(const std::vector<Elf32_Rel>& entries)
{
    Bytes out(entries.size() * sizeof(Elf32_Rel));
    if (!out.empty())
        std::memcpy(out.data(), entries.data(), out.size());
    return out;
}

Bytes words(const std::vector<std::uint32_t>& values)
{
    Bytes out(values.size() * 4);
    if (!out.empty())
        std::memcpy(out.data(), values.data(), out.size());
    return out;
}

Bytes concat(const std::vector<Bytes>& parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes pattern(std::size_t n, std::uint32_t seed)
{
    Bytes out(n);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::uint8_t& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return out;
}

std::uint32_t section_names_size(const std::vector<Section>& sections)
{
    std::vector<std::uint32_t> at;
    return static_cast<std::uint32_t>(section_names(sections, at).size());
}

Bytes build(const ImageDesc& d)
{
    std::uint64_t end = std::max<std::uint64_t>(sizeof(Elf32_Ehdr), phdr_end(d));
    for (const Blob& b : d.blobs)
        end = std::max<std::uint64_t>(end, b.offset + std::uint64_t{b.bytes.size()});
    if (!d.sections.empty())
        end = std::max<std::uint64_t>(end, d.header.e_shoff + std::uint64_t{shentsize(d)} * d.sections.size());

    Bytes image(d.size ? d.size : end, 0);
    place(image, 0, &d.header, sizeof d.header);
    for (std::size_t i = 0; i < d.phdrs.size(); ++i)
        place(image, d.header.e_phoff + std::uint64_t{d.header.e_phentsize} * i, &d.phdrs[i],
              sizeof(Elf32_Phdr));
    for (const Blob& b : d.blobs)
        place(image, b.offset, b.bytes.data(), b.bytes.size());

    std::vector<std::uint32_t> name_at;
    const Bytes names = section_names(d.sections, name_at);
    for (std::size_t i = 0; i < d.sections.size(); ++i) {
        Elf32_Shdr sh = d.sections[i].header;
        sh.sh_name = name_at[i];
        if (d.sections[i].name == ".shstrtab") {
            sh.sh_size = static_cast<std::uint32_t>(names.size());
            place(image, sh.sh_offset, names.data(), names.size());
        }
        place(image, d.header.e_shoff + std::uint64_t{shentsize(d)} * i, &sh, sizeof sh);
    }
    return image;
}

bool write_file(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

Bytes read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace elf_fixture
