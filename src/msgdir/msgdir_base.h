// MsgDirBase: a message area stored as a directory of numbered *.MSG files.
//
// Message n is the file named n in decimal with the extension "MSG" in the
// area directory: a 190-byte header (msg_header.h), the text with CR line
// ends and control lines at the top, and one NUL byte. Per-user last-read
// pointers are 16-bit words in the file "lastread" beside them.
//
// The numbers in use are learnt once, when the area is opened or created,
// and kept up to date by this object's own new and deleted messages; files
// that other programs add meanwhile are noticed only when a new message's
// name turns out to be taken (the file is never replaced: the next number is
// tried). A big area that nothing changed since our last posting opens from
// the highest number alone, kept in the small file "marvex.top", and is
// listed only when something asks about the other numbers
// (msgdir_top_hint.cpp).
//
// A message file has its name only when it is whole. A new message's file is
// made under a temporary name that no tosser or editor takes for a message
// (TempMsgFileName); StoreMessage writes the message into it, then renames
// it to its number with a rename that fails on a taken name. A message that
// is in the area already is written to a temporary file that then takes the
// place of its file in one step. A scanning tosser never sees a partial
// message, a failed store leaves nothing, and a run that stops half way
// leaves at most a temporary file, which opening the area removes once it is
// older than an hour.
//
// Message 1 is left to the echomail tossers, which keep their high-water mark
// in 1.MSG and overwrite it: a new message is never given number 1.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "msgbase/data_stream.h"
#include "msgbase/message_base.h"
#include "msgdir/msg_header.h"
#include "msgdir/number_set.h"

namespace mvx {

class MsgDirBase : public MessageBase {
 public:
  explicit MsgDirBase(Env& env = DefaultEnv()) : MessageBase(env) {}
  // Releases the open message and closes the area.
  ~MsgDirBase() override;

  bool AreaExists(const Str& path) override;
  bool HasMessage(std::int32_t number) override;
  std::int32_t CurrentUid() override;
  void PositionByUid(std::int32_t uid) override;
  std::int32_t HighestNumber() override;
  std::int32_t MessageCount() override;

  Str FromName() override;
  Str ToName() override;
  Str SubjectText() override;
  void ReadOrigAddress(FidoAddress& orig) override;
  void ReadDestAddress(FidoAddress& dest) override;
  void ReadBothAddresses(FidoAddress& orig, FidoAddress& dest) override;
  // Names are cut to 35 characters and the subject to 71.
  void PutFromName(const Str& name) override;
  void PutToName(const Str& name) override;
  void PutSubject(const Str& text) override;
  void EmitOrigKludges(bool newSerial, const FidoAddress& orig) override;
  void EmitDestKludges(const FidoAddress& dest) override;
  void EmitAddressKludges(const FidoAddress& orig, const FidoAddress& dest,
                          bool newSerial) override;

  bool HasAttribute(std::int32_t value) override;
  void ChangeAttribute(bool on, std::int32_t value) override;
  void ReadWrittenDate(DateTimeRec& d) override;
  void ReadArrivedDate(DateTimeRec& d) override;
  void PutWrittenDate(const DateTimeRec& d) override;
  void PutArrivedDate(const DateTimeRec& d) override;

  std::int32_t ReadLastRead(std::int32_t userIndex) override;
  void WriteLastRead(std::int32_t userIndex, std::int32_t value) override;

  // The header of the current message as it is on disk.
  const MsgHeader& Header() const { return header_; }

 protected:
  // The operations MessageBase reports as Errors.

  // Opens an existing directory; false with Errc::kMsgNoArea when it is missing.
  bool DoOpenArea(const Str& path) override;
  // Makes the directory with its missing parents and opens it; false with
  // Errc::kMsgNoArea when it still does not exist afterwards.
  bool DoCreateArea(const Str& path) override;
  // Forgets the area; an open message stays open. Always true.
  bool DoCloseArea() override;
  // Header and whole text of message CurrentNumber(). A file too short to
  // hold the header fails with Errc::kMsgOpenFailed.
  bool DoLoadMessage() override;
  // Header and the leading control lines only; holds no file afterwards.
  bool DoLoadHeaderAndKludges() override;
  bool DoReleaseMessage() override;
  // False when no message is held or the message could not be written
  // whole; nothing is then left of it on disk, and a message that was there
  // is unchanged. A new message gets the first free number above the
  // highest (CurrentNumber follows it). False, with nothing written, for a
  // message whose file could only be opened for reading.
  bool DoStoreMessage() override;
  // Rewrites the header in place; false for a new message not yet stored.
  bool DoStoreHeaderOnly() override;
  // Makes the message's file under a temporary name and takes an empty
  // text; CurrentNumber is the number it will most likely get. False when
  // the area is not open, every number up to 32767 is spent, or the file
  // cannot be made. Released unstored, the message leaves nothing.
  bool DoBeginNewMessage() override;
  bool DoDeleteMessage() override;

 private:
  // Sets OpenState false and AreaPath to path with a trailing separator.
  void SetAreaFromPath(const Str& path);
  // Learns the numbers in use and removes stale temporary files.
  void ScanNumbers();
  // Opens from the top-number hint when the directory has not changed since
  // it was written; false (numbers unknown) otherwise.
  bool UseTopHint();
  // ScanNumbers unless the numbers are known.
  void EnsureNumbers();
  // Marks an area big enough to keep the hint.
  void NoteAreaSize();
  // Brings the hint up to date after this object numbered messages.
  void WriteTopHint();
  bool TopHintPath(Str& path);
  // The path of message n's file: the name the scan found it under, or the
  // usual one. False when the path would not fit.
  bool MessagePath(std::int32_t n, Str& path);
  // Steps 1-5 shared by the loads: checks, opens the file and a text buffer,
  // reads the header. On false the error code is set and nothing is held.
  bool OpenForLoad();
  void DropMessage();
  // A new file under a temporary name in messageDir_ (tempFile_).
  bool MakeTempFile();
  // Closes and removes tempFile_, if any.
  void DropTempFile();
  // The held message, whole, into tempFile_ (made when there is none).
  bool WriteTempFile();
  // Gives the finished temporary file the first free number above the
  // highest (CurrentNumber follows it); false when none can be had.
  bool NumberTempFile();

  NumberSet used_;
  std::int32_t topNumber_ = 0;
  // used_ and foundNames_ hold a listing; false while only topNumber_ is
  // known (from the hint).
  bool numbersKnown_ = false;
  // The area keeps a hint file; a message was numbered since the open.
  bool keepsHint_ = false;
  bool numbered_ = false;
  // The listing found a temporary file too young to remove: no hint is
  // written, so that the next open lists the area again and removes it once
  // it is old enough.
  bool strayTemps_ = false;
  // The file of the held message under its number: none for a new one not
  // yet stored. A new message is written into tempFile_ (named tempName_)
  // until it is stored.
  std::unique_ptr<DataStream> messageFile_;
  std::unique_ptr<DataStream> tempFile_;
  Str tempName_;
  bool tempEmpty_ = false;  // tempFile_ was made and nothing written to it yet
  // A message is held (BeginNewMessage, LoadMessage) until released.
  bool messageHeld_ = false;
  // The area directory of the held message (a message outlives CloseArea),
  // and the file it was loaded from or stored as.
  Str messageDir_;
  Str messageName_;
  MsgHeader header_;
  // Messages the scan found under a name other than the usual one (0012.MSG
  // for 12), so that they can still be loaded and deleted.
  std::map<std::int32_t, Str> foundNames_;
};

}  // namespace mvx
