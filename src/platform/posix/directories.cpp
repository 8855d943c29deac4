// Creating directories and making names absolute.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/common/name_check.h"

namespace mvx::platform {

namespace {

std::string CurrentDirectory() {
  std::vector<char> buf(256);
  while (getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE || buf.size() > (1u << 20)) return "/";
    buf.resize(buf.size() * 2);
  }
  return buf.data();
}

}  // namespace

Error CreateDirectory(const std::string& path) {
  if (!common::IsUsableName(path)) return OsFailure(Errc::kMakeDirectoryFailed, ENOENT, path);
  const std::string native = NativeName(path);
  if (mkdir(native.c_str(), 0777) == 0) return Error();
  return OsFailure(Errc::kMakeDirectoryFailed, errno, path);
}

char NativeSeparator() { return '/'; }

// Like the original system's full-path rule: relative names are taken against
// the current directory and "." and ".." components are folded away without
// asking the file system; a trailing separator stays.
std::string FullPath(const std::string& name) {
  const std::string native = NativeName(name);
  std::string joined = (!native.empty() && native[0] == '/') ? native : CurrentDirectory() + "/" + native;
  std::vector<std::string> parts;
  std::size_t i = 0;
  while (i < joined.size()) {
    if (joined[i] == '/') {
      ++i;
      continue;
    }
    std::size_t end = joined.find('/', i);
    if (end == std::string::npos) end = joined.size();
    const std::string part = joined.substr(i, end - i);
    i = end;
    if (part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string out;
  for (const auto& p : parts) out += "/" + p;
  if (out.empty()) return "/";
  if (!native.empty() && native.back() == '/') out += '/';
  return out;
}

}  // namespace mvx::platform
