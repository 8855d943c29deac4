// The run's state: the log, the defaults of the configuration's common part,
// the one posting job that every area block refills, and the posting state.
//
// One RunContext is made per run of the program (RunMarvex makes a fresh one
// on every call), so nothing of a run survives into the next except what is on
// disk: the log, the work flag and the message bases.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "factory/area_id.h"
#include "msgbase/env.h"
#include "msgbase/message_base.h"
#include "support/address.h"
#include "support/log_file.h"
#include "support/str.h"
#include "support/text.h"

namespace mvx {

// The most bytes of file text one message takes; each line counts as its
// length plus 2.
constexpr std::int32_t kPartLimit = 16384;

// The program name and version as the posted PID line and the log show them.
inline constexpr const char* kLogTitle = "Marvex 2.1";
inline constexpr const char* kPidLine = "\x01PID: Marvex 2.2Alpha";
// The mark of messages whose text was recoded into CP866 (level 2: an 8-bit
// set), so that readers show it in the right letters.
inline constexpr const char* kCharsetLine = "\x01" "CHRS: CP866 2";
// The name a posting of standard input goes by in the log and the messages.
inline constexpr const char* kStandardInputName = "<stdin>";
inline constexpr const char* kLogName = "Marvex.Log";
inline constexpr const char* kDefaultConfigName = "config.mvx";
inline constexpr const char* kCommonPartEnd = "[ENDOFCOMMONPART]";

// The settings of one posting. AreaTag, PostFile and the area's path keep the
// case in which they were written: tags are compared upper-cased, names are handed to
// the file system as written.
struct PostJob {
  Str AreaTag;
  AreaId Area;  // the area's message base: format (kUnknown when not known) and path
  bool Due = true;
  Str PostFile;
  FidoAddress FromAddr;
  FidoAddress ToAddr;
  Str FromUser;
  Str ToUser;
  Str SubjLine;
  std::int32_t AttrFlags = 0;
  Str AreaDescription;
  Str OriginText;
  Str TearText;
  // The character set of the posted file and of the five texts above; the
  // messages carry CP866. Checked when the posting starts.
  Str Charset;
};

// The defaults that the common part of the configuration sets. WHEN and the
// two addresses stay text here; ResetJob evaluates and parses them for every
// posting.
struct CommonSettings {
  Str When = "DAILY";
  Str FromAddr = "0:0/0.0";
  Str ToAddr = "0:0/0.0";
  Str FromUser = "Sysop";
  Str ToUser = "All";
  Str SubjLine;
  std::int32_t AttrFlags = 256;
  Str OriginText = "Autoposted message";
  Str TearText;
  bool UseEncodedMessage = false;
  Str EncodedMessage = "for decode use Lumok.exe /decode";
  bool UseEncodedString = false;
  Str BeginEncodedString = "text.begin % of % of file %";
  Str EndEncodedString = "text.end";
  bool UseAsKludge = true;
  Str Charset = "CP866";
};

// What the node's tosser configuration says beyond the areas: where the
// node's MSGID serials and its echo toss log live. Filled from a
// fidoconfig-style file each time an area is looked up in it.
struct TosserSettings {
  std::string SeqDir;       // "SeqDir": directory of the node's serial counter
  std::string SeqOutrun;    // "SeqOutrun": how far the counter may run ahead
  std::string EchoTossLog;  // "EchoTossLog": file that lists areas to scan
  std::string LockFile;     // "LockFile": the tosser's run lock
  int AdvisoryLock = 0;     // "AdvisoryLock": seconds to wait for that lock
};

// The env of the run's message bases: the run's own, except that while a
// posting is written its MSGID serials come from the node's state
// (node_serials.h) instead of the clock.
class PostingEnv final : public ForwardingEnv {
 public:
  explicit PostingEnv(Env& run) : ForwardingEnv(run) {}
  SerialSource& Serials() override { return serials_ != nullptr ? *serials_ : ForwardingEnv::Serials(); }
  // The serials come from source from now on (nullptr: the run's own again).
  void UseSerials(SerialSource* source) { serials_ = source; }

 private:
  SerialSource* serials_ = nullptr;
};

struct RunContext {
  // console receives every log entry and the console-only messages; env is
  // the clock, files and serials of the run, and outlives it.
  explicit RunContext(std::ostream& console, Env& env = DefaultEnv())
      : RunEnv(env), BaseEnv(env), Log(env.Time(), &console) {}
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  // A name of the run (from the command line or a configuration) as the
  // file system must be given it: taken from the env's working directory.
  std::string Here(const std::string& name) { return InDirectory(RunEnv.WorkingDirectory(), name); }
  std::string Here(const Str& name) { return Here(name.str()); }
  std::string Here(const char* name) { return Here(std::string(name)); }

  Env& RunEnv;
  // What the bases of the postings are made with.
  PostingEnv BaseEnv;
  LogFile Log;

  // Encoding settings of the current posting.
  bool UseAsKludge = true;
  bool UseEncodedMessage = false;
  bool UseEncodedString = false;
  Str EncodedMessage;
  Str BeginEncodedString;
  Str EndEncodedString;

  // Posting state.
  bool PostingOk = true;
  std::int32_t PartBytes = 0;
  std::int32_t PartCount = 1;
  std::int32_t PartNumber = 0;
  // The base of the current posting, from PreparePosting to the end of
  // WriteMessages.
  std::unique_ptr<MessageBase> Base;
  // The -p run of "-": standard input, read to its end before the posting
  // starts, stands for the file.
  bool PostsStandardInput = false;
  std::string StandardInput;
  bool StandardInputFailed = false;
  // A look before posting: every decision is made and shown on the console,
  // but no base is opened and nothing is written (log, work flag, serials).
  bool DryRun = false;

  PostJob Job;
  CommonSettings Common;

  // Tosser configurations; set by the common part or by a block, they stay
  // for the rest of the run.
  Str HptPath;
  Str SquishCfgPath;
  Str TerminateCfgPath;
  TosserSettings Tosser;
  // Areas whose tags this run has put into the echo toss log (upper-cased).
  std::vector<Str> ScanNoted;

  // The command line and configuration reading.
  Str CommandString;
  Str ConfigName = kDefaultConfigName;
  // When not empty, a configuration line whose first word equals it ends the
  // reading ("[ENDOFCOMMONPART]" in the -p run).
  Str StopLine;
};

}  // namespace mvx
