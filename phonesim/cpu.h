// The ARM CPU of the simulated phone, over the unicorn engine. It runs guest code on behalf of
// the firmware (host-to-guest calls, nested inside service handlers when the firmware calls back
// into an applet), hands every SWI to the firmware, and turns memory faults, CPU exceptions and
// handlers that never return into one recorded Fault.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "fault.h"
#include "result.h"

struct uc_struct;
struct uc_context;

namespace phonesim {

class Cpu {
 public:
  struct Hooks {
    // A SWI in ARM state: the 24-bit number and the instruction's address.
    std::function<void(uint32_t number, uint32_t pc)> swi;
    // Turns a fault into its report: fills `where`, may reclassify (released image) and
    // attaches the last service calls.
    std::function<void(Fault&, uint32_t address)> annotate;
  };

  static Result<std::unique_ptr<Cpu>> open(Hooks hooks);
  ~Cpu();
  Cpu(const Cpu&) = delete;
  Cpu& operator=(const Cpu&) = delete;

  enum Prot : uint32_t { kNone = 0, kRead = 1, kWrite = 2, kExec = 4, kAll = 7 };
  Status map(uint32_t address, uint32_t size, uint32_t prot);
  Status protect(uint32_t address, uint32_t size, uint32_t prot);
  // Drops translated code for a range whose bytes the host rewrote.
  void forget_code(uint32_t begin, uint32_t end);

  bool read(uint32_t address, void* out, size_t n) const;
  bool write(uint32_t address, const void* data, size_t n);
  std::optional<uint32_t> read32(uint32_t address) const;
  bool write32(uint32_t address, uint32_t v) { return write(address, &v, 4); }

  uint32_t reg(int unicorn_reg) const;
  void set_reg(int unicorn_reg, uint32_t v);
  uint32_t sp() const;
  uint32_t lr() const;
  uint32_t pc() const;

  // Argument i of the procedure call in progress at a SWI: r0-r3, then the caller's stack.
  std::optional<uint32_t> arg(unsigned i) const;
  void set_result(uint32_t v);

  // Calls guest code at `address` (bit 0 set: Thumb) with the given arguments, the fifth and
  // later on the stack, and a return address in firmware code. Runs nested when called from a
  // service handler; the CPU state of the interrupted code is restored afterwards. Returns r0,
  // or nothing when the run stopped on a fault.
  std::optional<uint32_t> call(uint32_t address, std::span<const uint32_t> args);
  unsigned depth() const { return depth_; }

  // Records the first fault and stops the emulation at every nesting level.
  void raise(Fault f);
  void raise(FaultKind kind, std::string what);
  const std::optional<Fault>& fault() const { return fault_; }
  bool halted() const { return fault_.has_value(); }

  void set_instruction_limit(uint64_t n) { limit_ = n; }
  uint64_t instruction_limit() const { return limit_; }
  uint64_t instructions() const { return executed_; }

 private:
  explicit Cpu(Hooks hooks) : hooks_(std::move(hooks)) {}
  friend struct CpuCallbacks;

  uc_struct* uc_ = nullptr;
  Hooks hooks_;
  std::optional<Fault> fault_;
  unsigned depth_ = 0;
  std::vector<uc_context*> saved_;      // one saved CPU state per nesting level
  std::vector<uint64_t> frame_start_;   // executed_ when each nested call began
  uint64_t executed_ = 0;
  uint64_t limit_ = 20'000'000;
};

}  // namespace phonesim
