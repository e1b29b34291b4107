// Runs a parsed phonesim invocation against a fresh simulated phone and tells the applet author
// what happened, step by step.
#pragma once

#include <ostream>

#include "steps.h"

namespace phonesim::cli {

enum ExitStatus { kCompleted = 0, kFaulted = 1, kBadInput = 2 };

// Normal output goes to `out`; errors and fault reports to `err`.
int run(const Invocation& inv, std::ostream& out, std::ostream& err);

}  // namespace phonesim::cli
