#include "runner.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "simulator.h"
#include "wide_text.h"

namespace phonesim::cli {

namespace {

std::string hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

std::string plural(size_t n, const std::string& word) {
  const bool sibilant = !word.empty() && word.back() == 's';
  return std::to_string(n) + " " + word + (n == 1 ? "" : sibilant ? "es" : "s");
}

class Run {
 public:
  Run(Simulator& sim, const Invocation& inv, std::ostream& out, std::ostream& err)
      : sim_(sim), inv_(inv), out_(out), err_(err) {}

  int go() {
    if (int rc = load(inv_.image); rc != kCompleted) return rc;
    for (const Step& s : inv_.steps) {
      out_ << "\n> " << s.text << "\n";
      if (int rc = step(s); rc != kCompleted) return rc;
      if (inv_.trace_each_step) print_new_calls();
    }
    summary();
    return kCompleted;
  }

 private:
  Simulator& sim_;
  const Invocation& inv_;
  std::ostream& out_;
  std::ostream& err_;
  uint64_t traced_ = 0;

  int failed(const std::string& origin, const std::string& message) {
    if (sim_.halted()) {
      err_ << "phonesim: " << sim_.fault_report() << "\n";
      return kFaulted;
    }
    err_ << "phonesim: " << (origin.empty() ? "" : origin + ": ") << message << "\n";
    return kBadInput;
  }

  void print_new_calls() {
    for (const TraceRecord& r : sim_.trace().since(traced_)) out_ << "    " << format_trace_record(r) << "\n";
    traced_ = sim_.trace().total();
  }

  std::string name_of(uint32_t pid) {
    Result<std::u16string> n = sim_.display_name(pid);
    return n ? "\"" + utf16_to_utf8(*n) + "\"" : "(name unreadable: " + n.error() + ")";
  }

  std::string image_name(int id) { return id >= 0 ? sim_.images()[id].name : "firmware"; }

  void report_process_changes(const std::vector<ProcessInfo>& before, const std::vector<LoadedImage>& images_before) {
    for (const ProcessInfo& p : sim_.processes()) {
      bool old = false;
      for (const ProcessInfo& q : before) old |= q.id == p.id;
      if (!old) out_ << "  process " << p.id << " started (" << image_name(p.image) << "): " << name_of(p.id) << "\n";
    }
    for (const ProcessInfo& q : before)
      if (!sim_.process(q.id)) out_ << "  process " << q.id << " ended\n";
    for (const LoadedImage& img : sim_.images())
      if (img.released && (size_t(img.id) >= images_before.size() || !images_before[img.id].released))
        out_ << "  " << img.name << " unloaded itself: its block " << hex(img.block) << " was released\n";
    for (size_t i = warned_; i < sim_.warnings().size(); ++i) out_ << "  warning: " << sim_.warnings()[i] << "\n";
    warned_ = sim_.warnings().size();
  }
  size_t warned_ = 0;

  int load(const std::string& path) {
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(path, ec);
    if (ec) return failed("", "cannot read the image " + path + ": " + ec.message());
    const auto before = sim_.processes();
    const auto images_before = sim_.images();
    Result<int> id = sim_.load_file(path);
    if (!id) return failed("", id.error());
    const LoadedImage& img = sim_.images()[*id];
    if (inv_.trace_each_step) print_new_calls();
    out_ << "loaded " << img.name << " (" << bytes << " bytes): block " << hex(img.block) << ", "
         << img.size << " bytes, " << plural(img.relocations, "relocation") << "; main at "
         << hex(img.entry) << " returned " << int32_t(img.main_result) << "\n";
    report_process_changes(before, images_before);
    return kCompleted;
  }

  int step(const Step& s) {
    const auto before = sim_.processes();
    const auto images_before = sim_.images();
    switch (s.kind) {
      case Step::Kind::Advance: {
        if (Status st = sim_.advance(s.ticks); !st) return failed(s.origin, st.error());
        out_ << "  clock at tick " << sim_.clock().ticks() << ", " << format_date_time(sim_.clock().now()) << "\n";
        break;
      }
      case Step::Kind::Message: {
        Result<uint32_t> r = sim_.send_message(s.pid, s.code, s.param, s.data);
        if (!r) return failed(s.origin, r.error());
        out_ << "  process " << s.pid << " answered " << int32_t(*r) << "\n";
        break;
      }
      case Step::Kind::TaskList: {
        const size_t n = sim_.processes().size();
        Result<std::vector<TaskEntry>> list = sim_.task_list();
        if (!list) return failed(s.origin, list.error());
        out_ << "  task list (message 1009/1 sent to " << plural(n, "process") << "):\n";
        if (list->empty()) out_ << "    (no processes)\n";
        for (const TaskEntry& t : *list) {
          char id[16];
          std::snprintf(id, sizeof id, "%4u  ", t.id);
          out_ << "  " << id << t.name_utf8;
          const size_t width = t.name.size();
          out_ << std::string(width < 28 ? 28 - width : 2, ' ') << image_name(t.image) << "\n";
        }
        break;
      }
      case Step::Kind::End: {
        if (Status st = sim_.end_process(s.pid); !st) return failed(s.origin, st.error());
        break;
      }
      case Step::Kind::Trace: {
        const auto records = sim_.trace().records();
        const uint64_t dropped = sim_.trace().total() - records.size();
        out_ << "  " << plural(sim_.trace().total(), "service call") << " so far";
        if (dropped) out_ << " (the first " << dropped << " no longer kept)";
        out_ << (records.empty() ? "\n" : ":\n");
        for (const TraceRecord& r : records) out_ << "    " << format_trace_record(r) << "\n";
        break;
      }
      case Step::Kind::Date: {
        if (Status st = sim_.clock().set(s.date); !st) return failed(s.origin, st.error());
        out_ << "  date and time set to " << format_date_time(sim_.clock().now()) << "\n";
        break;
      }
      case Step::Kind::FreeRam: {
        sim_.set_free_ram(s.bytes);
        out_ << "  fw_free_ram now reports " << sim_.free_ram() << " bytes" << (s.bytes ? "" : " (the heap's free bytes)") << "\n";
        break;
      }
      case Step::Kind::Load:
        return load(s.path);
      case Step::Kind::Heap: {
        const auto live = sim_.heap().live();
        out_ << "  heap: " << plural(live.size(), "block") << " live, " << sim_.heap().live_bytes()
             << " bytes; " << sim_.heap().free_bytes() << " bytes free\n";
        for (const HeapBlock& b : live) out_ << "    " << describe_block(b) << "\n";
        break;
      }
    }
    report_process_changes(before, images_before);
    return kCompleted;
  }

  void summary() {
    const auto live = sim_.heap().live();
    size_t loaded = 0;
    for (const LoadedImage& img : sim_.images()) loaded += !img.released;
    out_ << "\nend of run at tick " << sim_.clock().ticks() << " (" << format_date_time(sim_.clock().now())
         << "): " << plural(sim_.processes().size(), "process") << " running, "
         << plural(loaded, "image") << " loaded, " << plural(live.size(), "heap block") << " live, "
         << sim_.trace().total() << " service calls\n";
    if (loaded == 0 && !live.empty()) {
      out_ << "leaks: every image is unloaded, yet these blocks are still allocated:\n";
      for (const HeapBlock& b : live) out_ << "    " << describe_block(b) << "\n";
    }
  }
};

}  // namespace

int run(const Invocation& inv, std::ostream& out, std::ostream& err) {
  if (inv.help) {
    out << usage_text();
    return kCompleted;
  }
  SimulatorOptions options;
  if (inv.heap_size) options.heap_size = inv.heap_size;
  Result<std::unique_ptr<Simulator>> sim = Simulator::create(options);
  if (!sim) {
    err << "phonesim: " << sim.error() << "\n";
    return kBadInput;
  }
  return Run(**sim, inv, out, err).go();
}

}  // namespace phonesim::cli
