// The firmware's timers, keyed by the address of the applet's 16-byte timer record. Starting a
// record that runs already re-arms it; a fired timer is disarmed before its callback runs, so the
// callback may start the same record again.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace phonesim {

struct ArmedTimer {
  uint32_t record = 0;
  uint32_t callback = 0;
  uint64_t due = 0;
  uint64_t order = 0;  // start order; breaks ties between timers due on the same tick
};

class TimerQueue {
 public:
  void start(uint32_t record, uint64_t due, uint32_t callback);
  bool stop(uint32_t record);  // true if it was armed
  bool armed(uint32_t record) const { return by_record_.count(record) != 0; }
  size_t size() const { return by_record_.size(); }

  // Removes and returns the earliest timer due at or before `until`.
  std::optional<ArmedTimer> pop_due(uint64_t until);
  std::vector<ArmedTimer> armed_within(uint32_t begin, uint32_t end) const;

 private:
  uint64_t next_order_ = 0;
  std::map<uint32_t, ArmedTimer> by_record_;
  std::map<std::pair<uint64_t, uint64_t>, uint32_t> by_due_;  // (due, order) -> record
};

}  // namespace phonesim
