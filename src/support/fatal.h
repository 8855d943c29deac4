// Stopping the program on a programming error.
#pragma once

namespace mvx {

// Run-time error 217: an operation that an object does not supply was called,
// or a file hook was used before it was installed. Only a programming error
// reaches this. Prints a diagnostic naming the error and what was called to
// standard error and ends the process with exit code 217.
[[noreturn]] void RunTimeError217(const char* what);

}  // namespace mvx
