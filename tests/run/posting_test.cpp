#include "run/posting.h"

#include <gtest/gtest.h>

#include <sstream>

#include "msgbase/data_stream.h"
#include "msgbase/file_hooks.h"
#include "run/config_reader.h"
#include "run/run_context.h"
#include "run_test_support.h"
#include "testkit/testkit.h"

namespace mvx {
namespace {

using runtest::LogEntries;
using runtest::MsgFile;
using runtest::MsgFilesIn;
using runtest::ReadMsg;
using runtest::TextLines;

// A *.MSG file that refuses every write (a full disk), or that could not be
// created at all (then nothing is created on disk either).
class BrokenStream : public DataStream {
 public:
  BrokenStream(std::unique_ptr<DataStream> inner, std::int32_t mode, const Str& name,
               std::int32_t status)
      : DataStream(mode, name), inner_(std::move(inner)) {
    status_ = status;
  }
  void ReadBytes(void* buffer, std::uint16_t count) override { inner_->ReadBytes(buffer, count); }
  void WriteBytes(const void*, std::uint16_t) override { status_ = kStreamShortWrite; }
  void SeekTo(std::int32_t offset) override { inner_->SeekTo(offset); }
  std::int32_t Position() override { return inner_->Position(); }
  std::int32_t Size() override { return inner_->Size(); }
  void Flush() override {}
  void TruncateHere() override {}
  void ClearError() override { status_ = kStreamOk; }

 private:
  std::unique_ptr<DataStream> inner_;
};

bool IsMsgName(const Str& name) {
  const std::string n(name.view());
  return n.size() > 4 && (n.ends_with(".msg") || n.ends_with(".MSG"));
}

bool gFailOpen = false;

std::unique_ptr<DataStream> BrokenMsgFiles(const Str& name, std::uint16_t mode) {
  if (!IsMsgName(name)) return RealFileHooks().openFileStream(name, mode);
  if (gFailOpen) {
    return std::make_unique<BrokenStream>(RealFileHooks().newMemoryStream(0), mode, name,
                                          kStreamOpenError);
  }
  std::unique_ptr<DataStream> s = RealFileHooks().openFileStream(name, mode);
  if (s == nullptr) return s;
  const std::int32_t status = s->Status();
  return std::make_unique<BrokenStream>(std::move(s), mode, name, status);
}

class PostingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetJob(ctx_);
    ctx_.Job.BaseType = "M";
    ctx_.Job.BasePath = "area";
    ctx_.Job.AreaTag = "NET.TALK";
    ctx_.Job.FromAddr = FidoAddress{2, 5020, 1, 0};
    ctx_.Job.SubjLine = "Subject";
    ctx_.Job.PostFile = "post.txt";
  }
  void Post(const std::string& text) {
    testkit::WriteFileText(dir_ / "post.txt", text);
    PreparePosting(ctx_);
    WriteMessages(ctx_);
  }
  std::vector<MsgFile> Messages() {
    std::vector<MsgFile> out;
    for (const std::string& p : MsgFilesIn(dir_ / "area")) out.push_back(ReadMsg(p));
    return out;
  }
  std::vector<std::string> Log() const { return LogEntries(console_.str()); }

  testkit::TempDir dir_;
  testkit::ScopedCurrentDir cd_{dir_.path()};
  testkit::ScopedClock clock_{2026, 12, 6, 4, 57, 36};
  std::ostringstream console_;
  RunContext ctx_{console_};
};

TEST_F(PostingTest, LastLineOfDotsGetsNoEmptyLineBeforeTheTearLine) {
  Post("First\r\n...\r\n");
  const auto msgs = Messages();
  ASSERT_EQ(msgs.size(), 1u);
  const auto lines = TextLines(msgs[0].text);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[1], "\x01PID: Marvex 2.2Alpha");
  EXPECT_EQ(lines[2], "First");
  EXPECT_EQ(lines[3], "...");
  EXPECT_EQ(lines[4], "--- ");
  EXPECT_EQ(lines[5], " * Origin: Autoposted message (2:5020/1)");
  EXPECT_EQ(msgs[0].subject, "Subject");
}

TEST_F(PostingTest, BinaryBytesLongLinesAndNoFinalLineEnd) {
  // A 0 byte ends what is written of its line; bytes above 127 and control
  // bytes pass; a line of 600 characters keeps its first 255; the last line
  // needs no line end.
  Post(std::string("ab\0cd\r\n\x01\xff\x7f\t\r\n", 13) + std::string(600, 'L') + "\r\nend");
  const auto msgs = Messages();
  ASSERT_EQ(msgs.size(), 1u);
  const auto lines = TextLines(msgs[0].text);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[2], "ab");
  EXPECT_EQ(lines[3], "\x01\xff\x7f\t");
  EXPECT_EQ(lines[4], std::string(255, 'L'));
  EXPECT_EQ(lines[5], "end");
  EXPECT_EQ(lines[6], "");
}

TEST_F(PostingTest, EmptyFileWritesNoMessageButOpensAndClosesTheBase) {
  Post("");
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Log(), (std::vector<std::string>{" >> Posting post.txt to NET.TALK",
                                             " >> From: Sysop, 2:5020/1", "  - Ok..."}));
  EXPECT_EQ(ctx_.Base, nullptr);
}

TEST_F(PostingTest, EveryFlagsBitIsSetBesidesLocal) {
  ctx_.Job.AttrFlags = 0x0081;  // Pvt K/s
  Post("a\n");
  ctx_.Job.AttrFlags = 0;  // a common FLAGS 0: Local alone
  Post("b\n");
  // FRq has another stored bit in *.MSG; Sca cannot be stored there at all.
  ctx_.Job.AttrFlags = 0x0400 | 0x8000;
  Post("c\n");
  const auto msgs = Messages();
  ASSERT_EQ(msgs.size(), 3u);
  EXPECT_EQ(msgs[0].attributes, 0x0181);
  EXPECT_EQ(msgs[1].attributes, 0x0100);
  EXPECT_EQ(msgs[2].attributes, 0x0900);
}

TEST_F(PostingTest, AnnouncedPartsAreThePartsReallyWritten) {
  // 100 lines of 399 characters: 40000 bytes, but each line is cut to 255
  // and counts 257, so two parts, not three.
  std::string text;
  for (int i = 0; i < 100; ++i) text += std::string(399, static_cast<char>('A' + i % 26)) + "\n";
  ASSERT_EQ(text.size(), 40000u);
  Post(text);
  const auto msgs = Messages();
  ASSERT_EQ(msgs.size(), 2u);
  EXPECT_EQ(msgs[0].subject, "[1/2] Subject");
  EXPECT_EQ(msgs[1].subject, "[2/2] Subject");
  // 63 lines of 257 fit into 16384.
  const auto first = TextLines(msgs[0].text);
  EXPECT_EQ(first.size(), 2u + 63u + 3u);
  EXPECT_EQ(first[2], std::string(255, 'A'));
  const auto second = TextLines(msgs[1].text);
  EXPECT_EQ(second[2], std::string(255, static_cast<char>('A' + 63 % 26)));
  EXPECT_EQ(second.size(), 2u + 37u + 3u);
}

TEST(CountMessagePartsTest, CountsByLineLengthPlusTwo) {
  testkit::TempDir dir;
  auto count = [&](const std::string& text) {
    testkit::WriteFileText(dir / "f.txt", text);
    return CountMessageParts(Str(dir / "f.txt"));
  };
  std::string exact;
  for (int i = 0; i < 204; ++i) exact += std::string(78, 'x') + "\r\n";
  exact += std::string(62, 'y') + "\r\n";
  ASSERT_EQ(exact.size(), 16384u);
  EXPECT_EQ(count(exact), 1);
  exact.insert(0, "z");
  EXPECT_EQ(count(exact), 2);
  // LF line ends: 16000 bytes, but 1600 lines counted 11 each.
  std::string lf;
  for (int i = 0; i < 1600; ++i) lf += "123456789\n";
  EXPECT_EQ(count(lf), 2);
  EXPECT_EQ(count(""), 0);
  EXPECT_EQ(count("no line end"), 1);
  EXPECT_EQ(CountMessageParts(Str(dir / "missing.txt")), 0);
}

class BrokenFilesPostingTest : public PostingTest {
 protected:
  void SetUp() override {
    PostingTest::SetUp();
    saved_ = SetFileHooks(FileHooks{BrokenMsgFiles, RealFileHooks().newMemoryStream,
                                    RealFileHooks().newDirScanner});
    ctx_.HooksInstalled = true;
  }
  void TearDown() override {
    SetFileHooks(saved_);
    gFailOpen = false;
  }
  FileHooks saved_{};
};

TEST_F(BrokenFilesPostingTest, MessageThatCannotBeStoredIsReportedAndTheNextPartIsTried) {
  Post(runtest::NumberedText(20000));
  EXPECT_EQ(Log(), (std::vector<std::string>{
                       " >> Posting post.txt to NET.TALK", " >> From: Sysop, 2:5020/1",
                       "   -> [1/2]", "[err] Unable to write message",
                       "   -> [2/2]", "[err] Unable to write message", "  - Ok..."}));
  EXPECT_FALSE(ctx_.PostingOk);
}

TEST_F(BrokenFilesPostingTest, MessageThatCannotBeStartedStopsThePosting) {
  gFailOpen = true;
  Post(runtest::NumberedText(40000));
  EXPECT_EQ(Log(), (std::vector<std::string>{" >> Posting post.txt to NET.TALK",
                                             " >> From: Sysop, 2:5020/1",
                                             "[err] Unable to create new message", "  - Ok..."}));
  EXPECT_EQ(ctx_.Base, nullptr);
}

TEST_F(PostingTest, BaseIsReleasedWhenThePostingStopsEarly) {
  ctx_.Job.PostFile = "missing.txt";
  PreparePosting(ctx_);
  ASSERT_NE(ctx_.Base, nullptr);  // the area itself was opened
  WriteMessages(ctx_);
  EXPECT_EQ(ctx_.Base, nullptr);
  EXPECT_EQ(Log(), (std::vector<std::string>{" >> Posting missing.txt to NET.TALK",
                                             " >> From: Sysop, 2:5020/1",
                                             "[err] File not found \"missing.txt\"",
                                             "[err] We can't make posting..."}));
}

TEST_F(PostingTest, MissingTypeLetterGivesNoBase) {
  // A path beginning with "m" must not be taken for a *.MSG area "sgs".
  ctx_.Job.BaseType = "";
  ctx_.Job.BasePath = "msgs";
  Post("x\n");
  EXPECT_FALSE(testkit::PathExists(dir_ / "sgs"));
  EXPECT_EQ(Log(), (std::vector<std::string>{"[err] Unable to open/create msgbase \"msgs\"",
                                             "[err] We can't make posting..."}));
}

TEST_F(PostingTest, HooksAreInstalledOnceAndMarkingFollowsUseAsKludge) {
  ctx_.UseAsKludge = false;
  Post("x\n");
  EXPECT_TRUE(ctx_.HooksInstalled);
  EXPECT_EQ(ctx_.EndEncodedString, "text.end");
  ctx_.UseAsKludge = true;
  Post("x\n");
  EXPECT_EQ(ctx_.EndEncodedString, "\x01text.end");
}

}  // namespace
}  // namespace mvx
