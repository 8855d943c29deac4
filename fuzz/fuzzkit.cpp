#include "fuzzkit.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "factory/base_factory.h"
#include "msgbase/env.h"
#include "support/address.h"
#include "support/datetime.h"

namespace fs = std::filesystem;

namespace mvx::fuzz {

const std::string& ScratchDir() {
  static const std::string dir = [] {
    std::string d = (fs::temp_directory_path() / ("marvex-fuzz-" + std::to_string(getpid()))).string();
    fs::create_directories(d);
    return d;
  }();
  return dir;
}

void ClearScratchDir() {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(ScratchDir(), ec)) fs::remove_all(e.path(), ec);
}

std::vector<std::string> Unpack(const std::uint8_t* data, std::size_t size, std::size_t files) {
  std::vector<std::string> out(files);
  std::size_t pos = 0;
  for (std::size_t f = 0; f < files && pos < size; ++f) {
    if (size - pos < 4) break;
    const std::uint32_t len = static_cast<std::uint32_t>(data[pos]) | (data[pos + 1] << 8) |
                              (data[pos + 2] << 16) | (static_cast<std::uint32_t>(data[pos + 3]) << 24);
    pos += 4;
    const std::size_t take = std::min<std::size_t>(len, size - pos);
    out[f].assign(reinterpret_cast<const char*>(data + pos), take);
    pos += take;
  }
  return out;
}

std::string Pack(const std::vector<std::string>& files) {
  std::string out;
  for (const auto& f : files) {
    const auto len = static_cast<std::uint32_t>(f.size());
    out.push_back(static_cast<char>(len));
    out.push_back(static_cast<char>(len >> 8));
    out.push_back(static_cast<char>(len >> 16));
    out.push_back(static_cast<char>(len >> 24));
    out += f;
  }
  return out;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

namespace {

void TouchCurrent(MessageBase& base, bool full) {
  if (!(full ? base.LoadMessage().ok() : base.LoadHeaderAndKludges().ok())) return;
  FidoAddress orig, dest;
  base.ReadBothAddresses(orig, dest);
  DateTimeRec d;
  base.ReadWrittenDate(d);
  base.ReadArrivedDate(d);
  (void)base.FromName();
  (void)base.ToName();
  (void)base.SubjectText();
  for (int bit = 0; bit < 16; ++bit) (void)base.HasAttribute(1 << bit);
  std::string line;
  base.MoveTextTo(0);
  for (int guard = 0; guard < 100000 && !base.AtTextEnd(); ++guard) base.ReadTextLine(line);
  base.ReleaseMessage().Ignore();
}

}  // namespace

void ExerciseArea(const AreaId& area) {
  std::unique_ptr<MessageBase> base;
  if (!MakeBase(area.type, base)) return;
  if (!base->OpenArea(area.path).ok()) {
    DisposeBase(base);
    return;
  }
  (void)base->MessageCount();
  (void)base->HighestNumber();
  // Bounded walks: a damaged area must end them by itself, the bound only
  // keeps a fuzzer run from looking hung if it does not.
  int steps = 0;
  for (base->PositionFrom(1); base->IsPositioned() && steps < 5000; base->StepForward(), ++steps) {
    TouchCurrent(*base, true);
    TouchCurrent(*base, false);
  }
  steps = 0;
  base->PositionFrom(base->HighestNumber());
  for (; base->IsPositioned() && steps < 5000; base->StepBack(), ++steps) TouchCurrent(*base, false);
  (void)base->ReadLastRead(0);
  if (base->BeginNewMessage().ok()) {
    FidoAddress a;
    ParseAddress("2:5020/1", a);
    // A serial of our own: a fresh one would wait for the clock to move on.
    base->AppendTextLine("\x01MSGID: 2:5020/1 0b4a6000");
    base->EmitOrigKludges(false, a);
    base->PutFromName("Fuzz");
    base->PutToName("All");
    base->PutSubject("fuzz");
    base->AppendTextLine("Hello");
    base->StoreMessage().Ignore();
    base->ReleaseMessage().Ignore();
  }
  CloseBase(base);
}

}  // namespace mvx::fuzz
