// The platform layer: sharing and locks of open files, creating and renaming, file times, the
// clocks, names in any letter case, full paths and directory searches.
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/common/name_match.h"
#include "platform/platform.h"
#include "testkit/testkit.h"

namespace mvx::platform {
namespace {

constexpr Access R = Access::kRead, W = Access::kWrite, RW = Access::kReadWrite;
constexpr Share SN = Share::kNone, SR = Share::kRead, SW = Share::kWrite, SRW = Share::kReadWrite;

namespace fs = std::filesystem;
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

// Names, masks and directory searches.

std::map<std::string, DirEntry> SearchAll(const std::string& mask) {
  std::map<std::string, DirEntry> found;
  DirSearch search;
  DirEntry e;
  for (bool ok = search.First(mask, &e); ok; ok = search.Next(&e)) found[e.name] = e;
  return found;
}

#ifndef _WIN32

// POSIX only: on Windows the file system itself ignores the case of names.
TEST(NativeNameTest, ResolvesEachComponentOnARealDirectory) {
  testkit::TempDir dir;
  fs::create_directories(dir / "Echo/Area");
  for (const char* f : {"Echo/Area/mail.SQD", "Echo/Area/Twin", "Echo/Area/TWIN", "\xC0\xE1.txt"})
    testkit::WriteFileText(dir / f, "x");
  const std::string longDir(300, 'L');
  const std::pair<std::string, std::string> cases[] = {
      {"ECHO/area\\MAIL.SQD", "Echo/Area/mail.SQD"}, {"\\", "/"}, {"..", ".."}, {"", ""},
      {"echo\\NEW.SQD", "Echo/NEW.SQD"}, {"Gone/AREA/x", "Gone/AREA/x"},  // a new file keeps the name as written
      {"echo/area/Twin", "Echo/Area/Twin"}, {"echo/area/twin", "Echo/Area/TWIN"},  // exact name, else first sorted
      {".\\ECHO\\..\\echo/Area", "./Echo/../Echo/Area"}, {"ECHO\\\\area//", "Echo//Area//"},
      {"echo\\" + longDir + "\\x", "Echo/" + longDir + "/x"},
      // Bytes above 127 compare exactly: 0xE0 is not the lower case of 0xC0.
      {"\xC0\xE1.TXT", "\xC0\xE1.txt"}, {"\xE0\xE1.txt", "\xE0\xE1.txt"},
  };
  MVX_IN_DIRECTORY(dir.path(), {
    for (const auto& [in, out] : cases) EXPECT_EQ(NativeName(in), out) << in;
  });
  EXPECT_EQ(NativeName(dir.path() + "\\ECHO\\AREA\\mail.sqd"), dir / "Echo/Area/mail.SQD");
}
#endif

// On Windows names reach the file system as the UTF-16 of CP866 whatever the
// system's code pages, and Cyrillic case folds; on POSIX bytes pass unchanged.
TEST(NativeNameTest, Cp866NamesRoundTrip) {
  testkit::TempDir dir;
  const std::string upper = "\x8F\xA8\xE1\xEC\xAC\xAE.TXT";  // "Письмо.TXT" in 866
  const std::string lower = "\xAF\xA8\xE1\xEC\xAC\xAE.txt";  // "письмо.txt"
  FileHandle made = kNoFile;
  ASSERT_TRUE(CreateNew(dir / upper, &made).ok());
  CloseFile(made);
#ifdef _WIN32
  EXPECT_TRUE(fs::exists(fs::path(dir.path()) / L"\u041F\u0438\u0441\u044C\u043C\u043E.TXT"));
#else
  EXPECT_TRUE(fs::exists(dir / upper));
#endif
  const auto found = SearchAll(dir / "*.txt");
  EXPECT_EQ(found.size() == 1 ? found.begin()->first : "", upper);
  FileHandle again = kNoFile;
  EXPECT_EQ(OpenExisting(dir / lower, Access::kRead, Share::kReadWrite, 0, &again).ok(), kWindows);
  CloseFile(again);
}

// Without asking the disk. On Windows: drive letters, a drive's own current
// directory ("C:fido") and network shares (never left by "..").
TEST(FullPathTest, FoldsDotsAndKeepsATrailingSeparator) {
  testkit::TempDir dir;
  fs::create_directories(dir / "Net");
  MVX_IN_DIRECTORY(dir.path(), {
    const std::string cwd = fs::current_path().string();
    const std::string drive = kWindows ? cwd.substr(0, 2) : "C:";  // a plain name on POSIX
    const struct { std::string in, posix, windows; } cases[] = {
        {"net\\mail\\..\\x.msg", cwd + "/Net/x.msg", cwd + "\\net\\x.msg"},
        {"NET\\", cwd + "/Net/", cwd + "\\NET\\"},
        {"/a/./b/../c", "/a/c", drive + "\\a\\c"},
        {"\\..\\..", "/", drive + "\\"},
        {"D:\\fido\\.\\net\\..\\x.msg", cwd + "/D:/fido/x.msg", "D:\\fido\\x.msg"},
        {drive + "fido", cwd + "/C:fido", cwd + "\\fido"},
        {"\\\\server\\share\\fido\\..\\..\\..\\x", "/x", "\\\\server\\share\\x"},
    };
    for (const auto& c : cases) EXPECT_EQ(FullPath(c.in), kWindows ? c.windows : c.posix) << c.in;
  });
}

class DirSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "Area/Sub.msg");
    fs::create_directories(dir_ / "Empty");
    // On Windows the system also matches masks against 8.3 short names, and the short name of 3.msgx
    // ends in .MSG: "*.MSG" must not find it.
    for (const auto& [name, text] :
         {std::pair{"1.msg", "one"}, {"2.MSG", "second"}, {"lastread", ""}, {"3.msgx", "x"}, {".hidden.msg", "h"}})
      testkit::WriteFileText(dir_ / "Area/" + name, text);
  }
  testkit::TempDir dir_;
};

TEST_F(DirSearchTest, MasksMatchWithoutRegardToCaseThroughEitherSeparator) {
  const std::string d = dir_.path();
  const struct { std::string mask; std::size_t count; } cases[] = {
      {d + "\\AREA\\*.Msg", 4},     {d + "/area/LASTREAD", 1},
      {d + "/Area\\*.*", 8},         // also "lastread", "3.msgx", "." and ".."
      {d + "\\EMPTY\\*.*", 2},       // "." and "..": an empty directory exists
      {d + "/nowhere/*.*", 0},      {d + "/Area/", 0},  // no pattern
  };
  for (const auto& c : cases) EXPECT_EQ(SearchAll(c.mask).size(), c.count) << c.mask;
  EXPECT_EQ(SearchAll(d + "/area/LASTREAD").begin()->first, "lastread");  // the name on disk
  // Relative masks, and a drive's own current directory on Windows ("C:*.MSG"); on POSIX a name "C:...".
  MVX_IN_DIRECTORY(dir_ / "Area", {
    EXPECT_EQ(SearchAll("*.MSG").size(), 4u);
    EXPECT_EQ(SearchAll("..\\AREA\\1.MSG").size(), 1u);
    const std::string drive = kWindows ? fs::current_path().string().substr(0, 2) : "C:";
    EXPECT_EQ(SearchAll(drive + "*.MSG").size(), kWindows ? 4u : 0u);
  });
}

TEST_F(DirSearchTest, AttributesSizeAndTimeOfEachKind) {
  fs::permissions(dir_ / "Area/1.msg", fs::perms::owner_read | fs::perms::group_read);
  ASSERT_TRUE(SetFileTime(dir_ / "Area/2.MSG", LocalTime{2026, 12, 6, 4, 57, 36}).ok());
  const auto found = SearchAll(dir_ / "Area/*.*");
  const std::pair<const char*, std::uint32_t> attrs[] = {
      {"1.msg", kAttrArchive | kAttrReadOnly}, {"2.MSG", kAttrArchive}, {"Sub.msg", kAttrDirectory},
      {".hidden.msg", kAttrArchive | kAttrHidden}, {".", kAttrDirectory}, {"..", kAttrDirectory}};
  for (const auto& [name, attr] : attrs) EXPECT_EQ(found.at(name).attr, attr) << name;
  EXPECT_EQ(std::pair(found.at("1.msg").size, found.at("2.MSG").size), std::pair(3u, 6u));
  // Date (2026-1980)<<9 | 12<<5 | 6 = 0x5D86; time 4<<11 | 57<<5 | 36/2 = 0x2732.
  EXPECT_EQ(found.at("2.MSG").dosTime, 0x5D862732u);
}

TEST_F(DirSearchTest, EntriesDeletedDuringTheSearchAreSkipped) {
  DirSearch search;
  DirEntry e;
  ASSERT_TRUE(search.First(dir_ / "Area/?.msg", &e));
  EXPECT_EQ(e.name, "1.msg");
  fs::remove(dir_ / "Area/2.MSG");
  EXPECT_FALSE(search.Next(&e));
}

TEST(MatchesMaskTest, WildcardsIgnoringAsciiCase) {
  using common::MatchesMask;
  const std::string stars(200, '*'), a255(255, 'a');
  const struct { std::string mask, name; bool match; } cases[] = {
      {"*.MSG", "12.msg", true},    {"*.MSG", "1.msg.bak", false}, {"?.msg", "7.MSG", true},
      {"?.msg", "17.MSG", false},   {"a*b*c", "aXXbYYbZc", true},  {"a*b*c", "aXXbYYbZ", false},
      {"LASTREAD.*", "lastread", true}, {"LASTREAD.*", "lastrea", false},  // names without a dot
      {"EVERYDAY.FLG", "everyday.flgx", false}, {"@", "`", false},        // 0x40 and 0x60: no letters
      {"\xC0*", "\xC0x", true},         {"\xE0*", "\xC0x", false},  // bytes above 127 exactly
      {stars + "b", a255 + "b", true},  {stars + "b", a255, false},  // hostile masks finish
  };
  for (const auto& c : cases) EXPECT_EQ(MatchesMask(c.mask, c.name), c.match) << c.mask << " / " << c.name;
}

}  // namespace
}  // namespace mvx::platform
