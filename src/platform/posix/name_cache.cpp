#include "platform/posix/name_cache.h"

#include <dirent.h>

#include <map>

#include "platform/platform.h"

namespace mvx::platform {

namespace {

int gScopes = 0;
std::map<std::string, std::vector<std::string>>& Listings() {
  static std::map<std::string, std::vector<std::string>> listings;
  return listings;
}

}  // namespace

NameResolutionScope::NameResolutionScope() { ++gScopes; }

NameResolutionScope::~NameResolutionScope() {
  if (--gScopes == 0) Listings().clear();
}

namespace posix {

std::vector<std::string> ListDirectory(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return names;
  while (const dirent* e = readdir(d)) names.emplace_back(e->d_name);
  closedir(d);
  return names;
}

const std::vector<std::string>* ScopedListing(const std::string& dir) {
  if (gScopes == 0) return nullptr;
  auto& listings = Listings();
  auto it = listings.find(dir);
  if (it == listings.end()) it = listings.emplace(dir, ListDirectory(dir)).first;
  return &it->second;
}

}  // namespace posix

}  // namespace mvx::platform
