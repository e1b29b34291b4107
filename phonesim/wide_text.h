// Text conversions of the firmware: Windows-1251 to 16-bit units, the fw_wsprintf formatter,
// and UTF-8 for showing wide text on the host console.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "result.h"

namespace phonesim {

// Windows-1251 to UTF-16. The one unassigned byte (0x98) becomes U+FFFD.
char16_t cp1251_to_unicode(uint8_t byte);

std::string utf16_to_utf8(const std::u16string& text);

// Where the formatter gets its values: the next 32-bit value of the call, and the 8-bit,
// zero-terminated text at a guest address (for "%t"); either may fail on a bad address.
struct FormatSource {
  std::function<Result<uint32_t>()> next_value;
  std::function<Result<std::string>(uint32_t address, size_t limit)> read_text;
};

struct Formatted {
  std::u16string text;
  unsigned values_used = 0;
  bool truncated = false;
};

// Formats an 8-bit format text as fw_wsprintf does: "%d" and "%i" signed decimal, with an
// optional "0" flag and a width ("%02d", "%04d"); "%t" an 8-bit Windows-1251 text; "%%" a
// percent sign. Any other character, and a "%" that starts no known conversion, is copied
// unchanged (through Windows-1251). The result holds at most max_len units: the caller's
// buffer ends there, so the text is cut rather than written past it.
Result<Formatted> format_wide(const std::string& format, size_t max_len, const FormatSource& src);

}  // namespace phonesim
