// The factory: area identifiers, the objects they make, opening or creating
// areas; a posting stopped (a real process end) or failed at every step that
// changes a file; two programs creating one JAM area at once, interleaved at
// every step of ours.
#include "factory/base_factory.h"

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "jam/jam_base.h"
#include "msgbase/env.h"
#include "msgbase/file_stream.h"
#include "msgdir/msg_file_names.h"
#include "msgdir/msgdir_base.h"
#include "squish/squish_base.h"
#include "testkit/faults.h"
#include "testkit/messages.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using namespace std::literals;
using namespace testkit;

char KindOf(MessageBase* base) {
  if (dynamic_cast<SquishBase*>(base)) return 'S';
  if (dynamic_cast<JamBase*>(base)) return 'J';
  return dynamic_cast<MsgDirBase*>(base) ? 'M' : '-';
}

// The upper-case letters J, S, M, F and * make their areas in FactoryArea.
TEST(ParseAreaId, TypeLetterAndPath) {
  const struct { const char* id; AreaType type; const char* path; } cases[] = {
      {"jC:\\JAM", AreaType::kJam, "C:\\JAM"}, {"f/n/", AreaType::kMsgDir, "/n/"}, {"m/m", AreaType::kMsgDir, "/m"},
      {"s/sq", AreaType::kSquish, "/sq"},      {"J", AreaType::kJam, ""},
      // The letter is required: a bare path is unknown and kept whole, unless
      // its drive letter is a type letter. Nothing is trimmed.
      {"c:\\fido", AreaType::kUnknown, "c:\\fido"}, {"m:\\fido", AreaType::kMsgDir, ":\\fido"},
      {"S /sq", AreaType::kSquish, " /sq"},    {"", AreaType::kUnknown, ""},
  };
  for (const auto& c : cases) {
    const AreaId area = ParseAreaId(c.id);
    EXPECT_EQ(std::pair(area.type, area.path.str()), std::pair(c.type, std::string(c.path))) << c.id;
  }
  // An unknown type makes no object, and the one held before is gone.
  std::unique_ptr<MessageBase> base;
  ASSERT_TRUE(MakeBase(AreaType::kJam, base));
  EXPECT_FALSE(MakeBase(AreaType::kUnknown, base));
  EXPECT_EQ(base, nullptr);
}

// An area there that will not open is looked at again for a while: not long here.
class FactoryArea : public testkit::ScratchTest {
 protected:
  void SetUp() override { env_.openRetryMs = 50; }
};

TEST_F(FactoryArea, MessageThroughTheFactoryHasExactlyTheseBytes) {
  for (const char* letter : {"M", "F", "*"}) {
    testkit::TestEnv env;  // its first serial is the test moment's, 0b4a6000
    env.clock.Set(2026, 12, 6, 4, 57, 36);
    const std::string area = dir_ / (std::string("new/area") + (*letter == '*' ? "x" : letter));
    std::unique_ptr<MessageBase> base;
    ASSERT_TRUE(OpenOrCreateBase(ParseAreaId(Str(letter + area)), base, env)) << letter;
    ASSERT_TRUE(base->BeginNewMessage().ok());
    base->EmitOrigKludges(true, FidoAddress{2, 5020, 1, 3});
    base->EmitDestKludges(FidoAddress{2, 463, 99, 0});
    base->PutFromName("Sender Name");
    base->PutToName("All");
    base->PutSubject("Test subject");
    // Written and arrived: the moment the message was begun.
    for (std::int32_t attr : {kAttrLocal, kAttrFileRequest}) base->ChangeAttribute(true, attr);
    for (const char* line : {"\001PID: Marvex 2.1", "Hello", "--- Marvex"}) base->AppendTextLine(line);
    ASSERT_TRUE(base->StoreMessage().ok() && base->ReleaseMessage().ok() && CloseBase(base));

    std::string want(190, '\0');
    want.replace(0, 11, "Sender Name").replace(36, 3, "All").replace(72, 12, "Test subject");
    want.replace(144, 19, "06 Dec 26  04:57:36");
    // Dest node 99, orig node 1, cost 0, orig net 5020, dest net 463; date
    // word 0x5D86 and time word 0x2732 written and arrived; reply 0; local
    // 0x0100 and file request stored as 0x0800.
    want.replace(166, 22, "\x63\0\x01\0\0\0\x9C\x13\xCF\x01\x86\x5D\x32\x27\x86\x5D\x32\x27\0\0\0\x09"s);
    want += "\001MSGID: 2:5020/1.3 0b4a6000\r\001PID: Marvex 2.1\rHello\r--- Marvex\r"s + '\0';
    EXPECT_EQ(testkit::ReadFileText(area + "/2.msg"), want) << letter;

    // Present now: opened, not made anew; the message reads back whole. (The
    // attributes read back through the same table that wrote the bytes.)
    ASSERT_TRUE(OpenOrCreateBase(ParseAreaId(Str(letter + area)), base, env_));
    EXPECT_EQ(testkit::LoadText(*base, 2), want.substr(190, want.size() - 191));
    EXPECT_EQ(base->FromName() + "|" + base->ToName() + "|" + base->SubjectText(), "Sender Name|All|Test subject");
    EXPECT_TRUE(CloseBase(base));
  }
}

std::vector<std::uint16_t> g_modes;

TEST_F(FactoryArea, AreasAreClosedOnceAndAPresentOneThatCannotBeOpenedIsNotMadeAnew) {
  // Every open fails, as when another program holds the files.
  const auto locked = [this](const Str& name, std::uint16_t mode) {
    g_modes.push_back(mode);
    return env_.RealOpen(name + ".absent", kModeRead);
  };
  for (const char* letter : {"J", "S"}) {
    const AreaId id = ParseAreaId(Str(letter + (dir_ / (std::string("locked") + letter))));
    std::unique_ptr<MessageBase> base;
    ASSERT_TRUE(OpenOrCreateBase(id, base, env_)) << letter;
    EXPECT_EQ(KindOf(base.get()), *letter);
    ASSERT_TRUE(CloseBase(base));
    EXPECT_FALSE(CloseBase(base));  // the second close finds none
    EXPECT_FALSE(DisposeBase(base));
    env_.openFile = locked;
    g_modes.clear();
    EXPECT_FALSE(OpenOrCreateBase(id, base, env_)) << letter;
    env_.openFile = nullptr;
    ASSERT_NE(base, nullptr);  // left to the caller, not open
    EXPECT_FALSE(base->IsOpen());
    EXPECT_NE(base->ErrorCode(), Errc::kNone);
    EXPECT_TRUE(DisposeBase(base));
    ASSERT_FALSE(g_modes.empty());
    for (std::uint16_t mode : g_modes) EXPECT_TRUE((mode & 0xFF) != kModeCreate && (mode & 0xFF) != kModeCreateNew);
  }
}

// The results of every store and of the close, in that order.
std::vector<bool> Post(Env& env, const std::string& id, int parts, const std::string& what) {
  std::unique_ptr<MessageBase> base;
  if (!OpenOrCreateBase(ParseAreaId(Str(id)), base, env)) return {false};
  std::vector<bool> ok;
  for (int i = 1; i <= parts; ++i) {
    std::vector<std::string> lines;
    for (int line = 0; line < 40; ++line)
      lines.push_back(what + " part " + std::to_string(i) + ", line " + std::to_string(line) +
                      std::string(60, static_cast<char>('a' + i)));
    ok.push_back(testkit::Post(*base, "All", lines, "Marvex",
                               "[" + std::to_string(i) + "/" + std::to_string(parts) + "] " + what));
  }
  ok.push_back(CloseBase(base));
  return ok;
}

// Every message of the area as "subject|text", read by a fresh object.
std::vector<std::string> Messages(Env& env, const std::string& id) {
  std::unique_ptr<MessageBase> base;
  const AreaId area = ParseAreaId(Str(id));
  if (!MakeBase(area.type, base, env) || !base->OpenArea(area.path).ok()) return {"<area refused>"};
  std::vector<std::string> out;
  for (base->PositionFrom(1); base->IsPositioned(); base->StepForward())
    out.push_back(base->LoadMessage().ok() ? base->SubjectText().str() + "|" + TextOf(*base) : "<unreadable>");
  CloseBase(base);
  return out;
}

TEST(PostingFaults, EveryStepOfAPostingStoppedOrFailed) {
  // The type letter and the area in the scratch directory.
  const std::pair<const char*, const char*> formats[] = {{"M", "msg"}, {"J", "jam/echo"}, {"S", "sq/echo"}};
  TestEnv env;
  for (const auto& [letter, area] : formats) {
    // A clean run gives the parts as they read back and the number of steps.
    std::vector<std::string> earlier, parts;
    int steps = 0;
    {
      testkit::TempDir dir;
      const std::string id = letter + (dir / area);
      ASSERT_EQ(Post(env, id, 2, "Earlier"), std::vector<bool>(3, true));
      earlier = Messages(env, id);
      FaultPlan clean;
      {
        ScopedFaults counting(env, clean);
        ASSERT_EQ(Post(env, id, 3, "Rules"), std::vector<bool>(4, true));
      }
      steps = clean.steps;
      parts = Messages(env, id);
      ASSERT_EQ(parts.size(), 5u);
      parts.erase(parts.begin(), parts.begin() + 2);
    }
    for (Fault kind : {Fault::kStop, Fault::kFailOnce, Fault::kDiskFull}) {
#ifdef _WIN32
      if (kind == Fault::kStop) continue;  // a stop is a child process ending: fork()
#endif
      for (int at = 1; at <= steps; ++at) {
        const std::string where = std::string(letter) + " fault " + std::to_string(static_cast<int>(kind)) +
                                  " at step " + std::to_string(at);
        testkit::TempDir dir;
        const std::string id = letter + (dir / area);
        ASSERT_EQ(Post(env, id, 2, "Earlier"), std::vector<bool>(3, true));
        std::vector<bool> ok;
        FaultPlan plan{.kind = kind, .at = at};
        if (kind == Fault::kStop) {
#ifndef _WIN32
          const pid_t child = fork();
          if (child == 0) {
            ScopedFaults faults(env, plan);
            Post(env, id, 3, "Rules");
            _exit(1);  // the stop was never reached
          }
          int status = -1;
          ASSERT_EQ(waitpid(child, &status, 0), child);
          ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << where;
#endif
        } else {
          ScopedFaults faults(env, plan);
          ok = Post(env, id, 3, "Rules");
        }

        // Read afresh: the earlier messages unchanged, then only whole parts:
        // after a stop the ones stored before it, after a failure exactly
        // the ones reported stored.
        std::vector<std::string> want = earlier;
        for (std::size_t i = 0; i < parts.size(); ++i)
          if (kind != Fault::kStop && ok[i]) want.push_back(parts[i]);
        std::vector<std::string> seen = Messages(env, id);
        if (kind == Fault::kStop) {
          ASSERT_GE(seen.size(), earlier.size()) << where;
          for (std::size_t i = 0; i < seen.size() - earlier.size() && i < parts.size(); ++i) want.push_back(parts[i]);
        } else {
          // A failure that struck is reported: a store or the close says so.
          EXPECT_EQ(plan.hit, std::count(ok.begin(), ok.end(), false) > 0) << where;
        }
        EXPECT_EQ(seen, want) << where;
        // At most the file a stopped store was writing is left, and never
        // under a message's name; a failed store leaves nothing.
        const std::vector<std::string> names = testkit::ListDir(dir / area);
        EXPECT_LE(std::count_if(names.begin(), names.end(), [](const std::string& n) { return IsTempMsgFileName(n); }),
                  kind == Fault::kStop ? 1 : 0) << where;

        // The next posting goes in whole after them.
        EXPECT_EQ(Post(env, id, 1, "Next"), std::vector<bool>(2, true)) << where;
        seen = Messages(env, id);
        ASSERT_EQ(seen.size(), want.size() + 1) << where;
        EXPECT_EQ(seen.back().substr(0, 11), "[1/1] Next|") << where;
      }
    }
  }
}

// Older than an hour: a stopped run's; younger: another run writing now.
TEST(PostingFaults, AStrayTemporaryFileGoesWhenItIsOld) {
  testkit::TempDir dir;
  TestEnv env;
  ASSERT_EQ(Post(env, "M" + dir.path(), 1, "One"), std::vector<bool>(2, true));
  for (const char* name : {"~mvx0.$$$", "~MVX7.$$$"}) testkit::WriteFileText(dir / name, "partial");
  testkit::WriteFileText(dir / "~mvx.$$$", "not ours");
  const std::vector<std::string> all = testkit::ListDir(dir.path());
  ASSERT_EQ(Messages(env, "M" + dir.path()).size(), 1u);
  EXPECT_EQ(testkit::ListDir(dir.path()), all);
  const platform::LocalTime now = platform::Now();
  env.clock.Set(now.year + 1, now.month, std::min(now.day, 28), now.hour, now.minute, now.second);
  ASSERT_EQ(Messages(env, "M" + dir.path()).size(), 1u);
  EXPECT_EQ(testkit::ListDir(dir.path()), (std::vector<std::string>{testkit::Made("2.msg"), "~mvx.$$$"}));
}

#ifdef _WIN32
// The C library's files are text files here unless told otherwise, and it
// has no pwrite: the other maker seeks, then writes.
constexpr int kRawFile = O_BINARY;
int pwrite(int fd, const void* bytes, unsigned count, long offset) {
  return _lseek(fd, offset, SEEK_SET) < 0 ? -1 : _write(fd, bytes, count);
}
#else
constexpr int kRawFile = 0;
#endif

enum Action { kHeaderStart, kHeaderRest, kText, kIndex };

// Makes the files with exclusive creates, one action per step, pausing `lag`
// steps before the last. Its header (base number 100, a mark in the reserved
// bytes) goes in two writes, so we can find it cut short. Finding the .JHR
// taken, it leaves the area to whoever made it.
struct OtherMaker {
  std::string base;
  std::vector<Action> actions;
  int startAt = 0;
  int lag = 0;
  int steps = 0;
  std::size_t next = 0;
  bool gaveUp = false;
  bool madeHeader = false;

  // False when the rest of the header could not be written because we hold
  // the .JHR: on Windows our share mode keeps other writers out, and the
  // other program tries again at its next step, as a tosser would.
  bool Act(Action a) {
    std::uint8_t raw[kJamBaseHeaderSize];
    JamBaseHeader h = NewJamBaseHeader(1796533056);
    h.BaseNumber = 100;
    h.Reserved[0] = 'O';
    EncodeJamBaseHeader(h, raw);
    const char* ext = a == kText ? "jdt" : a == kIndex ? "jdx" : "jhr";
    const int fd = open((base + ext).c_str(), kRawFile | (a == kHeaderRest ? O_WRONLY : O_WRONLY | O_CREAT | O_EXCL), 0644);
    if (fd < 0 && a == kHeaderRest) return false;
    if (fd < 0 && a == kHeaderStart) gaveUp = true;
    if (fd >= 0 && a == kHeaderStart) madeHeader = pwrite(fd, raw, 500, 0) == 500;
    if (fd >= 0 && a == kHeaderRest) {
      EXPECT_EQ(pwrite(fd, raw + 500, 524, 500), 524);
    }
    if (fd >= 0) close(fd);
    return true;
  }
  void Step() {
    if (++steps < startAt || (next + 1 == actions.size() && lag-- > 0)) return;
    while (next < actions.size() && !gaveUp) {
      const Action a = actions[next++];
      if (a != kHeaderRest || madeHeader) {
        if (!Act(a)) --next;
        return;
      }
    }
  }
};
OtherMaker gOther;

// The other program takes a step at every open and directory scan of env.
void StepAtEveryLook(testkit::TestEnv& env) {
  env.openFile = [&env](const Str& name, std::uint16_t mode) {
    gOther.Step();
    return env.RealOpen(name, mode);
  };
  env.newScanner = [&env] {
    gOther.Step();
    return env.SystemEnv::NewDirScanner();
  };
}

bool PostOurs(Env& env, const std::string& area) {
  std::unique_ptr<MessageBase> base;
  if (!OpenOrCreateBase({AreaType::kJam, Str(area)}, base, env) || !base->BeginNewMessage().ok()) return false;
  base->PutSubject("ours");
  base->AppendTextLine("Hello");
  const bool stored = base->StoreMessage().ok();
  return CloseBase(base) && stored;
}

// The JAM waits for an area in the making are counted in hundredths of the
// test clock, which pass without sleeping.
class TwoCreators : public testkit::ScratchTest {
 protected:
  TwoCreators() { env_.openRetryMs = 200; }
};

TEST_F(TwoCreators, EveryInterleavingEndsInOneWholeArea) {
  const std::vector<Action> orders[] = {{kHeaderStart, kHeaderRest, kText, kIndex},
                                        {kHeaderStart, kHeaderRest, kIndex, kText},
                                        // Files first, the header finished last.
                                        {kHeaderStart, kText, kIndex, kHeaderRest}};
  // How many steps Marvex takes alone; the other program starts at each of
  // them and after the last one.
  int alone = 0;
  {
    testkit::TempDir dir;
    gOther = OtherMaker{};
    gOther.startAt = 1 << 30;
    StepAtEveryLook(env_);
    ASSERT_TRUE(PostOurs(env_, dir / "area"));
    alone = gOther.steps;
  }
  for (const std::vector<Action>& order : orders) {
    for (int start = 1; start <= alone + 1; ++start) {
      for (int lag : {0, 8}) {
        const std::string where = "order " + std::to_string(&order - orders) + " from step " + std::to_string(start) +
                                  " lag " + std::to_string(lag);
        testkit::TempDir dir;
        gOther = OtherMaker{dir / "area.", order, start, lag};
        StepAtEveryLook(env_);
        EXPECT_TRUE(PostOurs(env_, dir / "area")) << where;
        for (int i = 0; i < 4 + lag; ++i) gOther.Step();  // the other program goes on

        env_.openFile = nullptr;
        env_.newScanner = nullptr;
        // Which of the two made a file decides the case of its name on
        // Windows (ours are in capitals there): names compare folded.
        EXPECT_EQ(testkit::Folded(testkit::ListDir(dir.path())),
                  (std::vector<std::string>{"area.jdt", "area.jdx", "area.jhr", "area.jlr"})) << where;
        JamBase base(env_);
        ASSERT_TRUE(base.OpenArea(dir / "area").ok()) << where << " error " << ErrcNumber(base.ErrorCode());
        // Whoever made the .JHR, its header is the one in force.
        EXPECT_EQ(base.BaseHeader().BaseNumber, gOther.madeHeader ? 100u : 1u) << where;
        EXPECT_EQ(base.BaseHeader().Reserved[0], gOther.madeHeader ? 'O' : 0) << where;
        EXPECT_EQ(base.MessageCount(), 1) << where;
        ASSERT_TRUE(testkit::Load(base, static_cast<std::int32_t>(base.BaseHeader().BaseNumber))) << where;
        EXPECT_EQ(base.SubjectText(), "ours") << where;
      }
    }
  }
}

}  // namespace
}  // namespace mvx
