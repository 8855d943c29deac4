// SquishBase: the MessageBase of areas stored in the Squish format (.SQD
// frames, .SQI index, .SQL last-read pointers).
//
// No index is held in memory: every lookup reads the .SQI, and only the
// current message (its frame header, message header and index record) and
// the base header are kept. The live index records are the first
// MessageTotal ones; records after them are leftovers that other programs
// leave behind after a delete and are ignored.
//
// Writing keeps the base header in the shape independent readers insist on
// after every operation: MessageTotal == HighestMessage <= NextUid, EndFrame
// past every frame, frames appended only at a checked EndFrame. An area
// whose header or chains do not hold together is never written into.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "msgbase/data_stream.h"
#include "msgbase/message_base.h"
#include "squish/squish_records.h"
#include "support/str.h"

namespace mvx {

class SquishBase : public MessageBase {
 public:
  SquishBase();
  ~SquishBase() override;

  bool OpenArea(const Str& path) override;
  bool CreateArea(const Str& path) override;
  bool AreaExists(const Str& path) override;
  bool CloseArea() override;
  bool HasMessage(std::int32_t uid) override;
  void PositionFrom(std::int32_t uid) override;
  void StepForward() override;
  void StepBack() override;
  bool IsPositioned() override;
  // A bookmark: the byte offset of the current index record.
  std::int32_t CurrentUid() override;
  void PositionByUid(std::int32_t bookmark) override;
  bool LoadMessage() override;
  bool LoadHeaderAndKludges() override;
  bool ReleaseMessage() override;
  std::int32_t HighestNumber() override;
  std::int32_t MessageCount() override;

  Str FromName() override;
  Str ToName() override;
  Str SubjectText() override;
  void ReadOrigAddress(FidoAddress& orig) override;
  void ReadDestAddress(FidoAddress& dest) override;
  void ReadBothAddresses(FidoAddress& orig, FidoAddress& dest) override;
  // Longer texts are cut to 35, 35 and 71 characters.
  void PutFromName(const Str& name) override;
  void PutToName(const Str& name) override;
  void PutSubject(const Str& text) override;

  bool HasAttribute(std::int32_t value) override;
  void ChangeAttribute(bool on, std::int32_t value) override;
  void ReadWrittenDate(DateTimeRec& d) override;
  void ReadArrivedDate(DateTimeRec& d) override;
  void PutWrittenDate(const DateTimeRec& d) override;
  void PutArrivedDate(const DateTimeRec& d) override;
  bool StoreMessage() override;
  bool StoreHeaderOnly() override;

  bool BeginNewMessage() override;
  bool DeleteMessage() override;
  std::int32_t ReadLastRead(std::int32_t userIndex) override;
  void WriteLastRead(std::int32_t userIndex, std::int32_t value) override;

  // Read-only views for tools and tests.
  const SquishBaseHeader& BaseHeader() const { return header_; }
  std::uint32_t CurrentFrameOffset() const { return currentFrameOffset_; }

 private:
  // What the current message is, which decides what storing may do.
  enum class MessageState {
    kNone,        // nothing to store
    kNew,         // begun, never stored: storing appends it
    kStored,      // loaded whole, or stored: storing rewrites it
    kHeaderOnly,  // loaded without its body: only its header may be stored
  };

  // Control information gathered from the top of the text buffer.
  struct ControlArea;
  struct Placement;

  // --- files (squish_area.cpp)
  Str FileName(const char* ext) const;
  Str NewFileName(const char* ext) const;
  bool OpenFiles();
  void DropFiles();
  bool CreateFiles();
  bool ReadBaseHeader();
  bool WriteBaseHeader();

  // --- index (squish_index.cpp)
  // Byte length of the live records: min(MessageTotal, whole records) * 12.
  std::int64_t LiveIndexBytes();
  bool ReadIndexRecord(std::int64_t pos, SquishIndexRecord& rec);
  bool WriteIndexRecord(std::int64_t pos, const SquishIndexRecord& rec);
  // Moves the live records after `pos` down by one; the file then ends after
  // the remaining live records.
  bool RemoveIndexRecord(std::int64_t pos);
  // Highest frame offset a live record names (0 when none); false when the
  // index could not be read.
  bool HighestLiveFrame(std::uint32_t& highest);
  // Reads the live records in blocks and hands each, with its offset, to
  // visit until visit returns false; false when the index could not be read.
  bool ScanLiveRecords(const std::function<bool(const SquishIndexRecord&, std::int64_t)>& visit);
  void ClearPosition();

  // --- frames (squish_frames.cpp)
  std::int64_t DataSize();
  bool ReadFrame(std::uint32_t offset, SquishFrameHeader& f);
  bool WriteFrame(const SquishFrameHeader& f, std::uint32_t offset);
  // Reads the frame at offset if it is one whose links may be rewritten: a
  // frame id, a place after the base header, a body inside the file.
  bool ReadLinkable(std::uint32_t offset, SquishFrameHeader& f);
  // Point the frame at `at` forward (or back) to `to`. Only a linkable frame
  // of the chain's type whose link still says `expected` is rewritten; false,
  // with nothing written, otherwise. io turns false on a failed write.
  bool SetNextOf(std::uint32_t at, std::uint16_t type, std::uint32_t expected,
                 std::uint32_t to, bool& io);
  bool SetPrevOf(std::uint32_t at, std::uint16_t type, std::uint32_t expected,
                 std::uint32_t to, bool& io);
  // Takes the frame at `offset` out of its chain (of frames of `type`).
  void UnlinkFrame(const SquishFrameHeader& f, std::uint32_t offset, std::uint16_t type,
                   std::uint32_t& head, std::uint32_t& tail, bool& io);
  void AppendToFreeChain(std::uint32_t offset, SquishFrameHeader f, bool& io);
  // A frame whose end is EndFrame or the start of another frame: its length
  // does not reach into a neighbour.
  bool FollowedByFrame(std::uint32_t offset, std::uint32_t frameLength);
  // Header and chain ends consistent enough to write into.
  bool AreaIsWritable(std::int64_t dataSize);
  // No live message frame and no free frame lies at or runs past EndFrame.
  bool NothingLivesPastEnd(std::int64_t dataSize);
  // First free frame whose body holds `needed` bytes; false when none.
  bool FindFreeFrame(std::uint64_t needed, std::int64_t dataSize, std::uint32_t& offset,
                     SquishFrameHeader& f);

  // --- store (squish_store.cpp)
  bool GatherControlArea(ControlArea& ctl);
  bool PlaceMessage(std::uint64_t needed, std::int64_t dataSize, Placement& place);
  bool WriteMessageFrame(const Placement& place, const ControlArea& ctl);

  // --- load (squish_load.cpp)
  bool LoadCurrent(bool withBody);

  std::unique_ptr<DataStream> dataFile_;
  std::unique_ptr<DataStream> indexFile_;
  SquishBaseHeader header_;
  bool headerDirty_ = false;

  SquishIndexRecord currentIndexRecord_;
  std::int64_t indexPosition_ = 0;

  MessageState state_ = MessageState::kNone;
  SquishFrameHeader currentFrame_;
  SquishMessageHeader currentHeader_;
  std::uint32_t currentFrameOffset_ = 0;
  // Where the index record of the loaded or stored message lies, and its
  // uid, to make sure it still names that message when it is written back.
  std::int64_t messageIndexPos_ = 0;
  std::uint32_t messageUid_ = 0;
};

}  // namespace mvx
