// fw_wsprintf's formatter and the Windows-1251 conversion.
#include <gtest/gtest.h>

#include <map>

#include "wide_text.h"

using namespace phonesim;

namespace {

struct Case {
  const char* name;
  std::string format;
  std::vector<uint32_t> values;
  size_t max_len;
  std::string expected;  // UTF-8
  bool truncated;
};

std::map<uint32_t, std::string> texts = {
    {0x1000, "\xC1\xF3\xE4\xE8\xEB\xFC\xED\xE8\xEA"},  // Будильник
    {0x2000, "\xA8\xB8\xB9"},                          // Ёё№
    {0x3000, "abc"},
};

Result<Formatted> run(const Case& c) {
  size_t next = 0;
  FormatSource src;
  src.next_value = [&]() -> Result<uint32_t> {
    if (next >= c.values.size()) return Error{"no more values"};
    return c.values[next++];
  };
  src.read_text = [](uint32_t at, size_t limit) -> Result<std::string> {
    auto it = texts.find(at);
    if (it == texts.end()) return Error{"bad text address"};
    return it->second.substr(0, limit);
  };
  return format_wide(c.format, c.max_len, src);
}

}  // namespace

TEST(WideText, FormatsTheFirmwareConversions) {
  const Case cases[] = {
      {"clock", "%i:%02i   %02i.%02i.%i", {7, 5, 3, 3, 2024}, 139, "7:05   03.03.2024", false},
      {"midnight", "%i:%02i   %02i.%02i.%i", {0, 0, 31, 12, 1999}, 139, "0:00   31.12.1999", false},
      {"ram", "%i kb RAM", {2047}, 139, "2047 kb RAM", false},
      {"negative d", "%d", {uint32_t(-42)}, 139, "-42", false},
      {"int min", "%d", {0x80000000u}, 139, "-2147483648", false},
      {"zero pad keeps wider numbers", "%02d|%04d", {123, 12345}, 139, "123|12345", false},
      {"zero pad after the sign", "%04d", {uint32_t(-5)}, 139, "-005", false},
      {"four digits", "%04d", {7}, 139, "0007", false},
      {"%t cyrillic", "%t!", {0x1000}, 139, "Будильник!", false},
      {"%t the scattered letters", "%t", {0x2000}, 139, "Ёё№", false},
      {"plain text is windows-1251 too", "\xC4\xE0 %d", {1}, 139, "Да 1", false},
      {"percent sign", "100%%", {}, 139, "100%", false},
      {"unknown conversion stays as written", "%x %s %", {}, 139, "%x %s %", false},
      {"cut at the maximum length", "%i kb RAM", {2047}, 6, "2047 k", true},
      {"cut inside %t", "[%t]", {0x1000}, 4, "[Буд", true},
      {"maximum length zero", "abc", {}, 0, "", true},
  };
  for (const Case& c : cases) {
    auto f = run(c);
    ASSERT_TRUE(f) << c.name << ": " << f.error();
    EXPECT_EQ(utf16_to_utf8(f->text), c.expected) << c.name;
    EXPECT_EQ(f->truncated, c.truncated) << c.name;
  }
}

TEST(WideText, StopsReadingValuesOnceTheTextIsFull) {
  Case c{"", "%d%d%d", {1, 2, 3}, 2, "", true};
  auto f = run(c);
  ASSERT_TRUE(f);
  EXPECT_EQ(utf16_to_utf8(f->text), "12");
  EXPECT_EQ(f->values_used, 2u);
}

TEST(WideText, ReportsAValueOrTextItCannotRead) {
  EXPECT_FALSE(run({"", "%d %d", {1}, 139, "", false}));
  EXPECT_FALSE(run({"", "%t", {0x9999}, 139, "", false}));
}

TEST(WideText, Windows1251MapsEveryByte) {
  EXPECT_EQ(cp1251_to_unicode('A'), u'A');
  EXPECT_EQ(cp1251_to_unicode(0xC0), u'А');
  EXPECT_EQ(cp1251_to_unicode(0xFF), u'я');
  EXPECT_EQ(cp1251_to_unicode(0xA8), u'Ё');
  EXPECT_EQ(cp1251_to_unicode(0x88), u'€');
  EXPECT_EQ(cp1251_to_unicode(0x98), u'\uFFFD') << "the one unassigned byte";
}
