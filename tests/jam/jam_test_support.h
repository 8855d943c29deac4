// Helpers shared by the JAM tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "jam/jam_base.h"
#include "msgbase/env.h"
#include "msgbase/file_stream.h"
#include "support/le_bytes.h"
#include "testkit/faults.h"
#include "testkit/messages.h"
#include "testkit/testkit.h"

namespace mvx::jamtest {

using namespace testkit;

// The area is "<dir>/area".
class AreaFixture : public testkit::ScratchTest {
 protected:
  std::string area() const { return dir_ / "area"; }
  std::string file(const char* ext) const { return dir_ / (std::string("area.") + ext); }
  void RemoveArea() const {
    for (const char* ext : {"jhr", "jdx", "jdt", "jlr"}) std::remove(file(ext).c_str());
  }
  std::unique_ptr<JamBase> Open(bool create = false) {
    auto base = std::make_unique<JamBase>(env_);
    EXPECT_TRUE(create ? base->CreateArea(area()).ok() : base->OpenArea(area()).ok()) << std::hex << ErrcNumber(base->ErrorCode());
    return base;
  }
};

// The 1024-byte base header of an area made at the test clock's time.
inline Bytes NewAreaHeader() {
  Bytes h{0x4A, 0x41, 0x4D, 0x00, 0x40, 0xEB, 0x14, 0x6B, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0};
  h.resize(1024, 0);  // reserved
  return h;
}

// An area holding one message per body, closed.
inline void MakeArea(Env& env, const std::string& area, const std::vector<std::string>& bodies) {
  JamBase base(env);
  ASSERT_TRUE(base.CreateArea(area).ok());
  for (const std::string& b : bodies) ASSERT_TRUE(Post(base, "All", {b}));
  ASSERT_TRUE(base.CloseArea().ok());
}

}  // namespace mvx::jamtest
