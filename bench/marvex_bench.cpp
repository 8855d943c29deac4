// Timing driver for the message bases and the posting path.
//
//   marvex_bench [--quick | --smoke] [Squish|JAM|*.MSG]
//
// --quick fills Squish and JAM areas of 10,000 messages instead of 100,000.
// --smoke measures each thing once over areas of 200 messages: its figures
// mean nothing, it shows in seconds that the bench still works (CI).
// A format's name measures that format alone.
//
// For each format it measures, in a temporary directory:
//  1. posting a text file of 300 parts of 16 KB (4.8 MB) into a new area
//     through the program's entry (-p), against the time cp takes to copy
//     the same file into the same directory;
//  2. posting one 2 KiB message with the marvex program itself (a process,
//     as a sysop runs it) into an area that already holds 100,000 messages
//     (20,000 files for *.MSG) against posting it into an empty one;
//  3. loading every message of that large area in order (the reading tool's
//     path).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "factory/base_factory.h"
#include "msgbase/env.h"
#include "run/entry.h"
#include "support/address.h"
#include "support/datetime.h"

namespace fs = std::filesystem;
using namespace mvx;
using Stopwatch = std::chrono::steady_clock;

extern char** environ;

namespace {

constexpr const char* kMarvexProgram = MARVEX_PROGRAM;

double Seconds(Stopwatch::time_point a, Stopwatch::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

struct Format {
  const char* name;
  AreaType type;
  const char* typeWord;   // fidoconfig -b word
  int bigCount;           // messages in the "large" area
};

// Lines of 78 characters and CR LF: 204 of them fill a 16 KB part.
void WriteText(const fs::path& p, std::size_t lines) {
  std::ofstream out(p, std::ios::binary);
  for (std::size_t i = 0; i < lines; ++i) {
    std::string s = "Line " + std::to_string(i) + " of the benchmark text, long enough to look like prose.";
    s.resize(78, '.');
    out << s << "\r\n";
  }
}

// Runs a program in dir and waits for it; returns seconds.
double RunProcess(const fs::path& dir, std::vector<std::string> args) {
  const fs::path old = fs::current_path();
  fs::current_path(dir);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto t0 = Stopwatch::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
  }
  const auto t1 = Stopwatch::now();
  posix_spawn_file_actions_destroy(&actions);
  fs::current_path(old);
  return Seconds(t0, t1);
}

// Posts file into area tag through the real program in dir; returns seconds.
double PostWithProgram(const fs::path& dir, const std::string& file) {
  // The real env, taking the run's relative names from dir.
  struct InDir final : ForwardingEnv {
    explicit InDir(std::string d) : ForwardingEnv(DefaultEnv()), dir(std::move(d)) {}
    std::string WorkingDirectory() override { return dir; }
    std::string dir;
  } env(dir.string());
  std::ostringstream console;
  const auto t0 = Stopwatch::now();
  RunMarvex({"-p", file, "BENCH.AREA"}, console, env);
  const auto t1 = Stopwatch::now();
  return Seconds(t0, t1);
}

void WriteConfigs(const fs::path& dir, const Format& f, const std::string& areaPath) {
  std::ofstream(dir / "config.mvx") << "HPTPATH fido.cfg\nFROMADDR 2:5020/1\n[ENDOFCOMMONPART]\n";
  std::ofstream(dir / "fido.cfg") << "EchoArea BENCH.AREA " << areaPath << " -b " << f.typeWord << "\n";
}

// Fills an area with count messages through the library (the MSGID is
// written directly so that filling is not held to the serial rule).
bool FillArea(const AreaId& area, int count) {
  std::unique_ptr<MessageBase> base;
  if (!OpenOrCreateBase(area, base)) return false;
  FidoAddress a;
  ParseAddress("2:5020/1", a);
  std::string body(1500, 'x');
  for (int i = 0; i < count; ++i) {
    if (!base->BeginNewMessage().ok()) return false;
    base->AppendTextLine(Str("\x01MSGID: 2:5020/1 ") + Hex8(static_cast<std::uint32_t>(i)));
    base->PutFromName("Sysop");
    base->PutToName("All");
    base->PutSubject("Filler " + std::to_string(i));
    base->ChangeAttribute(true, 0x0100);
    base->AppendTextLine(Str(body.substr(0, 200)));
    base->AppendTextLine("--- ");
    if (!base->StoreMessage().ok()) return false;
    base->ReleaseMessage().Ignore();
  }
  return CloseBase(base);
}

double LoadAll(const AreaId& area, int& loaded) {
  std::unique_ptr<MessageBase> base;
  loaded = 0;
  if (!MakeBase(area.type, base) || !base->OpenArea(area.path).ok()) return -1;
  const auto t0 = Stopwatch::now();
  for (base->PositionFrom(1); base->IsPositioned(); base->StepForward()) {
    if (base->LoadMessage().ok()) ++loaded;
    base->ReleaseMessage().Ignore();
  }
  const auto t1 = Stopwatch::now();
  CloseBase(base);
  return Seconds(t0, t1);
}

// The bench's own deletions (a whole area of files, a large area of the
// format before) keep the file system busy for a while after they return:
// each timing starts once their writes are out and they have had time to
// settle, as a daily posting meets a quiet disk.
void Settle(bool smoke) {
  if (smoke) return;
  ::sync();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  bool smoke = false;
  bool quick = false;
  std::string only;  // a format's name: that one alone
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--smoke") {
      smoke = true;
    } else if (arg == "--quick") {
      quick = true;
    } else {
      only = arg;
    }
  }
  const int runs = smoke ? 1 : 5;
  const int big = smoke ? 200 : quick ? 10000 : 100000;
  const fs::path root = fs::temp_directory_path() / ("marvex-bench-" + std::to_string(::getpid()));
  fs::create_directories(root);
  const Format formats[] = {{"Squish", AreaType::kSquish, "Squish", big},
                            {"JAM", AreaType::kJam, "Jam", big},
                            {"*.MSG", AreaType::kMsgDir, "Msg", smoke ? big : 20000}};
  std::printf("| format | 300-part posting: s | msgs/s | x cp | one posting (process) into %s area / into empty |"
              " load all: msgs/s |\n", quick || smoke ? "a small" : "a large");
  std::printf("|---|---|---|---|---|---|\n");
  bool ok = true;
  for (const Format& f : formats) {
    if (!only.empty() && only != f.name) continue;
    const fs::path dir = root / f.name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    WriteText(dir / "big.txt", 300 * 204);
    WriteText(dir / "small.txt", 26);

    // 1. the split posting into a new area, and cp of the same file
    WriteConfigs(dir, f, "split/area");
    std::vector<double> tSplit, tCp;
    int parts = 0;
    for (int r = 0; r < runs; ++r) {
      fs::remove_all(dir / "split");
      Settle(smoke);
      tSplit.push_back(PostWithProgram(dir, "big.txt"));
      std::unique_ptr<MessageBase> base;
      if (OpenOrCreateBase({f.type, Str((dir / "split/area").string())}, base)) parts = base->MessageCount();
      CloseBase(base);
      Settle(smoke);
      tCp.push_back(RunProcess(dir, {"cp", "big.txt", "copy.txt"}));
      fs::remove(dir / "copy.txt");
    }

    // 2. one message into a large area against an empty one
    const AreaId bigId = {f.type, Str((dir / "large/area").string())};
    FillArea(bigId, f.bigCount);
    // The empty areas exist before the timing starts, so that both sides
    // measure a posting into an existing area.
    for (int r = 0; r < runs; ++r) FillArea({f.type, Str((dir / ("empty" + std::to_string(r)) / "area").string())}, 0);
    std::vector<double> tBig, tBigChanged, tEmpty;
    for (int r = 0; r < runs; ++r) {
      WriteConfigs(dir, f, "large/area");
      tBig.push_back(RunProcess(dir, {kMarvexProgram, "-p", "small.txt", "BENCH.AREA"}));
      // Another program's file comes and goes: a *.MSG area is listed again.
      std::ofstream(dir / "large" / "area" / "other.tmp") << "x";
      fs::remove(dir / "large" / "area" / "other.tmp");
      tBigChanged.push_back(RunProcess(dir, {kMarvexProgram, "-p", "small.txt", "BENCH.AREA"}));
      WriteConfigs(dir, f, "empty" + std::to_string(r) + "/area");
      tEmpty.push_back(RunProcess(dir, {kMarvexProgram, "-p", "small.txt", "BENCH.AREA"}));
    }

    // 3. loading every message of the large area
    int loaded = 0;
    const double tLoad = LoadAll(bigId, loaded);

    std::printf("| %s | %.3f (%d parts) | %.0f | %.1f (cp %.4f s) | %.2f (%.2f ms / %.2f ms; %.2f ms after"
                " another program's change) | %.0f (%d msgs) |\n",
                f.name, Median(tSplit), parts, parts / Median(tSplit), Median(tSplit) / Median(tCp), Median(tCp),
                Median(tBig) / Median(tEmpty), Median(tBig) * 1000, Median(tEmpty) * 1000,
                Median(tBigChanged) * 1000, loaded / tLoad, loaded);
    if (f.type == AreaType::kMsgDir) {
      // The floor under any *.MSG posting: the same number of files of the
      // same size, made by plain open, write and close, nothing else.
      std::vector<double> tFiles;
      const std::string part(16402, 'x');
      for (int r = 0; r < runs; ++r) {
        fs::remove_all(dir / "bare");
        fs::create_directories(dir / "bare");
        Settle(smoke);
        const auto t0 = Stopwatch::now();
        for (int n = 2; n < 302; ++n) std::ofstream(dir / "bare" / (std::to_string(n) + ".msg")) << part;
        tFiles.push_back(Seconds(t0, Stopwatch::now()));
      }
      std::printf("(*.MSG floor: 300 files of 16 KB made with open, write and close alone: %.3f s, %.1f x cp;"
                  " the posting took %.1f x that)\n",
                  Median(tFiles), Median(tFiles) / Median(tCp), Median(tSplit) / Median(tFiles));
    }
    std::fflush(stdout);
    // Figures of postings or a load that did not happen would be no figures:
    // the large area holds its filling and one message of each timed posting
    // (two a run: unchanged and after another program's change).
    const int expected = f.bigCount + 2 * runs;
    if (parts != 300 || loaded != expected) {
      std::fprintf(stderr, "marvex_bench: %s: %d of 300 parts posted, %d of %d messages loaded\n", f.name, parts,
                   loaded, expected);
      ok = false;
    }
  }
  fs::remove_all(root);
  return ok ? 0 : 1;
}
