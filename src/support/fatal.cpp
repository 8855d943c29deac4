#include "support/fatal.h"

#include <cstdio>
#include <cstdlib>

namespace mvx {

[[noreturn]] void RunTimeError217(const char* what) {
  std::fflush(stdout);
  std::fprintf(stderr,
               "Runtime error 217: %s was called, but it is not available there "
               "(a programming error). The program stops.\n",
               (what != nullptr && *what != '\0') ? what : "an operation");
  std::fflush(stderr);
  std::_Exit(217);
}

}  // namespace mvx
