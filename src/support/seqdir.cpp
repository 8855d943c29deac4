// The counter directory protocol.
#include "support/seqdir.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "support/text.h"

namespace mvx {

namespace {

// A pass that loses a race to another program goes round again; passes
// refused for permission get a few more chances; nothing loops for ever.
constexpr int kMaxPasses = 256;
constexpr int kMaxPermissionPasses = 16;

struct Counter {
  std::string name;
  std::uint64_t value = 0;
};

// Hex digits and ".seq" in any case, at most 12 characters in all.
std::optional<std::uint64_t> CounterValue(const std::string& name) {
  if (name.size() < 5 || name.size() > 12) return std::nullopt;
  const std::string ext = name.substr(name.size() - 4);
  if (ext[0] != '.' || (ext[1] | 0x20) != 's' || (ext[2] | 0x20) != 'e' || (ext[3] | 0x20) != 'q') {
    return std::nullopt;
  }
  // At most eight digits: "$" and ParseInteger read them as the 32-bit
  // pattern they spell.
  std::int32_t errorPos = 0;
  const std::int32_t v = ParseInteger("$" + name.substr(0, name.size() - 4), errorPos);
  if (errorPos != 0) return std::nullopt;
  return static_cast<std::uint32_t>(v);
}

std::string CounterName(const std::string& dir, std::uint64_t value) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%08llx.seq", static_cast<unsigned long long>(value));
  return dir + "/" + buf;
}

std::vector<Counter> ListCounters(const std::string& dir) {
  std::vector<Counter> out;
  platform::DirSearch search;
  platform::DirEntry e;
  for (bool more = search.First(dir + "/*", &e); more; more = search.Next(&e)) {
    if ((e.attr & platform::kAttrDirectory) != 0) continue;
    if (const auto v = CounterValue(e.name)) out.push_back({e.name, *v});
  }
  return out;
}

bool Fail(SeqDirResult& out, const std::string& why, Error error = Error()) {
  out.why = why;
  out.error = std::move(error);
  return false;
}

}  // namespace

std::optional<std::int64_t> ParseSeqOutrun(const std::string& text, bool strict) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::int64_t n = 0;
  const std::size_t digits = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    n = n * 10 + (text[i] - '0');
    if (n > 100000000000LL) return std::nullopt;  // beyond any sensible run-ahead
    ++i;
  }
  if (i == digits) return std::nullopt;
  std::int64_t unit = 1;
  if (i < text.size()) {
    switch (text[i] | 0x20) {
      case 'h': unit = 3600; break;
      case 'd': unit = 86400; break;
      case 'w': unit = 7 * 86400; break;
      case 'm': unit = 31 * 86400; break;
      case 'y': unit = 365 * 86400; break;
      default:
        if (strict) return std::nullopt;
    }
  }
  return n * unit;
}

bool TakeSeqDirSerials(const std::string& dir, std::uint32_t count, std::int64_t now,
                       std::int64_t outrun, int lockWaitMs, SeqDirResult& out) {
  out = SeqDirResult{};
  if (count == 0) count = 1;
  const std::uint64_t t = now < 0 ? 0 : static_cast<std::uint64_t>(now);
  int permissionPasses = 0;
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    std::vector<Counter> counters = ListCounters(dir);
    if (counters.empty()) {
      // The first pass makes the directory; a later pass that finds it
      // empty again means the counter cannot be kept there.
      if (pass > 0) return Fail(out, "the counter directory stays empty");
      if (Error e = platform::CreateDirectory(dir); !e.ok() && e.code() != Errc::kNameTaken) {
        return Fail(out, "cannot create the counter directory", std::move(e));
      }
    }
    // Counters too far ahead of the clock go; of the rest only the largest
    // stays.
    auto tooFar = [&](const Counter& c) {
      return c.value > t && c.value - t > static_cast<std::uint64_t>(outrun);
    };
    const Counter* largest = nullptr;
    for (const Counter& c : counters) {
      if (!tooFar(c) && (largest == nullptr || c.value > largest->value)) largest = &c;
    }
    for (const Counter& c : counters) {
      if (&c != largest) platform::DeleteFile(dir + "/" + c.name).Ignore();
    }
    const std::uint64_t s = largest != nullptr && largest->value > t ? largest->value : t;
    if (s + count > 0xffffffffULL) return Fail(out, "the counter is beyond 32 bits");
    if (largest == nullptr) {
      // Nothing to rename yet: make a counter (another program may make one
      // at the same moment, which is as good), then take from it.
      platform::FileHandle h = platform::kNoFile;
      Error e = platform::CreateNew(CounterName(dir, s + 1), &h);
      if (e.ok()) {
        platform::CloseFile(h);
      } else if (e.code() != Errc::kNameTaken) {
        return Fail(out, "cannot create a counter", std::move(e));
      }
      continue;
    }
    // The counters are empty files that no program keeps open: the wait is
    // only ever spent on one caught at the moment of its own rename.
    Error e = platform::ReplaceFile(dir + "/" + largest->name, CounterName(dir, s + count), lockWaitMs);
    if (e.ok()) {
      out.first = static_cast<std::uint32_t>(s);
      if (out.first == 0) return Fail(out, "the counter stands at 0");
      return true;
    }
    if (e.code() == Errc::kNotFound || e.code() == Errc::kNameTaken) continue;  // another program was first
    if (platform::IsDeniedError(e.osError()) && ++permissionPasses < kMaxPermissionPasses) continue;
    return Fail(out, "cannot rename the counter", std::move(e));
  }
  return Fail(out, "the counter kept changing");
}

}  // namespace mvx
