// The negative codes that read_image and write_image return; main prints them unchanged.
#pragma once

#include <cstdint>

namespace strip_code {

// Reader. There is no -7.
inline constexpr int kOpenInput = -1;
inline constexpr int kShortHeader = -2;
inline constexpr int kBadMagic = -3;
inline constexpr int kSeekPhdr = -4;
inline constexpr int kShortPhdr = -5;
inline constexpr int kSeekSegment = -6;
inline constexpr int kShortDynamic = -8;
inline constexpr int kTooManyPhdrs = -9;

// Reader codes added for inputs the format leaves open. They sit between the fixed codes
// (-1 to -9) and the load-segment codes (-100 to -109), so none of the fixed codes of
// either side can equal them.
inline constexpr int kNoMemory = -10;         // a segment buffer cannot be allocated
inline constexpr int kRelocOutside = -11;     // the relocation range leaves the dynamic data
inline constexpr int kTypeCodeWraps = -12;    // rejected p_type 0xFFFFFC18, whose code wraps to 0
inline constexpr int kSizeTooLarge = -13;     // input or output size does not fit 32-bit signed

// -(100 + i): the load segment of program header i is shorter in the file than p_filesz.
constexpr int short_load(int i) { return -(100 + i); }

// -(1000 + p_type) in 32-bit arithmetic for a rejected program header type. That value is 0
// for one type, and 0 would read as success, so that type gets a code of its own.
constexpr int rejected_type(std::uint32_t p_type)
{
    const std::uint32_t wrapped = 0u - (1000u + p_type);
    return wrapped == 0 ? kTypeCodeWraps : static_cast<int>(wrapped);
}

// Writer. There is no -3.
inline constexpr int kOpenOutput = -1;  // also a failed close
inline constexpr int kWriteHeader = -2;
inline constexpr int kWritePhdrs = -4;
constexpr int short_segment_write(int k) { return -(300 + k); }

}  // namespace strip_code
