// Helpers shared by the Squish tests: a scratch area with the test clock,
// posting a message, and an independent check of an area's files (header
// invariants, both chains walked both ways against the index).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "msgbase/file_hooks.h"
#include "squish/squish_base.h"
#include "squish/squish_records.h"
#include "support/le_bytes.h"
#include "testkit/testkit.h"

namespace mvx::squishtest {

// A temporary directory, the test clock at 6 Dec 2026 04:57:36 and the
// real file hooks; area() is "<dir>/area" (files area.sqd, area.sqi).
class AreaFixture : public ::testing::Test {
 protected:
  AreaFixture() : clock_(2026, 12, 6, 4, 57, 36) { InstallFileHooks(); }

  std::string area() const { return dir_ / "area"; }
  std::string sqd() const { return dir_ / "area.sqd"; }
  std::string sqi() const { return dir_ / "area.sqi"; }
  std::string sql() const { return dir_ / "area.sql"; }

  std::unique_ptr<SquishBase> Create() {
    auto base = std::make_unique<SquishBase>();
    EXPECT_TRUE(base->CreateArea(area()));
    return base;
  }
  std::unique_ptr<SquishBase> Open() {
    auto base = std::make_unique<SquishBase>();
    EXPECT_TRUE(base->OpenArea(area())) << std::hex << base->ErrorCode();
    return base;
  }

  testkit::TempDir dir_;
  testkit::ScopedClock clock_;
};

// Begins a message with the given header fields and text lines (each line
// gets a CR) and stores it. Returns what StoreMessage returned.
inline bool Post(MessageBase& base, const std::string& to, const std::vector<std::string>& lines,
                 const std::string& from = "Marvex", const std::string& subject = "Rules") {
  if (!base.BeginNewMessage()) return false;
  base.PutFromName(from);
  base.PutToName(to);
  base.PutSubject(subject);
  for (const std::string& l : lines) base.AppendTextLine(l.c_str());
  const bool ok = base.StoreMessage();
  base.ReleaseMessage();
  return ok;
}

// A body of `count` lines; padding makes messages of different sizes.
inline std::vector<std::string> Body(int count, const std::string& word = "line") {
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) lines.push_back(word + " " + std::to_string(i));
  return lines;
}

inline SquishBaseHeader HeaderOf(const std::vector<std::uint8_t>& sqd) {
  std::vector<std::uint8_t> head(sqd);
  head.resize(kSquishBaseHeaderSize, 0);
  return DecodeBaseHeader(head.data());
}

inline SquishFrameHeader FrameAt(const std::vector<std::uint8_t>& sqd, std::uint32_t off) {
  return DecodeFrameHeader(sqd.data() + off);
}

inline std::vector<SquishIndexRecord> IndexOf(const std::vector<std::uint8_t>& sqi,
                                              std::uint32_t count) {
  std::vector<SquishIndexRecord> recs;
  for (std::uint32_t i = 0; i < count && (i + 1) * 12 <= sqi.size(); ++i) {
    recs.push_back(DecodeIndexRecord(sqi.data() + 12 * i));
  }
  return recs;
}

// Walks one chain from head to tail and back, checking every link. Returns
// the frame offsets in chain order, or fails with a description.
inline ::testing::AssertionResult WalkChain(const std::vector<std::uint8_t>& sqd,
                                            std::uint32_t head, std::uint32_t tail,
                                            std::uint16_t type, std::vector<std::uint32_t>& out) {
  out.clear();
  const SquishBaseHeader h = HeaderOf(sqd);
  std::uint32_t prev = 0;
  for (std::uint32_t at = head; at != 0;) {
    if (out.size() > sqd.size() / 28) return ::testing::AssertionFailure() << "chain loops";
    if (at < 256 || at + 28 > h.EndFrame) {
      return ::testing::AssertionFailure() << "frame " << at << " outside 256.." << h.EndFrame;
    }
    const SquishFrameHeader f = FrameAt(sqd, at);
    if (f.FrameId != kSquishFrameId) return ::testing::AssertionFailure() << "bad id at " << at;
    if (f.FrameType != type) return ::testing::AssertionFailure() << "type at " << at;
    if (f.PrevFrame != prev) {
      return ::testing::AssertionFailure() << "prev of " << at << " is " << f.PrevFrame
                                           << ", expected " << prev;
    }
    if (at + 28ull + f.FrameLength > h.EndFrame) {
      return ::testing::AssertionFailure() << "frame " << at << " runs past EndFrame";
    }
    out.push_back(at);
    prev = at;
    at = f.NextFrame;
  }
  if (prev != tail) return ::testing::AssertionFailure() << "tail " << tail << " but walk ended at " << prev;
  // And backwards from the tail.
  std::size_t i = out.size();
  for (std::uint32_t at = tail; at != 0; at = FrameAt(sqd, at).PrevFrame) {
    if (i == 0 || out[i - 1] != at) return ::testing::AssertionFailure() << "backward walk differs at " << at;
    --i;
  }
  if (i != 0) return ::testing::AssertionFailure() << "backward walk stopped early";
  return ::testing::AssertionSuccess();
}

// Everything an independent reader checks, plus the structure of both
// chains: the header invariants, the message chain in index order, the
// free chain, and frames that tile the file from 256 to EndFrame.
inline ::testing::AssertionResult AreaIsSound(const std::string& sqdPath,
                                              const std::string& sqiPath) {
  const std::vector<std::uint8_t> sqd = testkit::ReadFileBytes(sqdPath);
  const std::vector<std::uint8_t> sqi = testkit::ReadFileBytes(sqiPath);
  if (sqd.size() < 256) return ::testing::AssertionFailure() << "short .sqd";
  const SquishBaseHeader h = HeaderOf(sqd);
  if (h.MessageTotal != h.HighestMessage) return ::testing::AssertionFailure() << "total != highest";
  if (h.MessageTotal > h.NextUid) return ::testing::AssertionFailure() << "total > next uid";
  if (h.HeaderSize < 256 || h.HeaderSize > 1023) return ::testing::AssertionFailure() << "header size";
  if (h.EndFrame == 0 || h.EndFrame > sqd.size()) return ::testing::AssertionFailure() << "EndFrame";
  for (std::uint32_t off : {h.FirstFrame, h.LastFrame, h.FirstFreeFrame, h.LastFreeFrame}) {
    if (off > h.EndFrame) return ::testing::AssertionFailure() << "offset past EndFrame";
  }
  if (h.MessageTotal > 1000000) return ::testing::AssertionFailure() << "too many messages";
  if (h.MessageHeaderSize != 28) return ::testing::AssertionFailure() << "offset 130 is " << h.MessageHeaderSize;
  if (sqi.size() / 12 < h.MessageTotal) return ::testing::AssertionFailure() << "index shorter than total";

  std::vector<std::uint32_t> messages;
  std::vector<std::uint32_t> free;
  auto r = WalkChain(sqd, h.FirstFrame, h.LastFrame, kSquishMessageFrame, messages);
  if (!r) return r << " (message chain)";
  r = WalkChain(sqd, h.FirstFreeFrame, h.LastFreeFrame, kSquishFreeFrame, free);
  if (!r) return r << " (free chain)";
  if (messages.size() != h.MessageTotal) {
    return ::testing::AssertionFailure() << messages.size() << " frames in chain, total " << h.MessageTotal;
  }
  const std::vector<SquishIndexRecord> index = IndexOf(sqi, h.MessageTotal);
  std::uint32_t lastUid = 0;
  for (std::size_t i = 0; i < index.size(); ++i) {
    if (index[i].FrameOffset != messages[i]) {
      return ::testing::AssertionFailure() << "index " << i << " names frame " << index[i].FrameOffset
                                           << ", chain has " << messages[i];
    }
    if (index[i].Uid <= lastUid || index[i].Uid >= h.NextUid) {
      return ::testing::AssertionFailure() << "uid order at record " << i;
    }
    lastUid = index[i].Uid;
    const std::uint8_t* body = sqd.data() + messages[i] + 28;
    if (GetU32(body + 214) != index[i].Uid) return ::testing::AssertionFailure() << "header uid at " << i;
  }
  // Frames lie back to back from 256 to EndFrame, each in exactly one chain.
  std::set<std::uint32_t> all(messages.begin(), messages.end());
  all.insert(free.begin(), free.end());
  if (all.size() != messages.size() + free.size()) return ::testing::AssertionFailure() << "frame in both chains";
  std::uint32_t at = 256;
  for (std::uint32_t off : all) {
    if (off != at) return ::testing::AssertionFailure() << "gap or overlap at " << at;
    at = off + 28 + FrameAt(sqd, off).FrameLength;
  }
  if (at != h.EndFrame) return ::testing::AssertionFailure() << "frames end at " << at << ", EndFrame " << h.EndFrame;
  return ::testing::AssertionSuccess();
}

}  // namespace mvx::squishtest
