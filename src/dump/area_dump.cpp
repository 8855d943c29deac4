#include "dump/area_dump.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "error/error.h"
#include "factory/base_factory.h"
#include "msgbase/attribute_names.h"
#include "msgbase/env.h"
#include "msgbase/message_base.h"
#include "support/datetime.h"
#include "support/text.h"

namespace mvx {
namespace {

std::string HexCode(Errc code) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%04x", static_cast<unsigned>(ErrcNumber(code)));
  return buf;
}

std::string DateText(const DateTimeRec& d) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%02u %s %04u %02u:%02u:%02u", d.Day,
                MonthName(d.Month).c_str(), d.Year, d.Hour, d.Minute, d.Second);
  return buf;
}

std::string FlagNames(MessageBase& base) {
  std::string names;
  for (int bit = 0; bit < 16; ++bit) {
    if (base.HasAttribute(1 << bit)) {
      if (!names.empty()) names += ' ';
      names += kAttributeNames[bit];
    }
  }
  return names;
}

// The text as lines, each control line's 0x01 shown as "^A". Line ends are
// read as the library reads them: CR, CR LF, or a 0 byte.
void PrintText(MessageBase& base, std::ostream& out) {
  const std::int32_t length = base.TextLength();
  base.MoveTextTo(0);
  std::string line;
  bool pendingCr = false;
  char block[4096];
  for (std::int32_t done = 0; done < length;) {
    const auto n = static_cast<std::uint16_t>(
        std::min<std::int32_t>(static_cast<std::int32_t>(sizeof block), length - done));
    base.ReadTextBytes(n, block);
    done += n;
    for (std::uint16_t i = 0; i < n; ++i) {
      const char c = block[i];
      if (pendingCr) {
        pendingCr = false;
        if (c == '\n') continue;
      }
      if (c == '\r' || c == '\0') {
        out << line << '\n';
        line.clear();
        pendingCr = (c == '\r');
      } else if (c == '\x01') {
        line += "^A";
      } else {
        line += c;
      }
    }
  }
  if (!line.empty()) out << line << '\n';
}

void PrintMessage(MessageBase& base, std::int32_t number, bool squish, bool headersOnly,
                  std::ostream& out) {
  out << "Message " << number;
  if (squish) out << " (uid " << base.CurrentNumber() << ")";
  out << '\n';
  FidoAddress orig, dest;
  base.ReadBothAddresses(orig, dest);
  DateTimeRec written, arrived;
  base.ReadWrittenDate(written);
  base.ReadArrivedDate(arrived);
  out << "From:    " << base.FromName().str() << " (" << FormatAddress(orig).str() << ")\n";
  out << "To:      " << base.ToName().str() << " (" << FormatAddress(dest).str() << ")\n";
  out << "Subject: " << base.SubjectText().str() << '\n';
  out << "Written: " << DateText(written) << '\n';
  out << "Arrived: " << DateText(arrived) << '\n';
  out << "Flags:   " << FlagNames(base) << '\n';
  if (!headersOnly) {
    out << "--\n";
    PrintText(base, out);
  }
  out << '\n';
}

bool ParseCount(const std::string& text, std::int32_t& value) {
  std::int32_t errorPos = 0;
  value = ParseInteger(text, errorPos);
  return errorPos == 0 && value > 0;
}

}  // namespace

std::string DumpUsage() {
  return "Usage: mvxdump [-h] [-f N] [-n K] [-m N] <area>\n"
         "  <area>  type letter and path: S squish, J jam, M/F/* directory of *.MSG\n"
         "          (for example Smail/echo/net.talk or M/fido/netmail)\n"
         "  -h      headers only, no text\n"
         "  -f N    start at message N\n"
         "  -n K    list at most K messages\n"
         "  -m N    list message N only\n";
}

bool ParseDumpArguments(const std::vector<std::string>& args, DumpOptions& options,
                        std::string& error) {
  std::string areaText;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto number = [&](std::int32_t& target) {
      if (i + 1 >= args.size() || !ParseCount(args[i + 1], target)) {
        error = "option " + a + " needs a positive number";
        return false;
      }
      ++i;
      return true;
    };
    if (a == "-h") {
      options.headersOnly = true;
    } else if (a == "-f") {
      if (!number(options.fromNumber)) return false;
    } else if (a == "-n") {
      if (!number(options.maxCount)) return false;
    } else if (a == "-m") {
      if (!number(options.onlyNumber)) return false;
    } else if (!a.empty() && a[0] == '-' && a.size() > 1) {
      error = "unknown option " + a;
      return false;
    } else if (areaText.empty()) {
      areaText = a;
    } else {
      error = "more than one area given";
      return false;
    }
  }
  if (areaText.empty()) {
    error = "no area given";
    return false;
  }
  options.area = ParseAreaId(Str(areaText));
  return true;
}

int DumpArea(const DumpOptions& options, std::ostream& out, std::ostream& err) {
  const Str& path = options.area.path;
  std::unique_ptr<MessageBase> base;
  if (!MakeBase(options.area.type, base)) {
    // Without a known type letter the path is the whole text given.
    err << "mvxdump: \"" << path.str()
        << "\" is no area: it must start with a type letter (S, J, M, F or *)\n";
    return kDumpUsage;
  }
  // Only ever open: a tool that looks must not create an area by looking.
  if (!base->OpenArea(path).ok()) {
    const Errc code = base->ErrorCode();
    err << "mvxdump: cannot open area \"" << path.str() << "\": " << ErrcText(code) << " (error "
        << HexCode(code) << ")\n";
    DisposeBase(base);
    return kDumpAreaError;
  }

  // Squish numbers its messages by their place in the index; its uids are a
  // separate, ever-rising series. The other formats number messages directly.
  const bool squish = options.area.type == AreaType::kSquish;
  bool damaged = false;
  std::int32_t listed = 0;
  auto listCurrent = [&](std::int32_t number) {
    const bool loaded = options.headersOnly ? base->LoadHeaderAndKludges().ok() : base->LoadMessage().ok();
    if (!loaded) {
      err << "mvxdump: message " << number << " could not be loaded: " << ErrcText(base->ErrorCode())
          << " (error " << HexCode(base->ErrorCode()) << ")\n";
      damaged = true;
    } else {
      PrintMessage(*base, number, squish, options.headersOnly, out);
      base->ReleaseMessage().Ignore();
    }
    ++listed;
  };

  // Squish is positioned by the bookmark of an index place (CurrentUid);
  // the others by number.
  auto positionAt = [&](std::int32_t number) {
    if (squish) {
      base->PositionByUid((number - 1) * 12);
    } else {
      base->PositionFrom(number);
    }
  };

  if (options.onlyNumber > 0) {
    positionAt(options.onlyNumber);
    const bool found = base->IsPositioned() &&
                       (squish || base->CurrentNumber() == options.onlyNumber);
    if (!found) {
      err << "mvxdump: there is no message " << options.onlyNumber << "\n";
      CloseBase(base);
      return kDumpAreaError;
    }
    listCurrent(options.onlyNumber);
  } else {
    positionAt(options.fromNumber);
    std::int32_t ordinal = options.fromNumber;
    while (base->IsPositioned() && (options.maxCount < 0 || listed < options.maxCount)) {
      listCurrent(squish ? ordinal : base->CurrentNumber());
      ++ordinal;
      base->StepForward();
    }
  }
  CloseBase(base);
  return damaged ? kDumpDamaged : kDumpOk;
}

}  // namespace mvx
