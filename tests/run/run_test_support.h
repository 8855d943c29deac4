// Shared by the run control's tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "run/entry.h"
#include "support/text_file.h"
#include "testkit/testkit.h"

namespace mvx::runtest {

using Lines = std::vector<std::string>;

// Log or console text as entries without their " DD.MM.YY HH:MM:SS " stamp.
inline Lines Entries(const std::string& text) {
  Lines out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) {
    // The log's lines end in CR LF on Windows.
    if (platform::kLineEnd[0] == '\r' && !l.empty() && l.back() == '\r') l.pop_back();
    out.push_back(l.size() >= 19 ? l.substr(19) : l);
  }
  return out;
}

// dir followed by tail ("/Areas/NetTalk") as the log shows a full path: with
// the system's separator.
inline std::string Shown(const std::string& dir, std::string tail) {
  for (char& c : tail) {
    if (c == '/') c = platform::NativeSeparator();
  }
  return dir + tail;
}

// The system's words for a missing file (2 on both), a missing directory on
// the way (3 on Windows) and a directory opened as a file (EISDIR 21 on POSIX,
// ERROR_ACCESS_DENIED 5 on Windows).
inline std::string NoSuchFile() { return platform::ErrorText(2); }
inline std::string NoSuchPath() { return platform::ErrorText(testkit::kWindows ? 3 : 2); }
inline std::string IsADirectory() { return platform::ErrorText(testkit::kWindows ? 5 : 21); }

// A stored *.MSG file: the 190-byte header, and the text split at CR.
struct Msg {
  std::vector<std::uint8_t> bytes;
  Lines lines;
  std::string Field(std::size_t at) const { return std::string(reinterpret_cast<const char*>(&bytes[at])); }
  unsigned U16(std::size_t at) const { return bytes[at] | (bytes[at + 1] << 8); }
};

// True for "\x01MSGID: <address> " followed by 8 lowercase hex digits.
inline bool IsMsgId(const std::string& line, const std::string& address) {
  const std::string head = "\x01MSGID: " + address + " ";
  return line.size() == head.size() + 8 && line.starts_with(head) &&
         line.find_first_not_of("0123456789abcdef", head.size()) == std::string::npos;
}

// A file whose very first read fails (address 0 of the process's own
// memory), or an empty name where the system has none.
inline std::string UnreadableFile() {
  TextFileReader r;
  return r.Open("/proc/self/mem", 100) && r.AtEnd() && r.ReadError() ? "/proc/self/mem" : "";
}

inline std::string Repeat(const std::string& s, int n) {
  std::string out;
  while (n-- > 0) out += s;
  return out;
}

// Lines of 78 characters and CR LF up to at least total bytes; each names its
// number, so that a lost or repeated line shows.
inline std::string NumberedText(std::size_t total) {
  std::string out;
  for (int i = 1; out.size() < total; ++i) {
    std::string line = "Line " + std::to_string(i) + " ";
    line.resize(78, 'x');
    out += line + "\r\n";
  }
  return out;
}

class RunTest : public testkit::ScratchTest {
 protected:
  void Write(const std::string& name, const std::string& text) { testkit::WriteFileText(dir_ / name, text); }
  bool Exists(const std::string& name) const { return testkit::PathExists(dir_ / name); }
  RunTest() { env_.workDir = dir_.path(); }
  void At(int y, int m, int d, int hh = 9) { env_.clock.Set(y, m, d, hh); }
  int Run(const std::vector<std::string>& args) {
    std::ostringstream console;
    const int code = RunMarvex(args, console, env_);
    console_ = console.str();
    return code;
  }
  // The log entries of the last run.
  Lines LastRun() const {
    const Lines all = Entries(testkit::ReadFileText(dir_ / "Marvex.Log"));
    const auto it = std::find(all.rbegin(), all.rend(), "Marvex 2.1: started..");
    return it == all.rend() ? all : Lines(it.base() - 1, all.end());
  }
  // Its entries from..from+n (fewer where it has fewer).
  Lines LastRun(std::size_t from, std::size_t n) const {
    Lines all = LastRun();
    all.erase(all.begin(), all.begin() + std::min(from, all.size()));
    all.resize(std::min(n, all.size()));
    return all;
  }
  // The messages of a *.MSG area, in number order.
  std::vector<Msg> Msgs(const std::string& area) const {
    Lines names = testkit::ListDir(dir_ / area);
    std::erase_if(names, [](const std::string& n) { return !testkit::EndsWithName(n, ".msg"); });
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return std::atol(a.c_str()) < std::atol(b.c_str()); });
    std::vector<Msg> out;
    for (const std::string& n : names) {
      Msg& m = out.emplace_back(Msg{testkit::ReadFileBytes(dir_ / area + "/" + n), {""}});
      EXPECT_TRUE(m.bytes.size() > 190 && m.bytes.back() == 0 && m.bytes[m.bytes.size() - 2] == '\r') << n;
      if (m.bytes.size() <= 190) m.bytes.resize(191);
      if (m.bytes.back() != 0) m.bytes.push_back(0);  // Field() stops at a NUL
      for (std::size_t i = 190; i + 2 < m.bytes.size(); ++i) {
        if (m.bytes[i] == '\r') m.lines.emplace_back();
        else m.lines.back() += char(m.bytes[i]);
      }
    }
    return out;
  }

  std::string console_;
};

}  // namespace mvx::runtest
