// Program names to native names and back.
//
// The program's world is case-insensitive and knows "\" as the directory
// separator; this file system is case-sensitive and knows only "/". Other
// programs (tossers, editors) create the files we look for with whatever case
// they like, so every name is resolved component by component against what is
// really on disk before it reaches a system call.
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/name_cache.h"
#include "platform/common/name_match.h"

namespace mvx::platform {

namespace {

// Names with at most this many letters are looked up by trying their
// spellings (2^letters of them) instead of listing the directory.
constexpr std::size_t kMaxProbedLetters = 4;

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

// An entry of dir equal to component without regard to ASCII case, or the
// component unchanged when there is none. Should several entries qualify
// (Foo and FOO beside each other) the one that sorts first wins, so the choice
// does not depend on the directory's internal order.
std::string ResolveComponent(const std::string& dir, const std::string& component) {
  // A short name has few spellings: trying each of them is a handful of
  // lstat calls, where listing the directory costs one entry per file. This
  // matters for a *.MSG area, whose every new message file ("123.msg", three
  // letters) is checked against spellings in other cases, in a directory of
  // thousands of files.
  std::vector<std::size_t> letters;
  for (std::size_t i = 0; i < component.size(); ++i) {
    const char c = component[i];
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) letters.push_back(i);
  }
  if (letters.size() <= kMaxProbedLetters) {
    std::string best;
    bool found = false;
    for (std::uint32_t mask = 0; mask < (1u << letters.size()); ++mask) {
      std::string name = component;
      for (std::size_t b = 0; b < letters.size(); ++b) {
        char& c = name[letters[b]];
        const bool upper = (mask >> b) & 1;
        if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
      }
      // The spelling asked for was tried by the caller.
      if (name == component) continue;
      if (Exists(dir + name) && (!found || name < best)) {
        best = name;
        found = true;
      }
    }
    return found ? best : component;
  }
  // Within a NameResolutionScope the directory is listed only once.
  const std::vector<std::string>* kept = posix::ScopedListing(dir);
  const std::vector<std::string> listed = kept ? std::vector<std::string>() : posix::ListDirectory(dir);
  std::string best;
  bool found = false;
  for (const std::string& name : kept ? *kept : listed) {
    if (common::EqualIgnoringCase(name, component) && (!found || name < best)) {
      best = name;
      found = true;
    }
  }
  return found ? best : component;
}

}  // namespace

std::string NativeName(const std::string& name) {
  // Most names are spelt as on disk, or are new names in a directory that
  // is: one look at the whole name, or at its directory, spares a look per
  // component (a posting makes a few names per message, deep in a tree).
  std::string plain = name;
  for (char& c : plain) {
    if (IsSeparator(c)) c = '/';
  }
  if (Exists(plain)) return plain;
  const std::size_t slash = plain.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && slash + 1 < plain.size()) {
    const std::string dir = plain.substr(0, slash + 1);
    const std::string leaf = plain.substr(slash + 1);
    if (leaf != "." && leaf != ".." && Exists(dir)) return dir + ResolveComponent(dir, leaf);
  }
  std::string out;
  out.reserve(name.size());
  bool resolving = true;  // once a component is missing, nothing below it exists
  std::size_t i = 0;
  while (i < name.size()) {
    if (IsSeparator(name[i])) {
      out += '/';
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    const std::string component = name.substr(i, end - i);
    i = end;
    if (!resolving || component == "." || component == "..") {
      out += component;
      continue;
    }
    const std::string exact = out + component;
    if (Exists(exact)) {
      out = exact;
      continue;
    }
    const std::string found = ResolveComponent(out, component);
    if (found == component) resolving = false;
    out += found;
  }
  return out;
}

std::string ProgramName(const std::string& native) { return native; }

std::string NewFileExtension(const std::string& upperExt) {
  std::string ext = upperExt;
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return ext;
}

}  // namespace mvx::platform
