// Reading a fidoconfig-style tosser configuration the way the tosser reads
// it: comments, joined lines, include files, variables and conditionals
// turn the files into the logical lines that its keyword parser sees.
//
// Lines may be of any length here: an area line with a long path and many
// links must keep its options, so nothing is cut at 255 characters until a
// value is stored in the job.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "support/log_file.h"

namespace mvx {

// One logical line: comment removed, directives applied, variables
// expanded, split at blanks and tabs.
struct FidoLine {
  std::vector<std::string> words;
  std::string text;  // the whole line, blanks and tabs around it removed
  std::string file;  // the file it came from, as it was named
  int number = 0;    // its first physical line in that file

  // The text after the first word, blanks and tabs around it removed.
  std::string Rest() const;
  // True when the first word is keyword, ignoring ASCII case.
  bool Is(std::string_view keyword) const;
};

// ASCII case-insensitive comparison, as the tosser compares keywords.
bool EqualNoCase(std::string_view a, std::string_view b);
// "*" any run of characters, "?" one character; ASCII case ignored.
bool WildcardMatch(std::string_view pattern, std::string_view text);
// The text without one pair of enclosing double quotes.
std::string WithoutEnclosingQuotes(std::string_view text);

// Problems found in a configuration, logged with their place. A broken file
// is read again for every posting, so only the first few are shown per read.
class ConfigProblems {
 public:
  explicit ConfigProblems(LogFile& log) : log_(log) {}
  // "[err] <file>, line <n>: <what>": the tosser would refuse the file.
  void Error(const std::string& file, int number, const std::string& what);
  // "<file>, line <n>: <what>": the tosser goes on, and so do we.
  void Warning(const std::string& file, int number, const std::string& what);
  LogFile& Log() { return log_; }

 private:
  bool Room();
  LogFile& log_;
  int shown_ = 0;
};

class FidoconfigReader {
 public:
  // Relative names (the main file's and those of includes) are taken from
  // workDir (empty: the current directory); a file another program holds is
  // waited for at most lockWaitMs.
  explicit FidoconfigReader(ConfigProblems& problems, std::string workDir = std::string(),
                            int lockWaitMs = platform::kDefaultLockWaitMs)
      : problems_(problems), workDir_(std::move(workDir)), lockWaitMs_(lockWaitMs) {}

  // Reads the main file. False when it cannot be read; failure then says
  // why ("Can't open tosser configuration <path>: <reason>").
  bool Open(const std::string& path, std::string& failure);
  // The next logical line that is neither empty nor a directive; false at
  // the end of the main file.
  bool Next(FidoLine& line);

 private:
  struct Source {
    std::string name;      // as the configuration named it
    std::string identity;  // the full path: finds loops and repeats
    std::string text;
    std::size_t pos = 0;
    int number = 0;  // physical lines taken so far
  };
  // One if ... endif: whether the lines around it run, whether one of its
  // branches has been taken, and whether the current branch runs.
  struct Branch {
    bool outer = true;
    bool taken = false;
    bool active = true;
  };

  // The whole file into text: kOpenFailed, kReadFailed (with the system's
  // reason) or kTooLarge, and text empty, when it cannot be had.
  Error ReadWhole(const std::string& name, std::string& text);
  void SkipByteOrderMark(Source& source);
  std::string PhysicalLine(Source& source, int& number);
  std::string StripComment(const std::string& line) const;
  bool Directive(const std::string& line, const std::string& file, int number);
  std::string Expand(const std::string& text, const std::string& file, int number);
  bool Condition(const std::string& text, const std::string& file, int number, bool& readable);
  void Set(const std::string& body, const std::string& file, int number);
  void Include(const std::string& name, const std::string& file, int number);
  bool Active() const { return branches_.empty() || branches_.back().active; }
  void SetVariable(const std::string& name, const std::string& value);
  const std::string* Variable(const std::string& name) const;

  ConfigProblems& problems_;
  std::string workDir_;
  int lockWaitMs_;
  std::vector<Source> sources_;    // the include chain, main file first
  std::vector<std::string> seen_;  // every file read so far
  std::vector<Branch> branches_;
  std::map<std::string, std::string> variables_;  // lower-case names
  std::size_t variableBytes_ = 0;
  std::size_t expansionGrowth_ = 0;
  std::size_t totalBytes_ = 0;
  char comment_ = '#';
};

}  // namespace mvx
