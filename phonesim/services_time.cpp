// Clock and timer services: fw_get_date_time, fw_start_timer, fw_stop_timer.
#include <algorithm>
#include <cstring>

#include "simulator.h"

namespace phonesim {

namespace {
constexpr uint32_t kTimerRecordBytes = 16;
}

Status register_time_services(Simulator& sim) {
  Status s;
  if (s) s = sim.add_service(routine_entry(0xB4, "fw_get_date_time", 2, Returns::Nothing, [](ServiceCall& c) {
                           const uint32_t date_at = c.arg(0), time_at = c.arg(1);
                           const DateTime now = c.sim.clock().now();
                           uint8_t date[8] = {};
                           const uint32_t year = uint32_t(now.year);
                           std::memcpy(date, &year, 4);
                           date[4] = uint8_t(now.month);
                           date[5] = uint8_t(now.day);
                           if (!c.sim.write_guest(c, date_at, date, sizeof date, "the date record")) return 0u;
                           if (time_at) {
                             const uint8_t time[8] = {uint8_t(now.hour), uint8_t(now.minute), uint8_t(now.second)};
                             if (!c.sim.write_guest(c, time_at, time, sizeof time, "the time record")) return 0u;
                           }
                           c.note = format_date_time(now);
                           return 0u;
                         }));
  if (s) s = sim.add_service(routine_entry(0x4D, "fw_start_timer", 3, Returns::Nothing, [](ServiceCall& c) {
                           const uint32_t record = c.arg(0), delay = c.arg(1), callback = c.arg(2);
                           uint8_t probe[kTimerRecordBytes];
                           if (!c.sim.read_guest(c, record, probe, sizeof probe, "the timer record")) return 0u;
                           // A delay of 0 fires on the next tick, so a callback that restarts its
                           // timer with 0 cannot hold the clock still.
                           const uint64_t due = c.sim.clock().ticks() + std::max<uint32_t>(delay, 1);
                           c.sim.timers().start(record, due, callback);
                           c.note = "fires at tick " + std::to_string(due);
                           return 0u;
                         }));
  if (s) s = sim.add_service(routine_entry(0x18C, "fw_stop_timer", 1, Returns::Nothing, [](ServiceCall& c) {
                           const uint32_t record = c.arg(0);
                           uint8_t probe[kTimerRecordBytes];
                           if (!c.sim.read_guest(c, record, probe, sizeof probe, "the timer record")) return 0u;
                           c.note = c.sim.timers().stop(record) ? "stopped" : "was not running";
                           return 0u;
                         }));
  return s;
}

}  // namespace phonesim
