// The same posting into Squish and JAM areas: the run control reaches every
// format through the factory alone.
#include <gtest/gtest.h>

#include <memory>

#include "msgbase/base_factory.h"
#include "msgbase/file_hooks.h"
#include "run/entry.h"
#include "run_test_support.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using runtest::LogEntriesOf;
using runtest::RunProgram;
using Lines = std::vector<std::string>;

struct Stored {
  Str from, to, subject;
  std::vector<std::string> lines;
  bool local = false, pvt = false;
};

// Reads message n of an area back through the factory.
Stored ReadBack(const Str& id, std::int32_t n) {
  Stored s;
  InstallFileHooks();
  std::unique_ptr<MessageBase> base;
  EXPECT_TRUE(OpenOrCreateBase(id, base));
  if (!base) return s;
  EXPECT_EQ(base->MessageCount(), 1);
  base->PositionFrom(n);
  EXPECT_TRUE(base->LoadMessage());
  s.from = base->FromName();
  s.to = base->ToName();
  s.subject = base->SubjectText();
  s.local = base->HasAttribute(0x0100);
  s.pvt = base->HasAttribute(0x0001);
  base->MoveTextTo(0);
  while (!base->AtTextEnd()) {
    Str line;
    base->ReadTextLineStr(line);
    s.lines.push_back(line.str());
  }
  base->ReleaseMessage();
  EXPECT_TRUE(CloseBase(base));
  return s;
}

TEST(OtherFormatsRunTest, PostsIntoSquishAndJamAreas) {
  testkit::TempDir dir;
  testkit::ScopedCurrentDir cd(dir.path());
  testkit::ScopedClock clock(2026, 12, 6, 9, 0, 0);
  testkit::WriteFileText(dir / "fido.cfg",
                         "EchoArea SQ.AREA Bases/Sq -b Squish\nEchoArea JAM.AREA Bases/Jm -b Jam\n");
  testkit::WriteFileText(dir / "t.txt", "hello\r\n");
  testkit::WriteFileText(dir / "config.mvx",
                         "HPTPATH fido.cfg\nFROMADDR 2:5020/1\nSUBJ Test\n"
                         "AREA SQ.AREA\nFILE t.txt\nFLAGS Pvt\nENDAREA\n"
                         "AREA JAM.AREA\nFILE t.txt\nFLAGS Pvt\nENDAREA\n");
  EXPECT_EQ(RunProgram({}).code, 0);
  EXPECT_EQ(LogEntriesOf(dir.path()),
            (Lines{"Marvex 2.1: started..", "Loading config.mvx", " [+] Working with SQ.AREA",
                   " >> Posting t.txt to SQ.AREA", " >> From: Sysop, 2:5020/1", "  - Ok...", "",
                   " [+] Working with JAM.AREA", " >> Posting t.txt to JAM.AREA",
                   " >> From: Sysop, 2:5020/1", "  - Ok...", "", "End..", "<end>"}));
  // New files get lower-case extensions.
  EXPECT_TRUE(testkit::PathExists(dir / "Bases/Sq.sqd"));
  EXPECT_TRUE(testkit::PathExists(dir / "Bases/Jm.jhr"));

  for (const char* id : {"SBases/Sq", "JBases/Jm"}) {
    const Stored m = ReadBack(id, 1);
    EXPECT_EQ(m.from, "Sysop") << id;
    EXPECT_EQ(m.to, "All") << id;
    EXPECT_EQ(m.subject, "Test") << id;
    EXPECT_TRUE(m.local) << id;
    EXPECT_TRUE(m.pvt) << id;
    ASSERT_GE(m.lines.size(), 4u) << id;
    const std::size_t n = m.lines.size();
    EXPECT_EQ(m.lines[n - 4], "hello") << id;
    EXPECT_EQ(m.lines[n - 3], "") << id;
    EXPECT_EQ(m.lines[n - 2], "--- ") << id;
    EXPECT_EQ(m.lines[n - 1], " * Origin: Autoposted message (2:5020/1)") << id;
  }
}

}  // namespace
}  // namespace mvx
