// The program itself: the command line, the choice of run, the usage screen
// and the fatal end of a run whose configuration cannot be read.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "run/run_context.h"
#include "support/str.h"

namespace mvx {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 255;

// Runs the program with its parameters (without the program name) and
// returns the exit code, 0 or 255. Every call starts from a fresh run state,
// so it can be called repeatedly in one process; console receives everything
// the program shows.
int RunMarvex(const std::vector<std::string>& args, std::ostream& console, Env& env = DefaultEnv());

// Writes the usage screen to console; the caller ends the run with 255.
void ShowUsage(std::ostream& console);

// The parameters joined with blanks into one command string, cut to 255
// characters. A parameter holding a blank (the shell has removed the quotes
// the user wrote around it) is put back in double quotes.
Str JoinParameters(const std::vector<std::string>& args);

}  // namespace mvx
