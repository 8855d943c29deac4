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
  ~ScopedStdin() {
#ifdef _WIN32
    SetStdHandle(STD_INPUT_HANDLE, saved_);
#else
    dup2(saved_, STDIN_FILENO);
    close(saved_);
#endif
    if (writer_.joinable()) writer_.join();
#ifdef _WIN32
    CloseHandle(read_);
#endif
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
    Write("config.mvx", "HPTPATH fido.cfg\nFROMADDR 2:5020/1\n[EndOfCommonPart]\n");
  }
  int RunWithInput(const std::optional<std::string>& input, const std::vector<std::string>& args) {
    ScopedStdin in(input);
    return Run(args);
  }
};

TEST_F(InputPostingTest, StandardInputIsPostedAsAFileOfTheSameBytes) {
  const struct {
    const char* what;
    std::string text;
    std::size_t messages;
  } cases[] = {
      {"empty", "", 0},
      {"one line without its end", "Only line", 1},
      {"40 KB", runtest::NumberedText(40000), 3},
      {"0 bytes and every line end", std::string("ab\0cd\r\n\0\x01\xff\r", 11) + std::string(600, 'L') + "\n\nend\r\n",
       1},
  };
  for (const auto& c : cases) {
    Write("in.txt", c.text);
    ASSERT_EQ(Run({"-p", "in.txt", "RU.TEST"}), 0);
    Lines expected = LastRun();
    for (std::string& line : expected) {
      if (const auto at = line.find("in.txt"); at != std::string::npos) line.replace(at, 6, "<stdin>");
    }
    const std::size_t fromFile = Msgs("areas/test").size();
    ASSERT_EQ(RunWithInput(c.text, {"-p", "-", "RU.TEST"}), 0);
    EXPECT_EQ(LastRun(), expected) << c.what;
    const auto msgs = Msgs("areas/test");
    ASSERT_EQ(msgs.size(), fromFile + c.messages) << c.what;
    for (std::size_t k = 0; k < c.messages; ++k) {
      const runtest::Msg& file = msgs[fromFile - c.messages + k];
      const runtest::Msg& input = msgs[fromFile + k];
      EXPECT_EQ(input.Field(72), file.Field(72)) << c.what;
      EXPECT_EQ(Lines(input.lines.begin() + 1, input.lines.end()), Lines(file.lines.begin() + 1, file.lines.end()))
          << c.what;
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

// A, YA and YO of the Russian alphabet, capital and small, in CP866. (Every
// letter of each set: charset_test.cpp.)
const std::string kCapitals866 = "\x80\x9F\xF0", kSmall866 = "\xA0\xEF\xF1";

TEST_F(InputPostingTest, EveryCharsetRecodesTextAndHeaderIntoCp866) {
  const struct {
    const char* charset;
    std::string capitals, small;  // as the set writes them; empty when it has no Cyrillic
    std::string others, others866;  // other characters, and what CP866 makes of them
  } samples[] = {
      {"UTF-8", "АЯЁ", "аяё", "«\xFF»№€", "???\xFC?"},
      {"koi8-r", "\xE1\xF1\xB3", "\xC1\xD1\xA3", "\x9C\x9F", "\xF8?"},  // degree, division sign
      {"CP1251", "\xC0\xDF\xA8", "\xE0\xFF\xB8", "\xAB\x98\xBB\xB9\x88", "???\xFC?"},
      {"Latin-1", "", "", "Caf\xE9 \xAB\xBB \xB0\xA0", "Caf? ?? \xF8\xFF"},
      {"CP866", kCapitals866, kSmall866, "\xFC", "\xFC"},  // passes as it is, unmarked
  };
  for (const auto& s : samples) {
    const std::string capitals866 = s.capitals.empty() ? "" : kCapitals866;
    const std::string small866 = s.small.empty() ? "" : kSmall866;
    Write("text.txt", s.capitals + "\n" + s.small + "\r\n" + s.others + "\n");
    Write("config.mvx", "HPTPATH fido.cfg\nFROMADDR 2:5020/1\nAREA RU.TEST\nFILE text.txt\nCHARSET " +
                            std::string(s.charset) + "\nFROM " + s.capitals + "\nTO " + s.small + "\nSUBJ " +
                            s.others + "\nORIGIN " + s.others + " " + s.capitals + "\nTEARLINE " + s.small +
                            "\nENDAREA\n");
    ASSERT_EQ(Run({"-d"}), 0);
    const auto msgs = Msgs("areas/test");
    ASSERT_FALSE(msgs.empty()) << s.charset;
    const runtest::Msg& m = msgs.back();
    EXPECT_EQ((Lines{m.Field(0), m.Field(36), m.Field(72)}), (Lines{capitals866, small866, s.others866}))
        << s.charset;
    const bool recoded = std::string(s.charset) != "CP866";
    Lines text = {"\x01PID: Marvex 2.2Alpha"};
    if (recoded) text.push_back("\x01" "CHRS: CP866 2");
    text.insert(text.end(), {capitals866, small866, s.others866, std::string(), "--- " + small866,
                             " * Origin: " + s.others866 + " " + capitals866 + " (2:5020/1)"});
    EXPECT_EQ(Lines(m.lines.begin() + 1, m.lines.end()), text) << s.charset;
    // The text's lines, subject and origin each hold the others once.
    const auto lost = 3 * std::count(s.others866.begin(), s.others866.end(), '?');
    Lines log = {"  - Ok...", "", "End..", ""};
    if (lost > 0) log.insert(log.begin(), "  - " + std::to_string(lost) + " characters have no CP866 form and were posted as ?");
    const Lines all = LastRun();
    EXPECT_EQ(Lines(all.end() - static_cast<std::ptrdiff_t>(log.size()), all.end()), log) << s.charset;
  }
}

TEST_F(InputPostingTest, LineCutAndPartSizeCountRecodedBytes) {
  // 150 lines of 100 letters: 30300 bytes as UTF-8, 15300 once recoded.
  std::string text;
  for (int i = 0; i < 150; ++i) {
    for (int k = 0; k < 100; ++k) text += "Ж";
    text += "\n";
  }
  // The 255 kept bytes end in an invalid byte; the tail that is cut off holds
  // another, which is not posted and so not counted.
  for (int k = 0; k < 254; ++k) text += "я";
  text += "\xFF";
  for (int k = 0; k < 100; ++k) text += "я";
  text += "\xFF\n";
  Write("text.txt", text);
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
  // An unknown set is named, and nothing is posted or created.
  ASSERT_EQ(RunWithInput("x\n", {"-p", "-", "RU.TEST", "Charset", "koi8-u"}), 0);
  EXPECT_EQ(LastRun(), (Lines{"Marvex 2.1: started..", "Loading config.mvx",
                              "[err] Unknown CHARSET \"KOI8-U\": the known ones are CP866, UTF-8, KOI8-R, CP1251 "
                              "and LATIN-1",
                              "[err] We can't make posting...", "End..", ""}));
  EXPECT_FALSE(Exists("areas"));
  // The set named after the subject still decides how the unquoted subject
  // is upper-cased; the quoted sender keeps its case.
  ASSERT_EQ(RunWithInput("ёлка\n", {"-p", "-", "RU.TEST", "Subj", "тема", "From", "Иван Петров", "Charset", "utf-8"}),
            0);
  const auto msgs = Msgs("areas/test");
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ((Lines{msgs[0].Field(0), msgs[0].Field(72)}),
            (Lines{"\x88\xA2\xA0\xAD \x8F\xA5\xE2\xE0\xAE\xA2", "\x92\x85\x8C\x80"}));
  EXPECT_EQ(Lines(msgs[0].lines.begin() + 2, msgs[0].lines.begin() + 4), (Lines{"\x01" "CHRS: CP866 2", "\xF1\xAB\xAA\xA0"}));
}

}  // namespace
}  // namespace mvx
