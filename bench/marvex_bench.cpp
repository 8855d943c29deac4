// Timing driver for the message bases and the posting path.
//
//   marvex_bench [--quick]
//
// For each format it measures, in a temporary directory:
//  1. posting a 4 MiB text file (about 260 parts) into a new area through the
//     real program (-p), against the floor that the MSGID serial rule puts
//     under a split posting ((parts - 1) / 100 seconds);
//  2. posting one 2 KiB message into an area that already holds 100,000
//     messages (20,000 for *.MSG) against posting it into an empty one;
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

#include <unistd.h>

#include "msgbase/base_factory.h"
#include "msgbase/file_hooks.h"
#include "run/entry.h"
#include "support/address.h"
#include "support/datetime.h"

namespace fs = std::filesystem;
using namespace mvx;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

struct Format {
  const char* name;
  const char* letter;     // area identifier type letter
  const char* typeWord;   // fidoconfig -b word
  int bigCount;           // messages in the "large" area
};

void WriteText(const fs::path& p, std::size_t bytes) {
  std::ofstream out(p, std::ios::binary);
  std::size_t written = 0;
  for (int line = 0; written < bytes; ++line) {
    std::string s = "Line " + std::to_string(line) +
                    " of the benchmark text, long enough to look like a real line of prose.\r\n";
    out << s;
    written += s.size();
  }
}

// Posts file into area tag through the real program in dir; returns seconds.
double PostWithProgram(const fs::path& dir, const std::string& file) {
  const fs::path old = fs::current_path();
  fs::current_path(dir);
  std::ostringstream console;
  // A MSGID serial changes only every hundredth of a second: let the clock
  // move on first, so that a one-message posting measures the work and not
  // the wait for a fresh serial.
  std::this_thread::sleep_for(std::chrono::milliseconds(15));
  const auto t0 = Clock::now();
  RunMarvex({"-p", file, "BENCH.AREA"}, console);
  const auto t1 = Clock::now();
  fs::current_path(old);
  return Seconds(t0, t1);
}

void WriteConfigs(const fs::path& dir, const Format& f, const std::string& areaPath) {
  std::ofstream(dir / "config.mvx") << "HPTPATH fido.cfg\nFROMADDR 2:5020/1\n[ENDOFCOMMONPART]\n";
  std::ofstream(dir / "fido.cfg") << "EchoArea BENCH.AREA " << areaPath << " -b " << f.typeWord << "\n";
}

// Fills an area with count messages through the library (the MSGID is
// written directly so that filling is not held to the serial rule).
bool FillArea(const std::string& id, int count) {
  std::unique_ptr<MessageBase> base;
  if (!OpenOrCreateBase(id, base)) return false;
  FidoAddress a;
  ParseAddress("2:5020/1", a);
  std::string body(1500, 'x');
  for (int i = 0; i < count; ++i) {
    if (!base->BeginNewMessage()) return false;
    base->AppendTextLineStr(Str("\x01MSGID: 2:5020/1 ") + Hex8(static_cast<std::uint32_t>(i)));
    base->PutFromName("Sysop");
    base->PutToName("All");
    base->PutSubject("Filler " + std::to_string(i));
    base->ChangeAttribute(true, 0x0100);
    base->AppendTextLineStr(Str(body.substr(0, 200)));
    base->AppendTextLineStr("--- ");
    if (!base->StoreMessage()) return false;
    base->ReleaseMessage();
  }
  return CloseBase(base);
}

double LoadAll(const std::string& id, int& loaded) {
  std::unique_ptr<MessageBase> base;
  AreaType type;
  Str path;
  ParseAreaId(id, type, path);
  loaded = 0;
  if (!MakeBase(id, base) || !base->OpenArea(path)) return -1;
  const auto t0 = Clock::now();
  for (base->PositionFrom(1); base->IsPositioned(); base->StepForward()) {
    if (base->LoadMessage()) ++loaded;
    base->ReleaseMessage();
  }
  const auto t1 = Clock::now();
  CloseBase(base);
  return Seconds(t0, t1);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && std::string(argv[1]) == "--quick";
  InstallFileHooks();
  const fs::path root = fs::temp_directory_path() / ("marvex-bench-" + std::to_string(::getpid()));
  fs::create_directories(root);
  const Format formats[] = {{"Squish", "S", "Squish", quick ? 10000 : 100000},
                            {"JAM", "J", "Jam", quick ? 10000 : 100000},
                            {"*.MSG", "M", "Msg", quick ? 2000 : 20000}};
  std::printf("| format | 4 MiB posting: parts | s | msgs/s | MiB/s | x serial floor |"
              " post into %s-message area / into empty | load all: msgs/s |\n", quick ? "small" : "large");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  for (const Format& f : formats) {
    const fs::path dir = root / f.name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::size_t bigBytes = 4u << 20;
    WriteText(dir / "big.txt", bigBytes);
    WriteText(dir / "small.txt", 2048);

    // 1. the split posting into a new area
    WriteConfigs(dir, f, "split/area");
    const double tSplit = PostWithProgram(dir, "big.txt");
    std::unique_ptr<MessageBase> base;
    int parts = 0;
    if (OpenOrCreateBase(std::string(f.letter) + (dir / "split/area").string(), base)) parts = base->MessageCount();
    CloseBase(base);
    const double floor = parts > 1 ? (parts - 1) / 100.0 : 0.0;

    // 2. one message into a large area against an empty one
    const std::string bigId = std::string(f.letter) + (dir / "large/area").string();
    FillArea(bigId, f.bigCount);
    // The empty areas exist before the timing starts, so that both sides
    // measure a posting into an existing area.
    for (int r = 0; r < 5; ++r) FillArea(std::string(f.letter) + (dir / ("empty" + std::to_string(r)) / "area").string(), 0);
    std::vector<double> tBig, tEmpty;
    for (int r = 0; r < 5; ++r) {
      WriteConfigs(dir, f, "large/area");
      tBig.push_back(PostWithProgram(dir, "small.txt"));
      WriteConfigs(dir, f, "empty" + std::to_string(r) + "/area");
      tEmpty.push_back(PostWithProgram(dir, "small.txt"));
    }

    // 3. loading every message of the large area
    int loaded = 0;
    const double tLoad = LoadAll(bigId, loaded);

    std::printf("| %s | %d | %.2f | %.0f | %.2f | %.2f | %.2f (%.2f ms / %.2f ms) | %.0f (%d msgs) |\n",
                f.name, parts, tSplit, parts / tSplit, 4.0 / tSplit, floor > 0 ? tSplit / floor : 0.0,
                Median(tBig) / Median(tEmpty), Median(tBig) * 1000, Median(tEmpty) * 1000,
                loaded / tLoad, loaded);
    std::fflush(stdout);
  }
  fs::remove_all(root);
  return 0;
}
