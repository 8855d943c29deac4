// Writes the seed corpora: small valid areas made by the library itself, and
// small configurations.  make_seeds <corpus-dir>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "fuzzkit.h"
#include "factory/base_factory.h"
#include "msgbase/env.h"
#include "support/address.h"

namespace fs = std::filesystem;
using namespace mvx;

namespace {

void Post(MessageBase& base, int i, bool netmail) {
  if (netmail) base.SetAreaKind(0);
  if (!base.BeginNewMessage().ok()) return;
  FidoAddress orig, dest;
  ParseAddress("2:5020/1.3", orig);
  ParseAddress("1:234/5", dest);
  base.EmitAddressKludges(orig, dest, true);
  base.PutFromName("Sysop");
  base.PutToName(i % 2 ? "All" : "John Smith");
  base.PutSubject("Seed message " + std::to_string(i));
  base.ChangeAttribute(true, 0x0100);
  base.AppendTextLine("\x01PID: Marvex 2.2Alpha");
  for (int l = 0; l < i + 1; ++l) base.AppendTextLine("Line " + std::to_string(l) + " of the seed text.");
  base.AppendTextLine("SEEN-BY: 5020/1 2");
  base.AppendTextLine("\x01PATH: 5020/1");
  base.StoreMessage().Ignore();
  base.ReleaseMessage().Ignore();
}

bool MakeArea(const AreaId& area, int messages, bool deleteOne) {
  std::unique_ptr<MessageBase> base;
  if (!OpenOrCreateBase(area, base)) return false;
  for (int i = 0; i < messages; ++i) Post(*base, i, i == 1);
  if (deleteOne && messages > 1) {
    base->PositionFrom(1);
    base->StepForward();
    base->DeleteMessage().Ignore();
  }
  base->WriteLastRead(2, 5);
  return CloseBase(base);
}

void Save(const fs::path& dir, const std::string& name, const std::string& bytes) {
  fs::create_directories(dir);
  fuzz::WriteFile((dir / name).string(), bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_seeds <corpus-dir>\n";
    return 2;
  }
  const fs::path out = argv[1];
  const std::string work = fuzz::ScratchDir();
  for (int variant = 0; variant < 3; ++variant) {
    const int count = variant == 0 ? 1 : variant == 1 ? 3 : 5;
    const bool del = variant == 2;
    const std::string tag = std::to_string(variant);

    fuzz::ClearScratchDir();
    if (MakeArea({AreaType::kSquish, Str(work + "/sq")}, count, del)) {
      Save(out / "squish_area", "seed" + tag,
           fuzz::Pack({fuzz::ReadFile(work + "/sq.sqd"), fuzz::ReadFile(work + "/sq.sqi"),
                       fuzz::ReadFile(work + "/sq.sql")}));
    }
    fuzz::ClearScratchDir();
    if (MakeArea({AreaType::kJam, Str(work + "/jm")}, count, del)) {
      Save(out / "jam_area", "seed" + tag,
           fuzz::Pack({fuzz::ReadFile(work + "/jm.jhr"), fuzz::ReadFile(work + "/jm.jdx"),
                       fuzz::ReadFile(work + "/jm.jdt"), fuzz::ReadFile(work + "/jm.jlr")}));
    }
    fuzz::ClearScratchDir();
    if (MakeArea({AreaType::kMsgDir, Str(work + "/msg")}, count, false)) {
      // Messages 2, 3 and 4 of the area become the seed's 1, 2 and 7.
      Save(out / "msgdir_area", "seed" + tag,
           fuzz::Pack({fuzz::ReadFile(work + "/msg/2.msg"), fuzz::ReadFile(work + "/msg/3.msg"),
                       fuzz::ReadFile(work + "/msg/4.msg"), fuzz::ReadFile(work + "/msg/lastread")}));
    }
  }
  Save(out / "tosser_lookup", "seed0",
       std::string("\0", 1) + "EchoAreaDefaults -b Jam -a 2:5020/9\n"
       "EchoArea NET.TALK \\fido\\nettalk -b Squish -a 9:999/1 -d \"Talk\" 9:999/2\n");
  Save(out / "tosser_lookup", "seed1",
       "\1EchoArea NET.TALK /fido/nettalk -$ -p9:999/9\nEchoArea OTHER x\n");
  Save(out / "config", "seed0",
       "FROMADDR 2:5020/1\nHPTPATH fido.cfg\nFROM \"John Smith\"\nORIGIN Somewhere\n"
       "AREA NET.TALK\n FILE text.txt\n SUBJ Hello\n FLAGS Pvt Loc\n WHEN DAILY\nENDAREA\n"
       "SQUISH squish.cfg\nAREA SQ.AREA\n FILE text.txt\n WHEN WEEKLY 1 2 3 4 5 6 7\nENDAREA\n");
  Save(out / "config", "seed1",
       "; comment\nUSEENCODEDSTRING yes\nHPTPATH fido.cfg\nAREA JAM.TALK\nFILE text.txt\n"
       "WHEN MOUNTHLY 1 6 31\nENDAREA\nAREA SQ.TALK\nFILE missing.txt\nENDAREA\n");
  Save(out / "address", "seed0", "2:5020/1.3@fidonet");
  Save(out / "address", "seed1", "06 Dec 26  04:57:36");
  Save(out / "address", "seed2", "345/67.8");
  fuzz::ClearScratchDir();
  std::cout << "seeds written to " << out << "\n";
  return 0;
}
