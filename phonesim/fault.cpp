#include "fault.h"

#include <cstdio>

namespace phonesim {

const char* fault_kind_name(FaultKind k) {
  switch (k) {
    case FaultKind::Memory: return "memory fault";
    case FaultKind::ReleasedImage: return "use of a released image";
    case FaultKind::UnknownService: return "unknown service";
    case FaultKind::Runaway: return "runaway handler";
    case FaultKind::SchedLock: return "scheduler lock misuse";
    case FaultKind::Heap: return "heap misuse";
    case FaultKind::Service: return "bad service call";
    case FaultKind::Cpu: return "CPU exception";
  }
  return "fault";
}

std::string format_fault(const Fault& f) {
  char pc[64];
  std::snprintf(pc, sizeof pc, "0x%08X", f.pc);
  std::string s = "run stopped: ";
  s += fault_kind_name(f.kind);
  s += "\n  what: " + f.what;
  s += "\n  pc:   " + std::string(pc);
  if (!f.where.empty()) s += " (" + f.where + ")";
  if (!f.last_calls.empty()) {
    s += "\n  last service calls:";
    for (const TraceRecord& r : f.last_calls) s += "\n    " + format_trace_record(r);
  } else {
    s += "\n  no service calls before it";
  }
  return s;
}

}  // namespace phonesim
