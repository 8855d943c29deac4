// Posting standard input, and text recoded from other character sets.
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

#include "run/posting.h"
#include "run_test_support.h"

namespace mvx {
namespace {

using runtest::Lines;

// Writes the text in pieces now and then, as a producing program would; put
// gives the bytes it took (none or an error: stop).
template <typename Put>
void Feed(const std::string& bytes, Put put) {
  for (std::size_t at = 0; at < bytes.size();) {
    const long n = put(bytes.data() + at, std::min<std::size_t>(1000, bytes.size() - at));
    if (n <= 0) break;
    at += static_cast<std::size_t>(n);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

// Standard input (on Windows the process's standard input handle, which the
// program reads) replaced while the object lives: by a pipe a thread feeds,
// or (no text) by a directory, whose reads fail.
class ScopedStdin {
 public:
  explicit ScopedStdin(const std::optional<std::string>& text) {
#ifdef _WIN32
    saved_ = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE write = INVALID_HANDLE_VALUE;
    if (!text) {
      read_ = CreateFileW(L".", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    } else if (CreatePipe(&read_, &write, nullptr, 0)) {
      writer_ = std::thread([write, bytes = *text] {
        Feed(bytes, [write](const char* p, std::size_t n) {
          DWORD put = 0;
          return WriteFile(write, p, static_cast<DWORD>(n), &put, nullptr) ? static_cast<long>(put) : -1L;
        });
        CloseHandle(write);
      });
    }
    EXPECT_NE(read_, INVALID_HANDLE_VALUE);
    SetStdHandle(STD_INPUT_HANDLE, read_);
#else
    saved_ = dup(STDIN_FILENO);
    signal(SIGPIPE, SIG_IGN);  // a writer whose reader has gone must not end the tests
    int fds[2] = {-1, -1};
    if (!text) {
      fds[0] = open(".", O_RDONLY | O_DIRECTORY);
    } else if (pipe(fds) == 0) {
      writer_ = std::thread([fd = fds[1], bytes = *text] {
        Feed(bytes, [fd](const char* p, std::size_t n) { return static_cast<long>(write(fd, p, n)); });
        close(fd);
      });
    }
    EXPECT_GE(fds[0], 0);
    dup2(fds[0], STDIN_FILENO);
    close(fds[0]);
#endif
  }
  // The reading end goes first: a writer still waiting for room then fails.
  ~ScopedStdin() {
#ifdef _WIN32
    SetStdHandle(STD_INPUT_HANDLE, saved_);
    CloseHandle(read_);
#else
    dup2(saved_, STDIN_FILENO);
    close(saved_);
#endif
    if (writer_.joinable()) writer_.join();
  }
  ScopedStdin(const ScopedStdin&) = delete;
  ScopedStdin& operator=(const ScopedStdin&) = delete;

 private:
#ifdef _WIN32
  HANDLE saved_ = INVALID_HANDLE_VALUE, read_ = INVALID_HANDLE_VALUE;
#else
  int saved_ = -1;
#endif
  std::thread writer_;
};

class InputPostingTest : public runtest::RunTest {
 protected:
  void SetUp() override {
    Write("fido.cfg", "EchoArea RU.TEST areas/test -b Msg\n");
    // A byte-order mark and a tab, as editors leave them.
    Write("config.mvx", "\xEF\xBB\xBFHPTPATH\tfido.cfg\nFROMADDR 2:5020/1\n[EndOfCommonPart]\n");
  }
  int RunWithInput(const std::optional<std::string>& input, const std::vector<std::string>& args) {
    ScopedStdin in(input);
    return Run(args);
  }
};

TEST_F(InputPostingTest, StandardInputIsPostedAsAFileOfTheSameBytes) {
  // Empty, one line without its end, 40 KB, 0 bytes and every line end.
  const std::pair<std::string, std::size_t> cases[] = {
      {"", 0}, {"Only line", 1}, {runtest::NumberedText(40000), 3},
      {std::string("ab\0cd\r\n\0\x01\xff\r", 11) + std::string(600, 'L') + "\n\nend\r\n", 1}};
  for (const auto& [text, messages] : cases) {
    Write("in.txt", text);
    ASSERT_EQ(Run({"-p", "in.txt", "RU.TEST"}), 0);
    const std::size_t fromFile = Msgs("areas/test").size();
    ASSERT_EQ(RunWithInput(text, {"-p", "-", "RU.TEST"}), 0);
    const auto msgs = Msgs("areas/test");
    ASSERT_EQ(msgs.size(), fromFile + messages) << text.size();
    for (std::size_t k = 0; k < messages; ++k) {
      const runtest::Msg& file = msgs[fromFile - messages + k];
      const runtest::Msg& input = msgs[fromFile + k];
      EXPECT_EQ(input.Field(72), file.Field(72)) << text.size();
      EXPECT_EQ(Lines(input.lines.begin() + 1, input.lines.end()), Lines(file.lines.begin() + 1, file.lines.end()))
          << text.size();
    }
  }
  // A read that fails posts what it got (nothing here) and is no success.
  const std::size_t before = Msgs("areas/test").size();
  ASSERT_EQ(RunWithInput(std::nullopt, {"-p", "-", "RU.TEST"}), 0);
  const Lines log = LastRun();
  EXPECT_EQ(Lines(log.end() - 4, log.end()),
            (Lines{"[err] Error reading file <stdin>", "[err]   - Failed...", "End..", ""}));
  EXPECT_EQ(Msgs("areas/test").size(), before);
}

TEST_F(InputPostingTest, LineCutAndPartSizeCountRecodedBytes) {
  // 150 lines of 100 letters: 30300 bytes as UTF-8, 15300 once recoded.
  // The 255 kept bytes of the last line end in an invalid byte; the tail that
  // is cut off holds another, which is not posted and so not counted.
  using runtest::Repeat;
  Write("text.txt", Repeat(Repeat("Ж", 100) + "\n", 150) + Repeat("я", 254) + "\xFF" + Repeat("я", 100) + "\xFF\n");
  EXPECT_EQ(CountMessageParts(dir_ / "text.txt", Charset::Utf8, env_.LockWaitMs()), 1);
  EXPECT_EQ(CountMessageParts(dir_ / "text.txt", Charset::Cp866, env_.LockWaitMs()), 2);  // its bytes taken as CP866
  Write("config.mvx", "HPTPATH fido.cfg\nAREA RU.TEST\nFILE text.txt\nCHARSET UTF-8\nENDAREA\n");
  ASSERT_EQ(Run({}), 0);
  const auto msgs = Msgs("areas/test");
  ASSERT_EQ(msgs.size(), 1u);
  const Lines& l = msgs[0].lines;
  ASSERT_EQ(l.size(), 3u + 151u + 3u);
  EXPECT_EQ(std::count(l.begin() + 3, l.begin() + 153, std::string(100, '\x86')), 150);
  EXPECT_EQ(l[153], std::string(254, '\xEF') + "?");
  const Lines log = LastRun();
  EXPECT_NE(std::find(log.begin(), log.end(), "  - 1 character has no CP866 form and was posted as ?"), log.end());
}

TEST_F(InputPostingTest, CommandLineCharsetRecodesStandardInputAndItsValues) {
  // With an unknown set nothing is posted or created (its words: the dry
  // run's test).
  ASSERT_EQ(RunWithInput("x\n", {"-p", "-", "RU.TEST", "Charset", "koi8-u"}), 0);
  EXPECT_EQ(LastRun(3, 1), Lines{"[err] We can't make posting..."});
  EXPECT_FALSE(Exists("areas"));
  // The set named last still decides how unquoted values are upper-cased.
  // Every header value and the text are recoded, a CHRS line says so, and
  // what CP866 has no form for (« » and € here) is counted.
  ASSERT_EQ(RunWithInput("ёлка€\n", {"-p", "-", "RU.TEST", "Subj", "тема", "From", "Иван Петров", "To", "жук", "Origin",
                                     "«дом»", "TearLine", "я€", "Charset", "utf-8"}),
            0);
  const auto msgs = Msgs("areas/test");
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ((Lines{msgs[0].Field(0), msgs[0].Field(36), msgs[0].Field(72)}),
            (Lines{"\x88\xA2\xA0\xAD \x8F\xA5\xE2\xE0\xAE\xA2", "\x86\x93\x8A", "\x92\x85\x8C\x80"}));
  EXPECT_EQ(Lines(msgs[0].lines.begin() + 2, msgs[0].lines.end()),
            (Lines{"\x01" "CHRS: CP866 2", "\xF1\xAB\xAA\xA0?", "", "--- \x9F?", " * Origin: ?\x84\x8E\x8C? (2:5020/1)"}));
  const Lines log = LastRun();
  EXPECT_EQ(log.at(log.size() - 4), "  - 4 characters have no CP866 form and were posted as ?");
}

}  // namespace
}  // namespace mvx
