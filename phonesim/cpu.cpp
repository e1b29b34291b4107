#include "cpu.h"

#include <unicorn/unicorn.h>

#include <cstdio>

#include "memory_map.h"

namespace phonesim {

namespace {

constexpr unsigned kMaxDepth = 32;
constexpr uint32_t kThumbBit = 1u << 5;

std::string hex(uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%08llX", (unsigned long long)v);
  return buf;
}

const char* exception_name(uint32_t intno) {
  switch (intno) {
    case 1: return "undefined instruction";
    case 3: return "prefetch abort";
    case 4: return "data abort";
    case 5: return "interrupt request";
    case 6: return "fast interrupt request";
    case 7: return "breakpoint (BKPT)";
    default: return "exception";
  }
}

}  // namespace

struct CpuCallbacks {
  static void interrupt(uc_engine* uc, uint32_t intno, void* user) {
    Cpu& cpu = *static_cast<Cpu*>(user);
    if (cpu.halted()) {
      uc_emu_stop(uc);
      return;
    }
    const uint32_t pc = cpu.pc();
    if (intno != 2) {
      cpu.raise(FaultKind::Cpu, std::string(exception_name(intno)) + " (exception " +
                                    std::to_string(intno) + ")");
      return;
    }
    uint32_t cpsr = cpu.reg(UC_ARM_REG_CPSR);
    if (cpsr & kThumbBit) {
      cpu.raise(FaultKind::Cpu, "SWI in Thumb state at " + hex(pc - 2) +
                                    ": firmware services are called by the ARM SWI instruction");
      return;
    }
    auto insn = cpu.read32(pc - 4);
    if (!insn) {
      cpu.raise(FaultKind::Memory, "cannot read the SWI instruction at " + hex(pc - 4));
      return;
    }
    cpu.hooks_.swi(*insn & 0x00FFFFFF, pc - 4);
    if (cpu.halted()) uc_emu_stop(uc);
  }

  static void block(uc_engine* uc, uint64_t, uint32_t size, void* user) {
    Cpu& cpu = *static_cast<Cpu*>(user);
    cpu.executed_ += (size + 3) / 4;
    if (cpu.halted()) {
      uc_emu_stop(uc);
      return;
    }
    if (!cpu.frame_start_.empty() && cpu.executed_ - cpu.frame_start_.back() > cpu.limit_)
      cpu.raise(FaultKind::Runaway, "the guest call did not return within " +
                                        std::to_string(cpu.limit_) + " instructions");
  }

  static bool bad_memory(uc_engine*, uc_mem_type type, uint64_t address, int size, int64_t,
                         void* user) {
    Cpu& cpu = *static_cast<Cpu*>(user);
    std::string what;
    switch (type) {
      case UC_MEM_READ_UNMAPPED: what = "read of unmapped address "; break;
      case UC_MEM_WRITE_UNMAPPED: what = "write of unmapped address "; break;
      case UC_MEM_FETCH_UNMAPPED: what = "execution at unmapped address "; break;
      case UC_MEM_READ_PROT: what = "read of protected address "; break;
      case UC_MEM_WRITE_PROT: what = "write of read-only address "; break;
      case UC_MEM_FETCH_PROT: what = "execution at non-executable address "; break;
      default: what = "bad access at "; break;
    }
    what += hex(address) + " (" + std::to_string(size) + " bytes)";
    Fault f;
    f.kind = FaultKind::Memory;
    f.what = what;
    f.pc = cpu.pc();
    if (cpu.hooks_.annotate) cpu.hooks_.annotate(f, uint32_t(address));
    cpu.raise(std::move(f));
    return false;
  }
};

Result<std::unique_ptr<Cpu>> Cpu::open(Hooks hooks) {
  std::unique_ptr<Cpu> cpu(new Cpu(std::move(hooks)));
  uc_err e = uc_open(UC_ARCH_ARM, UC_MODE_ARM, &cpu->uc_);
  if (e != UC_ERR_OK) return Error{std::string("cannot start the ARM emulator: ") + uc_strerror(e)};
  uc_hook h;
  if ((e = uc_hook_add(cpu->uc_, &h, UC_HOOK_INTR, (void*)&CpuCallbacks::interrupt, cpu.get(), 1,
                       0)) != UC_ERR_OK ||
      (e = uc_hook_add(cpu->uc_, &h, UC_HOOK_BLOCK, (void*)&CpuCallbacks::block, cpu.get(), 1,
                       0)) != UC_ERR_OK ||
      (e = uc_hook_add(cpu->uc_, &h, UC_HOOK_MEM_INVALID, (void*)&CpuCallbacks::bad_memory,
                       cpu.get(), 1, 0)) != UC_ERR_OK)
    return Error{std::string("cannot hook the ARM emulator: ") + uc_strerror(e)};
  return cpu;
}

Cpu::~Cpu() {
  for (uc_context* c : saved_) uc_context_free(c);
  if (uc_) uc_close(uc_);
}

Status Cpu::map(uint32_t address, uint32_t size, uint32_t prot) {
  uc_err e = uc_mem_map(uc_, address, size, prot);
  if (e != UC_ERR_OK) return Error{"cannot map " + hex(address) + ": " + uc_strerror(e)};
  return {};
}

Status Cpu::protect(uint32_t address, uint32_t size, uint32_t prot) {
  uc_err e = uc_mem_protect(uc_, address, size, prot);
  if (e != UC_ERR_OK) return Error{"cannot protect " + hex(address) + ": " + uc_strerror(e)};
  return {};
}

void Cpu::forget_code(uint32_t begin, uint32_t end) {
  uc_ctl_remove_cache(uc_, begin, end);
}

bool Cpu::read(uint32_t address, void* out, size_t n) const {
  if (n == 0) return true;
  if (uint64_t(address) + n > 0x100000000ull) return false;
  return uc_mem_read(uc_, address, out, n) == UC_ERR_OK;
}

bool Cpu::write(uint32_t address, const void* data, size_t n) {
  if (n == 0) return true;
  if (uint64_t(address) + n > 0x100000000ull) return false;
  return uc_mem_write(uc_, address, data, n) == UC_ERR_OK;
}

std::optional<uint32_t> Cpu::read32(uint32_t address) const {
  uint32_t v;
  if (!read(address, &v, 4)) return std::nullopt;
  return v;
}

uint32_t Cpu::reg(int r) const {
  uint32_t v = 0;
  uc_reg_read(uc_, r, &v);
  return v;
}

void Cpu::set_reg(int r, uint32_t v) { uc_reg_write(uc_, r, &v); }
uint32_t Cpu::sp() const { return reg(UC_ARM_REG_SP); }
uint32_t Cpu::lr() const { return reg(UC_ARM_REG_LR); }
uint32_t Cpu::pc() const { return reg(UC_ARM_REG_PC); }

std::optional<uint32_t> Cpu::arg(unsigned i) const {
  if (i < 4) return reg(UC_ARM_REG_R0 + int(i));
  return read32(sp() + 4 * (i - 4));
}

void Cpu::set_result(uint32_t v) { set_reg(UC_ARM_REG_R0, v); }

std::optional<uint32_t> Cpu::call(uint32_t address, std::span<const uint32_t> args) {
  if (halted()) return std::nullopt;
  if (depth_ >= kMaxDepth) {
    raise(FaultKind::Runaway, "firmware and applet calls nested deeper than " +
                                  std::to_string(kMaxDepth) + " levels");
    return std::nullopt;
  }
  if (saved_.size() <= depth_) {
    uc_context* ctx = nullptr;
    if (uc_context_alloc(uc_, &ctx) != UC_ERR_OK) {
      raise(FaultKind::Cpu, "cannot save the CPU state");
      return std::nullopt;
    }
    saved_.push_back(ctx);
  }
  uc_context_save(uc_, saved_[depth_]);

  // Below the interrupted code's frame, 8-byte aligned as the procedure call standard asks.
  uint32_t sp = depth_ == 0 ? layout::kStackTop : (this->sp() & ~7u);
  if (args.size() > 4) {
    const uint32_t extra = uint32_t(args.size() - 4);
    sp = (sp - 4 * extra) & ~7u;
    if (!write(sp, args.data() + 4, 4 * extra)) {
      raise(FaultKind::Memory, "the guest stack has no room for the call's arguments");
      return std::nullopt;
    }
  }
  for (size_t i = 0; i < 4; ++i) set_reg(UC_ARM_REG_R0 + int(i), i < args.size() ? args[i] : 0);
  set_reg(UC_ARM_REG_SP, sp);
  set_reg(UC_ARM_REG_LR, layout::kReturnTrap);

  frame_start_.push_back(executed_);
  ++depth_;
  uc_err e = uc_emu_start(uc_, address, layout::kReturnTrap, 0, 0);
  --depth_;
  frame_start_.pop_back();
  const uint32_t result = reg(UC_ARM_REG_R0);
  const uint32_t stopped_at = pc();
  uc_context_restore(uc_, saved_[depth_]);

  if (e != UC_ERR_OK && !halted()) {
    Fault f;
    f.kind = e == UC_ERR_INSN_INVALID ? FaultKind::Cpu : FaultKind::Memory;
    if (e == UC_ERR_INSN_INVALID) {
      auto insn = read32(stopped_at);
      f.what = "undefined instruction" + (insn ? " " + hex(*insn) : std::string()) + " at " + hex(stopped_at);
    } else {
      f.what = std::string(uc_strerror(e));
    }
    f.pc = stopped_at;
    if (hooks_.annotate) hooks_.annotate(f, stopped_at);
    raise(std::move(f));
  }
  if (halted()) return std::nullopt;
  if (stopped_at != layout::kReturnTrap) {
    raise(FaultKind::Cpu, "the guest call stopped at " + hex(stopped_at) + " before returning");
    return std::nullopt;
  }
  return result;
}

void Cpu::raise(Fault f) {
  if (!fault_) {
    if (f.where.empty() && hooks_.annotate) hooks_.annotate(f, f.pc);
    fault_ = std::move(f);
  }
  uc_emu_stop(uc_);
}

void Cpu::raise(FaultKind kind, std::string what) {
  Fault f;
  f.kind = kind;
  f.what = std::move(what);
  f.pc = pc();
  raise(std::move(f));
}

}  // namespace phonesim
