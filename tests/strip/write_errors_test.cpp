// The writer's failure codes. /dev/full takes bytes into the stream's buffer and fails when the
// buffer goes out, so which step fails depends on how much was written by then.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "reduce.h"
#include "small_image.h"

using elf_fixture::Bytes;

namespace {

int write_after_read(const Bytes& input, const std::string& output_path)
{
    const TempDir dir;
    const std::string in = dir.file("in.elf");
    elf_fixture::write_file(in, input);
    StripImage img{};
    std::ostringstream dump;
    if (read_image(in.c_str(), img, dump) != 0)
        return 1;
    return write_image(output_path.c_str(), img);
}

// The stdio buffer of a stream on /dev/full is the device's block size.
std::uint32_t full_device_buffer()
{
    struct stat st{};
    return ::stat("/dev/full", &st) == 0 ? std::uint32_t(st.st_blksize) : 4096u;
}

TEST(WriteErrors, CodeOfTheFailingStep)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    const std::uint32_t buffer = full_device_buffer();
    const std::uint32_t big = 4 * buffer;
    const std::uint32_t fits = buffer - 52 - 16;  // header and data fit, the table does not
    struct Case {
        const char* name;
        Bytes input;
        int code;
    };
    const Case cases[] = {
        {"everything buffered: the close fails",
         small_image({load(kDataAt, 16)}, {{kDataAt, elf_fixture::pattern(16, 1)}}), -1},
        {"first segment larger than the buffer",
         small_image({load(kDataAt, big)}, {{kDataAt, elf_fixture::pattern(big, 1)}}), -300},
        {"second collected segment larger than the buffer",
         small_image({load(kDataAt, 16), load(kDataAt, big)}, {{kDataAt, elf_fixture::pattern(big, 1)}}), -301},
        {"program header table overflows the buffer",
         small_image({load(kDataAt, fits)}, {{kDataAt, elf_fixture::pattern(fits, 1)}}), -4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(write_after_read(c.input, "/dev/full"), c.code);
    }
}

TEST(WriteErrors, OutputCannotBeCreated)
{
    const TempDir dir;
    const Bytes input = small_image({load(kDataAt, 4)}, {{kDataAt, elf_fixture::pattern(4, 1)}});
    EXPECT_EQ(write_after_read(input, dir.file("missing/out.elf")), -1);
    std::filesystem::create_directory(dir.file("taken"));
    EXPECT_EQ(write_after_read(input, dir.file("taken")), -1);
}

TEST(WriteErrors, ExistingOutputIsReplaced)
{
    const TempDir dir;
    const std::string out = dir.file("out.elf");
    elf_fixture::write_file(out, elf_fixture::pattern(10000, 9));
    const Bytes input = small_image({load(kDataAt, 4)}, {{kDataAt, elf_fixture::pattern(4, 1)}});
    ASSERT_EQ(write_after_read(input, out), 0);
    EXPECT_EQ(elf_fixture::read_file(out).size(), 52u + 4 + 32);
}

}  // namespace
