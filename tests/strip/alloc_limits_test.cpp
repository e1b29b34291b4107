// What the reader asks the heap for. This program replaces the array forms of operator new and
// delete to watch the sizes asked for and to refuse large requests on demand, so it runs apart
// from the other tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "reduce.h"
#include "small_image.h"

namespace {

std::size_t g_largest = 0;                 // largest array asked for since the last reset
std::size_t g_refuse_from = SIZE_MAX;      // nothrow requests of this size or more get nullptr

void* allocate(std::size_t n)
{
    if (n > g_largest)
        g_largest = n;
    return std::malloc(n ? n : 1);
}

}  // namespace

void* operator new[](std::size_t n)
{
    if (void* p = allocate(n))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept
{
    return n >= g_refuse_from ? nullptr : allocate(n);
}
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

using elf_fixture::Bytes;
using Entries = std::vector<Elf32_Dyn>;

struct Watched {
    int code;
    std::size_t largest;
};

// Watches only the reader: writing the file allocates stream buffers of its own.
Watched read_watched(const Bytes& input, std::size_t refuse_from = SIZE_MAX)
{
    const TempDir dir;
    const std::string path = dir.file("in.elf");
    elf_fixture::write_file(path, input);
    StripImage img{};
    std::ostringstream dump;
    g_largest = 0;
    g_refuse_from = refuse_from;
    const int code = read_image(path.c_str(), img, dump);
    g_refuse_from = SIZE_MAX;
    return {code, g_largest};
}

// A header that claims more data than the file holds fails with the short read's code
// before any buffer is sized from it.
TEST(Allocation, NeverSizedBeyondTheFile)
{
    struct Case {
        const char* name;
        Bytes input;
        int code;
    };
    const Case cases[] = {
        {"4 GiB load segment in an 84-byte file", small_image({load(0, 0xFFFFFFFFu)}, {}), -100},
        {"load segment at the end of the file", small_image({load(84, 0x7FFFFFFFu)}, {}), -100},
        {"4 GiB dynamic segment", small_image({dynamic(0, 0xFFFFFFFFu)}, {}), -8},
        {"alarm image", elf_fixture::build(elf_fixture::alarm_image().desc), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Watched w = read_watched(c.input);
        EXPECT_EQ(w.code, c.code);
        EXPECT_LE(w.largest, c.input.size());
    }
}

TEST(Allocation, RefusedBufferFailsTheRead)
{
    const Bytes dyn = elf_fixture::concat(
        {elf_fixture::bytes_of(Entries{{DT_REL, 24}, {DT_RELSZ, 1000}, {DT_NULL, 0}}), elf_fixture::pattern(1000, 1)});
    // The table covers the whole segment, entries included, so the rebuilt segment is the
    // largest buffer: 1024 + 24 bytes.
    const Bytes dyn_whole = elf_fixture::concat(
        {elf_fixture::bytes_of(Entries{{DT_RELSZ, 1024}, {DT_NULL, 0}}), elf_fixture::pattern(1008, 1)});
    struct Case {
        const char* name;
        Bytes input;
        std::size_t refuse_from;
    };
    const Case cases[] = {
        {"load segment", small_image({load(kDataAt, 2000)}, {{kDataAt, elf_fixture::pattern(2000, 1)}}), 2000},
        {"dynamic segment read", small_image({dynamic(kDataAt, 1024)}, {{kDataAt, dyn}}), 1024},
        {"rebuilt relocation segment", small_image({dynamic(kDataAt, 1024)}, {{kDataAt, dyn_whole}}), 1024 + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(read_watched(c.input, c.refuse_from).code, -10);
    }
}

}  // namespace
