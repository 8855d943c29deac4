// The configuration reader: the common part and the area blocks, in order.
#include "run/config_reader.h"

#include "platform/platform.h"
#include "run/area_run.h"
#include "run/job_settings.h"
#include "run/work_flag.h"
#include "support/text_file.h"
#include "support/words.h"

namespace mvx {

namespace {

// A dry run leaves the work flag as it found it.
void StampWorkFlag(RunContext& ctx) {
  if (!ctx.DryRun) WriteWorkFlag(ctx);
}

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// A configuration that cannot be read to its end ends the run: the log says
// so and is closed.
void FatalReadError(RunContext& ctx, const Str& name) {
  ctx.Log.WriteError("Error reading file " + name);
  ctx.Log.WriteError("Program terninated...");
  ctx.Log.Write("");
  ctx.Log.Close();
}

}  // namespace

bool LoadConfiguration(RunContext& ctx, const Str& name, ConfigMode mode) {
  ctx.Log.Write("Loading " + name);
  TextFileReader file;
  if (!file.Open(Str(ctx.Here(name)), ctx.RunEnv.LockWaitMs())) {
    const int error = file.OsError();
    ctx.Log.Write(error != 0 ? "Error reading cfg file: " + Str(platform::ErrorText(error, ctx.RunEnv.LockWaitMs())) : Str("Error reading cfg file"));
    StampWorkFlag(ctx);
    return true;
  }
  Str line;
  bool firstLine = true;
  while (!file.AtEnd()) {
    if (!file.ReadLine(line)) {
      FatalReadError(ctx, name);
      return false;
    }
    // Editors that save UTF-8 may put a byte-order mark first; it is no
    // part of the first keyword.
    if (firstLine && line.starts_with(kUtf8ByteOrderMark)) line.erase_front(kUtf8ByteOrderMark.size());
    firstLine = false;
    if (line.empty() || !IsConfigLine(line)) continue;
    ApplyCommonLine(ctx, line);
    if (FirstWord(line) == "AREA") {
      if (mode == ConfigMode::kCommonOnly) return true;
      // The block takes its tag from this line by its blanks; a tab between
      // AREA and the tag is one as well.
      Str spaced;
      for (std::size_t i = 0; i < line.size(); ++i) spaced += line[i] == '\t' ? ' ' : line[i];
      line = spaced;
      // The block reads its lines from the same file into the same line, so
      // reading goes on after the block's last line.
      if (!RunAreaBlock(ctx, file, line)) {
        FatalReadError(ctx, name);
        return false;
      }
    }
    // Only a stop line that was asked for ends the reading: a line of blanks
    // (whose first word is empty) must not end a scheduled run and silently
    // drop every later block.
    if (!ctx.StopLine.empty() && FirstWord(line) == ctx.StopLine) return true;
  }
  // AtEnd() is true as well once a read has failed, also on the very first
  // read: a file that could not be read is no file read to its end.
  if (file.ReadError()) {
    FatalReadError(ctx, name);
    return false;
  }
  StampWorkFlag(ctx);
  return true;
}

}  // namespace mvx
