#pragma once
// A FIFO of small fixed records {code, 20-byte payload, flags} whose nodes
// come from an arena and are recycled through a free list, so a queue that
// is filled and drained in a loop stops taking arena memory.
#include <array>
#include <cstdint>

#include "runtime/ArenaAllocator.h"

namespace runtime {

struct QueuedRecord {
  uint32_t code = 0;
  std::array<uint8_t, 20> payload = {};
  uint32_t flags = 0;
  QueuedRecord* next = nullptr;
};

class RecordQueue {
 public:
  explicit RecordQueue(ArenaAllocator& arena) : arena_(arena) {}
  RecordQueue(const RecordQueue&) = delete;
  RecordQueue& operator=(const RecordQueue&) = delete;

  // Appends at the tail, reusing a free node or taking one from the arena.
  QueuedRecord& Append(uint32_t code, const std::array<uint8_t, 20>& payload, uint32_t flags) {
    QueuedRecord* record = free_;
    if (record != nullptr) {
      free_ = record->next;
    } else {
      record = static_cast<QueuedRecord*>(arena_.Alloc(sizeof(QueuedRecord)));
    }
    *record = QueuedRecord{code, payload, flags, nullptr};
    if (tail_ != nullptr) {
      tail_->next = record;
    } else {
      head_ = record;
    }
    tail_ = record;
    ++count_;
    return *record;
  }
  // Marks the end of a group: a record with code -1, no payload and flags
  // 3, unless the last record already ends one (flag bit 1), so groups
  // never get two separators in a row.
  void AppendSeparator() {
    if (tail_ != nullptr && (tail_->flags & 2) != 0) return;
    Append(kSeparatorCode, {}, 3);
  }
  static constexpr uint32_t kSeparatorCode = 0xFFFFFFFFu;

  // Copies the head record out and recycles its node; false when empty.
  bool TakeFront(QueuedRecord* out) {
    QueuedRecord* record = head_;
    if (record == nullptr) return false;
    head_ = record->next;
    if (head_ == nullptr) tail_ = nullptr;
    --count_;
    *out = *record;
    out->next = nullptr;
    record->next = free_;
    free_ = record;
    return true;
  }

  const QueuedRecord* Front() const { return head_; }
  uint32_t Count() const { return count_; }
  bool IsEmpty() const { return count_ == 0; }

 private:
  ArenaAllocator& arena_;
  QueuedRecord* head_ = nullptr;
  QueuedRecord* tail_ = nullptr;
  QueuedRecord* free_ = nullptr;
  uint32_t count_ = 0;
};

}  // namespace runtime
