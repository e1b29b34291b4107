// What stops a run: the first fault the simulator detects. Once a fault is recorded the
// simulated phone is halted; every later operation reports the same fault.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "trace.h"

namespace phonesim {

enum class FaultKind {
  Memory,          // guest access to unmapped or protected memory
  ReleasedImage,   // any use of an image block after it was released
  UnknownService,  // SWI number with no entry in the service table
  Runaway,         // a guest call did not return within the instruction limit
  SchedLock,       // scheduler lock nested, unpaired or held past its handler
  Heap,            // double free, free of a foreign address
  Service,         // a service given arguments it cannot work with
  Cpu,             // undefined instruction and other CPU exceptions
};

const char* fault_kind_name(FaultKind k);

struct Fault {
  FaultKind kind = FaultKind::Cpu;
  std::string what;               // one line, e.g. "write of unmapped address 0x00000000"
  uint32_t pc = 0;
  std::string where;              // pc described, e.g. "nimbrel_clock.elf+0x2C"
  std::vector<TraceRecord> last_calls;
};

std::string format_fault(const Fault& f);

}  // namespace phonesim
