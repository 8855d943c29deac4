// MessageBase: the one interface through which every message storage format
// is reached.
//
// The base implements what does not depend on the format: navigation by
// number, the text of the current message (held in TextBuffer, lines ended by
// CR, control lines at the top), control-line editing, reading addresses from
// control lines, area flags, the error code, the open state, the current
// number and the area path. Every operation whose work depends on the format
// is "open" here: calling it on an object that does not supply it stops the
// program with run-time error 217 (a programming error, never input).
//
// The operations are declared in their fixed order (1-77); operation 1,
// Destroy, is the virtual destructor: the formats close their area in it.
//
// A plain MessageBase (not one of the formats) also serves as a line reader
// over a stream handed to it by the line-reader constructor.
#pragma once

#include <cstdint>
#include <memory>

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

// Sizes of the text-handling buffers.
constexpr std::uint16_t kReadBlock = 1024;        // ReadTextLine reads in blocks of this
constexpr std::uint16_t kEditLineBuffer = 16384;  // replace/delete/insert search buffer

class MessageBase {
 public:
  // Shared construction: no area, no message, no text buffer. The base
  // reaches its files, the clock and its MSGID serials through env, which
  // must outlive it.
  explicit MessageBase(Env& env = DefaultEnv());
  // Line reader: shared construction, then AttachTextBuffer(stream).
  explicit MessageBase(std::unique_ptr<DataStream> stream, Env& env = DefaultEnv());
  MessageBase(const MessageBase&) = delete;
  MessageBase& operator=(const MessageBase&) = delete;

  // --- 1-18: area and navigation
  virtual ~MessageBase();                                         // 1 Destroy
  virtual bool OpenArea(const Str& path);                         // 2
  virtual bool CreateArea(const Str& path);                       // 3
  virtual bool AreaExists(const Str& path);                       // 4
  // Returns false when the area's files could not be brought up to date
  // (a failed header write, say), so that the caller can report it.
  virtual bool CloseArea();                                       // 5
  virtual bool HasMessage(std::int32_t number);                   // 6
  virtual std::int32_t CurrentNumber();                           // 7
  virtual void PositionFrom(std::int32_t number);                 // 8
  virtual void StepForward();                                     // 9
  virtual void StepBack();                                        // 10
  virtual bool IsPositioned();                                    // 11
  virtual std::int32_t CurrentUid();                              // 12
  virtual void PositionByUid(std::int32_t uid);                   // 13
  virtual bool LoadMessage();                                     // 14
  virtual bool LoadHeaderAndKludges();                            // 15
  virtual bool ReleaseMessage();                                  // 16
  virtual std::int32_t HighestNumber();                           // 17
  virtual std::int32_t MessageCount();                            // 18

  // --- 19-30: header fields and addresses
  virtual Str FromName();                                         // 19
  virtual Str ToName();                                           // 20
  virtual Str SubjectText();                                      // 21
  virtual void ReadOrigAddress(FidoAddress& orig);                // 22
  virtual void ReadDestAddress(FidoAddress& dest);                // 23
  virtual void ReadBothAddresses(FidoAddress& orig, FidoAddress& dest);  // 24
  virtual void PutFromName(const Str& name);                      // 25
  virtual void PutToName(const Str& name);                        // 26
  virtual void PutSubject(const Str& text);                       // 27
  virtual void EmitOrigKludges(bool newSerial, const FidoAddress& orig);  // 28
  virtual void EmitDestKludges(const FidoAddress& dest);          // 29
  virtual void EmitAddressKludges(const FidoAddress& orig, const FidoAddress& dest,
                                  bool newSerial);                // 30

  // --- 31-41: the text
  // Next line of the text into buffer: at most maxLen - 1 bytes and a 0 byte
  // (buffer must hold maxLen bytes; maxLen 0 is treated as 1). The rest of a
  // longer line is skipped.
  virtual void ReadTextLine(std::uint16_t maxLen, char* buffer);  // 31
  virtual void ReadTextLineStr(Str& line);                        // 32
  virtual void AppendTextLine(const char* line);                  // 33
  virtual void AppendTextLineStr(const Str& line);                // 34
  virtual bool AtTextEnd();                                       // 35
  virtual void MoveTextTo(std::int32_t offset);                   // 36
  virtual std::int32_t TextOffset();                              // 37
  virtual std::int32_t TextLength();                              // 38
  virtual void CutTextHere();                                     // 39
  virtual void ReadTextBytes(std::uint16_t count, void* buffer);  // 40
  virtual void WriteTextBytes(std::uint16_t count, const void* buffer);  // 41

  // --- 42-49: attributes, dates, storing
  virtual bool HasAttribute(std::int32_t value);                  // 42
  virtual void ChangeAttribute(bool on, std::int32_t value);      // 43
  virtual void ReadWrittenDate(DateTimeRec& d);                   // 44
  virtual void ReadArrivedDate(DateTimeRec& d);                   // 45
  virtual void PutWrittenDate(const DateTimeRec& d);              // 46
  virtual void PutArrivedDate(const DateTimeRec& d);              // 47
  // False when any part of the message could not be written.
  virtual bool StoreMessage();                                    // 48
  virtual bool StoreHeaderOnly();                                 // 49

  // --- 50-57: control lines
  // First line that begins with key (buffer of maxLen bytes as for
  // ReadTextLine); FoundLineStart/FoundLineEnd delimit it.
  virtual bool FindLinePrefix(const char* key, std::uint16_t maxLen, char* buffer);  // 50
  virtual bool FindControlLine(const Str& key, Str& line);        // 51
  virtual void ReplaceLinePrefix(const char* key, const char* line);  // 52
  virtual void ReplaceControlLine(const Str& key, const Str& line);   // 53
  virtual void DeleteLinePrefix(const char* key);                 // 54
  virtual void DeleteControlLine(const Str& key);                 // 55
  virtual void InsertControlLineC(const char* line);              // 56
  virtual void InsertControlLine(const Str& line);                // 57

  // --- 58-62: buffer access, area flags, address parsers
  virtual DataStream* TextBuffer();                               // 58
  virtual void ChangeAreaFlag(bool on, std::uint32_t mask);       // 59
  virtual bool HasAreaFlag(std::uint32_t mask);                   // 60
  virtual void ParseOrigKludge(FidoAddress& orig, const Str& line);  // 61
  virtual void ParseDestKludge(FidoAddress& dest, const Str& line);  // 62

  // --- 63-69: messages, last-read pointers, area kind, origin
  virtual bool BeginNewMessage();                                 // 63
  virtual bool DeleteMessage();                                   // 64
  virtual std::int32_t ReadLastRead(std::int32_t userIndex);      // 65
  virtual void WriteLastRead(std::int32_t userIndex, std::int32_t value);  // 66
  virtual void SetAreaKind(std::int32_t kind);                    // 67
  virtual void AppendOriginLine(const Str& text, const FidoAddress& addr);  // 68
  virtual std::int32_t ControlBlockEnd();                         // 69

  // --- 70-77: plain state
  // Destroys the held stream (if any) and holds the new one.
  virtual void AttachTextBuffer(std::unique_ptr<DataStream> stream);  // 70
  virtual void SetErrorCode(std::int32_t code);                   // 71
  virtual std::int32_t ErrorCode();                               // 72
  virtual void SetOpenState(bool open);                           // 73
  virtual bool IsOpen();                                          // 74
  virtual void SetCurrentNumber(std::int32_t number);             // 75
  virtual void SetAreaPath(const Str& path);                      // 76
  virtual Str AreaPath();                                         // 77

  // Fixed: written and arrived date := now (the env's clock), in that order.
  void StampNow();

  std::int32_t FoundLineStart() const { return foundLineStart_; }
  std::int32_t FoundLineEnd() const { return foundLineEnd_; }
  std::uint32_t AreaFlags() const { return areaFlags_; }
  // The operating system's reason for the last failure to open, create or
  // write a file of the area, when one is known (0 otherwise): the log says
  // "Permission denied" rather than only that the area failed.
  int OsError() const { return osError_; }

 protected:
  // What the base was made with: its files, clock and serials come from it.
  Env& env() const { return env_; }

  // For a format that keeps the origin address outside the text: after
  // loading, the MSGID line (if the message has one) takes that address, and
  // a netmail area gets its INTL and FMPT lines back. Unlike
  // EmitOrigKludges(false, ...) it never adds a MSGID the message lacks.
  void RestoreOrigKludges(const FidoAddress& orig);
  // The netmail part of EmitOrigKludges: INTL and FMPT from orig and the
  // text's destination; nothing for other areas.
  void EmitOrigNetmailKludges(const FidoAddress& orig);
  // Calls fn with the first line of the text and each control line, in
  // order, and leaves the position at the end of the text.
  template <typename Fn>
  void ForEachAddressLine(Fn&& fn);
  // Keeps the OS reason of a file failure (0 changes nothing).
  void NoteOsError(int error) {
    if (error != 0) osError_ = error;
  }

  // Copies the text from offset `from` to the end into a temporary stream,
  // moves to `at`, lets `write` put its bytes there, copies the tail back and
  // cuts the text after it. Shared by replace, delete and insert.
  template <typename WriteFn>
  void SpliceText(std::int32_t at, std::int32_t from, WriteFn write);

  std::int32_t foundLineStart_ = 0;
  std::int32_t foundLineEnd_ = 0;
  std::int32_t errorCode_ = 0;
  int osError_ = 0;
  bool openState_ = false;
  std::uint32_t areaFlags_ = 0;
  std::int32_t currentNumber_ = 0;
  std::unique_ptr<DataStream> textBuffer_;
  Str areaPath_;
  Env& env_;
};

}  // namespace mvx
