#include "simulator.h"

#include <unicorn/unicorn.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "image_loader.h"
#include "wide_text.h"

static_assert(std::endian::native == std::endian::little,
              "guest records are copied byte for byte; the host must be little-endian");

namespace phonesim {

namespace {

constexpr uint32_t kUndefined = 0xE7F000F0;  // permanently undefined ARM instruction
constexpr uint32_t kSwiOp = 0xEF000000;
constexpr uint32_t kBxLr = 0xE12FFF1E;

std::string hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

std::string hex_short(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%X", v);
  return buf;
}

std::string base_name(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

Result<std::unique_ptr<Simulator>> Simulator::create(const SimulatorOptions& options) {
  std::unique_ptr<Simulator> sim(new Simulator());
  if (Status s = sim->init(options); !s) return Error{s.error()};
  return sim;
}

Simulator::~Simulator() = default;

Status Simulator::init(const SimulatorOptions& options) {
  if (options.heap_size < layout::kPageSize || options.heap_size > layout::kMaxHeapSize ||
      options.heap_size % layout::kPageSize)
    return Error{"the heap size must be a multiple of 1024 bytes between 1 KiB and 64 MiB"};
  heap_ = Heap(layout::kHeapBase, options.heap_size);
  trace_.set_capacity(options.trace_capacity);

  Cpu::Hooks hooks;
  hooks.swi = [this](uint32_t number, uint32_t pc) { on_swi(number, pc); };
  hooks.annotate = [this](Fault& f, uint32_t address) { annotate(f, address); };
  Result<std::unique_ptr<Cpu>> cpu = Cpu::open(std::move(hooks));
  if (!cpu) return Error{cpu.error()};
  cpu_ = std::move(*cpu);
  cpu_->set_instruction_limit(options.instruction_limit);

  for (Status s : {cpu_->map(layout::kHeapBase, options.heap_size, Cpu::kAll),
                   cpu_->map(layout::kStackBase, layout::kStackSize, Cpu::kRead | Cpu::kWrite),
                   cpu_->map(layout::kFwDataBase, layout::kFwDataSize, Cpu::kRead | Cpu::kWrite),
                   cpu_->map(layout::kFwCodeBase, layout::kFwCodeSize, Cpu::kRead | Cpu::kExec)})
    if (!s) return s;

  // Firmware code: anything but the routine stubs is an undefined instruction, so a stray jump
  // into the page stops with a report instead of running on.
  std::vector<uint32_t> code(layout::kFwCodeSize / 4, kUndefined);
  cpu_->write(layout::kFwCodeBase, code.data(), layout::kFwCodeSize);

  cpu_->write32(layout::kProcessRoot + 8, layout::kProcessQueue);
  cpu_->write32(layout::kProcessQueue + 4, layout::kLauncherProcess);
  cpu_->write32(layout::kProcessQueue + 8, layout::kIdleProcess);

  for (auto part : {register_memory_services, register_time_services, register_process_services,
                    register_text_services})
    if (Status s = part(*this); !s) return s;
  return {};
}

Status Simulator::add_service(ServiceEntry entry) {
  const uint32_t n = entry.number;
  const bool routine = bool(entry.call);
  if (Status s = services_.add(std::move(entry)); !s) return s;
  if (routine && n < layout::kStubCount) {
    const uint32_t stub[2] = {kSwiOp | n, kBxLr};
    cpu_->write(layout::stub_address(n), stub, sizeof stub);
    cpu_->forget_code(layout::stub_address(n), layout::stub_address(n) + 8);
  }
  return {};
}

// ---------------------------------------------------------------------------------------------
// Service dispatch

void Simulator::on_swi(uint32_t number, uint32_t pc) {
  const bool value_form = (number & 0x8000) != 0;
  const ServiceEntry* e = number <= 0xFFFF ? services_.find(number & 0x7FFF) : nullptr;
  if (!e || (!value_form && !e->call)) {
    Fault f;
    f.kind = FaultKind::UnknownService;
    f.what = e ? "service " + hex_short(number) + " has no routine, only a value form (" +
                     hex_short(number | 0x8000) + ", " + e->value_name + ")"
               : "unknown service " + hex_short(number) + ": no entry in the firmware's service table";
    f.pc = pc;
    cpu_->raise(std::move(f));
    return;
  }

  TraceRecord r;
  r.tick = clock_.ticks();
  r.number = number;
  r.pc = pc;
  r.via_routine = layout::in_fw_code(pc);

  if (value_form) {
    const uint32_t v = e->value ? e->value() : layout::stub_address(e->number);
    r.name = e->value_name.empty() ? std::string_view(e->name) : std::string_view(e->value_name);
    r.result = v;
    r.done = true;
    cpu_->set_result(v);
    trace_.push(std::move(r));
    return;
  }

  ServiceCall call(*this, number, pc, cpu_->lr());
  for (unsigned i = 0; i < e->argc && !halted(); ++i) r.args[i] = call.arg(i);
  if (halted()) return;
  r.name = e->name;
  r.argc = e->argc;
  r.returns = e->returns;
  const uint64_t seq = trace_.push(std::move(r)).seq;

  const uint32_t result = e->call(call);
  if (halted()) return;
  if (e->returns) cpu_->set_result(result);
  if (TraceRecord* t = trace_.find(seq)) {
    const std::vector<uint32_t>& read = call.read_args();
    t->argc = uint8_t(std::min<size_t>(std::max<size_t>(e->argc, read.size()), t->args.size()));
    for (size_t i = e->argc; i < t->argc; ++i) t->args[i] = read[i];
    t->result = result;
    t->note = std::move(call.note);
    t->done = true;
  }
}

void Simulator::service_fault(ServiceCall& call, FaultKind kind, std::string what) {
  Fault f;
  f.kind = kind;
  const ServiceEntry* e = services_.find(call.number & 0x7FFF);
  f.what = (e ? e->name : hex_short(call.number)) + ": " + what;
  f.pc = call.pc;
  cpu_->raise(std::move(f));
}

// The host's reads and writes of guest memory pass unicorn's page permissions by, so released
// image blocks are checked here, over the whole range.
bool Simulator::touches_released(uint32_t address, size_t n) const {
  return heap_.quarantined_overlapping(address, uint32_t(std::min<size_t>(n, UINT32_MAX))) != nullptr;
}

bool Simulator::read_guest(ServiceCall& call, uint32_t address, void* out, size_t n, const char* what) {
  if (touches_released(address, n)) {
    call.fail(FaultKind::ReleasedImage, std::string("reads ") + what + " at " + hex(address) +
                                            ", inside " + describe_address(address));
    return false;
  }
  if (!cpu_->read(address, out, n)) {
    call.fail(FaultKind::Memory, std::string("cannot read ") + what + " (" + std::to_string(n) +
                                     " bytes at " + hex(address) + ")");
    return false;
  }
  return true;
}

bool Simulator::write_guest(ServiceCall& call, uint32_t address, const void* data, size_t n,
                            const char* what) {
  if (touches_released(address, n)) {
    call.fail(FaultKind::ReleasedImage, std::string("writes ") + what + " at " + hex(address) +
                                            ", inside " + describe_address(address));
    return false;
  }
  if (!cpu_->write(address, data, n)) {
    call.fail(FaultKind::Memory, std::string("cannot write ") + what + " (" + std::to_string(n) +
                                     " bytes at " + hex(address) + ")");
    return false;
  }
  return true;
}

std::optional<std::string> Simulator::read_text(ServiceCall& call, uint32_t address, size_t limit,
                                                const char* what) {
  std::string out;
  char chunk[64];
  while (out.size() < limit) {
    const size_t n = std::min(sizeof chunk, limit - out.size());
    if (heap_.quarantined_containing(address)) {
      call.fail(FaultKind::ReleasedImage, std::string("reads ") + what + " at " + hex(address) +
                                              ", inside " + describe_address(address));
      return std::nullopt;
    }
    if (!cpu_->read(address, chunk, n)) {
      // The text may end just before unmapped memory: go on byte by byte.
      size_t k = 0;
      for (; k < n && cpu_->read(address + uint32_t(k), chunk + k, 1); ++k)
        if (chunk[k] == 0) return out.append(chunk, k);
      call.fail(FaultKind::Memory, std::string("cannot read ") + what + " at " +
                                       hex(address + uint32_t(k)) + " (not terminated before it)");
      return std::nullopt;
    }
    const void* nul = std::memchr(chunk, 0, n);
    if (nul) return out.append(chunk, static_cast<const char*>(nul) - chunk);
    out.append(chunk, n);
    address += uint32_t(n);
  }
  return out;
}

int Simulator::image_of_caller(const ServiceCall& call) const {
  // A SWI inside an image belongs to it; one in a firmware routine to whoever called the routine.
  const LoadedImage* img = image_holding(call.pc);
  if (!img) img = image_holding(call.caller);
  return img ? img->id : -1;
}

// ---------------------------------------------------------------------------------------------
// Describing addresses and faults

const LoadedImage* Simulator::image_holding(uint32_t address) const {
  for (const LoadedImage& img : images_)
    if (address - img.block < img.size) return &img;
  return nullptr;
}

std::string Simulator::describe_address(uint32_t a) const {
  if (const LoadedImage* img = image_holding(a))
    return img->name + "+" + hex_short(a - img->block) + (img->released ? ", released image" : "");
  if (const HeapBlock* q = heap_.quarantined_containing(a))
    return "released image block " + describe_block(*q);
  if (a == layout::kReturnTrap) return "firmware, return from an applet call";
  if (layout::in_fw_code(a)) {
    if (a >= layout::kStubBase) {
      const uint32_t n = (a - layout::kStubBase) / 8;
      if (const ServiceEntry* e = services_.find(n); e && e->call) return "firmware routine " + e->name;
    }
    return "firmware code";
  }
  if (a >= layout::kFwDataBase && a < layout::kFwDataBase + layout::kFwDataSize) return "firmware data";
  if (a >= layout::kStackBase && a < layout::kStackTop) return "stack";
  if (a >= layout::kStackBase - layout::kPageSize * 4 && a < layout::kStackBase) return "below the stack (overflow)";
  if (const HeapBlock* b = heap_.containing(a))
    return "heap block " + describe_block(*b) + "+" + hex_short(a - b->address);
  if (a < 0x10000) return "null page";
  return "";
}

void Simulator::annotate(Fault& f, uint32_t address) const {
  if (f.where.empty()) f.where = describe_address(f.pc);
  const HeapBlock* released = heap_.quarantined_containing(address);
  if (!released) released = heap_.quarantined_containing(f.pc);
  if (released && f.kind == FaultKind::Memory) {
    f.kind = FaultKind::ReleasedImage;
    f.what += ", inside the released image block " + describe_block(*released);
  }
  if (f.last_calls.empty()) f.last_calls = trace_.last(8);
}

std::string Simulator::fault_report() const {
  return fault() ? format_fault(*fault()) : std::string("no fault");
}

// ---------------------------------------------------------------------------------------------
// Calls into applets and the end of an event

std::optional<uint32_t> Simulator::handler_call(uint32_t address, std::span<const uint32_t> args) {
  std::optional<uint32_t> r = cpu_->call(address, args);
  if (!halted() && lock_frame_ > cpu_->depth()) {
    Fault f;
    f.kind = FaultKind::SchedLock;
    f.what = "a handler returned with the scheduler still locked (fw_lock_sched at " + hex(lock_pc_) + ")";
    f.pc = lock_pc_;
    cpu_->raise(std::move(f));
    return std::nullopt;
  }
  return r;
}

void Simulator::settle() {
  while (!halted()) {
    end_asked_processes();
    if (halted() || run_later_.empty()) break;
    const uint32_t routine = run_later_.front();
    run_later_.pop_front();
    handler_call(routine, {});
  }
  if (!halted() && sched_locked()) {
    Fault f;
    f.kind = FaultKind::SchedLock;
    f.what = "the scheduler was still locked when the firmware regained control (fw_lock_sched at " + hex(lock_pc_) + ")";
    f.pc = lock_pc_;
    cpu_->raise(std::move(f));
  }
}

Result<uint32_t> Simulator::call(uint32_t address, std::vector<uint32_t> args) {
  if (halted()) return Error{fault_report()};
  std::optional<uint32_t> r = handler_call(address, args);
  settle();
  if (halted()) return Error{fault_report()};
  return *r;
}

// ---------------------------------------------------------------------------------------------
// Loading

Result<int> Simulator::load_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Error{"cannot open " + path};
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return Error{"cannot read " + path};
  return load_image(bytes, base_name(path));
}

Result<int> Simulator::load_image(std::span<const uint8_t> file, const std::string& name) {
  if (halted()) return Error{fault_report()};
  Result<LoadPlan> plan = plan_image(file);
  if (!plan) return Error{name + ": " + plan.error()};

  const int id = int(images_.size());
  const uint64_t mark = heap_.mark();
  const uint32_t block = heap_.alloc(plan->block_size, name, id, BlockKind::Image);
  if (!block)
    return Error{name + ": not enough free memory for its " + std::to_string(plan->block_size) + "-byte block"};
  const std::vector<uint8_t> bytes = build_block(*plan, file, block);
  cpu_->write(block, bytes.data(), bytes.size());
  cpu_->forget_code(block, block + heap_.find_live(block)->reserved);

  LoadedImage img;
  img.id = id;
  img.name = name;
  img.block = block;
  img.size = plan->block_size;
  img.entry = block + plan->entry;
  img.relocations = plan->relocations.size();
  img.heap_mark = mark;
  images_.push_back(img);

  // `main` runs in the launcher, the process that started the applet.
  cpu_->write32(layout::kProcessQueue + 4, layout::kLauncherProcess);
  const uint32_t entry = img.entry;
  std::optional<uint32_t> r = handler_call(entry, {});
  settle();
  if (halted()) return Error{fault_report()};
  images_[id].main_result = *r;
  return id;
}

Result<uint32_t> Simulator::send_message(uint32_t pid, int16_t code, uint32_t param, uint32_t data) {
  if (halted()) return Error{fault_report()};
  auto it = std::find_if(processes_.begin(), processes_.end(), [&](const ProcessInfo& p) { return p.id == pid; });
  if (it == processes_.end()) return Error{"there is no process " + std::to_string(pid)};
  std::optional<uint32_t> r = dispatch_message(*it, code, param, data);
  settle();
  if (halted()) return Error{fault_report()};
  return *r;
}

Status Simulator::advance(uint64_t ticks) {
  if (halted()) return halted_status();
  const uint64_t target = clock_.ticks() + ticks;
  while (std::optional<ArmedTimer> t = timers_.pop_due(target)) {
    clock_.set_ticks(std::max(clock_.ticks(), t->due));
    const uint32_t arg = t->record;
    handler_call(t->callback, std::span<const uint32_t>(&arg, 1));
    settle();
    if (halted()) return halted_status();
  }
  clock_.set_ticks(target);
  return {};
}

Status Simulator::end_process(uint32_t pid) {
  if (halted()) return halted_status();
  if (!process(pid)) return Error{"there is no process " + std::to_string(pid)};
  end_process_now(pid);
  settle();
  if (halted()) return halted_status();
  return {};
}

Result<std::vector<TaskEntry>> Simulator::task_list() {
  if (halted()) return Error{fault_report()};
  std::vector<uint32_t> pids;
  for (const ProcessInfo& p : processes_) pids.push_back(p.id);
  for (uint32_t pid : pids) {
    if (!process(pid)) continue;  // ended by an earlier one's message
    auto r = send_message(pid, kRefreshCode, 1);
    if (!r) return Error{r.error()};
  }
  std::vector<TaskEntry> out;
  for (const ProcessInfo& p : processes_) {
    Result<std::u16string> name = display_name(p.id);
    if (!name) return Error{name.error()};
    out.push_back({p.id, *name, utf16_to_utf8(*name), p.image});
  }
  return out;
}

uint32_t Simulator::free_ram() const { return free_ram_override_ ? *free_ram_override_ : heap_.free_bytes(); }

uint32_t Simulator::current_process_word() const {
  return cpu_->read32(layout::kProcessQueue + 4).value_or(0);
}

uint32_t Simulator::first_process_word() const {
  return cpu_->read32(layout::kProcessQueue + 8).value_or(0);
}

}  // namespace phonesim
