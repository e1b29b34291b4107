// A stdio stream that is closed on every return path.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Positions reach the file layer as 32-bit signed offsets, so 2 GiB and beyond cannot be
// reached; the check is made here rather than left to how a platform's fseek treats them.
inline bool seek_to(std::FILE* f, std::uint32_t pos)
{
    if (pos > static_cast<std::uint32_t>(INT32_MAX))
        return false;
    return std::fseek(f, static_cast<long>(pos), SEEK_SET) == 0;
}

// Size of the file behind f, or -1 if it cannot be measured (a pipe, say). Leaves the
// position at the end.
inline long long file_size(std::FILE* f)
{
    if (std::fseek(f, 0, SEEK_END) != 0)
        return -1;
    return std::ftell(f);
}
