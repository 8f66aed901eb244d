#include "fonts/CMap.h"

#include <cstring>

#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"

namespace fonts {
namespace {

constexpr uint32_t kTagValue = 1;
constexpr uint32_t kTagRun = 2;
constexpr uint32_t kTagMore = 3;
// Upper parts of a tag-3 entry from here on name a child slot.
constexpr uint32_t kFirstChild = 5;


uint32_t ByteAt(uint32_t code, uint32_t remaining) {
  return (code >> (8 * (remaining - 1))) & 0xFF;
}

uint32_t ValueEntry(uint32_t value) { return (value << 2) | kTagValue; }

void CheckCodeBytes(uint32_t bytes) {
  if (bytes < 1 || bytes > 4) runtime::ThrowMalformed();
}

// Destination bytes as UTF-16 units: big-endian pairs, an odd last byte a
// unit of its own.
uint32_t UnitsFromBytes(const uint8_t* bytes, uint32_t length, char16_t* units) {
  uint32_t count = 0;
  uint32_t i = 0;
  for (; i + 1 < length; i += 2) {
    units[count++] = static_cast<char16_t>((bytes[i] << 8) | bytes[i + 1]);
  }
  if (i < length) units[count++] = bytes[i];
  return count;
}

}  // namespace

uint32_t CodeFromBytes(const uint8_t* bytes, uint32_t length) {
  CheckCodeBytes(length);
  uint32_t code = 0;
  for (uint32_t i = 0; i < length; ++i) code = (code << 8) | bytes[i];
  return code;
}

// What a range walk stores at each leaf, in walk order.
class CMap::LeafSource {
 public:
  virtual ~LeafSource() = default;
  // The entry of the next leaf; false when there is none.
  virtual bool Next(CMap& map, uint32_t* entry) = 0;
};

class CMap::CidLeaves final : public LeafSource {
 public:
  explicit CidLeaves(uint32_t first) : next_(first) {}
  bool Next(CMap&, uint32_t* entry) override {
    if (next_ > kMaxValue) runtime::ThrowMalformed();
    *entry = ValueEntry(next_++);
    return true;
  }

 private:
  uint32_t next_;
};

class CMap::SameLeaves final : public LeafSource {
 public:
  explicit SameLeaves(uint32_t entry) : entry_(entry) {}
  bool Next(CMap&, uint32_t* entry) override {
    *entry = entry_;
    return true;
  }

 private:
  uint32_t entry_;
};

class CMap::BfLeaves final : public LeafSource {
 public:
  BfLeaves(const uint8_t* bytes, uint32_t length) {
    if (length == 0 || length > kMaxDestinationBytes) runtime::ThrowMalformed();
    count_ = UnitsFromBytes(bytes, length, units_);
  }
  bool Next(CMap& map, uint32_t* entry) override {
    *entry = map.DestinationEntry(units_, count_);
    // The last unit advances with the code (within its 16 bits).
    units_[count_ - 1] = static_cast<char16_t>(units_[count_ - 1] + 1);
    return true;
  }

 private:
  char16_t units_[kMaxDestinationBytes];
  uint32_t count_ = 0;
};

class CMap::ListLeaves final : public LeafSource {
 public:
  explicit ListLeaves(const runtime::ValueList& strings) : strings_(strings) {}
  bool Next(CMap& map, uint32_t* entry) override {
    if (index_ >= strings_.count) return false;
    const runtime::ObjectValue& item = strings_.items[index_++];
    if (!item.Is(runtime::ObjectTag::kString)) return false;
    const runtime::ByteString& string = *item.payload.bytes;
    if (string.length == 0 || string.length > kMaxDestinationBytes) runtime::ThrowMalformed();
    char16_t units[kMaxDestinationBytes];
    const uint32_t n = UnitsFromBytes(string.Bytes(), string.length, units);
    *entry = map.DestinationEntry(units, n);
    return true;
  }

 private:
  const runtime::ValueList& strings_;
  uint32_t index_ = 0;
};

CMap* CMap::New(runtime::LibraryContext* context, CMapDestination kind) {
  return runtime::NewObject<CMap>(context, context, kind);
}

CMap::CMap(runtime::LibraryContext* context, CMapDestination kind)
    : context_(context), arena_(context, 4096, 1024), kind_(kind), slots_(arena_, 16) {
  root_ = NewNode(nullptr, 1);
}

CMap::Node* CMap::NewNode(const Node* parent, uint32_t remaining) {
  if (nodeCount_ >= kMaxNodes) runtime::ThrowMalformed();
  runtime::ChargeWork(context_, runtime::kWorkCostLight);
  auto* node = static_cast<Node*>(arena_.Alloc(sizeof(Node)));
  ++nodeCount_;
  std::memset(node->entries, 0, sizeof(node->entries));
  if (parent == nullptr) {
    node->defaultValue = 0;
    node->rangeLow = 0xFFFFFFFF;
    node->rangeHigh = 0;
    return node;
  }
  node->defaultValue = parent->defaultValue;
  node->rangeLow = parent->rangeLow;
  node->rangeHigh = parent->rangeHigh;
  // The parent's code-space range pre-marks this level.
  if (parent->rangeLow <= parent->rangeHigh) {
    const uint32_t first = ByteAt(parent->rangeLow, remaining);
    const uint32_t last = ByteAt(parent->rangeHigh, remaining);
    const uint32_t mark =
        remaining > 1 ? (((remaining - 1) << 2) | kTagMore) : ValueEntry(node->defaultValue);
    for (uint32_t b = first; b <= last; ++b) node->entries[b] = mark;
  }
  return node;
}

uint32_t CMap::Slot(const void* pointer) {
  const uint32_t slot = slots_.Size();
  if (slot > (kMaxValue - kFirstChild)) runtime::ThrowMalformed();
  slots_.PushBack(const_cast<void*>(pointer));
  return slot;
}

CMap::Node* CMap::Child(Node* node, uint32_t byte, uint32_t remaining) {
  const uint32_t entry = node->entries[byte];
  if ((entry & 3) == kTagMore && (entry >> 2) >= kFirstChild) {
    return static_cast<Node*>(slots_[(entry >> 2) - kFirstChild]);
  }
  Node* child = NewNode(node, remaining);
  node->entries[byte] = ((Slot(child) + kFirstChild) << 2) | kTagMore;
  return child;
}

void CMap::InsertCodespace(Node* node, uint32_t low, uint32_t high, uint32_t n) {
  const uint32_t first = ByteAt(low, n);
  const uint32_t last = ByteAt(high, n);
  if (node->rangeLow > node->rangeHigh && n > 1) {
    node->rangeLow = low;
    node->rangeHigh = high;
    for (uint32_t b = first; b <= last; ++b) node->entries[b] = ((n - 1) << 2) | kTagMore;
    return;
  }
  if (n == 1) {
    for (uint32_t b = first; b <= last; ++b) node->entries[b] = ValueEntry(node->defaultValue);
    return;
  }
  for (uint32_t b = first; b <= last; ++b) {
    InsertCodespace(Child(node, b, n - 1), low, high, n - 1);
  }
}

void CMap::AddCodespaceRange(uint32_t low, uint32_t high, uint32_t bytes) {
  CheckCodeBytes(bytes);
  if (low > high) runtime::ThrowMalformed();
  InsertCodespace(root_, low, high, bytes);
}

bool CMap::Walk(Node* node, uint32_t low, uint32_t high, uint32_t n, LeafSource& source) {
  const uint32_t first = ByteAt(low, n);
  const uint32_t last = ByteAt(high, n);
  if (first > last) return true;
  if (n == 1) {
    entryWrites_ += last - first + 1;
    if (entryWrites_ > kMaxEntryWrites) runtime::ThrowMalformed();
    runtime::ChargeWork(context_, runtime::kWorkCostLight);
    for (uint32_t b = first; b <= last; ++b) {
      uint32_t entry = 0;
      if (!source.Next(*this, &entry)) return false;
      node->entries[b] = entry;
    }
    return true;
  }
  for (uint32_t b = first; b <= last; ++b) {
    if (!Walk(Child(node, b, n - 1), low, high, n - 1, source)) return false;
  }
  return true;
}

void CMap::AddRange(uint32_t low, uint32_t high, uint32_t bytes, LeafSource& source) {
  CheckCodeBytes(bytes);
  if (bytes < 4 && (high >> (8 * bytes)) != 0) runtime::ThrowMalformed();
  Walk(root_, low, high, bytes, source);
}

void CMap::AddCidChar(uint32_t code, uint32_t cid, uint32_t bytes) {
  AddCidRange(code, code, cid, bytes);
}

void CMap::AddCidRange(uint32_t low, uint32_t high, uint32_t cid, uint32_t bytes) {
  CidLeaves source(cid);
  AddRange(low, high, bytes, source);
}

void CMap::AddNotdefRange(uint32_t low, uint32_t high, uint32_t cid, uint32_t bytes) {
  if (cid > kMaxValue) runtime::ThrowMalformed();
  SameLeaves source(ValueEntry(cid));
  AddRange(low, high, bytes, source);
}

void CMap::AddBfChar(uint32_t code, const uint8_t* destination, uint32_t length,
                     uint32_t bytes) {
  AddBfRange(code, code, destination, length, bytes);
}

void CMap::AddBfRange(uint32_t low, uint32_t high, const uint8_t* destination, uint32_t length,
                      uint32_t bytes) {
  BfLeaves source(destination, length);
  AddRange(low, high, bytes, source);
}

void CMap::AddBfRangeList(uint32_t low, uint32_t high, const runtime::ValueList& strings,
                          uint32_t bytes) {
  ListLeaves source(strings);
  AddRange(low, high, bytes, source);
}

void CMap::AddIdentity() {
  AddCodespaceRange(0, 0xFFFF, 2);
  AddCidRange(0, 0xFFFF, 0, 2);
}

uint32_t CMap::DestinationEntry(const char16_t* units, uint32_t count) {
  if (kind_ == CMapDestination::kUnicode && count == 1) return ValueEntry(units[0]);
  auto* run = static_cast<char16_t*>(arena_.Alloc(sizeof(char16_t) * (size_t{count} + 1)));
  run[0] = static_cast<char16_t>(count);
  std::memcpy(run + 1, units, sizeof(char16_t) * count);
  return (Slot(run) << 2) | kTagRun;
}

const char16_t* CMap::Run(uint32_t slot, const char16_t** end) const {
  const auto* run = static_cast<const char16_t*>(slots_[slot]);
  *end = run + 1 + run[0];
  return run + 1;
}

CodeMapping CMap::Lookup(const uint8_t** cursor, const uint8_t* end, bool* space) const {
  if (space != nullptr) *space = false;
  const Node* node = root_;
  const uint8_t* at = *cursor;
  bool firstLevel = true;
  CodeMapping result;
  for (;;) {
    if (at >= end) {
      result.value = static_cast<int32_t>(node->defaultValue);
      break;
    }
    const uint8_t byte = *at++;
    const uint32_t entry = node->entries[byte];
    const uint32_t upper = entry >> 2;
    const uint32_t tag = entry & 3;
    if (tag == kTagValue || tag == kTagRun) {
      if (tag == kTagValue) {
        result.value = static_cast<int32_t>(upper);
      } else {
        result.unitsBegin = Run(upper, &result.unitsEnd);
      }
      if (firstLevel && byte == 0x20 && space != nullptr) *space = true;
      break;
    }
    if (tag == kTagMore && upper >= kFirstChild) {
      node = static_cast<const Node*>(slots_[upper - kFirstChild]);
      firstLevel = false;
      continue;
    }
    if (tag == kTagMore) {
      const auto left = static_cast<uint32_t>(end - at);
      at += upper < left ? upper : left;
    }
    result.value = static_cast<int32_t>(node->defaultValue);
    break;
  }
  *cursor = at;
  return result;
}

uint32_t CMap::Size() const {
  return arena_.totalBytes + static_cast<uint32_t>(sizeof(CMap));
}

}  // namespace fonts
