// Dates and times, and the message serials: drawn from the clock, kept in the serial file or taken
// from the tosser's counter directory.
#include "support/datetime.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <array>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/msgid_serials.h"
#include "support/seqdir.h"
#include "support/serial_state.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

DateTimeRec At(int y, int mo, int d, int h, int mi, int s, int hs = 0) {
  const auto u = [](int v) { return static_cast<std::uint16_t>(v); };  // DateTimeRec keeps the time first
  return DateTimeRec{u(h), u(mi), u(s), u(hs), u(d), u(mo), u(y)};
}

// year, month, day, hour, minute, second, hundredths
using Fields7 = std::array<int, 7>;
Fields7 Fields(const DateTimeRec& d) { return {d.Year, d.Month, d.Day, d.Hour, d.Minute, d.Second, d.Hundredths}; }

TEST(DatePacking, KnownMomentInBothLayoutsAndBack) {
  std::uint32_t v = 0;
  PackDateFirstStamp(At(2026, 12, 6, 4, 57, 36), v);
  EXPECT_EQ(v, 0x27325D86u);  // date word 0x5D86 in bytes 0-1, time word 0x2732 in 2-3
  PackDosDateTime(At(2026, 12, 6, 4, 57, 36), v);
  EXPECT_EQ(v, 0x5D862732u);
  DateTimeRec d = At(0, 0, 0, 0, 0, 0, 42);
  UnpackDosDateTime(0x5D862732u, d);
  EXPECT_EQ(Fields(d), (Fields7{2026, 12, 6, 4, 57, 36, 42}));  // hundredths kept
  d = At(0, 0, 0, 0, 0, 0);
  UnpackDateFirstStamp(0x27325D86u, d);
  EXPECT_EQ(Fields(d), (Fields7{2026, 12, 6, 4, 57, 36, 0}));
  // Two-second resolution: 37 is stored as 18 and comes back as 36.
  PackDosDateTime(At(1980, 1, 1, 0, 0, 37), v);
  EXPECT_EQ(v, 0x00210012u);
  // The DOS packing does not mask (64 seconds spill into the minute); the
  // date-first packing masks every field to its bits.
  PackDosDateTime(At(1980, 1, 1, 0, 0, 64), v);
  EXPECT_EQ(v & 0xFFFFu, 0x0020u);
  PackDateFirstStamp(At(1980 + 130, 1, 33, 33, 70, 64), v);
  EXPECT_EQ(v, 0x08C00421u);
  UnpackDateFirstStamp(0xFFFFFFFFu, d);  // every bit set stays within the bit widths
  EXPECT_EQ(Fields(d), (Fields7{2107, 15, 31, 31, 63, 62, 0}));
}

TEST(DayNumber, KnownDaysRoundTripAndGarbage) {
  for (const auto& [y, m, d, n] : {std::array{1970, 1, 1, 2440588}, {2000, 3, 1, 2451605}, {2026, 12, 6, 2461381},
                                   {0, 0, 0, 1721029}})
    EXPECT_EQ(DayNumber(At(y, m, d, 0, 0, 0)), n) << y;
  std::int32_t y = 0, m = 0, d = 0;
  DateFromDayNumber(2451604, y, m, d);
  EXPECT_EQ((std::array<int, 3>{y, m, d}), (std::array<int, 3>{2000, 2, 29}));
  // 1900-03-01 to past 2100: both century years that are not leap years.
  for (std::int32_t n = 2415080; n < 2490000; ++n) {
    DateFromDayNumber(n, y, m, d);
    ASSERT_EQ(DayNumber(At(y, m, d, 0, 0, 0)), n) << y << "-" << m << "-" << d;
  }
  // Numbers from a damaged file: no overflow (the sanitizer build watches).
  for (std::int32_t n : {INT32_MIN, INT32_MAX, 0}) DateFromDayNumber(n, y, m, d);
  EXPECT_GT(DayNumber(At(65535, 65535, 65535, 0, 0, 0)), 0);
}

TEST(UnixSeconds, KnownMomentsBothWays) {
  // Hundredths (9) are left alone; -1 is 0xFFFFFFFF from a damaged header.
  const std::pair<std::int32_t, Fields7> cases[] = {
      {1796533056, {2026, 12, 6, 4, 57, 36, 9}}, {0, {1970, 1, 1, 0, 0, 0, 9}},
      {INT32_MAX, {2038, 1, 19, 3, 14, 7, 9}},   {-1, {1969, 12, 31, 23, 59, 59, 9}},
      {INT32_MIN, {1901, 12, 13, 20, 45, 52, 9}},
  };
  for (const auto& [secs, at] : cases) {
    DateTimeRec d = At(0, 0, 0, 0, 0, 0, 9);
    UnixToDateTime(secs, d);
    EXPECT_EQ(Fields(d), at) << secs;
    std::int32_t back = 0;
    DateTimeToUnix(d, back);
    EXPECT_EQ(back, secs);
  }
  std::int32_t secs = 0;
  DateTimeToUnix(At(2038, 1, 19, 3, 14, 8), secs);  // 32-bit arithmetic wraps
  EXPECT_EQ(secs, INT32_MIN);
}

TEST(DateTexts, MonthsYearsFtsTextAndHex) {
  for (std::int32_t m = 1; m <= 12; ++m) EXPECT_EQ(MonthNumber(MonthName(m)), m) << m;
  EXPECT_EQ(FtsDateText(At(2026, 6, 30, 23, 0, 1)) + FtsDateText(At(2026, 7, 1, 0, 0, 0)),
            "30 Jun 26  23:00:01" "01 Jul 26  00:00:00");
  EXPECT_EQ(MonthNumber("dec"), 12);
  EXPECT_EQ(MonthNumber("December"), 0);
  EXPECT_EQ(MonthName(0), "???");
  EXPECT_EQ(MonthName(13), "???");
  EXPECT_EQ(YearToFourDigits(70), 2070);
  EXPECT_EQ(YearToFourDigits(71), 1971);
  EXPECT_EQ(YearToTwoDigits(1980), 80);
  EXPECT_EQ(FtsDateText(At(2026, 12, 6, 4, 57, 36)), "06 Dec 26  04:57:36");
  // 2100 gives 100, cut to "10"; an hour of 123 gives "12"; month 13 "???".
  EXPECT_EQ(FtsDateText(At(2100, 13, 1, 123, 0, 0)), "01 ??? 10  12:00:00");
  EXPECT_EQ(Hex8(0xDEADBEEFu), "deadbeef");
}

TEST(MsgIdSerials, ClockSerialsCountThirtyDayMonths) {
  // The clock's value counts 30-day months and 355-day years, so the 31st of a month and the 1st of the
  // next give the same serial at the same time, and late December those of early January.
  EXPECT_EQ(ClockSerial({2026, 12, 6, 4, 57, 36}), 0x0b4a6000u);
  const std::uint32_t jan31 = ClockSerial({2027, 1, 31, 12, 0, 0});
  EXPECT_EQ(jan31, 0x2c716000u);
  EXPECT_EQ(ClockSerial({2027, 2, 1, 12, 0, 0}), jan31);
  EXPECT_EQ(ClockSerial({2026, 12, 26, 8, 0, 0, 990}), ClockSerial({2027, 1, 1, 8, 0, 0, 990}));
  // The rule after the last serial shows in the serial file's tests below; a clock at 0 gives no serial 0.
  EXPECT_EQ(NextSerial(0, 0), 1u);
}

TEST(MsgIdSerials, ClockRuleNeverRepeats) {
  testkit::TestClock clock;
  clock.Set(2026, 12, 6, 4, 57, 36);
  ClockSerials serials(clock);
  auto next = [&] { return Hex8(serials.Next()); };
  EXPECT_EQ(next(), "0b4a6000");
  // Same hundredth: the next serials wait for the clock to move on.
  EXPECT_EQ(next(), "0b4a6001");
  // A clock that stands still must neither hang nor repeat: they count on, and when it moves on again,
  // not back onto a serial already given.
  clock.Hold(true);
  for (const char* want : {"0b4a6002", "0b4a6003", "0b4a6004"}) EXPECT_EQ(next(), want);
  clock.Hold(false);
  clock.WaitHundredth();  // the clock reads ...6002 now, below the last serial
  EXPECT_EQ(next(), "0b4a6005");
}

class SerialStateTest : public ::testing::Test {
 protected:
  std::uint32_t Reserve(std::uint32_t count, std::uint32_t clock) {
    SerialReservation r;
    EXPECT_TRUE(ReserveSerials(path_, count, clock, 100, r)) << r.failedStep << " " << ErrcText(r.error.code());
    return r.first;
  }
  std::string Stored() const { return testkit::ReadFileText(path_); }
  testkit::TempDir dir_;
  std::string path_ = dir_ / "Marvex.Serial";
};

TEST_F(SerialStateTest, ReservationsFollowTheLastSerialAcrossRuns) {
  EXPECT_EQ(Reserve(3, 0x2c716000), 0x2c716000u);  // missing file: the clock
  EXPECT_EQ(Stored(), "2c716002\n");
  EXPECT_EQ(Reserve(1, 0x2c716000), 0x2c716003u);  // the same moment again
  EXPECT_EQ(Reserve(2, 0x2c716100), 0x2c716100u);  // the clock moved past
  EXPECT_EQ(Reserve(1, 5), 0x2c716102u);           // and back
  EXPECT_EQ(testkit::ListDir(dir_.path()), std::vector<std::string>{"Marvex.Serial"});
  testkit::WriteFileText(path_, "fffffffe\r\n");
  EXPECT_EQ(Reserve(3, 7), 0xffffffffu);
  EXPECT_EQ(Stored(), "00000002\n");
}

TEST_F(SerialStateTest, DamagedFileIsReplacedAndSaidSo) {
  for (const std::string& bad : {std::string("2c71600\n"), std::string("2c71600g\n"), std::string(100, '1'),
                                std::string(8, '\0')}) {
    testkit::WriteFileText(path_, bad);
    SerialReservation r;
    ASSERT_TRUE(ReserveSerials(path_, 1, 0x40, 100, r));
    EXPECT_TRUE(r.replacedDamaged && r.first == 0x40u) << r.first;
    EXPECT_EQ(Stored(), "00000040\n");
  }
}

TEST_F(SerialStateTest, LockedOrUnwritableFileFailsAndStaysAsItWas) {
  testkit::WriteFileText(path_, "00000100\n");
  platform::FileHandle other = platform::kNoFile;
  ASSERT_TRUE(platform::OpenOrCreate(path_, &other).ok());
  ASSERT_TRUE(platform::LockRange(other, 0, 0, true, 0).ok());
  SerialReservation r;
  EXPECT_FALSE(ReserveSerials(path_, 1, 0, 30, r));
  EXPECT_EQ(std::pair(r.failedStep, r.error.code()), std::pair(std::string("lock"), Errc::kHeldByOther));
  platform::CloseFile(other);
  EXPECT_EQ(Stored(), "00000100\n");
  // A name that is no file: nothing to keep the serial in.
  const std::string dirPath = dir_ / "as-dir";
  ASSERT_TRUE(platform::CreateDirectory(dirPath).ok());
  EXPECT_FALSE(ReserveSerials(dirPath, 1, 0, 30, r));
  EXPECT_EQ(r.failedStep, "open");
}

#ifndef _WIN32  // two processes by fork()
TEST_F(SerialStateTest, ConcurrentProcessesNeverShareASerial) {
  // Two processes reserving at the same frozen moment, back to back.
  constexpr int kEach = 40;
  const std::string out[2] = {dir_ / "a", dir_ / "b"};
  pid_t pids[2];
  for (int p = 0; p < 2; ++p) {
    pids[p] = fork();
    ASSERT_GE(pids[p], 0);
    if (pids[p] == 0) {
      std::string got;
      for (int i = 0; i < kEach; ++i) {
        SerialReservation r;
        if (!ReserveSerials(path_, 2, 0x1000, 3000, r)) _exit(1);
        got += std::to_string(r.first) + " " + std::to_string(r.first + 1) + "\n";
      }
      testkit::WriteFileText(out[p], got);
      _exit(0);
    }
  }
  for (pid_t pid : pids) {
    int status = 1;
    EXPECT_TRUE(waitpid(pid, &status, 0) == pid && status == 0);
  }
  std::set<std::uint64_t> seen;
  std::size_t total = 0;
  std::istringstream both(testkit::ReadFileText(out[0]) + testkit::ReadFileText(out[1]));
  for (std::uint64_t v; both >> v; ++total) seen.insert(v);
  EXPECT_EQ(total, 4u * kEach);
  EXPECT_EQ(seen.size(), total);
}
#endif

std::string CounterFile(std::uint32_t v) { return Hex8(v).str() + ".seq"; }

class SeqDirTest : public ::testing::Test {
 protected:
  std::vector<std::string> Counters() const { return testkit::ListDir(seq_); }
  testkit::TempDir dir_;
  std::string seq_ = dir_ / "seq";
  static constexpr std::int64_t kNow = 0x6a000000;
  static constexpr int kWaitMs = 100;
};

TEST_F(SeqDirTest, CountersAreTakenByRenamingAndStaleOrRunawayOnesDropped) {
  SeqDirResult r;
  // A missing directory is made, and the first counter starts at the clock.
  ASSERT_TRUE(TakeSeqDirSerials(seq_, 3, kNow, kDefaultSeqOutrun, kWaitMs, r)) << r.why;
  const std::uint32_t first = r.first;
  EXPECT_TRUE(first == kNow || first == kNow + 1) << first;
  EXPECT_EQ(Counters(), std::vector<std::string>{CounterFile(first + 3)});
  // The counter runs ahead of a clock that stands still.
  ASSERT_TRUE(TakeSeqDirSerials(seq_, 1, kNow, kDefaultSeqOutrun, kWaitMs, r));
  EXPECT_EQ(r.first, first + 3);
  // Behind the clock (dropped, the largest stays: so is the counter above); the largest within reach, in
  // capitals; ran too far ahead of the clock; no counters (13 characters is too long).
  for (const char* name : {"69000000.seq", "6A000010.SEQ", "7f000000.seq", "notes.txt", "123456789.seq"})
    testkit::WriteFileText(seq_ + "/" + name, "");
  ASSERT_TRUE(TakeSeqDirSerials(seq_, 2, kNow, 86400, kWaitMs, r)) << r.why;
  EXPECT_EQ(r.first, 0x6a000010u);
  EXPECT_EQ(Counters(), (std::vector<std::string>{"123456789.seq", CounterFile(0x6a000012), "notes.txt"}));
  // Every counter too far ahead: a new one at the clock.
  ASSERT_TRUE(TakeSeqDirSerials(seq_, 1, 0x10000000, 86400, kWaitMs, r)) << r.why;
  EXPECT_TRUE(r.first == 0x10000000u || r.first == 0x10000001u) << std::hex << r.first;
}

TEST(SeqDir, OutrunTexts) {
  struct Case { const char* text; bool strict; std::optional<std::int64_t> seconds; } const cases[] = {
      {"90", true, 90},          {"2h", true, 7200},       {"3d", true, 3 * 86400},
      {"1w", true, 7 * 86400},   {"2m", true, 62 * 86400}, {"1Y", true, 365 * 86400},
      {"5q", true, std::nullopt}, {"5q", false, 5},        {"", false, std::nullopt},
      {"x", true, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseSeqOutrun(c.text, c.strict), c.seconds) << c.text;
}

}  // namespace
}  // namespace mvx
