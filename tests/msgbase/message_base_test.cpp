// The common MessageBase: navigation by number, StampNow, the area flags, the
// outcome of operations and the attribute names of FLAGS lines.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "message_text_fixture.h"
#include "msgbase/attribute_names.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

// Supplies what navigation and StampNow ask for.
class TestBase : public texttest::PlainBase {
 public:
  explicit TestBase(Env& env = DefaultEnv()) : PlainBase(nullptr, env) {}
  std::set<std::int32_t> numbers{3, 5, 9};
  std::vector<DateTimeRec> dates;
  std::string order;
  std::int32_t HighestNumber() override { return numbers.empty() ? 0 : *numbers.rbegin(); }
  bool HasMessage(std::int32_t number) override { return numbers.count(number) != 0; }
  void PutWrittenDate(const DateTimeRec& d) override { order += 'W', dates.push_back(d); }
  void PutArrivedDate(const DateTimeRec& d) override { order += 'A', dates.push_back(d); }
  // LoadMessage sets failWith and failOs (when set), then fails or succeeds.
  Errc failWith = Errc::kNone;
  int failOs = 0;
  bool succeed = false;
  bool DoLoadMessage() override {
    if (failWith != Errc::kNone) SetErrorCode(failWith);
    NoteOsError(failOs);
    return succeed;
  }
};

TEST(Navigation, WalksMessagesThreeFiveNine) {
  TestBase base;
  const std::int32_t from[][2] = {{6, 9}, {10, 0}, {-5, 3}};
  for (const auto& f : from) {
    base.PositionFrom(f[0]);
    EXPECT_EQ(base.CurrentNumber(), f[1]) << f[0];
  }
  // The top of the number range ends the walk instead of wrapping.
  base.PositionByUid(INT32_MAX);
  base.StepForward();
  EXPECT_EQ(base.CurrentNumber(), 0);
  // HighestNumber is asked afresh: a message added during the walk is reached.
  base.PositionByUid(9);
  base.numbers.insert(12);
  base.StepForward();
  EXPECT_EQ(base.CurrentNumber(), 12);
}

TEST(StampNow, WrittenThenArrivedWithTheSameMoment) {
  testkit::TestEnv env;
  env.clock.Set(2026, 12, 6, 4, 57, 36, 120);
  TestBase base(env);
  base.StampNow();
  EXPECT_EQ(base.order, "WA");
  for (const DateTimeRec& d : base.dates) {
    const std::vector<int> got{d.Year, d.Month, d.Day, d.Hour, d.Minute, d.Second, d.Hundredths};
    EXPECT_EQ(got, (std::vector<int>{2026, 12, 6, 4, 57, 36, 12}));
  }
}

TEST(AreaFlags, KindAndMasks) {
  texttest::PlainBase base;
  base.ChangeAreaFlag(true, 0x100);  // a bit the kinds do not touch
  for (std::int32_t kind : {0, 1, 2, 3}) {
    base.SetAreaKind(kind);
    EXPECT_EQ(base.AreaFlags(), 0x100u | (kind < 3 ? 1u << kind : 0u)) << kind;
    EXPECT_EQ(base.HasAreaFlag(0x101), kind == 0);  // only when every bit is set
  }
}

// Each failure reports its own reason, or its operation's code when the
// format set none: it never reads as a success, nor carries an earlier
// failure's reason. A success leaves the last failure to be asked for.
TEST(Outcome, EachFailureSaysItsOwnReason) {
  TestBase base;
  base.failWith = Errc::kSquishBadFrame;
  base.failOs = 13;
  Error e = base.LoadMessage();
  EXPECT_EQ(e.code(), Errc::kSquishBadFrame);
  EXPECT_EQ(e.osError(), 13);
  e = base.StoreMessage();
  EXPECT_EQ(e.code(), Errc::kWriteFailed);
  EXPECT_EQ(e.osError(), 0);
  EXPECT_EQ(base.OpenArea("x").code(), Errc::kOpenFailed);
  base.succeed = true;
  base.failWith = Errc::kNone;
  base.failOs = 0;
  EXPECT_TRUE(base.LoadMessage().ok());
  EXPECT_EQ(base.ErrorCode(), Errc::kOpenFailed);
}

TEST(AttributeNamesTest, FlagsNamesToBits) {
  // Each name on its own gives its bit: a swap in the table would post with
  // the wrong attribute.
  const char* inOrder[] = {"pvt", "CRA", "Rcv", "snt", "Att", "trs", "Orp", "k/S",
                           "Loc", "HLD", "FRq", "rrq", "RRc", "arq", "URq", "sca"};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(ApplyFlagNames(inOrder[i]), 1 << i) << inOrder[i];
  const std::pair<const char*, std::int32_t> lists[] = {
      {"Pvt Loc", 0x0101}, {"pvt k/s", 0x0081}, {"Xyz", 0}, {"FLAGS", 0},  // a line holding only the keyword
      {"Pvt, Loc", 0x0100}, {"Pvt Pvt  pvt ", 0x0001}, {"", 0}};
  for (const auto& [list, bits] : lists) EXPECT_EQ(ApplyFlagNames(list), bits) << list;
}

}  // namespace
}  // namespace mvx
