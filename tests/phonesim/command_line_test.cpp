// phonesim's arguments and script files.
#include <gtest/gtest.h>

#include "steps.h"

using namespace phonesim;
using namespace phonesim::cli;

namespace {

Result<Invocation> parse(std::vector<std::string> args, std::string script = "") {
  return parse_command_line(args, [&](const std::string& path) -> Result<std::string> {
    if (path == "missing.txt") return Error{"cannot open the script " + path};
    return script;
  });
}

}  // namespace

TEST(CommandLine, ParsesStepsGivenAsArguments) {
  auto inv = parse({"clock.elf", "tasklist", "advance", "60s", "msg", "1", "1009", "1", "msg", "2", "-5", "0x10", "7",
                    "end", "1", "date", "2025-01-02", "03:04", "freeram", "1000", "freeram", "auto", "ticks", "5",
                    "load", "ram.elf", "heap", "trace", "--trace"});
  ASSERT_TRUE(inv) << inv.error();
  EXPECT_EQ(inv->image, "clock.elf");
  EXPECT_TRUE(inv->trace_each_step);
  const auto& s = inv->steps;
  ASSERT_EQ(s.size(), 12u);
  EXPECT_EQ(s[0].kind, Step::Kind::TaskList);
  EXPECT_EQ(s[1].kind, Step::Kind::Advance);
  EXPECT_EQ(s[1].ticks, 60u * 216);
  EXPECT_EQ(s[2].kind, Step::Kind::Message);
  EXPECT_EQ(s[2].pid, 1u);
  EXPECT_EQ(s[2].code, 1009);
  EXPECT_EQ(s[2].param, 1u);
  EXPECT_EQ(s[2].data, 0u) << "no data word: the next step's keyword follows";
  EXPECT_EQ(s[3].code, -5);
  EXPECT_EQ(s[3].param, 0x10u);
  EXPECT_EQ(s[3].data, 7u);
  EXPECT_EQ(s[4].kind, Step::Kind::End);
  EXPECT_EQ(s[5].kind, Step::Kind::Date);
  EXPECT_EQ(format_date_time(s[5].date), "2025-01-02 03:04:00");
  EXPECT_EQ(s[6].bytes, 1000u);
  EXPECT_FALSE(s[7].bytes.has_value());
  EXPECT_EQ(s[8].ticks, 5u);
  EXPECT_EQ(s[9].path, "ram.elf");
  EXPECT_EQ(s[10].kind, Step::Kind::Heap);
  EXPECT_EQ(s[11].kind, Step::Kind::Trace);
}

TEST(CommandLine, ScriptStepsStandWhereTheOptionStands) {
  auto inv = parse({"clock.elf", "tasklist", "--script", "steps.txt", "end", "1"},
                   "# before and after a minute\n\nadvance 1m   # the clock moves\n  tasklist\n");
  ASSERT_TRUE(inv) << inv.error();
  ASSERT_EQ(inv->steps.size(), 4u);
  EXPECT_EQ(inv->steps[1].ticks, 12960u);
  EXPECT_EQ(inv->steps[1].origin, "steps.txt:3");
  EXPECT_EQ(inv->steps[2].kind, Step::Kind::TaskList);
  EXPECT_EQ(inv->steps[3].kind, Step::Kind::End);
}

TEST(CommandLine, ErrorsSayWhereAndWhat) {
  struct Case {
    std::vector<std::string> args;
    std::string script;
    const char* expected;
  } cases[] = {
      {{}, "", "no image given"},
      {{"a.elf", "jump"}, "", "argument 2: unknown step 'jump'"},
      {{"a.elf", "end"}, "", "'end' needs a process id"},
      {{"a.elf", "msg", "1", "70000", "1"}, "", "does not fit 16 bits"},
      {{"a.elf", "advance", "5x"}, "", "not a duration"},
      {{"a.elf", "date", "2024-02-30", "10:00"}, "", "not a valid date"},
      {{"a.elf", "--bogus"}, "", "unknown option '--bogus'"},
      {{"a.elf", "--script"}, "", "--script needs a value"},
      {{"a.elf", "--script", "missing.txt"}, "", "cannot open the script missing.txt"},
      {{"a.elf", "--script", "s.txt"}, "tasklist\nend 1 2\n", "s.txt:2: unexpected '2'"},
  };
  for (const Case& c : cases) {
    auto inv = parse(c.args, c.script);
    ASSERT_FALSE(inv) << c.expected;
    EXPECT_NE(inv.error().find(c.expected), std::string::npos) << inv.error();
  }
}

TEST(CommandLine, HelpNeedsNothingElse) {
  auto inv = parse({"--help"});
  ASSERT_TRUE(inv);
  EXPECT_TRUE(inv->help);
  EXPECT_NE(usage_text().find("tasklist"), std::string::npos);
}

TEST(CommandLine, Durations) {
  EXPECT_EQ(*parse_duration("100"), 100u);
  EXPECT_EQ(*parse_duration("100t"), 100u);
  EXPECT_EQ(*parse_duration("2s"), 432u);
  EXPECT_EQ(*parse_duration("5m"), 64800u);
  EXPECT_EQ(*parse_duration("1h"), 777600u);
  for (const char* bad : {"", "s", "-1s", "1.5s", "1d"}) EXPECT_FALSE(parse_duration(bad)) << bad;
}
