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

void TestClock::Set(int year, int month, int day, int hour, int minute, int second, int ms) {
  moment_ = platform::LocalTime{year, month, day, hour, minute, second, ms};
}

platform::LocalTime TestClock::Now() {
  if (!moment_) return platform::Now();
  platform::LocalTime t = *moment_;
  t.dayOfWeek = platform::DayOfWeek(t.year, t.month, t.day);
  return t;
}

// 10 ms on, carried into the seconds, minutes, hours, days, months and years
// by the calendar.
void TestClock::WaitHundredth() {
  if (!moment_) return platform::WaitHundredth();
  if (still_) return;
  using namespace std::chrono;
  platform::LocalTime& t = *moment_;
  const sys_days day{year{t.year} / t.month / t.day};
  const milliseconds at = day.time_since_epoch() + hours{t.hour} + minutes{t.minute} + seconds{t.second} +
                          milliseconds{t.millisecond + 10};
  const days whole = floor<days>(at);
  const year_month_day date{sys_days{whole}};
  const hh_mm_ss time{at - whole};
  t = {int(date.year()), int(unsigned(date.month())), int(unsigned(date.day())), int(time.hours().count()),
       int(time.minutes().count()), int(time.seconds().count()), int(time.subseconds().count()), 0};
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

std::map<std::string, Bytes> DirContents(const std::string& path) {
  std::map<std::string, Bytes> out;
  for (const std::string& name : ListDir(path)) out[name] = ReadFileBytes(path + "/" + name);
  return out;
}

std::vector<std::string> Folded(std::vector<std::string> names) {
  for (std::string& n : names) {
    for (char& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace mvx::testkit
