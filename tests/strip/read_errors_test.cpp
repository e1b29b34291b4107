// Every way the reader rejects an input: the code, and how much of the dump came before it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "reduce.h"
#include "small_image.h"

using elf_fixture::Blob;
using elf_fixture::Bytes;

namespace {

constexpr int kLoadBlock = 9;   // lines per PT_LOAD entry
constexpr int kHeaderLines = 3;

Bytes alarm()
{
    return elf_fixture::build(elf_fixture::alarm_image().desc);
}

Bytes cut(Bytes b, std::size_t size)
{
    b.resize(size);
    return b;
}

Bytes with_type(std::uint32_t p_type)
{
    return small_image({load(kDataAt, 8), elf_fixture::phdr(p_type, kDataAt, 0, 8, 8, 0)},
                       {{kDataAt, elf_fixture::pattern(8, 1)}});
}

// Relocations at DT_REL within a 48-byte dynamic segment at address vaddr.
Bytes with_relocations(std::uint32_t vaddr, std::uint32_t rel, std::uint32_t relsz)
{
    const Bytes dyn = elf_fixture::concat({elf_fixture::bytes_of(std::vector<Elf32_Dyn>{
                                               {DT_REL, rel}, {DT_RELSZ, relsz}, {DT_NULL, 0}}),
                                           elf_fixture::pattern(24, 2)});
    return small_image({dynamic(kDataAt, 48, vaddr)}, {{kDataAt, dyn}});
}

struct ReadCase {
    const char* name;
    Bytes input;
    int code;
    int dump_lines;
    const char* last_line = nullptr;
};

std::vector<ReadCase> read_cases()
{
    const Bytes two_loads = small_image({load(kDataAt, 16), load(kDataAt, 8)}, {{kDataAt, elf_fixture::pattern(16, 1)}});
    const Bytes dyn_then_note = small_image(
        {load(kDataAt, 8), dynamic(kDataAt + 8, 40), elf_fixture::phdr(PT_NOTE, kDataAt, 0, 8, 0, 0), load(kDataAt, 4)},
        {{kDataAt, elf_fixture::pattern(8, 1)},
         {kDataAt + 8, elf_fixture::concat({elf_fixture::bytes_of(std::vector<Elf32_Dyn>{{DT_REL, 24}, {DT_RELSZ, 16}, {DT_NULL, 0}}),
                                            elf_fixture::pattern(16, 3)})}});
    constexpr int kDynLines = 1 + 2 + 1 + 25 + 2;  // two d_tag lines in these segments

    return {
        {"empty file", {}, -2, 0},
        {"header one byte short, magic present", cut(alarm(), 51), -2, 0},
        {"no magic", patched<std::uint8_t>(alarm(), 1, 'e'), -3, 0},
        {"eleven program headers", patched<std::uint16_t>(alarm(), 44, 11), -9, kHeaderLines},
        {"table at 2 GiB", patched<std::uint32_t>(alarm(), 28, 0x80000000u), -4, kHeaderLines},
        {"table past the end", patched<std::uint32_t>(alarm(), 28, 9000), -5, kHeaderLines},
        {"second entry cut short", cut(two_loads, 52 + 32 + 16), -5, kHeaderLines + kLoadBlock},
        {"segment at 2 GiB fails the seek before its type is looked at",
         small_image({load(kDataAt, 4), elf_fixture::phdr(PT_NOTE, 0x80000000u, 0, 4, 0, 0)}, {{kDataAt, elf_fixture::pattern(4, 1)}}),
         -6, kHeaderLines + kLoadBlock},
        {"third load segment runs past the end",
         small_image({load(kDataAt, 8), load(kDataAt, 0), load(kDataAt, 9)}, {{kDataAt, elf_fixture::pattern(8, 1)}}),
         -102, kHeaderLines + 3 * kLoadBlock},
        {"84-byte file claims a 4 GiB load segment", small_image({load(0, 0xFFFFFFFFu)}, {}), -100,
         kHeaderLines + kLoadBlock},
        {"dynamic segment runs past the end", small_image({dynamic(kDataAt, 64)}, {}, kDataAt + 63), -8, kHeaderLines + 1,
         "dyn seg: off=200, sz=40"},
        {"note as third header, after the load blocks of all entries", dyn_then_note, -1004,
         kHeaderLines + 2 * kLoadBlock + kDynLines, "dyn[DT_RELSZ]=10, dyn[DT_RELASZ]=0"},
        {"PT_NULL", with_type(PT_NULL), -1000, kHeaderLines + kLoadBlock},
        {"PT_PHDR", with_type(6), -1006, kHeaderLines + kLoadBlock},
        {"processor-specific type", with_type(0x70000000u), -(1000 + 0x70000000), kHeaderLines + kLoadBlock},
        {"type whose code wraps to 0 still fails", with_type(0xFFFFFC18u), -12, kHeaderLines + kLoadBlock},
        {"type whose code wraps to -1 keeps it", with_type(0xFFFFFC19u), -1, kHeaderLines + kLoadBlock},
        {"type whose code wraps to +1 keeps it", with_type(0xFFFFFC17u), 1, kHeaderLines + kLoadBlock},
        {"relocations start past the dynamic data", with_relocations(0, 49, 0x7FFFFFFF), -11, kHeaderLines + kDynLines},
        {"relocations run past the dynamic data", with_relocations(0, 24, 25), -11, kHeaderLines + kDynLines},
        {"relocations below the segment's address", with_relocations(0x1000, 0x0FF8, 8), -11, kHeaderLines + kDynLines},
        {"relocation size wraps the range", with_relocations(0, 24, 0xFFFFFFF0u), -11, kHeaderLines + kDynLines},
    };
}

TEST(ReadErrors, CodeAndDumpBeforeIt)
{
    for (const ReadCase& c : read_cases()) {
        SCOPED_TRACE(c.name);
        const Reduced r = reduce(c.input);
        EXPECT_EQ(r.read_rc, c.code);
        const auto lines = lines_of(r.dump);
        EXPECT_EQ(int(lines.size()), c.dump_lines);
        if (c.last_line && !lines.empty()) {
            EXPECT_EQ(lines.back(), c.last_line);
        }
    }
}

TEST(ReadErrors, MissingInput)
{
    const TempDir dir;
    StripImage img{};
    std::ostringstream dump;
    EXPECT_EQ(read_image(dir.file("absent.elf").c_str(), img, dump), -1);
    EXPECT_EQ(dump.str(), "");
}

// Sizes go into 32-bit signed fields and the report; a 2 GiB input cannot be stated there.
TEST(ReadErrors, InputOf2GiBIsRejected)
{
    const TempDir dir;
    const std::string path = dir.file("huge.elf");
    elf_fixture::write_file(path, small_image({}, {}));
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t{1} << 31), 0);  // sparse: takes no disk space
    ::close(fd);

    StripImage img{};
    std::ostringstream dump;
    EXPECT_EQ(read_image(path.c_str(), img, dump), -13);
}

}  // namespace
