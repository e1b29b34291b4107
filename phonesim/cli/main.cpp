// phonesim: runs an applet image in the simulated phone. See `phonesim --help`.
#include <fstream>
#include <iostream>
#include <sstream>

#include "runner.h"

int main(int argc, char** argv) {
  using namespace phonesim;
  std::vector<std::string> args(argv + 1, argv + argc);
  auto read_file = [](const std::string& path) -> Result<std::string> {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Error{"cannot open the script " + path};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  };
  Result<cli::Invocation> inv = cli::parse_command_line(args, read_file);
  if (!inv) {
    std::cerr << "phonesim: " << inv.error() << "\n";
    if (args.empty()) std::cerr << "\n" << cli::usage_text();
    return cli::kBadInput;
  }
  return cli::run(*inv, std::cout, std::cerr);
}
