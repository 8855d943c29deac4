// The same scheduled run posting into Squish and JAM areas: the run control
// reaches every format through the factory alone.
#include <gtest/gtest.h>

#include <memory>

#include "factory/base_factory.h"
#include "msgbase/file_hooks.h"
#include "run_test_support.h"

namespace mvx::runtest {
namespace {

using OtherFormatsRunTest = RunTest;

TEST_F(OtherFormatsRunTest, PostsIntoSquishAndJamAreas) {
  Write("fido.cfg", "EchoArea SQ.AREA Bases/Sq -b Squish\nEchoArea JAM.AREA Bases/Jm -b Jam\n");
  Write("t.txt", "hello\r\n");
  Write("config.mvx",
        "HPTPATH fido.cfg\nFROMADDR 2:5020/1\nSUBJ Test\n"
        "AREA SQ.AREA\nFILE t.txt\nFLAGS Pvt\nENDAREA\n"
        "AREA JAM.AREA\nFILE t.txt\nFLAGS Pvt\nENDAREA\n");
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(LastRun(), (Lines{"Marvex 2.1: started..", "Loading config.mvx", " [+] Working with SQ.AREA",
                              " >> Posting t.txt to SQ.AREA", " >> Base: Squish " + runtest::Shown(dir_.path(), "/Bases/Sq"),
                              " >> From: Sysop, 2:5020/1", " >> To: All, 0:0/0", " >> Subj: Test", "  - Ok...", "",
                              " [+] Working with JAM.AREA", " >> Posting t.txt to JAM.AREA",
                              " >> Base: JAM " + runtest::Shown(dir_.path(), "/Bases/Jm"), " >> From: Sysop, 2:5020/1",
                              " >> To: All, 0:0/0", " >> Subj: Test", "  - Ok...", "", "End..", ""}));
  // New files get lower-case extensions.
  EXPECT_TRUE(Exists("Bases/Sq.sqd"));
  EXPECT_TRUE(Exists("Bases/Jm.jhr"));

  for (const char* id : {"SBases/Sq", "JBases/Jm"}) {
    std::unique_ptr<MessageBase> base;
    ASSERT_TRUE(OpenOrCreateBase(ParseAreaId(id), base)) << id;
    EXPECT_EQ(base->MessageCount(), 1) << id;
    base->PositionFrom(1);
    ASSERT_TRUE(base->LoadMessage()) << id;
    EXPECT_EQ(base->FromName(), "Sysop") << id;
    EXPECT_EQ(base->ToName(), "All") << id;
    EXPECT_EQ(base->SubjectText(), "Test") << id;
    EXPECT_TRUE(base->HasAttribute(0x0100)) << id;
    EXPECT_TRUE(base->HasAttribute(0x0001)) << id;
    Lines lines;
    for (base->MoveTextTo(0); !base->AtTextEnd();) {
      Str line;
      base->ReadTextLineStr(line);
      lines.push_back(line.str());
    }
    ASSERT_GE(lines.size(), 4u) << id;
    EXPECT_TRUE(IsMsgId(lines[0], "2:5020/1")) << id;
    EXPECT_EQ(Lines(lines.end() - 4, lines.end()),
              (Lines{"hello", "", "--- ", " * Origin: Autoposted message (2:5020/1)"})) << id;
    base->ReleaseMessage();
    EXPECT_TRUE(CloseBase(base)) << id;
  }
}

}  // namespace
}  // namespace mvx::runtest
