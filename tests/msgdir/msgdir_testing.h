// Helpers for the *.MSG base tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "msgbase/env.h"
#include "msgdir/msgdir_base.h"
#include "testkit/faults.h"
#include "testkit/messages.h"
#include "testkit/testkit.h"

namespace mvx::msgdirtest {

using namespace testkit;

// A message file as another program would write it: a 190-byte header with
// the given from name and subject, the text and a NUL.
inline std::vector<std::uint8_t> MsgFileBytes(const std::string& from, const std::string& subject,
                                              const std::string& text) {
  std::vector<std::uint8_t> bytes(190 + text.size() + 1, 0);
  std::copy(from.begin(), from.end(), bytes.begin());
  std::copy(subject.begin(), subject.end(), bytes.begin() + 72);
  std::copy(text.begin(), text.end(), bytes.begin() + 190);
  return bytes;
}

class MsgDirTest : public testkit::ScratchTest {
 protected:
  std::string Path(const std::string& name) const { return dir_ / name; }
  void PutFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    testkit::WriteFileBytes(Path(name), bytes);
  }
  // Messages with the body "Body\r" (196 bytes), each subject naming its file.
  void PutMessages(const std::vector<std::string>& names) {
    for (const std::string& name : names) PutFile(name, MsgFileBytes("A", "Subject of " + name, "Body\r"));
  }
  std::vector<std::string> Names() const { return testkit::ListDir(dir_.path()); }
  std::unique_ptr<MsgDirBase> Open() {
    auto base = std::make_unique<MsgDirBase>(env_);
    EXPECT_TRUE(base->OpenArea(dir_.path()).ok());
    return base;
  }
};

}  // namespace mvx::msgdirtest
