// Helpers shared by the run control's tests: running the program in a
// scratch directory, reading its log, and taking *.MSG files apart.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "run/entry.h"
#include "testkit/testkit.h"

namespace mvx::runtest {

struct RunResult {
  int code = -1;
  std::string console;
};

// Runs the program in the current directory.
inline RunResult RunProgram(const std::vector<std::string>& args) {
  std::ostringstream console;
  RunResult r;
  r.code = RunMarvex(args, console);
  r.console = console.str();
  return r;
}

inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string cur;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  return lines;
}

// The log entries with their 19-character stamp (" DD.MM.YY HH:MM:SS ")
// removed; the empty line that ends each run's block is kept as "<end>".
inline std::vector<std::string> LogEntries(const std::string& logText) {
  std::vector<std::string> out;
  for (const std::string& l : SplitLines(logText)) {
    if (l.empty()) {
      out.push_back("<end>");
    } else {
      EXPECT_GE(l.size(), 19u) << "log line without a stamp: " << l;
      out.push_back(l.size() >= 19 ? l.substr(19) : l);
    }
  }
  return out;
}

inline std::vector<std::string> LogEntriesOf(const std::string& dir) {
  return LogEntries(testkit::ReadFileText(dir + "/Marvex.Log"));
}

// Entries of the last run only (after the last "Marvex 2.1: started..").
inline std::vector<std::string> LastRunEntries(const std::string& dir) {
  std::vector<std::string> all = LogEntriesOf(dir);
  auto it = std::find(all.rbegin(), all.rend(), "Marvex 2.1: started..");
  if (it == all.rend()) return all;
  return std::vector<std::string>(it.base() - 1, all.end());
}

inline bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A stored *.MSG file taken apart.
struct MsgFile {
  std::string from, to, subject, dateText;
  std::uint16_t destNode = 0, origNode = 0, origNet = 0, destNet = 0, attributes = 0;
  std::string text;  // the bytes between the header and the final NUL
  bool endsWithNul = false;
  std::vector<std::uint8_t> bytes;
};

inline std::string NulField(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t size) {
  std::string s;
  for (std::size_t i = at; i < at + size && i < b.size() && b[i] != 0; ++i) s += static_cast<char>(b[i]);
  return s;
}

inline std::uint16_t U16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

inline MsgFile ReadMsg(const std::string& path) {
  MsgFile m;
  m.bytes = testkit::ReadFileBytes(path);
  const auto& b = m.bytes;
  EXPECT_GE(b.size(), 191u) << path;
  if (b.size() < 191) return m;
  m.from = NulField(b, 0, 36);
  m.to = NulField(b, 36, 36);
  m.subject = NulField(b, 72, 72);
  m.dateText = NulField(b, 144, 20);
  m.destNode = U16(b, 166);
  m.origNode = U16(b, 168);
  m.origNet = U16(b, 172);
  m.destNet = U16(b, 174);
  m.attributes = U16(b, 186);
  m.endsWithNul = b.back() == 0;
  m.text.assign(b.begin() + 190, b.end() - 1);
  return m;
}

// The text's lines, split at CR (the only line end a posted text has).
inline std::vector<std::string> TextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string cur;
  for (char c : text) {
    if (c == '\r') {
      lines.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  EXPECT_TRUE(cur.empty()) << "text does not end with CR";
  return lines;
}

// The *.MSG files of a directory, in message number order.
inline std::vector<std::string> MsgFilesIn(const std::string& dir) {
  std::vector<std::pair<long, std::string>> found;
  for (const std::string& n : testkit::ListDir(dir)) {
    if (n.size() > 4 && (n.ends_with(".msg") || n.ends_with(".MSG"))) {
      found.emplace_back(std::strtol(n.c_str(), nullptr, 10), dir + "/" + n);
    }
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> out;
  for (auto& f : found) out.push_back(f.second);
  return out;
}

// True for "\x01MSGID: <address> " followed by 8 lowercase hex digits.
inline bool IsMsgIdLine(const std::string& line, const std::string& address) {
  const std::string head = "\x01MSGID: " + address + " ";
  if (line.size() != head.size() + 8 || line.compare(0, head.size(), head) != 0) return false;
  for (std::size_t i = head.size(); i < line.size(); ++i) {
    const char c = line[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// Lines of n bytes each (text, then LF) until the file has at least total
// bytes; each line names its number so that a lost or repeated line shows.
inline std::string NumberedText(std::size_t total, std::size_t lineLength = 78) {
  std::string out;
  for (int i = 1; out.size() < total; ++i) {
    std::string line = "Line " + std::to_string(i) + " ";
    line.resize(lineLength, 'x');
    out += line + "\r\n";
  }
  return out;
}

}  // namespace mvx::runtest
