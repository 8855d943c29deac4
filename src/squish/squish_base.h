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
//
// A store, a delete or a move writes in several places, and the base header
// is the one write that makes it count. Before its first write that anyone
// else could see, each of them puts an intent (one or two records) into the
// .SQI after the live records, where no reader looks. A crash or a failed
// write can then leave only states that the intent describes exactly:
// opening the area (or the next write, or closing) recognises them and
// undoes the store or finishes the delete (squish_repair.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "msgbase/data_stream.h"
#include "msgbase/message_base.h"
#include "squish/squish_records.h"
#include "support/str.h"

namespace mvx {

class SquishBase : public MessageBase {
 public:
  explicit SquishBase(Env& env = DefaultEnv());
  ~SquishBase() override;

  bool AreaExists(const Str& path) override;
  bool HasMessage(std::int32_t uid) override;
  void PositionFrom(std::int32_t uid) override;
  void StepForward() override;
  void StepBack() override;
  // A bookmark: the byte offset of the current index record.
  std::int32_t CurrentUid() override;
  void PositionByUid(std::int32_t bookmark) override;
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

  std::int32_t ReadLastRead(std::int32_t userIndex) override;
  void WriteLastRead(std::int32_t userIndex, std::int32_t value) override;

  // Read-only views for tools and tests.
  const SquishBaseHeader& BaseHeader() const { return header_; }
  std::uint32_t CurrentFrameOffset() const { return currentFrameOffset_; }

 protected:
  // The operations MessageBase reports as Errors.
  bool DoOpenArea(const Str& path) override;
  bool DoCreateArea(const Str& path) override;
  bool DoCloseArea() override;
  bool DoLoadMessage() override;
  bool DoLoadHeaderAndKludges() override;
  bool DoReleaseMessage() override;
  bool DoStoreMessage() override;
  bool DoStoreHeaderOnly() override;
  bool DoBeginNewMessage() override;
  bool DoDeleteMessage() override;

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

  // An operation in progress, as its intent records in the .SQI say.
  struct Intent {
    enum class Kind { kNone, kStore, kDelete, kMove };
    Kind kind = Kind::kNone;
    std::int64_t at = 0;        // .SQI offset of its first record
    SquishIndexRecord record;   // store, move: the new record; delete: the old one
    std::int64_t position = 0;  // delete, move: .SQI offset of the message's record
    std::uint32_t prev = 0;     // delete: the message's neighbours in the chain
    std::uint32_t next = 0;
    std::uint32_t oldFrame = 0; // move: the frame the message leaves
  };

  // Which link of a frame header WriteLink rewrites.
  enum class Link { kNext, kPrev };

  // --- files (squish_area.cpp)
  Str FileName(const char* ext) const;
  Str NewFileName(const char* ext) const;
  bool OpenFiles();
  void DropFiles();
  bool CreateFiles(const Str& dataName, const Str& indexName);
  bool ReadBaseHeader();
  // Writes h as the base header; header_ becomes h once it is written.
  bool CommitHeader(const SquishBaseHeader& h);
  bool Damaged();  // sets Errc::kSquishDamagedArea, false
  // After a failed read or write of s: keeps the operating system's reason,
  // clears the stream's error, sets code; false.
  bool Failed(DataStream& s, Errc code);

  // --- index (squish_index.cpp)
  std::int64_t IndexSize();
  // Byte length of the live records: min(MessageTotal, whole records) * 12.
  std::int64_t LiveIndexBytes();
  bool ReadIndexRecord(std::int64_t pos, SquishIndexRecord& rec);
  bool WriteIndexRecord(std::int64_t pos, const SquishIndexRecord& rec);
  // Moves the records in [from + 12, end) down by 12 bytes, block by block
  // from the front; the record at end - 12 keeps its old value.
  bool ShiftIndexDown(std::int64_t from, std::int64_t end);
  bool TruncateIndex(std::int64_t size);
  // Cuts records after the live ones (other programs' leftovers) before an
  // operation puts its intent there.
  bool ClearIndexTail(std::int64_t live);
  // Reads the records in [from, end) in blocks and hands each, with its
  // offset, to visit until visit returns false; false when the index could
  // not be read.
  bool ScanRecords(std::int64_t from, std::int64_t end,
                   const std::function<bool(const SquishIndexRecord&, std::int64_t)>& visit);
  bool ScanLiveRecords(const std::function<bool(const SquishIndexRecord&, std::int64_t)>& visit);
  // Highest frame offset a live record names (0 when none); false when the
  // index could not be read.
  bool HighestLiveFrame(std::uint32_t& highest);
  // Whether a live record names the frame; false when the index could not
  // be read.
  bool FrameIsLive(std::uint32_t frame, bool& live);
  void ClearPosition();

  // --- frames (squish_frames.cpp)
  std::int64_t DataSize();
  bool ReadFrame(std::uint32_t offset, SquishFrameHeader& f);
  bool WriteFrame(const SquishFrameHeader& f, std::uint32_t offset);
  // Rewrites one link field (4 bytes) of the frame header at `at`.
  bool WriteLink(std::uint32_t at, Link which, std::uint32_t to);
  // Reads the frame at offset if it is one whose links may be rewritten: a
  // frame id, a place after the base header, a body inside the file.
  bool ReadLinkable(std::uint32_t offset, SquishFrameHeader& f);
  // ReadLinkable, and a frame of that chain's type.
  bool ReadChainFrame(std::uint32_t offset, std::uint16_t type, SquishFrameHeader& f);
  // The uid in the message header of the frame at offset.
  bool ReadFrameUid(std::uint32_t offset, std::uint32_t& uid);
  // A frame whose end is EndFrame or the start of another frame: its length
  // does not reach into a neighbour.
  bool FollowedByFrame(std::uint32_t offset, std::uint32_t frameLength);
  // Header and chain ends consistent enough to write into.
  bool AreaIsWritable(std::int64_t dataSize);
  // No live message frame and no free frame lies at or runs past EndFrame.
  bool NothingLivesPastEnd(std::int64_t dataSize);
  // First free frame whose body holds `needed` bytes and whose neighbours
  // link back to it; false when none.
  bool FindFreeFrame(std::uint64_t needed, std::int64_t dataSize, std::uint32_t& offset,
                     SquishFrameHeader& f);
  // Takes a frame found by FindFreeFrame out of the free chain; it is then
  // in no chain, and its header still names its old neighbours.
  bool TakeFromFreeChain(const SquishFrameHeader& f);
  // Makes a frame that no chain and no live record holds the free chain's
  // last frame. Every step checks what is already done, so running it again
  // after an interruption finishes it.
  bool ReturnToFreeChain(std::uint32_t offset);

  // --- store (squish_store.cpp)
  bool GatherControlArea(ControlArea& ctl);
  bool PlaceMessage(std::uint64_t needed, std::int64_t dataSize, Placement& place);
  std::vector<std::uint8_t> MessageBody(const ControlArea& ctl);
  bool WriteBody(std::uint32_t frame, const std::vector<std::uint8_t>& body);
  bool StoreNew(const Placement& place, const std::vector<std::uint8_t>& body,
                SquishFrameHeader frame);
  bool StoreInPlace(const Placement& place, const std::vector<std::uint8_t>& body,
                    SquishFrameHeader frame);
  bool StoreMoved(const Placement& place, const std::vector<std::uint8_t>& body,
                  SquishFrameHeader frame);
  void Stored(const Placement& place, const SquishFrameHeader& frame,
              const SquishIndexRecord& rec);

  // --- delete (squish_delete.cpp)
  // Everything a delete does after its intent is written; also what finishes
  // an interrupted one.
  bool FinishDelete(const Intent& in);
  bool FinishIndexShift(const Intent& in);
  // Takes the frame at `at` out of the message chain between prev and next
  // (back link first, then the forward link).
  bool UnlinkMessage(std::uint32_t at, std::uint32_t prev, std::uint32_t next);

  // --- repair (squish_repair.cpp)
  bool WriteIntent(const Intent& in);
  Intent ReadIntent();
  // Undoes a store or finishes a delete; a move is undone until the index
  // names its new frame and finished after that. False (code set) when the
  // state on disk is not one the operation can have left, or a write failed.
  bool Recover(const Intent& in);
  // After a failed write: recover at once, or leave the repair pending.
  // Keeps the code of the failed write; always false.
  bool Abandon(const Intent& in);
  // A pending repair is done first; false while it cannot be.
  bool ReadyToWrite();
  // Takes back a frame that a store or move filled but that never became
  // part of the area: a link to it from `linkedFrom`, its place in the free
  // chain (RelinkFree) or, when its header was written, the free chain.
  bool UndoNewFrame(std::uint32_t frame, std::uint32_t uid, std::uint32_t linkedFrom,
                    std::uint32_t prev, std::uint32_t next);
  bool RelinkFree(std::uint32_t offset, const SquishFrameHeader& f);
  bool SettleMove(const Intent& in);

  // --- load (squish_load.cpp)
  bool LoadCurrent(bool withBody);

  std::unique_ptr<DataStream> dataFile_;
  std::unique_ptr<DataStream> indexFile_;
  // The base header as it is on disk.
  SquishBaseHeader header_;
  // One past the highest uid handed out: begun messages keep their uids
  // even when never stored, and closing writes NextUid up to it.
  std::uint32_t uidsTaken_ = 0;
  // An operation was interrupted and could not be finished or undone yet:
  // nothing else is written until it is.
  bool repairPending_ = false;
  Intent pendingIntent_;

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
