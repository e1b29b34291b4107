// The firmware's service table: one entry per service number. An entry may run a routine (the
// call form, "svc #n") and may hold a value (the value form, "svc #0x8000+n"): a record's address
// or a plain number; an entry with a routine and no explicit value hands out the address of its
// routine in firmware code. New firmware areas register more entries; nothing else changes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fault.h"
#include "result.h"

namespace phonesim {

class Simulator;

// One service call in progress, as its handler sees it.
class ServiceCall {
 public:
  ServiceCall(Simulator& sim, uint32_t number, uint32_t pc, uint32_t caller)
      : sim(sim), number(number), pc(pc), caller(caller) {}

  Simulator& sim;
  const uint32_t number;
  const uint32_t pc;      // the SWI instruction
  const uint32_t caller;  // return address into the code that asked for the service

  // Argument i of the call (r0-r3, then the caller's stack). A bad stack address raises a fault
  // and yields 0, after which the handler's result is ignored.
  uint32_t arg(unsigned i);
  // Every argument read so far, in order; the trace shows them all, so that the values a
  // variadic service (fw_wsprintf) consumed appear beside its fixed arguments.
  const std::vector<uint32_t>& read_args() const { return read_; }

  // Stops the run; the handler should return at once.
  void fail(FaultKind kind, std::string what);
  bool failed() const;

  std::string note;  // shown beside the call in the trace

 private:
  unsigned args_read_ = 0;
  std::vector<uint32_t> read_;
};

using ServiceFn = std::function<uint32_t(ServiceCall&)>;

struct ServiceEntry {
  uint32_t number = 0;
  std::string name;        // name of the call form, e.g. "fw_free"
  uint8_t argc = 0;        // fixed arguments, shown in the trace
  bool returns = true;     // false: r0 keeps what the caller had there
  ServiceFn call;          // empty: the entry has no call form
  std::string value_name;  // name of the value form, e.g. "fw_free_address"
  std::function<uint32_t()> value;  // empty: the value is the address of `call`'s routine
};

enum class Returns { Value, Nothing };

// An entry with a routine; its value form hands out the routine's address under `value_name`.
ServiceEntry routine_entry(uint32_t number, std::string name, uint8_t argc, Returns returns, ServiceFn fn,
                           std::string value_name = {});
// An entry that only holds a value (a record's address or a number).
ServiceEntry value_entry(uint32_t number, std::string value_name, std::function<uint32_t()> value);

class ServiceTable {
 public:
  static constexpr uint32_t kCount = 0x8000;

  ServiceTable() : entries_(kCount) {}
  Status add(ServiceEntry e);
  const ServiceEntry* find(uint32_t number) const {
    return number < kCount ? entries_[number].get() : nullptr;
  }
  std::vector<const ServiceEntry*> all() const;

 private:
  std::vector<std::unique_ptr<ServiceEntry>> entries_;
};

}  // namespace phonesim
