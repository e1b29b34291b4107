// A simulated phone running one of the real plugin images from the applet build, full or
// reduced by elfslim; shared by the name-plugin and runtime tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "simulator.h"
#include "wide_text.h"

struct PluginImage {
  const char* plugin;  // "clock" or "ram"
  const char* file;    // file name in the applet folder
};

inline void PrintTo(const PluginImage& p, std::ostream* os) { *os << p.file; }

inline std::string image_name(const ::testing::TestParamInfo<PluginImage>& info) {
  std::string n = info.param.file;
  for (char& c : n)
    if (c == '.') c = '_';
  return n;
}

inline const PluginImage kClockImages[] = {{"clock", "nimbrel_clock.elf"}, {"clock", "nimbrel_clock_new.elf"}};
inline const PluginImage kRamImages[] = {{"ram", "nimbrel_ram.elf"}, {"ram", "nimbrel_ram_new.elf"}};
inline const PluginImage kAllImages[] = {kClockImages[0], kClockImages[1], kRamImages[0], kRamImages[1]};

class PluginTest : public ::testing::TestWithParam<PluginImage> {
 protected:
  void SetUp() override {
    auto s = phonesim::Simulator::create();
    ASSERT_TRUE(s) << s.error();
    sim = std::move(*s);
  }

  // Loads the image (whose `main` creates the process) and notes the process id.
  void start() {
    mark = sim->heap().mark();
    auto id = sim->load_file(std::string(KIT_APPLET_DIR) + "/" + GetParam().file);
    ASSERT_TRUE(id) << id.error();
    image = *id;
    ASSERT_EQ(sim->processes().size(), 1u) << "main creates one process";
    pid = sim->processes()[0].id;
  }

  std::string name() {
    auto n = sim->display_name(pid);
    return n ? phonesim::utf16_to_utf8(*n) : "<" + n.error() + ">";
  }

  void refresh() { ASSERT_TRUE(sim->send_message(pid, 1009, 1)); }

  std::string guest_text(uint32_t address) {
    std::string s;
    for (char c; s.size() < 256 && sim->cpu().read(address + uint32_t(s.size()), &c, 1) && c;) s += c;
    return s;
  }

  const phonesim::LoadedImage& loaded() { return sim->images()[image]; }
  const phonesim::ProcessInfo& proc() { return *sim->process(pid); }

  std::unique_ptr<phonesim::Simulator> sim;
  int image = -1;
  uint32_t pid = 0;
  uint64_t mark = 0;
};
