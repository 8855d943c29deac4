// Address text and FidoNet date text, as they come from configurations,
// control lines and message headers.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "support/address.h"
#include "support/datetime.h"
#include "support/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  mvx::FidoAddress a;
  a.Zone = 2;
  a.Net = 460;
  a.Node = 100;
  a.Point = 7;
  if (mvx::ParseAddress(mvx::Str(text), a)) {
    mvx::FidoAddress b;
    mvx::ParseAddress(mvx::FormatAddress4D(a), b);
    if (mvx::CompareAddress(a, b) != 0) __builtin_trap();  // what we print we read back
  }
  std::int32_t errorPos = 0;
  (void)mvx::ParseInteger(text.substr(0, 255), errorPos);
  (void)mvx::MonthNumber(mvx::Str(text));
  for (int n = 1; n <= 7; ++n) (void)mvx::SplitWord(n, text.substr(0, 255), " :-./");
  if (size >= 4) {
    std::uint32_t v = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<std::uint32_t>(data[3]) << 24);
    mvx::DateTimeRec d;
    mvx::UnpackDateFirstStamp(v, d);
    mvx::UnixToDateTime(static_cast<std::int32_t>(v), d);
    (void)mvx::FtsDateText(d);
  }
  return 0;
}
