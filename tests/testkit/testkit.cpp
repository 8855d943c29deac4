#include "testkit/testkit.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "support/le_bytes.h"

namespace fs = std::filesystem;

namespace mvx::testkit {

TempDir::TempDir() {
#ifdef _WIN32
  // No mkdtemp here: a name from the clock and a counter, taken only when
  // create_directory made it (it is false for a directory already there).
  static unsigned counter = 0;
  const auto seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const fs::path p = fs::temp_directory_path() /
                       ("marvex-test-" + std::to_string(seed % 1000000007ULL) + "-" + std::to_string(++counter));
    std::error_code ec;
    if (fs::create_directory(p, ec)) {
      path_ = p.string();
      return;
    }
  }
  throw std::runtime_error("no temporary directory");
#else
  std::string tmpl = (fs::temp_directory_path() / "marvex-test-XXXXXX").string();
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
#endif
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 31;
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

}  // namespace

void TestClock::Set(int year, int month, int day, int hour, int minute, int second, int ms) {
  moment_ = platform::LocalTime{year, month, day, hour, minute, second, ms};
}

platform::LocalTime TestClock::Now() {
  if (!moment_) return platform::Now();
  platform::LocalTime t = *moment_;
  t.dayOfWeek = platform::DayOfWeek(t.year, t.month, t.day);
  return t;
}

void TestClock::WaitHundredth() {
  if (!moment_) return platform::WaitHundredth();
  if (still_) return;
  platform::LocalTime& t = *moment_;
  t.millisecond += 10;
  t.second += t.millisecond / 1000;
  t.millisecond %= 1000;
  t.minute += t.second / 60;
  t.second %= 60;
  t.hour += t.minute / 60;
  t.minute %= 60;
  if (t.hour < 24) return;
  t.hour -= 24;
  if (++t.day > DaysInMonth(t.year, t.month)) {
    t.day = 1;
    if (++t.month > 12) {
      t.month = 1;
      ++t.year;
    }
  }
}

std::int64_t TestClock::UnixTime() { return moment_ ? platform::UnixTimeOf(*moment_) : platform::UnixTime(); }

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::uint32_t U32At(const Bytes& bytes, std::size_t at) {
  return at + 4 <= bytes.size() ? GetU32(bytes.data() + at) : 0xDEADDEADu;
}

void PatchU32(const std::string& path, std::size_t at, std::uint32_t value) {
  Bytes bytes = ReadFileBytes(path);
  ASSERT_LE(at + 4, bytes.size()) << path;
  PutU32(bytes.data() + at, value);
  WriteFileBytes(path, bytes);
}

bool PathExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

std::string Made(const std::string& lowerName) {
  const std::size_t dot = lowerName.rfind('.');
  if (dot == std::string::npos) return lowerName;
  std::string ext = lowerName.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return lowerName.substr(0, dot + 1) + platform::NewFileExtension(ext);
}

bool EndsWithName(const std::string& name, const std::string& suffix) {
  if (name.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(name[name.size() - suffix.size() + i])) !=
        std::tolower(static_cast<unsigned char>(suffix[i]))) {
      return false;
    }
  }
  return true;
}

std::vector<std::string> ListDir(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(path, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace mvx::testkit
