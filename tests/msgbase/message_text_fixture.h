// A base without a format, over literal text bytes.
#pragma once

#include <memory>
#include <string_view>

#include "msgbase/env.h"
#include "msgbase/message_base.h"
#include "testkit/faults.h"
#include "testkit/messages.h"

namespace mvx::texttest {

using testkit::LinesOf;
using testkit::TextOf;

// Every format operation does nothing and fails; the uid is the number.
class PlainBase : public MessageBase {
 public:
  explicit PlainBase(std::unique_ptr<DataStream> text = nullptr, Env& env = DefaultEnv()) : MessageBase(env) {
    AttachTextBuffer(std::move(text));
  }
  bool DoOpenArea(const Str&) override { return false; }
  bool DoCreateArea(const Str&) override { return false; }
  bool AreaExists(const Str&) override { return false; }
  bool DoCloseArea() override { return false; }
  bool HasMessage(std::int32_t) override { return false; }
  std::int32_t HighestNumber() override { return 0; }
  std::int32_t MessageCount() override { return 0; }
  std::int32_t CurrentUid() override { return CurrentNumber(); }
  void PositionByUid(std::int32_t uid) override { SetCurrentNumber(uid); }
  bool DoBeginNewMessage() override { return false; }
  bool DoLoadMessage() override { return false; }
  bool DoLoadHeaderAndKludges() override { return false; }
  bool DoStoreMessage() override { return false; }
  bool DoStoreHeaderOnly() override { return false; }
  bool DoReleaseMessage() override { return false; }
  bool DoDeleteMessage() override { return false; }
  Str FromName() override { return {}; }
  Str ToName() override { return {}; }
  Str SubjectText() override { return {}; }
  void PutFromName(const Str&) override {}
  void PutToName(const Str&) override {}
  void PutSubject(const Str&) override {}
  bool HasAttribute(std::int32_t) override { return false; }
  void ChangeAttribute(bool, std::int32_t) override {}
  void ReadWrittenDate(DateTimeRec&) override {}
  void ReadArrivedDate(DateTimeRec&) override {}
  void PutWrittenDate(const DateTimeRec&) override {}
  void PutArrivedDate(const DateTimeRec&) override {}
  std::int32_t ReadLastRead(std::int32_t) override { return 0; }
  void WriteLastRead(std::int32_t, std::int32_t) override {}
};

// A base of type B whose text buffer holds exactly these bytes, at offset 0,
// made with env. The text is a real memory stream whatever env makes, so that
// a test's env may fail only the streams the base makes for itself.
template <typename B = PlainBase>
std::unique_ptr<B> ReaderOver(std::string_view bytes, Env& env = DefaultEnv()) {
  std::unique_ptr<DataStream> stream = DefaultEnv().NewMemoryStream(65536);
  stream->WriteAll(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  stream->SeekTo(0);
  return std::make_unique<B>(std::move(stream), env);
}

}  // namespace mvx::texttest
