#include "testkit/messages.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace mvx::testkit {

bool Post(MessageBase& base, const std::string& to, const std::vector<std::string>& lines,
          const std::string& from, const std::string& subject) {
  if (!base.BeginNewMessage().ok()) return false;
  base.PutFromName(from);
  base.PutToName(to);
  base.PutSubject(subject);
  for (const std::string& l : lines) base.AppendTextLine(l);
  const bool ok = base.StoreMessage().ok();
  base.ReleaseMessage().Ignore();
  return ok;
}

std::string TextOf(MessageBase& base) {
  if (base.TextBuffer() == nullptr) return std::string();
  const std::int32_t pos = base.TextOffset();
  std::string bytes(static_cast<std::size_t>(base.TextLength()), '\0');
  base.MoveTextTo(0);
  base.TextBuffer()->ReadAll(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  base.MoveTextTo(pos);
  return bytes;
}

bool Load(MessageBase& base, std::int32_t n, bool headerOnly) {
  base.PositionFrom(n);
  return base.CurrentNumber() == n && (headerOnly ? base.LoadHeaderAndKludges().ok() : base.LoadMessage().ok());
}

std::vector<std::string> LinesOf(MessageBase& base) {
  std::vector<std::string> lines;
  std::string line;
  for (base.MoveTextTo(0); !base.AtTextEnd(); lines.push_back(line)) base.ReadTextLine(line);
  return lines;
}

std::vector<std::int32_t> Walk(MessageBase& base, std::int32_t from, bool back) {
  std::vector<std::int32_t> seen;
  for (base.PositionFrom(from); base.IsPositioned(); back ? base.StepBack() : base.StepForward()) {
    seen.push_back(base.CurrentNumber());
  }
  return seen;
}

std::string DateText(const DateTimeRec& d) {
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", d.Year, d.Month, d.Day, d.Hour, d.Minute, d.Second);
  return text;
}

std::string LoadText(MessageBase& base, std::int32_t n) {
  base.PositionByUid(n);
  EXPECT_TRUE(base.LoadMessage().ok()) << "message " << n << " error " << std::hex << ErrcNumber(base.ErrorCode());
  return TextOf(base);
}

}  // namespace mvx::testkit
