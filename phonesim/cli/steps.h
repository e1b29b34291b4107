// The command line of phonesim and its script files, parsed into steps; running them is
// runner.h's job.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "clock.h"
#include "result.h"

namespace phonesim::cli {

struct Step {
  enum class Kind { Advance, Message, TaskList, End, Trace, Date, FreeRam, Load, Heap };
  Kind kind = Kind::TaskList;
  std::string origin;     // where the step was written, for error messages: "argument 3", "demo.txt:4"
  std::string text;       // the step as written
  uint64_t ticks = 0;     // Advance
  uint32_t pid = 0;       // Message, End
  int16_t code = 0;       // Message
  uint32_t param = 0, data = 0;
  DateTime date;          // Date
  std::optional<uint32_t> bytes;  // FreeRam; empty: back to the heap's own count
  std::string path;       // Load
};

struct Invocation {
  bool help = false;
  std::string image;
  std::vector<Step> steps;
  bool trace_each_step = false;
  uint32_t heap_size = 0;  // 0: the simulator's default
};

// Parses phonesim's arguments (without the program name). Script files named by --script are
// read through `read_file` and their steps inserted where the option stands.
Result<Invocation> parse_command_line(const std::vector<std::string>& args,
                                      const std::function<Result<std::string>(const std::string&)>& read_file);

// Parses the steps of a script: one step per line, "#" starts a comment.
Result<std::vector<Step>> parse_script(const std::string& text, const std::string& name);

// "60s", "5m", "1h", "100t" or a plain tick count.
Result<uint64_t> parse_duration(const std::string& text);

std::string usage_text();

}  // namespace phonesim::cli
