// How the reader scans dynamic segments and what the rebuilt relocation segment holds; and the
// output's layout for images that are not the applets' usual shape.
#include <gtest/gtest.h>

#include <algorithm>

#include "reduce.h"
#include "small_image.h"

using elf_fixture::Blob;
using elf_fixture::Bytes;
using elf_fixture::bytes_of;
using elf_fixture::concat;
using elf_fixture::pattern;

namespace {

using Entries = std::vector<Elf32_Dyn>;

// The rebuilt segment's relocation bytes, or nothing when no segment was rebuilt.
Bytes relocations_out(const Reduced& r)
{
    const auto h = record_at<Elf32_Ehdr>(r.output, 0);
    for (int k = 0; k < h.e_phnum; ++k) {
        const auto ph = record_at<Elf32_Phdr>(r.output, h.e_phoff + 32 * k);
        if (ph.p_type == PT_DYNAMIC)
            return Bytes(r.output.begin() + ph.p_offset + 24, r.output.begin() + ph.p_offset + ph.p_filesz);
    }
    return {};
}

int count_lines_starting(const std::string& dump, const std::string& prefix)
{
    const auto lines = lines_of(dump);
    return int(std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

bool has_line(const std::string& dump, const std::string& line)
{
    const auto lines = lines_of(dump);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

Reduced reduce_dynamic(const Bytes& segment, std::uint32_t vaddr = 0)
{
    return reduce(small_image({load(kDataAt, 16), dynamic(kDataAt + 16, std::uint32_t(segment.size()), vaddr)},
                              {{kDataAt, pattern(16, 1)}, {kDataAt + 16, segment}}));
}

TEST(DynamicSegment, WhereTheRelocationsAreTaken)
{
    const Bytes tail = pattern(32, 7);  // follows four 8-byte entries at byte 32
    struct Case {
        const char* name;
        Entries entries;
        std::uint32_t vaddr;
        Bytes expected;
    };
    const Bytes entries_only = bytes_of(Entries{{DT_RELSZ, 16}, {DT_NULL, 0}, {DT_NULL, 0}, {DT_NULL, 0}});
    const Case cases[] = {
        {"at DT_REL", {{DT_REL, 40}, {DT_RELSZ, 16}, {DT_NULL, 0}, {DT_NULL, 0}}, 0, Bytes(tail.begin() + 8, tail.begin() + 24)},
        {"relative to the segment's address", {{DT_REL, 0x8020}, {DT_RELSZ, 8}, {DT_NULL, 0}, {DT_NULL, 0}}, 0x8000,
         Bytes(tail.begin(), tail.begin() + 8)},
        {"ending exactly at the end of the data", {{DT_REL, 48}, {DT_RELSZ, 16}, {DT_NULL, 0}, {DT_NULL, 0}}, 0,
         Bytes(tail.begin() + 16, tail.end())},
        {"the later of two DT_RELSZ", {{DT_RELSZ, 8}, {DT_REL, 32}, {DT_RELSZ, 24}, {DT_NULL, 0}}, 0,
         Bytes(tail.begin(), tail.begin() + 24)},
        {"without DT_REL, from the segment's start", {{DT_RELSZ, 16}, {DT_NULL, 0}, {DT_NULL, 0}, {DT_NULL, 0}}, 0,
         Bytes(entries_only.begin(), entries_only.begin() + 16)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Reduced r = reduce_dynamic(concat({bytes_of(c.entries), tail}), c.vaddr);
        ASSERT_EQ(r.read_rc, 0);
        ASSERT_EQ(r.write_rc, 0);
        EXPECT_EQ(relocations_out(r), c.expected);
    }
}

TEST(DynamicSegment, OnlyTags0To24AreShownAndStored)
{
    const Reduced r = reduce_dynamic(bytes_of(Entries{
        {-1, 5}, {25, 6}, {0x70000000, 7}, {DT_RELSZ, 8}, {DT_REL, 0}, {24, 9}, {DT_NULL, 0}}));
    ASSERT_EQ(r.read_rc, 0);
    EXPECT_EQ(count_lines_starting(r.dump, "d_tag="), 3);
    EXPECT_TRUE(has_line(r.dump, "d_tag=18 d_val=9"));
    EXPECT_TRUE(has_line(r.dump, "24 = 9"));
    EXPECT_FALSE(has_line(r.dump, "d_tag=19 d_val=6"));
}

TEST(DynamicSegment, WithoutRelocationsLeavesNoSegment)
{
    for (const Entries& entries : {Entries{{DT_RELSZ, 0}, {DT_REL, 8}, {DT_NULL, 0}}, Entries{{DT_NULL, 0}}}) {
        const Reduced r = reduce_dynamic(bytes_of(entries));
        ASSERT_EQ(r.read_rc, 0);
        EXPECT_EQ(lines_of(r.dump).back(), "No relocation information dyn[DT_RELSZ]=0");
        EXPECT_EQ(r.image.count, 1);
        EXPECT_EQ(r.output.size(), 52u + 16 + 32);
    }
}

// Without DT_NULL the scan ends with the data; a partial entry at the end is not read.
TEST(DynamicSegment, ScanStopsAtTheEndOfTheData)
{
    const Bytes segment = concat({bytes_of(Entries{{DT_REL, 0}, {DT_RELSZ, 8}, {12, 0x77}}), Bytes{1, 2, 3, 4, 5}});
    const Reduced r = reduce_dynamic(segment);
    ASSERT_EQ(r.read_rc, 0);
    EXPECT_EQ(count_lines_starting(r.dump, "d_tag="), 3);
    EXPECT_TRUE(has_line(r.dump, "12 = 77"));
    EXPECT_EQ(relocations_out(r), Bytes(segment.begin(), segment.begin() + 8));
}

// The values of tags 0 to 24 are kept from one dynamic segment to the next.
TEST(DynamicSegment, SecondSegmentStartsFromTheFirstOnesValues)
{
    const Bytes first = concat({bytes_of(Entries{{DT_REL, 16}, {DT_RELSZ, 8}, {DT_NULL, 0}}), pattern(8, 1)});
    const Bytes second = concat({bytes_of(Entries{{DT_NULL, 0}}), pattern(24, 2)});
    const Reduced r = reduce(small_image({dynamic(kDataAt, 32), dynamic(kDataAt + 32, 32)},
                                         {{kDataAt, first}, {kDataAt + 32, second}}));
    ASSERT_EQ(r.read_rc, 0);
    EXPECT_EQ(r.image.count, 2);
    const auto h = record_at<Elf32_Ehdr>(r.output, 0);
    const auto ph1 = record_at<Elf32_Phdr>(r.output, h.e_phoff + 32);
    EXPECT_EQ(Bytes(r.output.begin() + ph1.p_offset + 24, r.output.begin() + ph1.p_offset + 32),
              Bytes(second.begin() + 16, second.begin() + 24));
}

// Load blocks are dumped in the first pass, so they come first; the output keeps header order.
TEST(DynamicSegment, DynamicBeforeLoadInTheTable)
{
    const Bytes dyn = concat({bytes_of(Entries{{DT_REL, 24}, {DT_RELSZ, 8}, {DT_NULL, 0}}), pattern(8, 3)});
    const Bytes code = pattern(16, 4);
    const Reduced r = reduce(small_image({dynamic(kDataAt, 32), load(kDataAt + 32, 16)},
                                         {{kDataAt, dyn}, {kDataAt + 32, code}}));
    ASSERT_EQ(r.write_rc, 0);
    const auto lines = lines_of(r.dump);
    EXPECT_EQ(lines[4], "Program header");
    EXPECT_EQ(lines[12], "dyn seg: off=200, sz=20");

    const auto out0 = record_at<Elf32_Phdr>(r.output, 52 + 32 + 16);
    const auto out1 = record_at<Elf32_Phdr>(r.output, 52 + 32 + 16 + 32);
    EXPECT_EQ(out0.p_type, PT_DYNAMIC);
    EXPECT_EQ(out0.p_offset, 52u);
    EXPECT_EQ(out1.p_type, PT_LOAD);
    EXPECT_EQ(out1.p_offset, 52u + 32);
    EXPECT_EQ(Bytes(r.output.begin() + 84, r.output.begin() + 100), code);
}

TEST(OutputLayout, NothingCollectedGivesTheHeaderAlone)
{
    const Bytes no_headers = small_image({}, {});
    const Bytes dynamic_only = small_image({dynamic(kDataAt, 8)}, {{kDataAt, bytes_of(Entries{{DT_NULL, 0}})}});
    for (const Bytes& input : {no_headers, dynamic_only}) {
        const Reduced r = reduce(input);
        ASSERT_EQ(r.write_rc, 0);
        ASSERT_EQ(r.output.size(), 52u);
        EXPECT_EQ(r.image.output_size, 52);
        const auto h = record_at<Elf32_Ehdr>(r.output, 0);
        EXPECT_EQ(h.e_phoff, 52u);
        EXPECT_EQ(h.e_phnum, 0);
    }
}

// Entry i is read at e_phoff + i * e_phentsize; the output keeps e_phentsize as it was.
TEST(OutputLayout, EntriesAreReadE_phentsizeApart)
{
    elf_fixture::ImageDesc d;
    d.header = elf_fixture::arm_header(0, 52, 2, 0, 0);
    d.header.e_phentsize = 40;
    d.phdrs = {load(kDataAt, 8), load(kDataAt + 8, 4)};
    d.blobs = {{kDataAt, pattern(12, 5)}};
    const Reduced r = reduce(elf_fixture::build(d));
    ASSERT_EQ(r.write_rc, 0);
    EXPECT_EQ(r.image.count, 2);
    EXPECT_EQ(r.output.size(), 52u + 12 + 64);
    EXPECT_EQ(record_at<Elf32_Ehdr>(r.output, 0).e_phentsize, 40);
}

}  // namespace
