// Runs a fuzz input with the current directory set to the scratch directory.
#pragma once

#include <filesystem>

namespace mvx::fuzz {

class ScopedDir {
 public:
  explicit ScopedDir(const std::string& dir) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~ScopedDir() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
  }

 private:
  std::filesystem::path old_;
};

}  // namespace mvx::fuzz
