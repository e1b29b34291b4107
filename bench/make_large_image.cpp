// Writes a large applet-shaped image for the strip benchmark: MIB mebibytes of load-segment
// data, an empty data segment, a dynamic segment with 4096 relocations, section data and a
// section header table (so that objcopy accepts it too).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "elf_fixture.h"

using namespace elf_fixture;

int main(int argc, char** argv)
{
    const long mib = argc == 3 ? std::strtol(argv[1], nullptr, 10) : 0;
    if (mib <= 0 || mib > 1024) {
        std::fprintf(stderr, "usage: make_large_image MIB PATH   (MIB from 1 to 1024)\n");
        return 2;
    }
    const auto code = static_cast<std::uint32_t>(mib) << 20;
    const std::uint32_t dyn_at = 52 + code;
    const DynamicSegment dyn = applet_dynamic("large", 8, relocations(4096, code, true));
    const auto dyn_size = static_cast<std::uint32_t>(dyn.bytes.size());
    const std::uint32_t phoff = dyn_at + dyn_size + 512;
    const std::uint32_t shoff = phoff + 3 * sizeof(Elf32_Phdr);

    ImageDesc d;
    d.header = arm_header(0x100, phoff, 3, shoff, 6);
    d.phdrs = {
        phdr(PT_LOAD, 52, 0, code, code, PF_R | PF_X),
        phdr(PT_LOAD, dyn_at, code, 0, 4096, PF_R | PF_W),
        phdr(PT_DYNAMIC, dyn_at, 0, dyn_size, 0, PF_R),
    };
    d.blobs = {{52, pattern(code, 1)}, {dyn_at, dyn.bytes}};
    add_symbol_sections(d,
                        {{"CODE", {0, SHT_PROGBITS, SHF_ALLOC | SHF_EXECINSTR, 0, 52, code, 0, 0, 4, 0}},
                         {".dynamic", {0, SHT_DYNAMIC, SHF_ALLOC, 0, dyn_at, dyn_size, 0, 0, 4, 8}}},
                        dyn_at + dyn_size, phoff, 16);
    if (!write_file(argv[2], build(d))) {
        std::fprintf(stderr, "make_large_image: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
