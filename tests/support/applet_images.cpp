// The layouts of the three applet images, byte for byte where the strip tool and the loader
// look, and plausible filler (code bytes, symbols, section names) where they do not.
#include <algorithm>
#include <string>

#include "elf_fixture.h"

namespace elf_fixture {

namespace {

Elf32_Shdr shdr(std::uint32_t type, std::uint32_t flags, std::uint32_t addr, std::uint32_t offset,
                std::uint32_t size, std::uint32_t entsize = 0)
{
    return Elf32_Shdr{0, type, flags, addr, offset, size, 0, 0, 4, entsize};
}

}  // namespace

DynamicSegment applet_dynamic(const std::string& module, std::uint32_t strsz,
                              const std::vector<Elf32_Rel>& rels)
{
    const std::uint32_t strtab = 11 * sizeof(Elf32_Dyn);
    const std::uint32_t symtab = strtab + strsz;
    const std::uint32_t rel = symtab + 16;
    const std::uint32_t relsz = static_cast<std::uint32_t>(rels.size() * sizeof(Elf32_Rel));
    const std::uint32_t hash = rel + relsz;
    const std::vector<Elf32_Dyn> entries = {
        {DT_SONAME, 1}, {DT_STRTAB, strtab}, {DT_STRSZ, strsz}, {DT_SYMTAB, symtab},
        {DT_LOPROC, 16}, {DT_SYMENT, 16},    {DT_REL, rel},     {DT_RELSZ, relsz},
        {DT_RELENT, 8}, {DT_HASH, hash},     {DT_NULL, 0}};
    Bytes names(strsz, 0);
    std::copy(module.begin(), module.end(), names.begin() + 1);
    const Bytes symbol(16, 0);
    const Bytes hash_table = words({1, 1, 0, 0});  // nbucket, nchain, bucket[0], chain[0]
    return {concat({bytes_of(entries), names, symbol, bytes_of(rels), hash_table}), rel, relsz};
}

std::vector<Elf32_Rel> relocations(std::uint32_t n, std::uint32_t code_size, bool two_symbols)
{
    std::vector<Elf32_Rel> rels;
    const std::uint32_t step = (code_size / n) & ~3u;
    for (std::uint32_t k = 0; k < n; ++k) {
        const std::uint32_t sym = two_symbols && k % 3 == 0 ? 4 : 2;
        rels.push_back({4 + k * step, sym << 8 | R_ARM_RABS32});
    }
    return rels;
}

void add_symbol_sections(ImageDesc& d, const std::vector<Section>& program_sections,
                         std::uint32_t start, std::uint32_t end, std::uint32_t symbols)
{
    std::vector<Section> all = {{"", {}}, {".shstrtab", shdr(SHT_STRTAB, 0, 0, start, 0)}};
    all.insert(all.end(), program_sections.begin(), program_sections.end());
    const auto strtab_index = static_cast<std::uint32_t>(all.size());
    all.push_back({".strtab", {}});
    all.push_back({".symtab", {}});

    const std::uint32_t strtab_at = start + section_names_size(all);
    const std::uint32_t symtab_at = end - symbols * 16;
    const std::uint32_t strtab_size = symtab_at - strtab_at;
    all[strtab_index].header = shdr(SHT_STRTAB, 0, 0, strtab_at, strtab_size);
    all[strtab_index + 1].header = shdr(SHT_SYMTAB, 0, 0, symtab_at, symbols * 16, 16);
    all[strtab_index + 1].header.sh_link = strtab_index;
    all[strtab_index + 1].header.sh_info = symbols;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i].header.sh_type == SHT_STRTAB)
            all[i].header.sh_addralign = 1;

    Bytes strings{0};
    for (int k = 0; strings.size() < strtab_size; ++k) {
        const std::string s = "sym" + std::to_string(k);
        strings.insert(strings.end(), s.begin(), s.end());
        strings.push_back(0);
    }
    strings.resize(strtab_size);
    if (!strings.empty())
        strings.back() = 0;
    d.blobs.push_back({strtab_at, strings});
    d.sections = all;
}

namespace {

struct PluginLayout {
    std::string name;
    std::uint32_t size, entry, code, phoff;
};

AppletImage plugin_image(const PluginLayout& l, std::uint32_t seed)
{
    const std::uint32_t dyn_at = 52 + l.code;
    const DynamicSegment dyn = applet_dynamic(l.name, 16, relocations(13, l.code, false));
    const std::uint32_t dyn_size = static_cast<std::uint32_t>(dyn.bytes.size());
    const std::uint32_t shoff = l.phoff + 3 * sizeof(Elf32_Phdr);

    ImageDesc d;
    d.header = arm_header(l.entry, l.phoff, 3, shoff, 6);
    d.phdrs = {
        phdr(PT_LOAD, 52, 0, l.code, l.code, PF_R | PF_X),      // CODE, DATA_C, INITTAB
        phdr(PT_LOAD, dyn_at, l.code, 0, 296, PF_R | PF_W),     // DATA_Z
        phdr(PT_DYNAMIC, dyn_at, 0, dyn_size, 0, PF_R),
    };
    d.blobs = {{52, pattern(l.code, seed)}, {dyn_at, dyn.bytes}};
    add_symbol_sections(d,
                        {{"CODE", shdr(SHT_PROGBITS, SHF_ALLOC | SHF_EXECINSTR, 0, 52, l.code)},
                         {".dynamic", shdr(SHT_DYNAMIC, SHF_ALLOC, 0, dyn_at, dyn_size, 8)}},
                        dyn_at + dyn_size, l.phoff, 10);
    d.size = l.size;
    return {l.name, d, dyn_at, dyn_at + dyn.rel_at, dyn.rel_size};
}

}  // namespace

AppletImage alarm_image()
{
    const DynamicSegment dyn = applet_dynamic("wakebell", 12, relocations(50, 5212, true));
    ImageDesc d;
    d.header = arm_header(4708, 8032, 5, 8192, 8);
    d.phdrs = {
        phdr(PT_LOAD, 52, 0, 5212, 5212, PF_R | PF_X),      // DATA_ID, CODE, DATA_C, INITTAB
        phdr(PT_LOAD, 5264, 0, 0, 2344, PF_R | PF_W),       // DATA_I, over the start of segment 0
        phdr(PT_LOAD, 5264, 5212, 0, 288, PF_R | PF_W),     // DATA_Z
        phdr(PT_LOAD, 5264, 5500, 600, 600, PF_R | PF_X),   // CONFIG_C, the settings block
        phdr(PT_DYNAMIC, 5864, 0, 532, 0, PF_R),
    };
    d.blobs = {{52, pattern(5212, 1)}, {5264, pattern(600, 2)}, {5864, dyn.bytes}};
    add_symbol_sections(d,
                        {{"CODE", shdr(SHT_PROGBITS, SHF_ALLOC | SHF_EXECINSTR, 0, 52, 5212)},
                         {"DATA_Z", shdr(SHT_NOBITS, SHF_ALLOC | SHF_WRITE, 5212, 5264, 288)},
                         {"CONFIG_C", shdr(SHT_PROGBITS, SHF_ALLOC, 5500, 5264, 600)},
                         {".dynamic", shdr(SHT_DYNAMIC, SHF_ALLOC, 0, 5864, 532, 8)}},
                        5864 + 532, 8032, 60);
    d.size = 8512;
    return {"wakebell", d, 5864, 5864 + dyn.rel_at, dyn.rel_size};
}

AppletImage clock_plugin_image()
{
    return plugin_image({"nimbrel_clock", 1432, 184, 432, 1096}, 3);
}

AppletImage ram_plugin_image()
{
    return plugin_image({"nimbrel_ram", 1352, 144, 352, 1016}, 4);
}

std::vector<AppletImage> applet_images()
{
    return {alarm_image(), clock_plugin_image(), ram_plugin_image()};
}

}  // namespace elf_fixture
