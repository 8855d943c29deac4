// The directory listings kept while a NameResolutionScope lives.
#pragma once

#include <string>
#include <vector>

namespace mvx::platform::posix {

// The entry names of dir ("" for the current directory), listed at the first
// call while a NameResolutionScope lives and the same listing afterwards;
// nullptr when no scope lives (the caller lists the directory itself).
const std::vector<std::string>* ScopedListing(const std::string& dir);

// The entry names of dir, read now.
std::vector<std::string> ListDirectory(const std::string& dir);

}  // namespace mvx::platform::posix
