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
  std::vector<std::uint8_t> bytes(190, 0);
  for (std::size_t i = 0; i < from.size() && i < 35; ++i) bytes[i] = static_cast<std::uint8_t>(from[i]);
  for (std::size_t i = 0; i < subject.size() && i < 71; ++i) {
    bytes[72 + i] = static_cast<std::uint8_t>(subject[i]);
  }
  bytes.insert(bytes.end(), text.begin(), text.end());
  bytes.push_back(0);
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

class MsgDirTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallFileHooks(); }
  void TearDown() override { InstallFileHooks(); }

  std::string Path(const std::string& name) const { return dir_ / name; }
  void PutFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    testkit::WriteFileBytes(Path(name), bytes);
  }
  void PutMessage(const std::string& name, const std::string& from = "Someone") {
    PutFile(name, MsgFileBytes(from, "Subject of " + name, "Body of " + name + "\r"));
  }
  std::vector<std::string> Names() const { return testkit::ListDir(dir_.path()); }

  testkit::TempDir dir_;
};

// A file stream whose writes start failing once a budget of bytes is used up
// (the disk filling up). Everything else passes to the real stream.
class FailingWriteStream final : public DataStream {
 public:
  FailingWriteStream(std::unique_ptr<DataStream> inner, std::int64_t budget)
      : DataStream(inner->Mode(), inner->Name()), inner_(std::move(inner)), budget_(budget) {
    status_ = inner_->Status();
  }
  void ReadBytes(void* buffer, std::uint16_t count) override {
    inner_->ReadBytes(buffer, count);
    Sync();
  }
  void WriteBytes(const void* buffer, std::uint16_t count) override {
    if (status_ != kStreamOk) return;
    if (count > budget_) {
      status_ = kStreamShortWrite;
      return;
    }
    budget_ -= count;
    inner_->WriteBytes(buffer, count);
    Sync();
  }
  void SeekTo(std::int32_t offset) override {
    inner_->SeekTo(offset);
    Sync();
  }
  std::int32_t Position() override { return inner_->Position(); }
  std::int32_t Size() override { return inner_->Size(); }
  void Flush() override { inner_->Flush(); }
  void TruncateHere() override {
    inner_->TruncateHere();
    Sync();
  }
  void ClearError() override {
    inner_->ClearError();
    status_ = kStreamOk;
  }

 private:
  void Sync() {
    if (status_ == kStreamOk) status_ = inner_->Status();
  }
  std::unique_ptr<DataStream> inner_;
  std::int64_t budget_;
};

}  // namespace mvx::msgdirtest
