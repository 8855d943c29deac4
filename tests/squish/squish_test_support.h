// Helpers shared by the Squish tests, with an independent check of an area.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "msgbase/env.h"
#include "squish/squish_base.h"
#include "support/le_bytes.h"
#include "testkit/messages.h"
#include "testkit/testkit.h"

namespace mvx::squishtest {

using namespace testkit;
using ::testing::AssertionFailure;
using ::testing::AssertionResult;
using U32s = std::vector<std::uint32_t>;

inline bool Delete(MessageBase& base, std::int32_t uid) {
  base.PositionFrom(uid);
  return base.CurrentNumber() == uid && base.DeleteMessage().ok();
}

// "line 0" ... "line 9" take 7 bytes with their CR, "line 10" on take 8.
inline std::vector<std::string> Body(int count, const std::string& word = "line") {
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) lines.push_back(word + " " + std::to_string(i));
  return lines;
}

// Walks a chain from head to tail (bounds, frame id, type, back links) and
// back again, reading the frame fields at their offsets; `out` gets the
// frames in chain order.
inline AssertionResult WalkChain(const Bytes& sqd, std::uint32_t head, std::uint32_t tail,
                                 std::uint16_t type, std::vector<std::uint32_t>& out) {
  const std::uint32_t end = U32At(sqd, 120);
  std::uint32_t prev = 0;
  for (std::uint32_t at = head; at != 0; prev = at, at = U32At(sqd, at + 4)) {
    if (out.size() > sqd.size() / 28 || at < 256 || at + 28 > end ||
        U32At(sqd, at) != 0xAFAE4453 || GetU16(&sqd[at + 24]) != type || U32At(sqd, at + 8) != prev ||
        at + 28ull + U32At(sqd, at + 12) > end || (type == 0 && U32At(sqd, at + 12) < 238)) {
      return AssertionFailure() << "bad frame or link at " << at;
    }
    out.push_back(at);
  }
  std::size_t i = out.size();
  for (std::uint32_t at = (prev == tail ? tail : 0); at != 0; at = U32At(sqd, at + 8)) {
    if (i == 0 || out[--i] != at) return AssertionFailure() << "backward walk differs at " << at;
  }
  if (prev != tail || i != 0) return AssertionFailure() << "tail " << tail << " not reached";
  return ::testing::AssertionSuccess();
}

// What independent readers insist on in the header (and 28 at offset 130).
inline AssertionResult HeaderAccepted(const Bytes& sqd, const Bytes& sqi) {
  if (sqd.size() < 256) return AssertionFailure() << "short .sqd";
  const std::uint32_t total = U32At(sqd, 4), nextUid = U32At(sqd, 20), end = U32At(sqd, 120);
  const std::uint16_t headerSize = GetU16(&sqd[0]);
  if (total != U32At(sqd, 8) || total > nextUid || headerSize < 256 || headerSize > 1023 ||
      end == 0 || end > sqd.size() || total > 1000000 || GetU16(&sqd[130]) != 28 ||
      sqi.size() / 12 < total ||
      std::max({U32At(sqd, 104), U32At(sqd, 108), U32At(sqd, 112), U32At(sqd, 116)}) > end) {
    return AssertionFailure() << "header: total " << total << " next uid " << nextUid << " end " << end;
  }
  return ::testing::AssertionSuccess();
}

// What a reader that goes by the index sees, in index order: each live
// record's uid, recipient and the bytes after its message header (control
// area, text, NUL). Fails when the header is refused or a record names no
// whole message frame of its uid.
using IndexEntry = std::pair<std::uint32_t, std::string>;
inline AssertionResult IndexView(const Bytes& sqd, const Bytes& sqi, std::vector<IndexEntry>& out) {
  out.clear();
  if (auto r = HeaderAccepted(sqd, sqi); !r) return r;
  for (std::size_t i = 0; i < U32At(sqd, 4); ++i) {
    const std::uint64_t at = U32At(sqi, 12 * i), uid = U32At(sqi, 12 * i + 4);
    if (at < 256 || at + 28 + 238 > sqd.size() || U32At(sqd, at) != 0xAFAE4453 ||
        GetU16(&sqd[at + 24]) != 0 || at + 28 + U32At(sqd, at + 12) > sqd.size() ||
        U32At(sqd, at + 16) > U32At(sqd, at + 12) || U32At(sqd, at + 16) < 238 + U32At(sqd, at + 20) ||
        U32At(sqd, at + 28 + 214) != uid) {
      return AssertionFailure() << "record " << i << " names no message frame of uid " << uid;
    }
    const auto body = sqd.begin() + static_cast<std::ptrdiff_t>(at + 28);
    out.emplace_back(uid, std::string(body + 40, body + 76) +
                              std::string(body + 238, body + U32At(sqd, at + 16)));
  }
  return ::testing::AssertionSuccess();
}

// What a program that walks the chains forwards meets, in a torn area too:
// from FirstFrame only whole message frames (one more than the header
// counts at most), from FirstFreeFrame only free frames that no live record
// names. A free frame a writer takes must never hold a message.
inline AssertionResult ForwardWalksSafe(const Bytes& sqd, const Bytes& sqi) {
  if (auto r = HeaderAccepted(sqd, sqi); !r) return r;
  std::set<std::uint32_t> live;
  for (std::size_t i = 0; i < U32At(sqd, 4); ++i) live.insert(U32At(sqi, 12 * i));
  for (const std::uint16_t type : {0, 1}) {
    std::size_t steps = 0;
    for (std::uint64_t at = U32At(sqd, type == 0 ? 104 : 112); at != 0; at = U32At(sqd, at + 4)) {
      if (++steps > sqd.size() / 28 || at < 256 || at + 28 + 238 > sqd.size() ||
          U32At(sqd, at) != 0xAFAE4453 || GetU16(&sqd[at + 24]) != type ||
          at + 28 + U32At(sqd, at + 12) > sqd.size() || U32At(sqd, at + 16) > U32At(sqd, at + 12) ||
          (type == 1 && live.count(static_cast<std::uint32_t>(at)) != 0)) {
        return AssertionFailure() << "chain " << type << " meets a bad frame at " << at;
      }
    }
    if (type == 0 && steps > U32At(sqd, 4) + 1) return AssertionFailure() << "message chain too long";
  }
  return ::testing::AssertionSuccess();
}

inline AssertionResult AreaIsSound(const std::string& sqdPath, const std::string& sqiPath) {
  const Bytes sqd = testkit::ReadFileBytes(sqdPath);
  const Bytes sqi = testkit::ReadFileBytes(sqiPath);
  if (auto r = HeaderAccepted(sqd, sqi); !r) return r;
  const std::uint32_t total = U32At(sqd, 4), nextUid = U32At(sqd, 20), end = U32At(sqd, 120);
  std::vector<std::uint32_t> messages;
  std::vector<std::uint32_t> free;
  if (auto r = WalkChain(sqd, U32At(sqd, 104), U32At(sqd, 108), 0, messages); !r) return r << " (messages)";
  if (auto r = WalkChain(sqd, U32At(sqd, 112), U32At(sqd, 116), 1, free); !r) return r << " (free)";
  if (messages.size() != total) return AssertionFailure() << "chain length != total";
  for (std::size_t i = 0; i < total; ++i) {  // the index names the chain in order, uids rising
    const std::uint32_t uid = U32At(sqi, 12 * i + 4);
    if (U32At(sqi, 12 * i) != messages[i] || uid >= nextUid || (i > 0 && uid <= U32At(sqi, 12 * i - 8)) ||
        U32At(sqd, messages[i] + 28 + 214) != uid) {
      return AssertionFailure() << "index record " << i << " disagrees with the chain";
    }
  }
  std::set<std::uint32_t> all(messages.begin(), messages.end());
  all.insert(free.begin(), free.end());
  std::uint32_t at = 256;
  for (std::uint32_t off : all) at = (off == at ? off + 28 + U32At(sqd, off + 12) : 0);
  if (all.size() != messages.size() + free.size() || at != end) {
    return AssertionFailure() << "frames do not tile 256.." << end;
  }
  return ::testing::AssertionSuccess();
}

// The area is "<dir>/area" (area.sqd, area.sqi, area.sql).
class AreaFixture : public testkit::ScratchTest {
 protected:
  std::string area() const { return dir_ / "area"; }
  std::string sqd() const { return dir_ / "area.sqd"; }
  std::string sqi() const { return dir_ / "area.sqi"; }
  std::string sql() const { return dir_ / "area.sql"; }
  void RemoveArea() const { std::filesystem::remove(sqd()), std::filesystem::remove(sqi()); }
  std::unique_ptr<SquishBase> Open(bool create = false) {
    auto base = std::make_unique<SquishBase>(env_);
    EXPECT_TRUE(create ? base->CreateArea(area()).ok() : base->OpenArea(area()).ok())
        << std::hex << ErrcNumber(base->ErrorCode());
    return base;
  }
  // A closed area holding one message to each name.
  void MakeArea(const std::vector<std::string>& names, int lines = 4) {
    auto base = Open(true);
    for (const std::string& n : names) ASSERT_TRUE(Post(*base, n, Body(lines)));
    ASSERT_TRUE(base->CloseArea().ok());
  }

  Bytes Data() const { return testkit::ReadFileBytes(sqd()); }
  Bytes Data(std::uint32_t from, std::uint32_t to) const {  // [from, to)
    const Bytes b = Data();
    return Bytes(b.begin() + from, b.begin() + std::min<std::size_t>(to, b.size()));
  }
  Bytes Index() const { return testkit::ReadFileBytes(sqi()); }
  std::uint32_t DataU32(std::size_t at) const { return U32At(Data(), at); }
  U32s DataU32s(std::initializer_list<std::size_t> at) const {
    const Bytes data = Data();
    U32s out;
    for (const std::size_t a : at) out.push_back(U32At(data, a));
    return out;
  }
  std::uint32_t IndexU32(std::size_t at) const { return U32At(Index(), at); }
  std::size_t IndexSize() const { return Index().size(); }
  // Both files as they are, and put back.
  std::pair<Bytes, Bytes> Files() const { return {Data(), Index()}; }
  void PutFiles(const std::pair<Bytes, Bytes>& f) const {
    testkit::WriteFileBytes(sqd(), f.first), testkit::WriteFileBytes(sqi(), f.second);
  }
  AssertionResult Sound() const { return AreaIsSound(sqd(), sqi()); }
};

}  // namespace mvx::squishtest
