// The simulated phone: memory, CPU, heap, clock, timers, processes and the firmware's service
// table, driven by events from outside (load an image, send a message, let time pass, end a
// process, open the task list). Each event runs to completion: the handlers it calls, the
// processes that end on the way and the fw_run_later routines they leave behind.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "clock.h"
#include "cpu.h"
#include "fault.h"
#include "heap.h"
#include "memory_map.h"
#include "result.h"
#include "service_table.h"
#include "timer_queue.h"
#include "trace.h"

namespace phonesim {

struct SimulatorOptions {
  uint32_t heap_size = layout::kDefaultHeapSize;
  uint64_t instruction_limit = 20'000'000;  // per guest call, nested calls included
  size_t trace_capacity = 4096;             // service calls kept for reading and reports
};

struct LoadedImage {
  int id = 0;
  std::string name;
  uint32_t block = 0;         // address of the image's memory block (its ELF_BEGIN)
  uint32_t size = 0;          // bytes of the block
  uint32_t entry = 0;         // address of `main`
  size_t relocations = 0;
  uint64_t heap_mark = 0;     // the heap's mark just before the block was allocated
  uint32_t main_result = 0;
  bool released = false;
};

struct ProcessInfo {
  uint32_t id = 0;
  uint32_t record = 0;      // the CsmRecord the firmware allocated
  uint32_t descriptor = 0;  // the applet's CsmDescriptor
  int image = -1;           // image holding the descriptor
  uint32_t current_word_at_creation = 0;  // queue's current-process word seen by fw_create_process
  bool created_under_lock = false;
  bool ending = false;
};

struct TaskEntry {
  uint32_t id = 0;
  std::u16string name;
  std::string name_utf8;
  int image = -1;
};

class Simulator {
 public:
  static constexpr int16_t kRefreshCode = 1009;  // the task list's "refresh your name" message
  static constexpr uint32_t kFirmwareRecordBytes = 40;

  static Result<std::unique_ptr<Simulator>> create(const SimulatorOptions& options = {});
  ~Simulator();

  // --- events from outside ---
  Result<int> load_file(const std::string& path);
  Result<int> load_image(std::span<const uint8_t> file, const std::string& name);
  Result<uint32_t> send_message(uint32_t pid, int16_t code, uint32_t param, uint32_t data = 0);
  Status advance(uint64_t ticks);
  Status end_process(uint32_t pid);
  // Sends message 1009 with parameter 1 to every process, then lists them by display name.
  Result<std::vector<TaskEntry>> task_list();
  // A call into guest code from the firmware's top level, e.g. for tests of guest routines.
  Result<uint32_t> call(uint32_t address, std::vector<uint32_t> args = {});

  // --- state ---
  const std::vector<LoadedImage>& images() const { return images_; }
  const LoadedImage* image_holding(uint32_t address) const;
  const std::vector<ProcessInfo>& processes() const { return processes_; }
  const ProcessInfo* process(uint32_t pid) const;
  Result<std::u16string> display_name(uint32_t pid) const;
  uint32_t current_process_word() const;
  uint32_t first_process_word() const;
  bool sched_locked() const { return lock_frame_ != 0; }
  size_t pending_run_later() const { return run_later_.size(); }
  uint32_t free_ram() const;
  void set_free_ram(std::optional<uint32_t> bytes) { free_ram_override_ = bytes; }
  // Things worth telling the applet author that do not stop the run (leaks at unload).
  const std::vector<std::string>& warnings() const { return warnings_; }

  Cpu& cpu() { return *cpu_; }
  Heap& heap() { return heap_; }
  const Heap& heap() const { return heap_; }
  Trace& trace() { return trace_; }
  const Trace& trace() const { return trace_; }
  Clock& clock() { return clock_; }
  const Clock& clock() const { return clock_; }
  TimerQueue& timers() { return timers_; }
  const ServiceTable& services() const { return services_; }

  bool halted() const { return cpu_->halted(); }
  const std::optional<Fault>& fault() const { return cpu_->fault(); }
  std::string fault_report() const;
  std::string describe_address(uint32_t address) const;

  // --- for the service handlers of the firmware parts ---
  Status add_service(ServiceEntry entry);
  void service_fault(ServiceCall& call, FaultKind kind, std::string what);
  bool read_guest(ServiceCall& call, uint32_t address, void* out, size_t n, const char* what);
  bool write_guest(ServiceCall& call, uint32_t address, const void* data, size_t n, const char* what);
  std::optional<std::string> read_text(ServiceCall& call, uint32_t address, size_t limit, const char* what);
  int image_of_caller(const ServiceCall& call) const;

  uint32_t create_process(ServiceCall& call, uint32_t descriptor, uint32_t scratch);
  void release_block(ServiceCall& call, uint32_t address);
  void lock_sched(ServiceCall& call);
  void unlock_sched(ServiceCall& call);
  void run_later(uint32_t routine) { run_later_.push_back(routine); }

 private:
  bool touches_released(uint32_t address, size_t n) const;
  Simulator() = default;
  Status init(const SimulatorOptions& options);

  void on_swi(uint32_t number, uint32_t pc);
  void annotate(Fault& f, uint32_t address) const;
  Status halted_status() const { return Error{fault_report()}; }

  // A call from the firmware into an applet handler, with the checks every handler gets.
  std::optional<uint32_t> handler_call(uint32_t address, std::span<const uint32_t> args);
  // After an event: end the processes that asked to end, run the fw_run_later routines.
  void settle();
  void end_asked_processes();
  void end_process_now(uint32_t pid);
  std::optional<uint32_t> dispatch_message(ProcessInfo& p, int16_t code, uint32_t param, uint32_t data);
  void check_release(ServiceCall& call, const HeapBlock& block);

  std::unique_ptr<Cpu> cpu_;
  Heap heap_{0, 0};
  Trace trace_;
  Clock clock_;
  TimerQueue timers_;
  ServiceTable services_;
  std::vector<LoadedImage> images_;
  std::vector<ProcessInfo> processes_;
  std::deque<uint32_t> run_later_;
  std::vector<std::string> warnings_;
  std::optional<uint32_t> free_ram_override_;
  uint32_t next_pid_ = 1;
  unsigned lock_frame_ = 0;  // nesting depth of the guest call that holds the lock; 0 = free
  uint32_t lock_pc_ = 0;
};

// The firmware parts; each adds its entries to the service table.
Status register_memory_services(Simulator& sim);
Status register_time_services(Simulator& sim);
Status register_process_services(Simulator& sim);
Status register_text_services(Simulator& sim);

}  // namespace phonesim
