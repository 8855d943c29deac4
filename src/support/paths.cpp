// Directory and file tests and changes, and the path helpers. "\" and "/"
// both separate directories in every name the program handles.
#include <string>

#include "platform/platform.h"
#include "support/text.h"

namespace mvx {

bool EndsWithSeparator(std::string_view path) {
  return !path.empty() && platform::IsSeparator(path.back());
}

Str FileNamePart(const Str& path) {
  std::size_t i = path.size();
  while (i > 0 && !platform::IsSeparator(path[i - 1])) --i;
  return path.sub(i);
}

bool DirHasEntries(const Str& path) {
  std::string mask = path.str();
  if (!EndsWithSeparator(mask)) mask += '\\';
  mask += "*.*";
  platform::DirSearch search;
  platform::DirEntry entry;
  // The platform's search lists "." and ".." in every directory, as the
  // Windows one does everywhere but in a drive root, so an existing but empty
  // directory passes: callers use this as the test for an existing directory.
  return search.First(mask, &entry);
}

bool FileExists(const Str& name) {
  if (name.empty()) return false;
  platform::DirSearch search;
  platform::DirEntry entry;
  return search.First(name.str(), &entry);
}

bool DeleteFileKeepingError(const Str& name) {
  // The program keeps no pending input/output error of its own, so there is
  // nothing to save and restore around the deletion.
  int error = 0;
  return platform::DeleteFile(name.str(), &error);
}

namespace {

// A root keeps its separator: a drive root (letter, colon, separator) or, on
// this file system, the single "/". Any other 3-character path ("/fm") is an
// ordinary directory that must be made like any other.
bool IsRoot(std::string_view p) {
  return (p.size() == 1 && platform::IsSeparator(p[0])) ||
         (p.size() == 3 && p[1] == ':' && platform::IsSeparator(p[2]));
}

void CreateOneDirectory(std::string p) {
  if (!IsRoot(p) && EndsWithSeparator(p)) p.pop_back();
  if (p.empty()) return;
  int error = 0;
  // An existing directory or an unreachable parent only fails here; the
  // callers find out later when they use the directory.
  (void)platform::CreateDirectory(p, &error);
}

}  // namespace

bool MakeDirectory(const Str& path) {
  CreateOneDirectory(path.str());
  return true;
}

bool MakeDirectoryPath(const Str& path) {
  std::string p = platform::FullPath(path.str());
  if (IsRoot(p) || p.empty()) return true;
  if (EndsWithSeparator(p)) p.pop_back();
  std::string prefix;
  for (char c : p) {
    // Every level is attempted whether or not the one above was made: a
    // level that exists fails harmlessly. The empty prefix before a leading
    // "/" is the file system root, which always exists.
    if (platform::IsSeparator(c) && !prefix.empty()) CreateOneDirectory(prefix);
    prefix += c;
  }
  CreateOneDirectory(p);
  return true;
}

Str DirectoryOf(const Str& path) {
  if (path.empty()) return Str();
  std::string p = platform::FullPath(path.str());
  std::size_t i = p.size();
  while (i > 0 && !platform::IsSeparator(p[i - 1])) --i;
  if (i == 0) return Str();
  // The part before the last separator; for a name directly in the root
  // that is the root itself, kept as a usable path.
  if (i == 1) return Str(p.substr(0, 1));
  return Str(p.substr(0, i - 1));
}

}  // namespace mvx
