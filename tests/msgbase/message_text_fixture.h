// The text-layer tests read literal bytes through a plain MessageBase.
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

// A base of type B whose text buffer holds exactly these bytes, at offset 0,
// made with env.
template <typename B = MessageBase>
std::unique_ptr<B> ReaderOver(std::string_view bytes, Env& env = DefaultEnv()) {
  std::unique_ptr<DataStream> stream = DefaultEnv().NewMemoryStream(65536);
  stream->WriteAll(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  stream->SeekTo(0);
  return std::make_unique<B>(std::move(stream), env);
}

}  // namespace mvx::texttest
