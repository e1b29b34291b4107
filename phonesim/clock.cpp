#include "clock.h"

#include <chrono>
#include <cstdio>

namespace phonesim {

namespace {

using namespace std::chrono;

int64_t to_seconds(const DateTime& dt) {
  const sys_days d = year_month_day{year{dt.year}, month{dt.month}, day{dt.day}};
  return int64_t(d.time_since_epoch().count()) * 86400 + dt.hour * 3600 + dt.minute * 60 +
         dt.second;
}

DateTime from_seconds(int64_t s) {
  int64_t days = s / 86400;
  int64_t rest = s % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  const year_month_day ymd{sys_days{std::chrono::days{days}}};
  DateTime dt;
  dt.year = int(ymd.year());
  dt.month = unsigned(ymd.month());
  dt.day = unsigned(ymd.day());
  dt.hour = unsigned(rest / 3600);
  dt.minute = unsigned(rest / 60 % 60);
  dt.second = unsigned(rest % 60);
  return dt;
}

bool valid(const DateTime& dt) {
  const year_month_day ymd{year{dt.year}, month{dt.month}, day{dt.day}};
  return ymd.ok() && dt.year >= 1 && dt.year <= 9999 && dt.hour < 24 && dt.minute < 60 &&
         dt.second < 60;
}

}  // namespace

Result<DateTime> parse_date_time(const std::string& text) {
  DateTime dt;
  unsigned sec = 0;
  char tail = 0;
  int n = std::sscanf(text.c_str(), "%d-%u-%u %u:%u:%u%c", &dt.year, &dt.month, &dt.day, &dt.hour,
                      &dt.minute, &sec, &tail);
  if (n == 6) {
    dt.second = sec;
  } else if (n != 5 || std::sscanf(text.c_str(), "%*d-%*u-%*u %*u:%*u%c", &tail) == 1) {
    return Error{"'" + text + "' is not a date and time of the form YYYY-MM-DD HH:MM[:SS]"};
  }
  if (!valid(dt)) return Error{"'" + text + "' is not a valid date and time"};
  return dt;
}

std::string format_date_time(const DateTime& dt) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02u:%02u:%02u", dt.year, dt.month, dt.day,
                dt.hour, dt.minute, dt.second);
  return buf;
}

DateTime Clock::now() const {
  if (!initialised_) {
    const int64_t base = to_seconds(DateTime{});
    return from_seconds(base + int64_t(ticks_ / kTicksPerSecond));
  }
  return from_seconds(set_seconds_ + int64_t((ticks_ - set_at_) / kTicksPerSecond));
}

Status Clock::set(const DateTime& dt) {
  if (!valid(dt)) return Error{"invalid date and time " + format_date_time(dt)};
  set_seconds_ = to_seconds(dt);
  set_at_ = ticks_;
  initialised_ = true;
  return {};
}

}  // namespace phonesim
