// The phone's virtual clock: a tick counter that only moves when the simulator is told to
// advance, and a calendar date and time that moves with it. 216 ticks make a second, so the
// alarm applet's 64800-tick postponement is five minutes.
#pragma once

#include <cstdint>
#include <string>

#include "result.h"

namespace phonesim {

struct DateTime {
  int year = 2024;
  unsigned month = 3, day = 3, hour = 7, minute = 5, second = 0;
};

Result<DateTime> parse_date_time(const std::string& text);  // "YYYY-MM-DD HH:MM[:SS]"
std::string format_date_time(const DateTime& dt);             // "2024-03-03 07:05:00"

class Clock {
 public:
  static constexpr uint32_t kTicksPerSecond = 216;

  uint64_t ticks() const { return ticks_; }
  void set_ticks(uint64_t t) { ticks_ = t; }

  // The date and time now; it was `set` at some tick and has run with the ticks since.
  DateTime now() const;
  Status set(const DateTime& dt);

 private:
  uint64_t ticks_ = 0;
  uint64_t set_at_ = 0;
  int64_t set_seconds_;  // seconds since 1970-01-01 of the set date and time
  bool initialised_ = false;
};

}  // namespace phonesim
