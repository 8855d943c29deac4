// JamBase: the message base over a JAM area (.JHR headers, .JDX index, .JDT
// texts, .JLR last-read pointers).
//
// No index is held in memory: message number n is index record
// n - BaseNumber, found with one seek. The current message's fixed header and
// subfields are held here; its text lives in the base's TextBuffer with the
// control lines at the top. Storing turns the control lines into subfields;
// loading turns them back into lines.
//
// Where this goes beyond the bare format, for the sake of other programs
// that share the area and of the data in it:
// - An area is its .JHR, .JDX and .JDT. A missing .JLR is normal (the
//   tossers never make one) and is created empty when the area is opened. A
//   .JLR that exists but cannot be opened (another program holds it) is left
//   alone: the area opens without it and the last-read operations do nothing.
// - Creating never empties a file: each file is made only when absent, and
//   when another program or run made the area in the meantime, that area is
//   opened instead (waited for while it is still being made). An area with
//   only some of its three files is refused. The files are made back to
//   back, .JHR with its header first, then .JDT, .JDX and .JLR, since other
//   programs take a .JHR with a .JDX for a whole area; a creation that fails
//   takes back exactly the files it made.
// - A .JHR too short for the base header, or one without the signature, is a
//   damaged area: opening refuses it (Errc::kJamBadBaseHeader) and writes nothing.
//   Only an empty .JHR beside an empty .JDX (a new area whose maker stopped
//   before writing the header) gets the header of a new area.
// - After BeginNewMessage, CurrentNumber names the new message.
// - ActiveCount counts index records actually written: it rises when
//   StoreMessage appends the new message's record, not when one is begun, so
//   a message begun but never stored leaves no phantom number behind.
// - Dropping deleted records from the index renumbers the messages after
//   them; their headers' MessageNumber is rewritten to match, so every header
//   keeps MessageNumber = BaseNumber + index position.
// - A header carrying the deleted bit 0x80000000 (how some programs delete)
//   counts as deleted: HasMessage is false and loading fails with 0x2007.
// - The subfields of one message are kept to 12288 bytes: a control line
//   whose subfield would not fit is left out, and so is every one after it
//   (DroppedControlLines). Control-line data is cut to 255 bytes.
// - StoreMessage writes the text, then the header, then the index record,
//   and cuts off what it appended when a write fails, so an index record
//   never points at a header or text that is not all there.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "jam/jam_records.h"
#include "jam/jam_subfields.h"
#include "msgbase/data_stream.h"
#include "msgbase/message_base.h"

namespace mvx {

class JamBase : public MessageBase {
 public:
  explicit JamBase(Env& env = DefaultEnv());
  ~JamBase() override;  // ReleaseMessage, CloseArea

  // True when the .JHR, .JDX and .JDT are there (the .JLR is optional).
  bool AreaExists(const Str& path) override;
  bool HasMessage(std::int32_t number) override;
  // The walks of the base, except that numbers below BaseNumber (where no
  // message can be) are passed over in one step rather than one by one: a
  // damaged BaseNumber near 2^31 must not make a walk take minutes.
  void StepForward() override;
  void StepBack() override;
  std::int32_t CurrentUid() override;
  void PositionByUid(std::int32_t uid) override;
  // The highest number in use (BaseNumber + ActiveCount - 1); 0 when none.
  std::int32_t HighestNumber() override;
  std::int32_t MessageCount() override;

  Str FromName() override;
  Str ToName() override;
  Str SubjectText() override;
  void ReadOrigAddress(FidoAddress& orig) override;
  void ReadDestAddress(FidoAddress& dest) override;
  void ReadBothAddresses(FidoAddress& orig, FidoAddress& dest) override;
  void PutFromName(const Str& name) override;
  void PutToName(const Str& name) override;
  void PutSubject(const Str& text) override;

  bool HasAttribute(std::int32_t value) override;
  void ChangeAttribute(bool on, std::int32_t value) override;
  void ReadWrittenDate(DateTimeRec& d) override;
  void ReadArrivedDate(DateTimeRec& d) override;
  void PutWrittenDate(const DateTimeRec& d) override;
  void PutArrivedDate(const DateTimeRec& d) override;
  std::int32_t ReadLastRead(std::int32_t userIndex) override;
  void WriteLastRead(std::int32_t userIndex, std::int32_t value) override;

  // Not part of the interface.
  // False when the area was opened without its .JLR (see above).
  bool HasLastReadFile() const { return lastReadFile_ != nullptr; }
  // Control lines the last StoreMessage left out because the message's
  // subfields would not have fitted in kJamSubfieldBufferSize bytes.
  std::uint32_t DroppedControlLines() const { return droppedControlLines_; }
  const JamBaseHeader& BaseHeader() const { return base_; }
  const JamMessageHeader& CurrentHeader() const { return header_; }

 protected:
  // The operations MessageBase reports as Errors.
  bool DoOpenArea(const Str& path) override;
  bool DoCreateArea(const Str& path) override;
  // False when the base header (ActiveCount, ModifyCount) could not be
  // written; the files are closed either way.
  bool DoCloseArea() override;
  bool DoLoadMessage() override;
  bool DoLoadHeaderAndKludges() override;
  bool DoReleaseMessage() override;
  // False when the text, the header or the index record could not be
  // written; what this call appended is then cut off again. Also false,
  // with nothing written, for a message loaded by LoadHeaderAndKludges (its
  // body would be lost) and for a loaded message whose index record has
  // moved since (a deletion compacted the index under it).
  bool DoStoreMessage() override;
  bool DoStoreHeaderOnly() override;
  bool DoBeginNewMessage() override;
  bool DoDeleteMessage() override;

 private:
  bool FilesOpen() const { return headerFile_ && indexFile_ && textFile_; }
  void ClearStatuses();
  // Destroys the streams without writing anything.
  void DropStreams();
  bool OpenFiles();
  bool CreateFiles();
  bool WriteBaseHeader();
  bool CompactIndex();
  // Rewrites MessageNumber of the header at offset, if a header is there.
  void RenumberHeader(std::uint32_t offset, std::uint32_t number);
  std::int64_t IndexRecordCount();
  // Index record position (bytes) of a message number in use, or -1.
  std::int64_t PositionOfNumber(std::int32_t number) const;
  bool ReadIndexRecord(std::int64_t position, JamIndexRecord& record);
  bool LoadCurrent(bool withText);
  bool ReadMessageHeader(const JamIndexRecord& record, std::uint32_t& loaded);
  void TakeHeaderSubfields();
  void AppendControlSubfieldLines();
  void AppendTrailingSubfieldLines();
  void AddControlLine(std::string_view line, std::string& body);
  void AddSubfield(std::uint16_t id, std::string_view data);
  bool WriteNewParts(const std::string& body, std::int64_t position);
  void ClearMessage();

  std::unique_ptr<DataStream> headerFile_;
  std::unique_ptr<DataStream> indexFile_;
  std::unique_ptr<DataStream> textFile_;
  std::unique_ptr<DataStream> lastReadFile_;

  JamBaseHeader base_;
  JamMessageHeader header_;
  SubfieldBuffer subfields_;
  JamIndexRecord indexRecord_;
  std::int64_t indexRecordPosition_ = 0;
  // 0 while the current message has no header in the file (a new one).
  std::uint32_t currentHeaderOffset_ = 0;
  FidoAddress orig_;
  FidoAddress dest_;
  Str fromName_;
  Str toName_;
  Str subject_;
  // True after LoadHeaderAndKludges: the text buffer lacks the body.
  bool bodyMissing_ = false;
  bool subfieldsFull_ = false;
  std::uint32_t droppedControlLines_ = 0;
};

}  // namespace mvx
