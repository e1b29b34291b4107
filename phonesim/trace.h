// The record of firmware service calls. Tests read it to check the applets' binding; the command
// line prints it for the applet author; fault reports quote its last entries. It is a bounded
// ring so that long runs cost constant memory.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace phonesim {

struct TraceRecord {
  uint64_t seq = 0;       // 1 for the first call of the run
  uint64_t tick = 0;      // virtual clock when the call was made
  uint32_t number = 0;    // as in the instruction, bit 15 set for the value form
  std::string_view name;  // fw_ name of the service (or of its value form)
  uint8_t argc = 0;
  std::array<uint32_t, 8> args{};
  uint32_t result = 0;
  bool returns = true;    // false for services whose result register is left alone
  uint32_t pc = 0;        // address of the SWI instruction
  bool via_routine = false;  // reached through a firmware routine address, not a direct SWI
  std::string note;       // a readable rendering of what the call did, e.g. the formatted text
  bool done = false;      // false while the service is still running (seen in fault reports)
};

class Trace {
 public:
  explicit Trace(size_t capacity = 4096) : capacity_(capacity ? capacity : 1) {}

  void set_enabled(bool on) { enabled_ = on; }
  bool enabled() const { return enabled_; }
  void set_capacity(size_t capacity);
  size_t capacity() const { return capacity_; }

  // Returns the stored record so that the caller can fill in the result and note afterwards;
  // the reference is valid until the next push.
  TraceRecord& push(TraceRecord r);

  // The stored record with this sequence number, if it is still in the ring.
  TraceRecord* find(uint64_t seq);

  uint64_t total() const { return total_; }      // calls ever recorded, including dropped ones
  std::vector<TraceRecord> records() const;      // oldest first
  std::vector<TraceRecord> last(size_t n) const;
  std::vector<TraceRecord> since(uint64_t seq) const;  // records with seq > the given one
  void clear();

 private:
  size_t capacity_;
  bool enabled_ = true;
  uint64_t total_ = 0;
  std::vector<TraceRecord> ring_;
  size_t head_ = 0;  // next slot once the ring is full
  TraceRecord scratch_;
};

std::string format_trace_record(const TraceRecord& r);

}  // namespace phonesim
