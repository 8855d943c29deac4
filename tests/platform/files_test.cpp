#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "testkit/testkit.h"

namespace mvx::platform {
namespace {

constexpr Access R = Access::kRead, W = Access::kWrite, RW = Access::kReadWrite;
constexpr Share SN = Share::kNone, SR = Share::kRead, SW = Share::kWrite, SRW = Share::kReadWrite;

using testkit::kWindows;

// Lock conflicts are waited for; the tests keep that wait short.
class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override { testkit::WriteFileText(file_, "0123456789"); }
  FileHandle Open(Access a, Share s) { return Opened(OpenExisting(file_, a, s, waitMs_, &h_)); }
  // The handle of the call just made (kNoFile when it failed); its error stays in error_.
  FileHandle Opened(Error e) { return (error_ = std::move(e)).ok() ? h_ : kNoFile; }
  testkit::TempDir dir_;
  std::string file_ = dir_ / "Base.SQD";
  Error error_;
  FileHandle h_ = kNoFile;
  int waitMs_ = 20;
};

TEST_F(FilesTest, SharingBetweenTwoOpens) {
  struct Case { Access a1; Share s1; Access a2; Share s2; bool posix, windows; };  // does the second get in?
  // POSIX: no sharing locks for writing (for reading when only reading), read
  // sharing locks as the open reads or writes, write sharing locks nothing.
  // Windows: each open's share mode must allow the other's access. Each row
  // also shows that closing the previous row's holders released the file.
  const Case cases[] = {
      {RW, SN, R, SR, false, false}, {RW, SN, R, SN, false, false},  {W, SN, RW, SN, false, false},
      {R, SR, R, SR, true, true},    {R, SR, RW, SR, false, false},  {R, SR, W, SN, false, false},
      {RW, SR, R, SR, false, false}, {RW, SR, R, SRW, true, true},   {RW, SW, RW, SN, true, false},
      {RW, SRW, RW, SN, true, false}, {R, SR, R, SW, true, false},   {W, SW, RW, SRW, true, false},
  };
  for (const Case& c : cases) {
    const FileHandle first = Open(c.a1, c.s1);
    ASSERT_NE(first, kNoFile) << "row " << &c - cases;
    const FileHandle second = Open(c.a2, c.s2);
    EXPECT_EQ(second != kNoFile, kWindows ? c.windows : c.posix) << "row " << &c - cases;
    // A refusal is the held-by-another code (after the wait), not some other failure of the open.
    EXPECT_TRUE(second != kNoFile || error_.code() == Errc::kHeldByOther) << "row " << &c - cases;
    CloseFile(second);
    CloseFile(first);
  }
  // Closing another handle of the file (one that took no lock; refused on Windows) keeps the holder's hold.
  const FileHandle holder = Open(RW, SN);
  CloseFile(Open(R, SW));
  EXPECT_EQ(Open(RW, SN), kNoFile);
  EXPECT_EQ(error_.code(), Errc::kHeldByOther);
  CloseFile(holder);
}

#ifndef _WIN32
TEST_F(FilesTest, AnotherProgramsClassicRecordLockKeepsOurOpensOut) {
  // A child plays the tosser: a classic record lock on the first byte, held till the parent answers.
  int locked[2], done[2];
  ASSERT_TRUE(pipe(locked) == 0 && pipe(done) == 0);
  const pid_t child = fork();
  if (child == 0) {
    struct flock fl {};
    fl.l_type = F_WRLCK, fl.l_len = 1;
    char c;
    if (fcntl(open(file_.c_str(), O_RDWR), F_SETLK, &fl) != 0 || write(locked[1], "y", 1) != 1) _exit(1);
    _exit(read(done[0], &c, 1) == 1 ? 0 : 1);
  }
  ASSERT_GT(child, 0);
  close(locked[1]);  // a child that failed leaves the read below at its end
  char ok = 0;
  EXPECT_EQ(read(locked[0], &ok, 1), 1);
  EXPECT_EQ(Open(RW, SR), kNoFile);
  EXPECT_EQ(Open(R, SN), kNoFile);
  EXPECT_EQ(write(done[1], "x", 1), 1);
  int status = 1;
  EXPECT_TRUE(waitpid(child, &status, 0) == child && status == 0);
  for (int fd : {locked[0], done[0], done[1]}) close(fd);
}
#endif

// For the sharing of an open and for a lock on part of a file alike.
TEST_F(FilesTest, AHolderThatLetsGoDuringTheWaitIsWaitedFor) {
  waitMs_ = 10000;
  for (const bool range : {false, true}) {
    const FileHandle holder = range ? Opened(OpenOrCreate(file_, &h_)) : Open(RW, SN);
    ASSERT_NE(holder, kNoFile);
    ASSERT_TRUE(!range || LockRange(holder, 0, 0, true, 0).ok());
    const std::int64_t start = MonotonicMilliseconds();
    std::thread letGo([&] {
      SleepMilliseconds(200);
      range ? UnlockRange(holder, 0, 0) : CloseFile(holder);
    });
    const FileHandle second = range ? Opened(OpenOrCreate(file_, &h_)) : Open(RW, SN);
    EXPECT_NE(second, kNoFile) << range;
    EXPECT_TRUE(!range || LockRange(second, 0, 0, true, 10000).ok());
    EXPECT_GE(MonotonicMilliseconds() - start, 150) << range;  // it really waited
    letGo.join();
    CloseFile(second);
    if (range) CloseFile(holder);
  }
}

TEST_F(FilesTest, CreatingNeverEmptiesAFileInUseOrTakenInAnyCase) {
  const FileHandle reader = Open(R, SR);
  EXPECT_EQ(Opened(CreateAlways(file_, waitMs_, &h_)), kNoFile);  // waited for, then refused
  EXPECT_EQ(error_.code(), Errc::kHeldByOther);
  EXPECT_EQ(Opened(CreateNew(dir_ / "BASE.sqd", &h_)), kNoFile);
  EXPECT_EQ(error_.code(), Errc::kNameTaken);
  EXPECT_EQ(testkit::ReadFileText(file_), "0123456789");
  CloseFile(reader);
  const FileHandle made = Opened(CreateAlways(dir_.path() + "\\base.sqd", waitMs_, &h_));
  // Creating keeps no lock on POSIX. On Windows a share-none open excludes every handle, the creator's too.
  const FileHandle other = Open(RW, SN);
  EXPECT_NE(made, kNoFile);
  EXPECT_EQ(other != kNoFile, !kWindows);
  CloseFile(other);
  CloseFile(made);
  EXPECT_EQ(testkit::ReadFileText(file_), "");
  EXPECT_EQ(testkit::ListDir(dir_.path()), std::vector<std::string>{"Base.SQD"});
}

// Names are taken in any letter case.
TEST_F(FilesTest, RenameNewNeverReplacesReplaceFileDoes) {
  testkit::WriteFileText(dir_ / "new.tmp", "new");
  EXPECT_EQ(RenameNew(dir_ / "new.tmp", dir_ / "BASE.sqd").code(), Errc::kNameTaken);
  EXPECT_EQ(RenameNew(dir_ / "absent.tmp", dir_ / "other.sqd").code(), Errc::kNotFound);
  ASSERT_TRUE(RenameNew(dir_ / "NEW.TMP", dir_ / "Other.sqd").ok());
  EXPECT_EQ(testkit::ListDir(dir_.path()), (std::vector<std::string>{"Base.SQD", "Other.sqd"}));
  EXPECT_EQ(testkit::ReadFileText(file_), "0123456789");
  ASSERT_TRUE(ReplaceFile(dir_ / "other.SQD", dir_ / "base.sqd", waitMs_).ok());
  EXPECT_EQ(testkit::ListDir(dir_.path()), std::vector<std::string>{"Base.SQD"});
  EXPECT_EQ(testkit::ReadFileText(file_), "new");
}

#ifndef _WIN32
// A file appearing meanwhile in another case is not seen until the scope ends.
TEST_F(FilesTest, NameResolutionScopeKeepsOneListing) {
  const std::string name = dir_ / "area.jdx";
  {
    NameResolutionScope scope;
    EXPECT_EQ(NativeName(name), name);
    testkit::WriteFileText(dir_ / "AREA.JDX", "theirs");
    EXPECT_EQ(NativeName(name), name);
  }
  EXPECT_EQ(NativeName(name), dir_ / "AREA.JDX");
}
#endif

TEST_F(FilesTest, NamesThatNameNoFileAreRefused) {
  testkit::WriteFileText(dir_ / "a", "keep");
  // A zero byte would cut the name short and name another file ("a").
  for (const std::string& name : {dir_.path() + std::string("/a\0b", 4), std::string()}) {
    EXPECT_EQ(Opened(OpenExisting(name, R, SRW, waitMs_, &h_)), kNoFile);
    EXPECT_EQ(Opened(CreateAlways(name, waitMs_, &h_)), kNoFile);
    EXPECT_EQ(Opened(CreateNew(name, &h_)), kNoFile);
    EXPECT_EQ(error_.code(), Errc::kNotFound);
    EXPECT_EQ(Opened(OpenAppend(name, &h_)), kNoFile);
    EXPECT_FALSE(DeleteFile(name).ok());
    EXPECT_FALSE(GetFileDosTime(name).has_value());
  }
  EXPECT_EQ(testkit::ReadFileText(dir_ / "a"), "keep");
  EXPECT_EQ(Opened(OpenExisting(dir_ / "missing", R, SRW, waitMs_, &h_)), kNoFile);
  EXPECT_EQ(error_.code(), Errc::kNotFound);
  EXPECT_EQ(error_.file(), dir_ / "missing");
  EXPECT_EQ(Opened(OpenExisting(dir_.path(), R, SRW, waitMs_, &h_)), kNoFile);
  EXPECT_EQ(error_.code(), Errc::kOpenFailed);
}

#ifndef _WIN32
TEST_F(FilesTest, PipesNeverHang) {
  const std::string pipe = dir_ / "pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  // Opened for reading and writing a pipe is its own writer: a read would wait forever. Refused.
  EXPECT_EQ(Opened(OpenExisting(pipe, RW, SRW, waitMs_, &h_)), kNoFile);
  EXPECT_EQ(Opened(OpenExisting(pipe, W, SRW, waitMs_, &h_)), kNoFile);
  // A log that is a pipe nobody reads fails instead of waiting for a reader.
  EXPECT_EQ(Opened(OpenAppend(pipe, &h_)), kNoFile);
  // Read only (a configuration given by process substitution): no writer is left, the read ends at once.
  const FileHandle h = Opened(OpenExisting(pipe, R, SRW, waitMs_, &h_));
  ASSERT_NE(h, kNoFile);
  char buf[4];
  std::size_t got = 9;
  EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &got).ok());
  EXPECT_EQ(got, 0u);
  CloseFile(h);
}
#endif

TEST(FileTimesTest, SetThenReadBackAsLocalDosDateAndTime) {
  testkit::TempDir dir;
  testkit::WriteFileText(dir / "EVERYDAY.FLG", "");
  const std::pair<LocalTime, std::uint32_t> cases[] = {
      // (46 << 9 | 12 << 5 | 6) << 16 | (4 << 11 | 57 << 5 | 18)
      {{2026, 12, 6, 4, 57, 36}, 0x5D862732u},
      // (19 << 9 | 1 << 5 | 31) << 16 | (23 << 11 | 59 << 5 | 29): odd seconds round down
      {{1999, 1, 31, 23, 59, 59}, 0x263FBF7Du},
      {{1975, 6, 1, 12, 0, 0}, 0x00210000u},  // before 1980: 1 January 1980, 00:00:00
  };
  for (const auto& [t, dos] : cases) {
    ASSERT_TRUE(SetFileTime(dir / "everyday.flg", t).ok());
    EXPECT_EQ(GetFileDosTime(dir.path() + "\\Everyday.Flg"), dos) << t.year;
  }
  EXPECT_FALSE(GetFileDosTime(dir / "none").has_value());
  EXPECT_EQ(SetFileTime(dir / "none", LocalTime{2026, 12, 6, 4, 57, 36}).code(), Errc::kNotFound);
}

// year, month, day, hour, minute, second, millisecond, day of week (0 = Sunday)
using Moment = std::array<int, 8>;

Moment Fields(const LocalTime& t) {
  return {t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond, t.dayOfWeek};
}

TEST(TestClockTest, WaitHundredthCarriesAndTheDayOfWeekFollows) {
  const Moment cases[][2] = {
      {{2026, 12, 6, 4, 57, 36, 3, 0}, {2026, 12, 6, 4, 57, 36, 13, 0}},
      {{2026, 12, 31, 23, 59, 59, 995, 4}, {2027, 1, 1, 0, 0, 0, 5, 5}},
      {{2100, 2, 28, 23, 59, 59, 990, 0}, {2100, 3, 1, 0, 0, 0, 0, 1}},  // no leap year
  };
  for (const auto& c : cases) {
    testkit::TestClock clock;
    clock.Set(c[0][0], c[0][1], c[0][2], c[0][3], c[0][4], c[0][5], c[0][6]);
    EXPECT_EQ(Fields(clock.Now()), c[0]);
    clock.WaitHundredth();
    EXPECT_EQ(Fields(clock.Now()), c[1]);
  }
}

TEST(SystemClockTest, WaitHundredthReturnsOnceTheClockMoved) {
  const Moment before = Fields(Now());
  WaitHundredth();
  EXPECT_NE(Fields(Now()), before);
}

}  // namespace
}  // namespace mvx::platform
