// Standard input, read to its end: the text a -p run posts from a pipe.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/platform.h"

namespace mvx::platform {

Error ReadStandardInput(std::string& all) {
  all.clear();
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got > 0) {
      all.append(buffer, static_cast<std::size_t>(got));
      continue;
    }
    if (got == 0) return Error();
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      // A descriptor that the starting program left non-blocking: wait for
      // data (or the writer's end) instead of taking "nothing yet" for the end.
      pollfd p{STDIN_FILENO, POLLIN, 0};
      if (::poll(&p, 1, -1) >= 0 || errno == EINTR) continue;
    }
    return Error(Errc::kReadFailed, errno, "standard input");
  }
}

}  // namespace mvx::platform
