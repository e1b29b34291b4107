// The firmware's processes: creation from an applet's descriptor, message dispatch, the end of a
// process (asked for by its state word or imposed from outside), display names, and the release
// of an applet's image block.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "simulator.h"

namespace phonesim {

namespace {

constexpr int32_t kStateEnd = -3;
constexpr uint32_t kStateWord = 16;
constexpr uint32_t kMaxRecordBytes = 64 * 1024;

// The descriptor's words, in order.
enum { kOnMessage, kOnCreate, kOnClose, kRecordSize, kStateCount, kStateTable };

// The display-name header follows the 24-byte descriptor.
constexpr uint32_t kNameHeader = 24;

std::string hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

}  // namespace

const ProcessInfo* Simulator::process(uint32_t pid) const {
  for (const ProcessInfo& p : processes_)
    if (p.id == pid) return &p;
  return nullptr;
}

uint32_t Simulator::create_process(ServiceCall& call, uint32_t descriptor, uint32_t scratch) {
  uint32_t d[6];
  if (!read_guest(call, descriptor, d, sizeof d, "the process descriptor")) return 0;
  const uint32_t size = d[kRecordSize];
  if (size < kFirmwareRecordBytes || size > kMaxRecordBytes) {
    call.fail(FaultKind::Service, "the descriptor at " + hex(descriptor) + " asks for a " +
                                      std::to_string(size) + "-byte process record; the firmware needs " +
                                      std::to_string(kFirmwareRecordBytes) + " to " +
                                      std::to_string(kMaxRecordBytes) + " bytes");
    return 0;
  }
  // The caller hands a scratch area of the record's size; it must at least be there.
  std::vector<uint8_t> probe(size);
  if (!read_guest(call, scratch, probe.data(), size, "the scratch area")) return 0;

  const uint32_t pid = next_pid_++;
  const uint32_t record = heap_.alloc(size, "process " + std::to_string(pid) + " record");
  if (!record) {
    call.note = "no memory for the process record";
    return 0;
  }
  std::vector<uint8_t> zero(size, 0);
  cpu_->write(record, zero.data(), size);
  // The firmware's own words: the descriptor and the process id.
  cpu_->write32(record + 8, descriptor);
  cpu_->write32(record + 12, pid);

  ProcessInfo p;
  p.id = pid;
  p.record = record;
  p.descriptor = descriptor;
  const LoadedImage* img = image_holding(descriptor);
  p.image = img ? img->id : -1;
  p.current_word_at_creation = current_process_word();
  p.created_under_lock = sched_locked();
  processes_.push_back(p);
  call.note = "process " + std::to_string(pid) + ", record " + hex(record);

  const uint32_t arg = record;
  handler_call(d[kOnCreate], std::span<const uint32_t>(&arg, 1));
  if (!halted()) end_asked_processes();
  return pid;
}

std::optional<uint32_t> Simulator::dispatch_message(ProcessInfo& p, int16_t code, uint32_t param,
                                                    uint32_t data) {
  const unsigned depth = cpu_->depth();
  if (depth >= layout::kMaxMessageDepth) {
    cpu_->raise(FaultKind::Runaway, "messages nested deeper than " + std::to_string(depth));
    return std::nullopt;
  }
  const uint32_t handler = cpu_->read32(p.descriptor + 4 * kOnMessage).value_or(0);
  const uint32_t msg = layout::kMessageRecords + 16 * depth;
  uint8_t m[16] = {};
  std::memcpy(m + 2, &code, 2);
  std::memcpy(m + 4, &param, 4);
  std::memcpy(m + 8, &data, 4);
  cpu_->write(msg, m, sizeof m);

  const uint32_t saved = current_process_word();
  cpu_->write32(layout::kProcessQueue + 4, p.record);
  const uint32_t args[2] = {p.record, msg};
  std::optional<uint32_t> r = handler_call(handler, args);
  if (halted()) return std::nullopt;
  cpu_->write32(layout::kProcessQueue + 4, saved);
  end_asked_processes();
  return r;
}

void Simulator::end_asked_processes() {
  std::vector<uint32_t> asked;
  for (const ProcessInfo& p : processes_) {
    if (p.ending) continue;
    const int32_t state = int32_t(cpu_->read32(p.record + kStateWord).value_or(0));
    if (state == kStateEnd) asked.push_back(p.id);
  }
  for (uint32_t pid : asked) {
    if (halted()) return;
    end_process_now(pid);
  }
}

void Simulator::end_process_now(uint32_t pid) {
  auto find = [&] {
    return std::find_if(processes_.begin(), processes_.end(), [&](const ProcessInfo& p) { return p.id == pid; });
  };
  auto it = find();
  if (it == processes_.end() || it->ending) return;
  it->ending = true;
  const uint32_t record = it->record;
  const uint32_t close = cpu_->read32(it->descriptor + 4 * kOnClose).value_or(0);

  const uint32_t saved = current_process_word();
  cpu_->write32(layout::kProcessQueue + 4, record);
  handler_call(close, std::span<const uint32_t>(&record, 1));
  if (halted()) return;
  cpu_->write32(layout::kProcessQueue + 4, saved);

  Result<HeapBlock> freed = heap_.free(record);
  if (!freed) {
    Fault f;
    f.kind = FaultKind::Heap;
    f.what = "releasing the record of process " + std::to_string(pid) + ": " + freed.error();
    f.pc = cpu_->pc();
    cpu_->raise(std::move(f));
    return;
  }
  processes_.erase(find());
}

Result<std::u16string> Simulator::display_name(uint32_t pid) const {
  const ProcessInfo* p = process(pid);
  if (!p) return Error{"there is no process " + std::to_string(pid)};
  uint8_t h[20];
  if (!cpu_->read(p->descriptor + kNameHeader, h, sizeof h))
    return Error{"process " + std::to_string(pid) + ": cannot read its name header"};
  uint32_t body;
  uint16_t max_len;
  std::memcpy(&body, h, 4);
  std::memcpy(&max_len, h + 16, 2);
  uint16_t len = 0;
  if (!cpu_->read(body, &len, 2)) return Error{"process " + std::to_string(pid) + ": cannot read its name at " + hex(body)};
  len = std::min(len, max_len);
  std::u16string name(len, u'\0');
  if (len && !cpu_->read(body + 2, name.data(), 2 * size_t(len)))
    return Error{"process " + std::to_string(pid) + ": cannot read its name at " + hex(body)};
  return name;
}

void Simulator::check_release(ServiceCall& call, const HeapBlock& block) {
  const uint32_t end = block.address + block.reserved;
  for (const ProcessInfo& p : processes_)
    if (p.descriptor - block.address < block.reserved && !p.ending) {
      call.fail(FaultKind::ReleasedImage, "releases the image " + describe_block(block) + " while process " +
                                              std::to_string(p.id) + ", whose descriptor lies in it, still runs");
      return;
    }
  for (const ArmedTimer& t : timers_.armed_within(block.address, end)) {
    call.fail(FaultKind::ReleasedImage, "releases the image " + describe_block(block) +
                                            " while its timer record at " + hex(t.record) + " still runs");
    return;
  }
}

void Simulator::release_block(ServiceCall& call, uint32_t address) {
  if (address == 0) {
    call.note = "free of 0 ignored";
    return;
  }
  const HeapBlock* live = heap_.find_live(address);
  const bool image = live && live->kind == BlockKind::Image;
  if (image) {
    check_release(call, *live);
    if (call.failed()) return;
  }
  Result<HeapBlock> freed = heap_.free(address);
  if (!freed) {
    call.fail(FaultKind::Heap, freed.error());
    return;
  }
  for (const ArmedTimer& t : timers_.armed_within(address, address + freed->reserved)) {
    call.fail(FaultKind::Heap, "releases " + describe_block(*freed) + " while the timer record at " +
                                   hex(t.record) + " in it still runs");
    return;
  }
  if (!image) return;

  // Every later access to the block, code or data, faults and names the image.
  cpu_->forget_code(freed->address, freed->address + freed->reserved);
  if (Status s = cpu_->protect(freed->address, freed->reserved, Cpu::kNone); !s) {
    call.fail(FaultKind::Service, s.error());
    return;
  }
  LoadedImage& img = images_[freed->image];
  img.released = true;
  call.note = "image " + img.name + " unloaded";
  for (const HeapBlock& b : heap_.live_owned_by(img.id))
    warnings_.push_back(img.name + " was unloaded but left block " + describe_block(b) + " allocated");
}

void Simulator::lock_sched(ServiceCall& call) {
  if (lock_frame_) {
    call.fail(FaultKind::SchedLock, "the scheduler is already locked (fw_lock_sched at " + hex(lock_pc_) +
                                        "); the lock does not nest");
    return;
  }
  lock_frame_ = cpu_->depth();
  lock_pc_ = call.pc;
}

void Simulator::unlock_sched(ServiceCall& call) {
  if (!lock_frame_) {
    call.fail(FaultKind::SchedLock, "the scheduler is not locked: no fw_lock_sched before it");
    return;
  }
  if (lock_frame_ != cpu_->depth()) {
    call.fail(FaultKind::SchedLock, "unlocks in another handler than the one that locked (fw_lock_sched at " +
                                        hex(lock_pc_) + "); lock and unlock belong in one function");
    return;
  }
  lock_frame_ = 0;
}

Status register_process_services(Simulator& sim) {
  Status s;
  if (s) s = sim.add_service(routine_entry(0x107, "fw_create_process", 3, Returns::Value, [](ServiceCall& c) {
                           const uint32_t descriptor = c.arg(0), scratch = c.arg(1);
                           return c.sim.create_process(c, descriptor, scratch);
                         }));
  if (s) s = sim.add_service(value_entry(0x106, "fw_process_root", [] { return layout::kProcessRoot; }));
  if (s) s = sim.add_service(routine_entry(0x171, "fw_run_later", 1, Returns::Nothing, [](ServiceCall& c) {
                           c.sim.run_later(c.arg(0));
                           return 0u;
                         }));
  if (s) s = sim.add_service(routine_entry(0x146, "fw_lock_sched", 0, Returns::Nothing, [](ServiceCall& c) {
                           c.sim.lock_sched(c);
                           return 0u;
                         }));
  if (s) s = sim.add_service(routine_entry(0x147, "fw_unlock_sched", 0, Returns::Nothing, [](ServiceCall& c) {
                           c.sim.unlock_sched(c);
                           return 0u;
                         }));
  return s;
}

}  // namespace phonesim
