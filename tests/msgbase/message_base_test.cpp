// The common MessageBase: operations left to the formats stop the program,
// navigation by number, StampNow and the area flags.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "msgbase/message_base.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

// Supplies just what navigation asks for, and counts the questions so that
// the tests can see they are asked afresh on each step.
class NumberedBase : public MessageBase {
 public:
  std::set<std::int32_t> numbers;
  int highestCalls = 0;
  std::vector<std::int32_t> asked;

  std::int32_t HighestNumber() override {
    ++highestCalls;
    return numbers.empty() ? 0 : *numbers.rbegin();
  }
  bool HasMessage(std::int32_t number) override {
    asked.push_back(number);
    return numbers.count(number) != 0;
  }
};

// Records the dates it is given, in order.
class DatedBase : public MessageBase {
 public:
  std::vector<std::string> calls;
  DateTimeRec written, arrived;
  void PutWrittenDate(const DateTimeRec& d) override {
    calls.push_back("written");
    written = d;
  }
  void PutArrivedDate(const DateTimeRec& d) override {
    calls.push_back("arrived");
    arrived = d;
  }
};

TEST(MessageBaseDeathTest, OpenOperationsStopWithError217) {
  MessageBase base;
  EXPECT_DEATH(base.OpenArea("x"), "217.*OpenArea");
  EXPECT_DEATH(base.CreateArea("x"), "217.*CreateArea");
  EXPECT_DEATH(base.CloseArea(), "217.*CloseArea");
  EXPECT_DEATH(base.HasMessage(1), "217.*HasMessage");
  EXPECT_DEATH(base.LoadMessage(), "217.*LoadMessage");
  EXPECT_DEATH(base.FromName(), "217.*FromName");
  EXPECT_DEATH(base.ChangeAttribute(true, kAttrLocal), "217.*ChangeAttribute");
  EXPECT_DEATH(base.StoreMessage(), "217.*StoreMessage");
  EXPECT_DEATH(base.BeginNewMessage(), "217.*BeginNewMessage");
  EXPECT_DEATH(base.WriteLastRead(0, 1), "217.*WriteLastRead");
  // Navigation and StampNow reach open operations on a plain base.
  EXPECT_DEATH(base.StepForward(), "217.*HighestNumber");
  EXPECT_DEATH(base.StampNow(), "217.*PutWrittenDate");
}

TEST(Navigation, WalksExistingNumbersBothWays) {
  NumberedBase base;
  base.numbers = {3, 5, 9};
  base.PositionFrom(1);
  EXPECT_EQ(base.CurrentNumber(), 3);
  EXPECT_TRUE(base.IsPositioned());
  base.StepForward();
  EXPECT_EQ(base.CurrentNumber(), 5);
  base.StepForward();
  EXPECT_EQ(base.CurrentNumber(), 9);
  base.StepForward();
  EXPECT_EQ(base.CurrentNumber(), 0);
  EXPECT_FALSE(base.IsPositioned());

  base.SetCurrentNumber(9);
  base.StepBack();
  EXPECT_EQ(base.CurrentNumber(), 5);
  base.StepBack();
  EXPECT_EQ(base.CurrentNumber(), 3);
  base.StepBack();
  EXPECT_EQ(base.CurrentNumber(), 0);
}

TEST(Navigation, EdgesOfTheNumberRange) {
  NumberedBase base;
  base.numbers = {1, 3, 5, 9};
  base.PositionFrom(6);
  EXPECT_EQ(base.CurrentNumber(), 9);
  base.PositionFrom(10);
  EXPECT_EQ(base.CurrentNumber(), 0);
  base.SetCurrentNumber(1);
  base.StepBack();
  EXPECT_EQ(base.CurrentNumber(), 0);
  // From "no message" StepBack stays at none and asks nothing.
  base.asked.clear();
  base.StepBack();
  EXPECT_EQ(base.CurrentNumber(), 0);
  EXPECT_TRUE(base.asked.empty());
  // Numbers below 1 start the walk at 1.
  base.PositionFrom(-5);
  EXPECT_EQ(base.CurrentNumber(), 1);
  EXPECT_EQ(base.asked, (std::vector<std::int32_t>{1}));
  // The top of the number range ends the walk instead of wrapping.
  base.numbers.insert(INT32_MAX);
  base.SetCurrentNumber(INT32_MAX);
  base.StepForward();
  EXPECT_EQ(base.CurrentNumber(), 0);
}

TEST(Navigation, HighestNumberIsAskedOnEveryStep) {
  NumberedBase base;
  base.numbers = {2, 4};
  base.PositionFrom(1);
  EXPECT_EQ(base.CurrentNumber(), 2);
  EXPECT_EQ(base.highestCalls, 2);  // for 1 and for 2
  // A message added during the walk is reached.
  base.SetCurrentNumber(4);
  base.numbers.insert(7);
  base.highestCalls = 0;
  base.StepForward();
  EXPECT_EQ(base.CurrentNumber(), 7);
  EXPECT_EQ(base.highestCalls, 3);  // 5, 6, 7
}

TEST(StampNow, WrittenThenArrivedWithTheSameMoment) {
  testkit::ScopedClock clock(2026, 12, 6, 4, 57, 36, 120);
  DatedBase base;
  base.StampNow();
  EXPECT_EQ(base.calls, (std::vector<std::string>{"written", "arrived"}));
  EXPECT_EQ(base.written.Year, 2026);
  EXPECT_EQ(base.written.Month, 12);
  EXPECT_EQ(base.written.Day, 6);
  EXPECT_EQ(base.written.Hour, 4);
  EXPECT_EQ(base.written.Minute, 57);
  EXPECT_EQ(base.written.Second, 36);
  EXPECT_EQ(base.written.Hundredths, 12);
  EXPECT_EQ(base.arrived.Year, base.written.Year);
  EXPECT_EQ(base.arrived.Day, base.written.Day);
  EXPECT_EQ(base.arrived.Second, base.written.Second);
  EXPECT_EQ(base.arrived.Hundredths, base.written.Hundredths);
}

TEST(AreaFlags, KindAndMasks) {
  MessageBase base;
  EXPECT_EQ(base.AreaFlags(), 0u);
  base.ChangeAreaFlag(true, 0x100);
  base.SetAreaKind(0);
  EXPECT_EQ(base.AreaFlags(), 0x101u);
  base.SetAreaKind(1);
  EXPECT_EQ(base.AreaFlags(), 0x102u);
  base.SetAreaKind(2);
  EXPECT_EQ(base.AreaFlags(), 0x104u);
  base.SetAreaKind(3);
  EXPECT_EQ(base.AreaFlags(), 0x100u);

  base.ChangeAreaFlag(true, kAreaNetmail);
  EXPECT_FALSE(base.HasAreaFlag(0x3));
  base.ChangeAreaFlag(true, kAreaEchomail);
  EXPECT_TRUE(base.HasAreaFlag(0x3));
  base.ChangeAreaFlag(false, 0x101);
  EXPECT_EQ(base.AreaFlags(), 0x2u);
  EXPECT_TRUE(base.HasAreaFlag(0));
}

}  // namespace
}  // namespace mvx
