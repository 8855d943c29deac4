// Helpers for the *.MSG base tests: a scratch area directory, message files
// written byte by byte, and a stream whose writes fail on demand.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "msgbase/file_hooks.h"
#include "msgdir/msgdir_base.h"
#include "testkit/testkit.h"

namespace mvx::msgdirtest {

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

// The whole text buffer of a base; the text position is left where it was.
inline std::string TextOf(MessageBase& base) {
  if (base.TextBuffer() == nullptr) return std::string();
  const std::int32_t pos = base.TextOffset();
  std::string bytes(static_cast<std::size_t>(base.TextLength()), '\0');
  base.MoveTextTo(0);
  base.TextBuffer()->ReadAll(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  base.MoveTextTo(pos);
  return bytes;
}

// A stream whose writes start failing once a budget of bytes is used up (the
// disk or the memory filling up). Everything else passes to the real stream.
class FailingWriteStream final : public DataStream {
 public:
  FailingWriteStream(std::unique_ptr<DataStream> inner, std::int64_t budget)
      : DataStream(inner->Mode(), inner->Name()), inner_(std::move(inner)), budget_(budget) {
    status_ = inner_->Status();
  }
  void WriteBytes(const void* buffer, std::uint16_t count) override {
    if (status_ == kStreamOk && count > budget_) status_ = kStreamShortWrite;
    if (status_ != kStreamOk) return;
    budget_ -= count;
    inner_->WriteBytes(buffer, count);
  }
  void ReadBytes(void* buffer, std::uint16_t count) override { inner_->ReadBytes(buffer, count); }
  // Like any stream, one that has failed does nothing more until cleared.
  void SeekTo(std::int32_t offset) override {
    if (status_ == kStreamOk) inner_->SeekTo(offset);
  }
  std::int32_t Position() override { return inner_->Position(); }
  std::int32_t Size() override { return inner_->Size(); }
  void Flush() override { inner_->Flush(); }
  void TruncateHere() override {
    if (status_ == kStreamOk) inner_->TruncateHere();
  }
  void ClearError() override { status_ = kStreamOk; }

 private:
  std::unique_ptr<DataStream> inner_;
  std::int64_t budget_;
};

class MsgDirTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallFileHooks(); }
  void TearDown() override { InstallFileHooks(); }

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
    auto base = std::make_unique<MsgDirBase>();
    EXPECT_TRUE(base->OpenArea(dir_.path()));
    return base;
  }

  testkit::TempDir dir_;
};

}  // namespace mvx::msgdirtest
