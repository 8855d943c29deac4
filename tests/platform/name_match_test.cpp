#include "platform/common/name_match.h"

#include <gtest/gtest.h>

#include <string>

namespace mvx::platform::common {
namespace {

TEST(MatchesMaskTest, WildcardsIgnoringAsciiCase) {
  const std::string stars(200, '*'), a255(255, 'a');
  const struct {
    std::string mask, name;
    bool match;
  } cases[] = {
      {"*.MSG", "12.msg", true},        {"*.MSG", "1.msg.bak", false},
      {"?.msg", "7.MSG", true},         {"?.msg", "17.MSG", false},
      {"a*b*c", "aXXbYYbZc", true},     {"a*b*c", "aXXbYYbZ", false},
      {"*.*", "lastread", true},        {"LASTREAD.*", "lastread", true},  // names without a dot
      {"LASTREAD.*", "lastrea", false}, {"EVERYDAY.FLG", "everyday.flgx", false},
      {"\xC0*", "\xC0x", true},         {"\xE0*", "\xC0x", false},  // bytes above 127 exactly
      {"@", "`", false},                                            // 0x40 and 0x60: no letters
      {stars + "b", a255 + "b", true},  {stars + "b", a255, false},  // hostile masks finish
  };
  for (const auto& c : cases) EXPECT_EQ(MatchesMask(c.mask, c.name), c.match) << c.mask << " / " << c.name;
}

}  // namespace
}  // namespace mvx::platform::common
