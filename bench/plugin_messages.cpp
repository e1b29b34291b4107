// Messages a second that the phone simulator delivers to the real name plugins: message 1009
// with parameter 1, each one a nested guest call that formats the plugin's name through the
// firmware services. Also checks that a long run leaks nothing.
//
//   bench/plugin_messages [--benchmark_filter=...]
// The images come from the build's applet folder, or from $KIT_APPLET_DIR when it is set.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "simulator.h"

namespace {

std::string image_dir() {
  const char* env = std::getenv("KIT_APPLET_DIR");
  return env && *env ? env : KIT_APPLET_DIR;
}

void deliver(benchmark::State& state, const char* file, bool trace) {
  auto sim = phonesim::Simulator::create();
  if (!sim) {
    state.SkipWithError(sim.error().c_str());
    return;
  }
  auto id = (*sim)->load_file(image_dir() + "/" + file);
  if (!id) {
    state.SkipWithError(id.error().c_str());
    return;
  }
  (*sim)->trace().set_enabled(trace);
  const uint32_t pid = (*sim)->processes().at(0).id;
  const size_t live = (*sim)->heap().live().size();
  for (auto _ : state) {
    for (int i = 0; i < state.range(0); ++i) {
      if (!(*sim)->send_message(pid, 1009, 1)) {
        state.SkipWithError((*sim)->fault_report().c_str());
        return;
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.counters["messages/s"] =
      benchmark::Counter(double(state.iterations() * state.range(0)), benchmark::Counter::kIsRate);
  if ((*sim)->heap().live().size() != live) state.SkipWithError("the heap grew during the run");
  if (!(*sim)->end_process(pid) || !(*sim)->heap().live().empty()) state.SkipWithError("leaked at unload");
}

}  // namespace

BENCHMARK_CAPTURE(deliver, clock_full, "nimbrel_clock.elf", true)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(deliver, clock_reduced, "nimbrel_clock_new.elf", true)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(deliver, ram_full, "nimbrel_ram.elf", true)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(deliver, ram_reduced, "nimbrel_ram_new.elf", true)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(deliver, clock_reduced_no_trace, "nimbrel_clock_new.elf", false)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
