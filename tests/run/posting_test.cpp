// Posting a file.
#include "run/posting.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "msgbase/env.h"
#include "msgbase/file_stream.h"
#include "run/job_settings.h"
#include "run_test_support.h"

namespace mvx {
namespace {

using runtest::IsMsgId;
using runtest::Lines;

class PostingTest : public runtest::RunTest {
 protected:
  void SetUp() override {
    ResetJob(ctx_);
    ctx_.Job.Area = {AreaType::kMsgDir, "area"};
    ctx_.Job.AreaTag = "NET.TALK";
    ctx_.Job.FromAddr = FidoAddress{2, 5020, 1, 0};
    ctx_.Job.SubjLine = "Subject";
    ctx_.Job.PostFile = "post.txt";
  }
  void Post(const std::string& text) {
    Write("post.txt", text);
    PreparePosting(ctx_);
    WriteMessages(ctx_);
  }
  Lines Log() const { return runtest::Entries(out_.str()); }
  // The log after the five lines that announce the posting (their words:
  // ScheduledRunTest.PostsIntoMsgAreaFoundThroughHptPath).
  Lines AfterAnnounce() const {
    const Lines all = Log();
    return all.size() < 5 ? all : Lines(all.begin() + 5, all.end());
  }
  std::ostringstream out_;
  RunContext ctx_{out_, env_};
};

TEST_F(PostingTest, TextFileRulesInTheBody) {
  Post("First\r\n...\r\n");  // no empty line before the tear line
  // A 0 byte ends what is written of its line; bytes above 127 and control
  // bytes pass; a long line keeps its first 255; the last line needs no end.
  Post(std::string("ab\0cd\r\n\x01\xff\x7f\t\r\n", 13) + std::string(600, 'L') + "\nend");
  Post("");  // no message, and the log says so
  const auto msgs = Msgs("area");
  ASSERT_EQ(msgs.size(), 2u);
  ASSERT_EQ(msgs[0].lines.size(), 6u);
  EXPECT_TRUE(IsMsgId(msgs[0].lines[0], "2:5020/1")) << msgs[0].lines[0];
  EXPECT_EQ(Lines(msgs[0].lines.begin() + 1, msgs[0].lines.end()),
            (Lines{"\x01PID: Marvex 2.2Alpha", "First", "...", "--- ", " * Origin: Autoposted message (2:5020/1)"}));
  EXPECT_EQ(Lines(msgs[1].lines.begin() + 2, msgs[1].lines.end() - 2),
            (Lines{"ab", "\x01\xff\x7f\t", std::string(255, 'L'), "end", ""}));
  EXPECT_EQ(Log().back(), "  - Nothing to post: post.txt is empty");
}

TEST_F(PostingTest, AnnouncedPartsAreThePartsReallyWritten) {
  // 100 lines of 399 characters: 40000 bytes, but each line is cut to 255 and
  // counts 257, so 63 lines fit into a part: two parts, not three.
  std::string text;
  for (int i = 0; i < 100; ++i) text += std::string(399, static_cast<char>('A' + i % 26)) + "\n";
  Post(text);
  const auto msgs = Msgs("area");
  ASSERT_EQ(msgs.size(), 2u);
  EXPECT_EQ(msgs[0].Field(72), "[1/2] Subject");
  EXPECT_EQ(msgs[1].Field(72), "[2/2] Subject");
  EXPECT_EQ(msgs[0].lines.size(), 2u + 63u + 3u);
  EXPECT_EQ(msgs[1].lines.size(), 2u + 37u + 3u);
  EXPECT_EQ(msgs[1].lines[2], std::string(255, 'A' + 63 % 26));

  // 204 lines of 80 and one of 64: 16384 bytes exactly; 16000 bytes, but
  // 1600 lines counted 11 each.
  const std::string exact = runtest::Repeat(std::string(78, 'x') + "\r\n", 204) + std::string(62, 'y') + "\r\n";
  const std::string lf = runtest::Repeat("123456789\n", 1600);
  for (const auto& [t, parts] : {std::pair{exact, 1}, {"z" + exact, 2}, {lf, 2}}) {
    Write("f.txt", t);
    EXPECT_EQ(CountMessageParts(dir_ / "f.txt", Charset::Cp866, env_.LockWaitMs()), parts) << t.size();
  }
  Post(exact);  // posted as it was counted: one message, no [n/m]
  ASSERT_EQ(Msgs("area").size(), 3u);
  EXPECT_EQ(Msgs("area")[2].Field(72), "Subject");
  EXPECT_EQ(Msgs("area")[2].lines.size(), 2u + 205u + 3u);
}

TEST_F(PostingTest, ErrorsSayWhy) {
  // A file that is not there: the area itself was opened, and is let go.
  ctx_.Job.PostFile = "missing.txt";
  PreparePosting(ctx_);
  ASSERT_NE(ctx_.Base, nullptr);
  WriteMessages(ctx_);
  EXPECT_EQ(ctx_.Base, nullptr);
  EXPECT_EQ(AfterAnnounce(), (Lines{"[err] File not found \"missing.txt\"", "[err] We can't make posting..."}));
  // A file whose reads fail is no success.
  if (const std::string bad = runtest::UnreadableFile(); !bad.empty()) {
    out_.str("");
    ctx_.Job.PostFile = bad;
    PreparePosting(ctx_);
    WriteMessages(ctx_);
    EXPECT_FALSE(ctx_.PostingOk);
    EXPECT_TRUE(AfterAnnounce().at(0).starts_with("[err] Error reading file " + bad + ": ")) << out_.str();
  }
  // Without a format no base is made, whatever the path.
  out_.str("");
  ctx_.Job.Area = {AreaType::kUnknown, "msgs"};
  ctx_.Job.PostFile = "post.txt";
  Post("x\n");
  EXPECT_FALSE(Exists("msgs"));
  EXPECT_EQ(Log(), (Lines{"[err] Unable to open/create msgbase \"msgs\"", "[err] We can't make posting..."}));
  // A JAM area whose header file another program holds: the open waits for
  // it, then says so.
  ctx_.Job.Area = {AreaType::kJam, "jm"};
  out_.str("");
  Post("x\n");
  platform::FileHandle held = platform::kNoFile;
  ASSERT_TRUE(
      platform::OpenExisting(dir_ / "jm.jhr", platform::Access::kReadWrite, platform::Share::kNone, 0, &held).ok());
  env_.lockWaitMs = 200;
  env_.openRetryMs = 0;  // the area is there: no second look needed here
  out_.str("");
  Post("x\n");
  env_.lockWaitMs = platform::kDefaultLockWaitMs;
  platform::CloseFile(held);
  EXPECT_EQ(Log().at(0), "[err] Unable to open/create msgbase \"jm\": held by another program, waited 0.2 s");
  // A damaged area has no OS reason: the format's own words.
  testkit::WriteFileBytes(dir_ / "jm.jhr", std::vector<std::uint8_t>(24, 0));
  out_.str("");
  Post("x\n");
  EXPECT_EQ(Log().at(0), "[err] Unable to open/create msgbase \"jm\": the .jhr header is damaged");
  env_.openRetryMs = 1000;
  // A *.MSG area whose directory went away after it was opened: the system's
  // words for the file that could not be made.
  ctx_.Job.Area = {AreaType::kMsgDir, "gone"};
  Write("post.txt", "x\n");
  PreparePosting(ctx_);
  ASSERT_TRUE(ctx_.PostingOk);
  std::filesystem::remove_all(dir_ / "gone");
  out_.str("");
  WriteMessages(ctx_);
  EXPECT_EQ(Log().at(0), "[err] Unable to create new message: " + runtest::NoSuchPath());
}

// Files made, then reopened for reading; or a mode no stream knows.
TEST_F(PostingTest, MessagesThatCannotBeStoredOrStartedAreReported) {
  std::uint16_t msgFileMode = kModeRead;
  env_.openFile = [&](const Str& name, std::uint16_t mode) {
    if (!name.view().ends_with(".$$$")) return env_.RealOpen(name, mode);
    if (msgFileMode == kModeRead) env_.RealOpen(name, mode);
    return env_.RealOpen(name, msgFileMode);
  };
  Post(runtest::NumberedText(20000));  // every part is still tried
  EXPECT_EQ(AfterAnnounce(), (Lines{"   -> [1/2]", "[err] Unable to write message", "   -> [2/2]",
                                   "[err] Unable to write message", "[err]   - Failed..."}));
  EXPECT_FALSE(ctx_.PostingOk);
  out_.str("");
  msgFileMode = 0;
  Post(runtest::NumberedText(40000));  // no message can be started: the posting stops
  EXPECT_EQ(AfterAnnounce(), (Lines{"[err] Unable to create new message", "[err]   - Failed..."}));
  EXPECT_EQ(ctx_.Base, nullptr);
}

// A 40000-byte file through the whole program: parts of 204, 204 and 92
// lines of 78 characters and CR LF.
class SplitPostingTest : public runtest::RunTest {
 protected:
  void SetUp() override {
    Write("fido.cfg", "EchoArea BIG.FILES areas/big -b Msg\n");
    ASSERT_EQ(big_.size(), 40000u);
    Write("big.txt", big_);
  }
  const std::string big_ = runtest::NumberedText(40000);
};

TEST_F(SplitPostingTest, ThreePartsWithBeginAndEndControlLines) {
  Write("config.mvx",
        "HPTPATH fido.cfg\nFROMADDR 2:5020/1.3\nUSEENCODEDSTRING yes\n"
        "AREA BIG.FILES\nFILE .\\big.txt\nSUBJ Big file\nUSEENCODEDMESSAGE yes\nENDAREA\n");
  ASSERT_EQ(Run({}), 0);
  const auto msgs = Msgs("areas/big");
  ASSERT_EQ(msgs.size(), 3u);
  std::string body;
  const std::size_t sizes[] = {204, 204, 92};
  for (int i = 0; i < 3; ++i) {
    const std::string n = std::to_string(i + 1);
    const Lines& l = msgs[i].lines;
    EXPECT_EQ(msgs[i].Field(72), "[" + n + "/3] Big file");
    ASSERT_EQ(l.size(), 4 + sizes[i] + 4);
    EXPECT_TRUE(IsMsgId(l[0], "2:5020/1.3")) << l[0];
    EXPECT_EQ(Lines(l.begin() + 1, l.begin() + 4),
              (Lines{"\x01PID: Marvex 2.2Alpha", "\x01" "for decode use Lumok.exe /decode",
                     "\x01text.begin " + n + " of 3 of file big.txt"}));
    for (std::size_t k = 4; k < 4 + sizes[i]; ++k) body += l[k] + "\r\n";
    EXPECT_EQ(Lines(l.end() - 4, l.end()),
              (Lines{"\x01text.end", "", "--- ", " * Origin: Autoposted message (2:5020/1.3)"}));
  }
  EXPECT_EQ(body, big_);  // no line lost or repeated across the part boundaries
}

using CommandLinePostTest = SplitPostingTest;

TEST_F(CommandLinePostTest, QuotedAndUnquotedKeywordValues) {
  Write("News.txt", "Line one\n");
  Write("config.mvx", "HPTPATH fido.cfg\nFROM John Smith\nFROMADDR 2:5020/1\nAREA BIG.FILES\nENDAREA\n");
  // Quotes that reach the program keep the case; a parameter holding a blank
  // (the shell took its quotes) is one value as well.
  EXPECT_EQ(Run({"-p", "News.txt", "big.files", "Subj", "hello", "From", "\"Ivan Petrov\"", "FromAddr", "2:5020/9",
                 "Origin", "\"Far Away\"", "NoSuchKey", "v", "TEARLINE", "My tear", "TO"}),
            0);
  const auto msgs = Msgs("areas/big");
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ((Lines{msgs[0].Field(0), msgs[0].Field(36), msgs[0].Field(72)}), (Lines{"Ivan Petrov", "All", "HELLO"}));
  ASSERT_EQ(msgs[0].lines.size(), 6u);
  EXPECT_TRUE(IsMsgId(msgs[0].lines[0], "2:5020/9")) << msgs[0].lines[0];
  EXPECT_EQ(Lines(msgs[0].lines.begin() + 2, msgs[0].lines.end()),
            (Lines{"Line one", "", "--- My tear", " * Origin: Far Away (2:5020/9)"}));
}

TEST_F(CommandLinePostTest, ConfigurationFlagAndFailures) {
  Write("EVERYDAY.FLG", "");  // today's run is done
  ASSERT_TRUE(platform::SetFileTime(dir_ / "EVERYDAY.FLG", platform::LocalTime{2026, 12, 6, 1, 0, 0}).ok());
  Write("other.cfg", "HPTPATH fido.cfg\nFROM Other Sender\n[EndOfCommonPart]\nFROM Never\n");
  Write("config.mvx", "HPTPATH fido.cfg\nAREA X\nENDAREA\n");
  // The common part ends at [EndOfCommonPart] and at the first AREA: no
  // later line counts, and no block runs.
  EXPECT_EQ(Run({"-c", "other.cfg", "-p", "big.txt", "BIG.FILES"}), 0);
  EXPECT_EQ(LastRun()[4], " >> From: Other Sender, 0:0/0");
  // After -p, -c is one of the posting's words, which ignores it.
  EXPECT_EQ(Run({"-p", "big.txt", "BIG.FILES", "-c", "other.cfg"}), 0);
  EXPECT_EQ(LastRun(1, 2), (Lines{"Loading config.mvx", " >> Posting big.txt to BIG.FILES"}));
  EXPECT_EQ(Run({"-p", "Missing.txt", "NO.SUCH", "FromAddr", "2:x"}), 0);
  EXPECT_EQ(LastRun().at(6), "[err] We can't make posting...");
  EXPECT_EQ(Msgs("areas/big").size(), 6u);
  // The flag was neither tested nor written: its time is still 01:00:00.
  EXPECT_EQ(platform::GetFileDosTime(dir_ / "EVERYDAY.FLG").value_or(0), 0x5D860800u);
}

}  // namespace
}  // namespace mvx
