// The three applet images: exact output layout, bytes carried over, dump, and a second pass.
#include <gtest/gtest.h>

#include <functional>

#include "reduce.h"

using elf_fixture::AppletImage;
using elf_fixture::Bytes;

namespace {

struct Expected {
    std::function<AppletImage()> image;
    std::int32_t input_size;
    std::int32_t output_size;
    std::vector<std::uint32_t> offsets;  // p_offset of each collected segment in the output
    std::uint32_t rebuilt_size;          // the relocation-only dynamic segment, collected last
};

const Expected kApplets[] = {
    {elf_fixture::alarm_image, 8512, 6448, {52, 5264, 5264, 5264, 5864}, 424},
    {elf_fixture::clock_plugin_image, 1432, 708, {52, 484, 484}, 128},
    {elf_fixture::ram_plugin_image, 1352, 628, {52, 404, 404}, 128},
};

Bytes slice(const Bytes& b, std::size_t offset, std::size_t n)
{
    return Bytes(b.begin() + offset, b.begin() + offset + n);
}

TEST(AppletImages, OutputLayoutAndContent)
{
    for (const Expected& e : kApplets) {
        const AppletImage applet = e.image();
        SCOPED_TRACE(applet.name);
        const Bytes input = elf_fixture::build(applet.desc);
        const Reduced r = reduce(input);
        ASSERT_EQ(r.read_rc, 0);
        ASSERT_EQ(r.write_rc, 0);
        EXPECT_EQ(r.image.input_size, e.input_size);
        EXPECT_EQ(r.image.output_size, e.output_size);
        ASSERT_EQ(r.output.size(), std::size_t(e.output_size));

        // Only e_phoff and e_phnum change; the section header fields stay although no table follows.
        const auto n = static_cast<std::uint32_t>(e.offsets.size());
        const std::uint32_t phoff = e.output_size - 32 * n;
        const auto out_header = record_at<Elf32_Ehdr>(r.output, 0);
        EXPECT_EQ(out_header.e_phoff, phoff);
        EXPECT_EQ(out_header.e_phnum, n);
        EXPECT_EQ(slice(r.output, 0, 28), slice(input, 0, 28));
        EXPECT_EQ(slice(r.output, 32, 12), slice(input, 32, 12));
        EXPECT_EQ(slice(r.output, 46, 6), slice(input, 46, 6));

        for (std::uint32_t k = 0; k + 1 < n; ++k) {
            SCOPED_TRACE("load segment " + std::to_string(k));
            const Elf32_Phdr in_ph = applet.desc.phdrs[k];
            const auto out_ph = record_at<Elf32_Phdr>(r.output, phoff + 32 * k);
            EXPECT_EQ(out_ph.p_offset, e.offsets[k]);
            Elf32_Phdr expect = in_ph;
            expect.p_offset = e.offsets[k];
            EXPECT_EQ(std::memcmp(&out_ph, &expect, sizeof expect), 0);
            EXPECT_EQ(slice(r.output, e.offsets[k], in_ph.p_filesz),
                      slice(input, in_ph.p_offset, in_ph.p_filesz));
        }

        const auto rebuilt = record_at<Elf32_Phdr>(r.output, phoff + 32 * (n - 1));
        const Elf32_Phdr expect_rebuilt{PT_DYNAMIC, e.offsets.back(), 0, 0, e.rebuilt_size, 0, 0, 0};
        EXPECT_EQ(std::memcmp(&rebuilt, &expect_rebuilt, sizeof rebuilt), 0);
        EXPECT_EQ(applet.rel_size + 24, e.rebuilt_size);
        EXPECT_EQ(slice(r.output, e.offsets.back(), 24), elf_fixture::words({18, applet.rel_size, 17, 24, 0, 0}));
        EXPECT_EQ(slice(r.output, e.offsets.back() + 24, applet.rel_size),
                  slice(input, applet.rel_offset, applet.rel_size));
    }
}

TEST(AppletImages, ReducingAnOutputAgainChangesNothing)
{
    for (const Expected& e : kApplets) {
        const AppletImage applet = e.image();
        SCOPED_TRACE(applet.name);
        const Reduced first = reduce(elf_fixture::build(applet.desc));
        ASSERT_EQ(first.write_rc, 0);
        const Reduced second = reduce(first.output);
        ASSERT_EQ(second.write_rc, 0);
        EXPECT_EQ(second.output, first.output);
        EXPECT_EQ(second.image.input_size, second.image.output_size);
    }
}

TEST(AppletImages, AlarmDumpIsExact)
{
    const Reduced r = reduce(elf_fixture::build(elf_fixture::alarm_image().desc));
    ASSERT_EQ(r.read_rc, 0);
    const std::string expected = R"(Elf header
ehdr.e_entry:4708
ehdr.e_phoff:8032

Program header
Program header
phdr.p_type:1
phdr.p_offset:52
phdr.p_vaddr:0
phdr.p_paddr:0
phdr.p_filesz:5212
phdr.p_memsz:5212

Program header
Program header
phdr.p_type:1
phdr.p_offset:5264
phdr.p_vaddr:0
phdr.p_paddr:0
phdr.p_filesz:0
phdr.p_memsz:2344

Program header
Program header
phdr.p_type:1
phdr.p_offset:5264
phdr.p_vaddr:5212
phdr.p_paddr:5212
phdr.p_filesz:0
phdr.p_memsz:288

Program header
Program header
phdr.p_type:1
phdr.p_offset:5264
phdr.p_vaddr:5500
phdr.p_paddr:5500
phdr.p_filesz:600
phdr.p_memsz:600
dyn seg: off=16e8, sz=214
d_tag=e d_val=1
d_tag=5 d_val=58
d_tag=a d_val=c
d_tag=6 d_val=64
d_tag=b d_val=10
d_tag=11 d_val=74
d_tag=12 d_val=190
d_tag=13 d_val=8
d_tag=4 d_val=204
Dynamic section
0 = 0
1 = 0
2 = 0
3 = 0
4 = 204
5 = 58
6 = 64
7 = 0
8 = 0
9 = 0
10 = c
11 = 10
12 = 0
13 = 0
14 = 1
15 = 0
16 = 0
17 = 74
18 = 190
19 = 8
20 = 0
21 = 0
22 = 0
23 = 0
24 = 0
dyn[DT_REL]=74, dyn[DT_RELA]=0
dyn[DT_RELSZ]=190, dyn[DT_RELASZ]=0
)";
    EXPECT_EQ(r.dump, expected);
    EXPECT_EQ(lines_of(r.dump).size(), 77u);
}

// The dump sets its own number formats and hands the caller's back.
TEST(AppletImages, DumpIgnoresAndKeepsTheCallersStreamFormat)
{
    const TempDir dir;
    const std::string path = dir.file("clock.elf");
    elf_fixture::write_file(path, elf_fixture::build(elf_fixture::clock_plugin_image().desc));

    std::ostringstream plain, styled;
    StripImage a{}, b{};
    ASSERT_EQ(read_image(path.c_str(), a, plain), 0);
    styled << std::hex << std::uppercase << std::showbase;
    ASSERT_EQ(read_image(path.c_str(), b, styled), 0);
    EXPECT_EQ(styled.str(), plain.str());
    EXPECT_EQ(styled.flags(), std::ios::hex | std::ios::uppercase | std::ios::showbase | std::ios::skipws);
}

}  // namespace
