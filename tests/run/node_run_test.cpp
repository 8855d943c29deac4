// What a run shares with the node's other programs.
#include <gtest/gtest.h>

#include <set>

#include "run_test_support.h"

namespace mvx::runtest {
namespace {

class NodeRunTest : public RunTest {
 protected:
  void SetUp() override {
    Write("t.txt", "hello\r\n");
    Write("config.mvx", "HPTPATH fido.cfg\nFROMADDR 2:5020/1\nAREA A.AREA\nFILE t.txt\nENDAREA\n"
                        "AREA B.AREA\nFILE t.txt\nENDAREA\nAREA a.area\nFILE t.txt\nENDAREA\n");
  }
  void Fidoconfig(const std::string& extra) {
    Write("fido.cfg", extra + "EchoArea A.AREA areas/a -b Msg\nEchoArea B.AREA areas/b -b Msg\n");
  }
  std::vector<std::string> MsgIds(const std::string& area) const {
    std::vector<std::string> ids;
    for (const Msg& m : Msgs(area)) ids.push_back(m.lines.at(0));
    return ids;
  }
};

// Two processes at once: SerialStateTest.ConcurrentProcessesNeverShareASerial.
TEST_F(NodeRunTest, SerialsNeverRepeatAndComeFromTheTossersCounterDirectory) {
  Fidoconfig("");
  for (int run = 0; run < 4; ++run) ASSERT_EQ(Run({"-p", "t.txt", "A.AREA"}), 0);
  const std::vector<std::string> ids = MsgIds("areas/a");
  for (const std::string& id : ids) EXPECT_TRUE(IsMsgId(id, "2:5020/1")) << id;
  EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 4u);  // at a frozen clock
  // With the tosser's counter, that counter names the next free serial: the
  // message took the one before it.
  Fidoconfig("SeqDir seq\n");
  ASSERT_EQ(Run({"-p", "t.txt", "B.AREA"}), 0);
  const std::vector<std::string> names = testkit::ListDir(dir_ / "seq");
  ASSERT_EQ(names.size(), 1u);
  char expected[16];
  const unsigned long next = std::stoul(names[0].substr(0, 8), nullptr, 16);
  std::snprintf(expected, sizeof expected, "%08lx", next - 1);
  EXPECT_EQ(MsgIds("areas/b").at(0), "\x01MSGID: 2:5020/1 " + std::string(expected));
}

TEST_F(NodeRunTest, EchoTossLogGetsEachAreaOncePerRunAndIsNeverRewritten) {
  Fidoconfig("EchoTossLog toss.log\n");
  Write("toss.log", "OTHER.AREA\n");  // the tosser's own line stays
  ASSERT_EQ(Run({}), 0);
  ASSERT_EQ(Run({"-p", "t.txt", "B.AREA"}), 0);
  EXPECT_EQ(testkit::ReadFileText(dir_ / "toss.log"), "OTHER.AREA\nA.AREA\nB.AREA\nB.AREA\n");
  // Under the tosser's run lock: while another program holds it, the line
  // is not written and the log says so, but the posting stands.
  Fidoconfig("EchoTossLog toss.log\nLockFile hpt.lck\n");
  Write("hpt.lck", "");
  env_.lockWaitMs = 50;
  ASSERT_EQ(Run({"-p", "t.txt", "A.AREA"}), 0);
  env_.lockWaitMs = platform::kDefaultLockWaitMs;
  const Lines log = LastRun();
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& l) {
    return l.starts_with("[err] Can't add A.AREA to echo toss log toss.log: tosser lock hpt.lck");
  })) << ::testing::PrintToString(log);
  std::remove((dir_ / "hpt.lck").c_str());
  ASSERT_EQ(Run({"-p", "t.txt", "A.AREA"}), 0);
  EXPECT_EQ(testkit::ReadFileText(dir_ / "toss.log"), "OTHER.AREA\nA.AREA\nB.AREA\nB.AREA\nA.AREA\n");
  EXPECT_FALSE(Exists("hpt.lck"));  // the lock made for the append is gone again
  EXPECT_EQ(Msgs("areas/a").size(), 4u);
}

TEST_F(NodeRunTest, UnstampableWorkFlagPostsNothing) {
  Fidoconfig("");
  ASSERT_TRUE(platform::CreateDirectory(dir_ / "EVERYDAY.FLG").ok());
  ASSERT_EQ(Run({}), 0);
  EXPECT_TRUE(LastRun().at(1).starts_with("[err] Can't write work flag EVERYDAY.FLG (")) << LastRun().at(1);
  EXPECT_FALSE(Exists("areas"));
  // A -p run does not stamp the flag and posts as before.
  ASSERT_EQ(Run({"-p", "t.txt", "A.AREA"}), 0);
  EXPECT_EQ(Msgs("areas/a").size(), 1u);
}

}  // namespace
}  // namespace mvx::runtest
