// libFuzzer target over elfslim's reader and writer. Any input must be read without a fault;
// an accepted one must be written with the size the layout gives, and reducing that output
// again must reproduce it byte for byte.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "strip_image.h"

namespace {

// Formats everything and keeps nothing, so the dump code runs at full speed.
class DiscardBuf : public std::streambuf {
protected:
    int overflow(int c) override { return c == traits_type::eof() ? 0 : c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

const std::string& work_dir()
{
    static const std::string dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "strip_fuzz_XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        return pattern;
    }();
    return dir;
}

void remove_work_dir()
{
    std::error_code ignored;
    std::filesystem::remove_all(work_dir(), ignored);
}

std::vector<std::uint8_t> read_all(const std::string& path)
{
    std::vector<std::uint8_t> bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::uint8_t buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
            bytes.insert(bytes.end(), buf, buf + n);
        std::fclose(f);
    }
    return bytes;
}

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    work_dir();
    std::atexit(remove_work_dir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string in = work_dir() + "/in.elf";
    const std::string out1 = work_dir() + "/in_new.elf";
    const std::string out2 = work_dir() + "/in_new_new.elf";
    {
        std::FILE* f = std::fopen(in.c_str(), "wb");
        check(f && std::fwrite(data, 1, size, f) == size && std::fclose(f) == 0);
    }
    DiscardBuf discard;
    std::ostream dump(&discard);

    StripImage first{};
    if (read_image(in.c_str(), first, dump) != 0)
        return 0;
    check(first.input_size == std::int32_t(size));
    check(first.count >= 0 && first.count <= first.header.e_phnum);
    std::uint64_t data_bytes = 0;
    for (int k = 0; k < first.count; ++k)
        data_bytes += first.phdrs[k].p_filesz;

    const std::uint16_t phentsize = first.header.e_phentsize;
    check(write_image(out1.c_str(), first) == 0);
    const std::vector<std::uint8_t> written = read_all(out1);
    check(written.size() == 52 + data_bytes + 32u * first.count);
    check(std::int64_t(written.size()) == first.output_size);

    // The output keeps e_phentsize, so only a 32-byte spacing reads back as it was written.
    if (phentsize != sizeof(Elf32_Phdr))
        return 0;
    StripImage second{};
    check(read_image(out1.c_str(), second, dump) == 0);
    check(write_image(out2.c_str(), second) == 0);
    check(read_all(out2) == written);
    return 0;
}
