// The command line's run: what the applet author reads, and the exit status.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "guest_fixture.h"
#include "runner.h"

namespace {

struct Output {
  int status;
  std::string out, err;
};

class RunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("phonesim_runner_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    write("guest.elf", testing_elf::guest_image(kGuestBlob, guest::applet_main).build());
    write("broken.elf", std::vector<uint8_t>{0x7F, 'E', 'L', 'F', 1, 1});
    auto spin = testing_elf::guest_image(kGuestBlob, guest::write_null).build();
    write("faulty.elf", spin);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  void write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }

  Output run(std::vector<std::string> args) {
    auto inv = phonesim::cli::parse_command_line(args, [](const std::string&) -> phonesim::Result<std::string> {
      return phonesim::Error{"no scripts here"};
    });
    EXPECT_TRUE(inv) << inv.error();
    std::ostringstream out, err;
    const int status = phonesim::cli::run(*inv, out, err);
    return {status, out.str(), err.str()};
  }

  std::string path(const char* name) { return (dir / name).string(); }
  std::filesystem::path dir;
};

}  // namespace

TEST_F(RunnerTest, TellsTheStoryOfARun) {
  Output o = run({path("guest.elf"), "tasklist", "msg", "1", "1009", "1", "end", "1", "heap"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_TRUE(o.err.empty()) << o.err;
  for (const char* expected : {"loaded guest.elf", "main at 0x", "returned 0", "process 1 started (guest.elf): \"Тест 0\"",
                               "> tasklist", "message 1009/1 sent to 1 process", "   1  Тест 1", "> msg 1 1009 1",
                               "process 1 answered 0", "process 1 ended", "guest.elf unloaded itself",
                               "heap: 0 blocks live", "0 processes running, 0 images loaded"})
    EXPECT_NE(o.out.find(expected), std::string::npos) << "missing '" << expected << "' in\n" << o.out;
}

TEST_F(RunnerTest, ExitStatusTellsBadInputFromAFaultingApplet) {
  Output missing = run({path("none.elf")});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("cannot read the image"), std::string::npos) << missing.err;

  Output broken = run({path("broken.elf")});
  EXPECT_EQ(broken.status, 2);
  EXPECT_NE(broken.err.find("broken.elf: the file is 6 bytes, too short"), std::string::npos) << broken.err;

  Output faulty = run({path("faulty.elf"), "tasklist"});
  EXPECT_EQ(faulty.status, 1);
  EXPECT_NE(faulty.err.find("run stopped: memory fault"), std::string::npos) << faulty.err;

  Output no_such = run({path("guest.elf"), "end", "7"});
  EXPECT_EQ(no_such.status, 2);
  EXPECT_NE(no_such.err.find("argument 2: there is no process 7"), std::string::npos) << no_such.err;
}

TEST_F(RunnerTest, TracePrintsTheServiceCalls) {
  Output o = run({path("guest.elf"), "trace"});
  EXPECT_NE(o.out.find("fw_create_process [0x107]("), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("fw_wsprintf [0x124]("), std::string::npos) << o.out;
  Output each = run({path("guest.elf"), "--trace", "end", "1"});
  EXPECT_NE(each.out.find("fw_free [0x15]("), std::string::npos) << each.out;
}
