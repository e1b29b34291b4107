#include "wide_text.h"

#include <cstdlib>

namespace phonesim {

namespace {

// 0x80..0xBF; 0xC0..0xFF are the contiguous Cyrillic letters U+0410..U+044F.
constexpr char16_t kHigh[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

class Out {
 public:
  Out(Formatted& f, size_t max_len) : f_(f), max_(max_len) {}
  bool full() const { return f_.text.size() >= max_; }
  void put(char16_t c) {
    if (full()) {
      f_.truncated = true;
      return;
    }
    f_.text.push_back(c);
  }
  void put8(const std::string& s) {
    for (unsigned char c : s) put(cp1251_to_unicode(c));
  }

 private:
  Formatted& f_;
  size_t max_;
};

std::string decimal(int32_t v, bool zero_pad, int width) {
  const int64_t wide = v;
  std::string digits = std::to_string(wide < 0 ? -wide : wide);
  const std::string sign = wide < 0 ? "-" : "";
  int pad = width - int(sign.size() + digits.size());
  if (pad <= 0) return sign + digits;
  return zero_pad ? sign + std::string(pad, '0') + digits : std::string(pad, ' ') + sign + digits;
}

}  // namespace

char16_t cp1251_to_unicode(uint8_t byte) {
  if (byte < 0x80) return byte;
  if (byte >= 0xC0) return char16_t(0x0410 + (byte - 0xC0));
  return kHigh[byte - 0x80];
}

std::string utf16_to_utf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

Result<Formatted> format_wide(const std::string& format, size_t max_len, const FormatSource& src) {
  Formatted f;
  Out out(f, max_len);
  size_t i = 0;
  while (i < format.size() && !out.full()) {
    const char c = format[i];
    if (c != '%') {
      out.put(cp1251_to_unicode(uint8_t(c)));
      ++i;
      continue;
    }
    // "%" [0] [width] conversion
    size_t j = i + 1;
    bool zero = false;
    if (j < format.size() && format[j] == '0') {
      zero = true;
      ++j;
    }
    int width = 0;
    while (j < format.size() && format[j] >= '0' && format[j] <= '9' && width < 100)
      width = width * 10 + (format[j++] - '0');
    const char conv = j < format.size() ? format[j] : '\0';
    if (conv == 'd' || conv == 'i') {
      Result<uint32_t> v = src.next_value();
      if (!v) return Error{v.error()};
      ++f.values_used;
      out.put8(decimal(int32_t(*v), zero, width));
      i = j + 1;
    } else if (conv == 't') {
      Result<uint32_t> v = src.next_value();
      if (!v) return Error{v.error()};
      ++f.values_used;
      Result<std::string> text = src.read_text(*v, max_len - f.text.size() + 1);
      if (!text) return Error{text.error()};
      out.put8(*text);
      i = j + 1;
    } else if (conv == '%' && j == i + 1) {
      out.put(u'%');
      i = j + 1;
    } else {
      // Not a conversion we know: the text stands as written.
      out.put(u'%');
      ++i;
    }
  }
  if (i < format.size()) f.truncated = true;
  return f;
}

}  // namespace phonesim
