// MessageBase: the one interface through which every message storage format
// is reached.
//
// The base implements what does not depend on the format: navigation by
// number, the text of the current message (held in TextBuffer, lines ended by
// CR, control lines at the top), control-line editing, reading addresses from
// control lines, area flags, the error code, the open state, the current
// number and the area path. What depends on the format is pure virtual, and
// the few operations a format does its own way are virtual with the base's
// way as their default. The formats close their area in their destructors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "error/error.h"
#include "msgbase/data_stream.h"
#include "msgbase/env.h"
#include "support/address.h"
#include "support/datetime.h"
#include "support/str.h"

namespace mvx {

// Generic attribute bits; each format translates them into its stored bits.
constexpr std::int32_t kAttrPrivate = 0x0001;
constexpr std::int32_t kAttrCrash = 0x0002;
constexpr std::int32_t kAttrReceived = 0x0004;
constexpr std::int32_t kAttrSent = 0x0008;
constexpr std::int32_t kAttrFileAttached = 0x0010;
constexpr std::int32_t kAttrInTransit = 0x0020;
constexpr std::int32_t kAttrOrphan = 0x0040;
constexpr std::int32_t kAttrKillSent = 0x0080;
constexpr std::int32_t kAttrLocal = 0x0100;
constexpr std::int32_t kAttrHold = 0x0200;
constexpr std::int32_t kAttrFileRequest = 0x0400;
constexpr std::int32_t kAttrReturnReceiptRequest = 0x0800;
constexpr std::int32_t kAttrIsReturnReceipt = 0x1000;
constexpr std::int32_t kAttrAuditRequest = 0x2000;
constexpr std::int32_t kAttrFileUpdateRequest = 0x4000;
constexpr std::int32_t kAttrScanned = 0x8000;

// Area kind bits of AreaFlags.
constexpr std::uint32_t kAreaNetmail = 0x1;
constexpr std::uint32_t kAreaEchomail = 0x2;
constexpr std::uint32_t kAreaLocal = 0x4;

class MessageBase {
 public:
  MessageBase(const MessageBase&) = delete;
  MessageBase& operator=(const MessageBase&) = delete;
  virtual ~MessageBase();

  // --- The area. Each operation that can fail says why in its Error (the
  // format's code, the system's reason when a file gave one, the area).
  Error OpenArea(const Str& path) { return Run([&] { return DoOpenArea(path); }, Errc::kOpenFailed); }
  Error CreateArea(const Str& path) { return Run([&] { return DoCreateArea(path); }, Errc::kCreateFailed); }
  virtual bool AreaExists(const Str& path) = 0;
  // Fails when the area's files could not be brought up to date (a failed
  // header write, say), so that the caller can report it.
  Error CloseArea() { return Run([&] { return DoCloseArea(); }, Errc::kWriteFailed); }
  bool IsOpen() const { return openState_; }
  const Str& AreaPath() const { return areaPath_; }
  // The code of the last failure (kNone for none; a Squish open that settled
  // an interrupted change says kSquishRepaired); ErrcNumber gives the number
  // the format has always reported.
  Errc ErrorCode() const { return errorCode_; }
  // The operating system's reason for that failure when a file gave one (0
  // otherwise): the log says "Permission denied" rather than only that the
  // area failed.
  int OsError() const { return osError_; }
  // Both as one Error, with the area's path for its file.
  Error LastError() const { return Error(errorCode_, osError_, areaPath_.str()); }

 private:
  // Runs a format's operation with nothing of an earlier failure left over,
  // so that a failure's reason is its own, and reports it: success, or the
  // code it set, or fallback when it set none (a failure never reads as a
  // success; ErrorCode() says the same). A success that set nothing leaves the earlier failure in
  // ErrorCode() and OsError().
  template <typename Op>
  Error Run(Op op, Errc fallback) {
    const Errc earlierCode = errorCode_;
    const int earlierOs = osError_;
    errorCode_ = Errc::kNone;
    osError_ = 0;
    if (op()) {
      if (errorCode_ == Errc::kNone && osError_ == 0) errorCode_ = earlierCode, osError_ = earlierOs;
      return Error();
    }
    if (errorCode_ == Errc::kNone) errorCode_ = fallback;
    return LastError();
  }

 public:
  // --- Messages by number. The base's walks ask HighestNumber and HasMessage
  // afresh on every step, so messages that appear during a walk are reached.
  virtual bool HasMessage(std::int32_t number) = 0;
  virtual std::int32_t HighestNumber() = 0;
  virtual std::int32_t MessageCount() = 0;
  std::int32_t CurrentNumber() const { return currentNumber_; }
  virtual void PositionFrom(std::int32_t number);
  virtual void StepForward();
  virtual void StepBack();
  bool IsPositioned() const { return currentNumber_ != 0; }
  // A format's own handle of the current message, to come back to it.
  virtual std::int32_t CurrentUid() = 0;
  virtual void PositionByUid(std::int32_t uid) = 0;

  // --- The current message
  Error BeginNewMessage() { return Run([&] { return DoBeginNewMessage(); }, Errc::kCreateFailed); }
  Error LoadMessage() { return Run([&] { return DoLoadMessage(); }, Errc::kReadFailed); }
  Error LoadHeaderAndKludges() { return Run([&] { return DoLoadHeaderAndKludges(); }, Errc::kReadFailed); }
  // Fails when any part of the message could not be written.
  Error StoreMessage() { return Run([&] { return DoStoreMessage(); }, Errc::kWriteFailed); }
  Error StoreHeaderOnly() { return Run([&] { return DoStoreHeaderOnly(); }, Errc::kWriteFailed); }
  // Fails when no message was held.
  Error ReleaseMessage() { return Run([&] { return DoReleaseMessage(); }, Errc::kNotHeld); }
  Error DeleteMessage() { return Run([&] { return DoDeleteMessage(); }, Errc::kDeleteFailed); }

  // --- Header fields
  virtual Str FromName() = 0;
  virtual Str ToName() = 0;
  virtual Str SubjectText() = 0;
  virtual void PutFromName(const Str& name) = 0;
  virtual void PutToName(const Str& name) = 0;
  virtual void PutSubject(const Str& text) = 0;
  virtual bool HasAttribute(std::int32_t value) = 0;
  virtual void ChangeAttribute(bool on, std::int32_t value) = 0;
  virtual void ReadWrittenDate(DateTimeRec& d) = 0;
  virtual void ReadArrivedDate(DateTimeRec& d) = 0;
  virtual void PutWrittenDate(const DateTimeRec& d) = 0;
  virtual void PutArrivedDate(const DateTimeRec& d) = 0;
  // Written and arrived date := now (the env's clock), in that order.
  void StampNow();

  // --- Last-read pointers
  virtual std::int32_t ReadLastRead(std::int32_t userIndex) = 0;
  virtual void WriteLastRead(std::int32_t userIndex, std::int32_t value) = 0;

  // --- Addresses. The readers take the first line of the text and every
  // control line, a later line overriding an earlier one; the writers keep
  // MSGID (and, in netmail, INTL, FMPT and TOPT) up to date.
  virtual void ReadOrigAddress(FidoAddress& orig);
  virtual void ReadDestAddress(FidoAddress& dest);
  virtual void ReadBothAddresses(FidoAddress& orig, FidoAddress& dest);
  virtual void EmitOrigKludges(bool newSerial, const FidoAddress& orig);
  virtual void EmitDestKludges(const FidoAddress& dest);
  virtual void EmitAddressKludges(const FidoAddress& orig, const FidoAddress& dest,
                                  bool newSerial);
  // What one control line says of an address; only what it names changes.
  static void ParseOrigKludge(FidoAddress& orig, const Str& line);
  static void ParseDestKludge(FidoAddress& dest, const Str& line);
  // " * Origin: text (addr)", text cut so that the line has at most 79
  // characters.
  void AppendOriginLine(const Str& text, const FidoAddress& addr);

  // --- The text. Without a text buffer (no message begun or loaded) the
  // text is empty and writes go nowhere.
  DataStream* TextBuffer() { return textBuffer_.get(); }
  // Next line of the text into line, without its line end (CR, CR LF or a 0
  // byte, as in line_reader.h): its first maxLen bytes, the rest of a longer
  // line skipped.
  void ReadTextLine(std::string& line, std::size_t maxLen = Str::kMax);
  // Writes line and a CR at the text position; a 0 byte ends the line.
  void AppendTextLine(std::string_view line);
  bool AtTextEnd();
  void MoveTextTo(std::int32_t offset);
  std::int32_t TextOffset();
  std::int32_t TextLength();
  void CutTextHere();
  void ReadTextBytes(std::uint16_t count, void* buffer);
  void WriteTextBytes(std::uint16_t count, const void* buffer);

  // --- Control lines, found by their leading bytes. Each edit keeps the
  // control lines together at the top and leaves the position at the end.
  // The first line that begins with key, whole, into line (untouched when
  // there is none); FoundLineStart/FoundLineEnd delimit it with its line end.
  bool FindControlLine(std::string_view key, std::string& line);
  std::int32_t FoundLineStart() const { return foundLineStart_; }
  std::int32_t FoundLineEnd() const { return foundLineEnd_; }
  // The first line that begins with key becomes line (inserted when none).
  void ReplaceControlLine(std::string_view key, std::string_view line);
  void DeleteControlLine(std::string_view key);
  // After the first run of control lines, or at the end when there is none.
  void InsertControlLine(std::string_view line);
  std::int32_t ControlBlockEnd();

  // --- Area flags (kArea*)
  void ChangeAreaFlag(bool on, std::uint32_t mask);
  bool HasAreaFlag(std::uint32_t mask) const { return (areaFlags_ & mask) == mask; }
  std::uint32_t AreaFlags() const { return areaFlags_; }
  // 0 netmail, 1 echomail, 2 local (the other kind bits cleared).
  void SetAreaKind(std::int32_t kind);

 protected:
  // What the formats do for the operations above: true on success, else
  // false with the code set (SetErrorCode) and the system's reason noted
  // (NoteOsError) where there is one.
  virtual bool DoOpenArea(const Str& path) = 0;
  virtual bool DoCreateArea(const Str& path) = 0;
  virtual bool DoCloseArea() = 0;
  virtual bool DoBeginNewMessage() = 0;
  virtual bool DoLoadMessage() = 0;
  virtual bool DoLoadHeaderAndKludges() = 0;
  virtual bool DoStoreMessage() = 0;
  virtual bool DoStoreHeaderOnly() = 0;
  virtual bool DoReleaseMessage() = 0;
  virtual bool DoDeleteMessage() = 0;

  // The base reaches its files, the clock and its MSGID serials through env,
  // which must outlive it.
  explicit MessageBase(Env& env = DefaultEnv()) : env_(env) {}
  // What the base was made with: its files, clock and serials come from it.
  Env& env() const { return env_; }

  // The plain state the formats keep up to date.
  void SetErrorCode(Errc code) { errorCode_ = code; }
  void SetOpenState(bool open) { openState_ = open; }
  void SetCurrentNumber(std::int32_t number) { currentNumber_ = number; }
  void SetAreaPath(const Str& path) { areaPath_ = path; }
  // Destroys the held text buffer (if any) and holds the new one.
  void AttachTextBuffer(std::unique_ptr<DataStream> stream) { textBuffer_ = std::move(stream); }
  // Keeps the OS reason of a file failure (0 changes nothing).
  void NoteOsError(int error) {
    if (error != 0) osError_ = error;
  }
  // Forgets what the operation met on its way to success (a name another
  // program took, whose area is then joined), so the success reads as one.
  void ForgetFailure() { errorCode_ = Errc::kNone, osError_ = 0; }

  // For a format that keeps the origin address outside the text: after
  // loading, the MSGID line (if the message has one) takes that address, and
  // a netmail area gets its INTL and FMPT lines back. Unlike
  // EmitOrigKludges(false, ...) it never adds a MSGID the message lacks.
  void RestoreOrigKludges(const FidoAddress& orig);
  // The netmail part of EmitOrigKludges: INTL and FMPT from orig and the
  // text's destination; nothing for other areas.
  void EmitOrigNetmailKludges(const FidoAddress& orig);

 private:
  // Calls fn with the first line of the text and each control line, in
  // order, and leaves the position at the end of the text.
  template <typename Fn>
  void ForEachAddressLine(Fn&& fn);
  // Copies the text from offset `from` to the end into a temporary stream,
  // moves to `at`, lets `write` put its bytes there, copies the tail back and
  // cuts the text after it. Shared by replace, delete and insert.
  template <typename WriteFn>
  void SpliceText(std::int32_t at, std::int32_t from, WriteFn write);

  std::int32_t foundLineStart_ = 0;
  std::int32_t foundLineEnd_ = 0;
  Errc errorCode_ = Errc::kNone;
  int osError_ = 0;
  bool openState_ = false;
  std::uint32_t areaFlags_ = 0;
  std::int32_t currentNumber_ = 0;
  std::unique_ptr<DataStream> textBuffer_;
  Str areaPath_;
  Env& env_;
};

}  // namespace mvx
