#include "steps.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace phonesim::cli {

namespace {

struct Token {
  std::string text;
  std::string origin;
};

std::optional<uint64_t> parse_unsigned(const std::string& t, uint64_t max) {
  if (t.empty() || t[0] == '-' || t[0] == '+') return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(t.c_str(), &end, 0);
  if (errno || *end || v > max) return std::nullopt;
  return v;
}

std::optional<int64_t> parse_signed(const std::string& t, int64_t min, int64_t max) {
  if (t.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(t.c_str(), &end, 0);
  if (errno || *end || v < min || v > max) return std::nullopt;
  return v;
}

bool is_number(const std::string& t) { return parse_signed(t, INT64_MIN, INT64_MAX).has_value() || parse_unsigned(t, UINT32_MAX).has_value(); }

Error bad(const Token& at, const std::string& what) { return Error{at.origin + ": " + what}; }

// Parses one step starting at toks[i]; advances i past it.
Result<Step> parse_step(const std::vector<Token>& toks, size_t& i) {
  const Token& head = toks[i++];
  Step s;
  s.origin = head.origin;
  s.text = head.text;
  auto need = [&](const char* what) -> Result<std::string> {
    if (i >= toks.size()) return bad(head, "'" + head.text + "' needs " + what);
    s.text += " " + toks[i].text;
    return toks[i++].text;
  };
  auto number = [&](const char* what, uint64_t max) -> Result<uint64_t> {
    Result<std::string> t = need(what);
    if (!t) return Error{t.error()};
    std::optional<uint64_t> v = parse_unsigned(*t, max);
    if (!v) return bad(head, std::string(what) + " '" + *t + "' is not a number from 0 to " + std::to_string(max));
    return *v;
  };

  const std::string& w = head.text;
  if (w == "ticks") {
    s.kind = Step::Kind::Advance;
    Result<uint64_t> n = number("a tick count", UINT32_MAX);
    if (!n) return Error{n.error()};
    s.ticks = *n;
  } else if (w == "advance") {
    s.kind = Step::Kind::Advance;
    Result<std::string> t = need("a duration such as 60s, 5m or 100 (ticks)");
    if (!t) return Error{t.error()};
    Result<uint64_t> d = parse_duration(*t);
    if (!d) return bad(head, d.error());
    s.ticks = *d;
  } else if (w == "msg") {
    s.kind = Step::Kind::Message;
    Result<uint64_t> pid = number("a process id", UINT32_MAX);
    if (!pid) return Error{pid.error()};
    s.pid = uint32_t(*pid);
    Result<std::string> code = need("a message code");
    if (!code) return Error{code.error()};
    std::optional<int64_t> c = parse_signed(*code, INT16_MIN, UINT16_MAX);
    if (!c) return bad(head, "message code '" + *code + "' does not fit 16 bits");
    s.code = int16_t(uint16_t(*c));
    Result<std::string> param = need("a parameter");
    if (!param) return Error{param.error()};
    std::optional<int64_t> p = parse_signed(*param, INT32_MIN, UINT32_MAX);
    if (!p) return bad(head, "parameter '" + *param + "' does not fit 32 bits");
    s.param = uint32_t(*p);
    if (i < toks.size() && is_number(toks[i].text)) {
      std::optional<int64_t> d = parse_signed(toks[i].text, INT32_MIN, UINT32_MAX);
      if (!d) return bad(head, "data word '" + toks[i].text + "' does not fit 32 bits");
      s.text += " " + toks[i++].text;
      s.data = uint32_t(*d);
    }
  } else if (w == "tasklist") {
    s.kind = Step::Kind::TaskList;
  } else if (w == "end") {
    s.kind = Step::Kind::End;
    Result<uint64_t> pid = number("a process id", UINT32_MAX);
    if (!pid) return Error{pid.error()};
    s.pid = uint32_t(*pid);
  } else if (w == "trace") {
    s.kind = Step::Kind::Trace;
  } else if (w == "heap") {
    s.kind = Step::Kind::Heap;
  } else if (w == "date") {
    s.kind = Step::Kind::Date;
    Result<std::string> day = need("a date YYYY-MM-DD and a time HH:MM");
    if (!day) return Error{day.error()};
    Result<std::string> time = need("a time HH:MM after the date");
    if (!time) return Error{time.error()};
    Result<DateTime> dt = parse_date_time(*day + " " + *time);
    if (!dt) return bad(head, dt.error());
    s.date = *dt;
  } else if (w == "freeram") {
    s.kind = Step::Kind::FreeRam;
    Result<std::string> t = need("a byte count or 'auto'");
    if (!t) return Error{t.error()};
    if (*t != "auto") {
      std::optional<uint64_t> v = parse_unsigned(*t, UINT32_MAX);
      if (!v) return bad(head, "'" + *t + "' is not a byte count");
      s.bytes = uint32_t(*v);
    }
  } else if (w == "load") {
    s.kind = Step::Kind::Load;
    Result<std::string> t = need("an image path");
    if (!t) return Error{t.error()};
    s.path = *t;
  } else {
    return bad(head, "unknown step '" + w + "' (see phonesim --help)");
  }
  return s;
}

}  // namespace

Result<uint64_t> parse_duration(const std::string& text) {
  if (text.empty()) return Error{"empty duration"};
  uint64_t unit = 1;
  std::string digits = text;
  switch (text.back()) {
    case 't': unit = 1; break;
    case 's': unit = Clock::kTicksPerSecond; break;
    case 'm': unit = 60ull * Clock::kTicksPerSecond; break;
    case 'h': unit = 3600ull * Clock::kTicksPerSecond; break;
    default: digits += "t"; break;
  }
  digits.pop_back();
  std::optional<uint64_t> v = parse_unsigned(digits, UINT32_MAX);
  if (!v) return Error{"'" + text + "' is not a duration such as 60s, 5m, 2h or 100 (ticks)"};
  return *v * unit;
}

Result<std::vector<Step>> parse_script(const std::string& text, const std::string& name) {
  std::vector<Step> steps;
  std::istringstream in(text);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::vector<Token> toks;
    for (std::string w; words >> w;) toks.push_back({w, name + ":" + std::to_string(n)});
    if (toks.empty()) continue;
    size_t i = 0;
    Result<Step> s = parse_step(toks, i);
    if (!s) return Error{s.error()};
    if (i != toks.size()) return bad(toks[i], "unexpected '" + toks[i].text + "' after the step '" + s->text + "'");
    steps.push_back(*s);
  }
  return steps;
}

Result<Invocation> parse_command_line(const std::vector<std::string>& args,
                                      const std::function<Result<std::string>(const std::string&)>& read_file) {
  Invocation inv;
  std::vector<Token> toks;
  auto flush = [&]() -> Status {
    for (size_t i = 0; i < toks.size();) {
      Result<Step> s = parse_step(toks, i);
      if (!s) return Error{s.error()};
      inv.steps.push_back(*s);
    }
    toks.clear();
    return {};
  };
  for (size_t a = 0; a < args.size(); ++a) {
    const std::string& arg = args[a];
    const std::string origin = "argument " + std::to_string(a + 1);
    if (arg == "--help" || arg == "-h") {
      inv.help = true;
      return inv;
    }
    if (arg == "--trace") {
      inv.trace_each_step = true;
    } else if (arg == "--script" || arg == "--heap") {
      if (a + 1 >= args.size()) return Error{origin + ": " + arg + " needs a value"};
      const std::string& value = args[++a];
      if (arg == "--heap") {
        std::optional<uint64_t> v = parse_unsigned(value, UINT32_MAX);
        if (!v) return Error{origin + ": '" + value + "' is not a byte count"};
        inv.heap_size = uint32_t(*v);
        continue;
      }
      if (Status s = flush(); !s) return Error{s.error()};
      Result<std::string> text = read_file(value);
      if (!text) return Error{text.error()};
      Result<std::vector<Step>> steps = parse_script(*text, value);
      if (!steps) return Error{steps.error()};
      inv.steps.insert(inv.steps.end(), steps->begin(), steps->end());
    } else if (arg.size() > 1 && arg[0] == '-' && !is_number(arg)) {
      return Error{origin + ": unknown option '" + arg + "' (see phonesim --help)"};
    } else if (inv.image.empty()) {
      inv.image = arg;
    } else {
      toks.push_back({arg, origin});
    }
  }
  if (Status s = flush(); !s) return Error{s.error()};
  if (inv.image.empty()) return Error{"no image given (see phonesim --help)"};
  return inv;
}

std::string usage_text() {
  return R"(usage: phonesim IMAGE [STEP...] [--script FILE] [--trace] [--heap BYTES]
       phonesim --help

Loads an applet image (an ARM ELF file, full or reduced by elfslim) into a simulated
phone, runs its `main`, then runs the steps in order.

steps:
  advance DURATION      let time pass: 60s, 5m, 2h, or a tick count (216 ticks a second);
                        timers that fall due run on the way
  ticks N               the same, in ticks
  msg PID CODE PARAM [DATA]
                        send a message to a process (CODE is signed 16-bit)
  tasklist              send message 1009 with parameter 1 to every process, then list
                        the processes by their display names
  end PID               end a process from outside: its close handler runs
  date YYYY-MM-DD HH:MM set the phone's date and time (default 2024-03-03 07:05)
  freeram BYTES|auto    what fw_free_ram reports (auto: the simulated heap's free bytes)
  load IMAGE            load and start another image
  heap                  list the live heap blocks and their owners
  trace                 print the firmware service calls made so far

options:
  --script FILE         read steps from FILE, one a line; '#' starts a comment
  --trace               print the service calls of each step as it runs
  --heap BYTES          size of the simulated heap (default 2 MiB)
  --help                show this text

The run stops at the first fault (memory fault, unknown service, use of a released image,
scheduler-lock misuse, heap misuse, a handler that never returns) with a report.
Exit status: 0 run completed, 1 the applet faulted, 2 bad arguments or image.
)";
}

}  // namespace phonesim::cli
