// Two programs creating one JAM area at once, interleaved at every step of ours.
#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "factory/base_factory.h"
#include "jam/jam_base.h"
#include "msgbase/env.h"
#include "testkit/messages.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

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
