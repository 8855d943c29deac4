// A posting stopped (a real process end) or failed at every step that changes a file.
#ifndef _WIN32
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

#include "factory/base_factory.h"
#include "msgbase/env.h"
#include "msgdir/msg_file_names.h"
#include "testkit/faults.h"
#include "testkit/messages.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using namespace testkit;

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

}  // namespace
}  // namespace mvx
