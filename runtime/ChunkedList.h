#pragma once
// A list of fixed-size elements kept in chunks of equal length, used both
// as an append-only sequence and as a stack. Chunks come from an arena
// (dropped with it) or from the MemoryContext (freed by the list). Popping
// keeps the chunks, so a stack that goes up and down does not allocate.
//
// The list registers a cleanup node: a throw that passes releases it.
#include <cstdint>
#include <type_traits>
#include <utility>

#include "runtime/ArenaAllocator.h"
#include "runtime/CheckedSize.h"
#include "runtime/CleanupNode.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "runtime/MemoryContext.h"

namespace runtime {

template <class T>
class ChunkedList {
  static_assert(std::is_trivially_copyable_v<T>, "elements are copied as bytes");

 public:
  struct Chunk {
    Chunk* previous;
    Chunk* next;
    T* begin;
    T* end;
  };
  // A position: the element address, its chunk and its index in the list.
  struct Iterator {
    T* element = nullptr;
    Chunk* chunk = nullptr;
    uint32_t index = 0;
  };
  // Runs on every element that Destroy pops (elements that own something).
  using ReleaseElement = void (*)(T& element);

  // `arena` null: chunks come from the context's MemoryContext.
  ChunkedList(LibraryContext* context, ArenaAllocator* arena, uint32_t perChunk,
              ReleaseElement release = nullptr)
      : context_(context),
        arena_(arena),
        perChunk_(perChunk != 0 ? perChunk : 1),
        release_(release) {
    node_.Register(context_, &Cleanup);
    AddChunk();
    cursor_ = first_->begin;
    cursorChunk_ = first_;
  }
  ~ChunkedList() { Destroy(); }
  ChunkedList(const ChunkedList&) = delete;
  ChunkedList& operator=(const ChunkedList&) = delete;

  // Writes `value` at the cursor and advances; adds a chunk first when the
  // current chunk is the last one and full.
  T& Push(const T& value) {
    if (cursor_ == cursorChunk_->end) {
      if (cursorChunk_->next == nullptr) AddChunk();  // may throw: nothing changed yet
      cursorChunk_ = cursorChunk_->next;
      cursor_ = cursorChunk_->begin;
    }
    *cursor_ = value;
    T& written = *cursor_;
    Advance();
    return written;
  }
  // Makes sure the next n pushes need no allocation, so that a value
  // written as several elements is never left half written by a failed one.
  void EnsureRoom(uint32_t n) {
    uint32_t room = static_cast<uint32_t>(cursorChunk_->end - cursor_);
    for (const Chunk* chunk = cursorChunk_->next; chunk != nullptr && room < n;
         chunk = chunk->next) {
      room += perChunk_;
    }
    while (room < n) {
      AddChunk();
      room += perChunk_;
    }
  }
  // Opens n elements at `position` (an iterator of this list, from begin
  // to end): the elements from there to the end move up by n, in order,
  // and the n opened ones are left for the caller to fill. Room is made
  // before anything moves, so a failed allocation leaves the list as it
  // was. (runtime, 2) when `position` lies past the end.
  void InsertGap(Iterator position, uint32_t n) {
    if (position.index > count_) Malformed();
    if (n == 0) return;
    AddSizeChecked(context_, count_, n);  // the count stays a u32
    EnsureRoom(n);
    Iterator from = End();
    for (uint32_t i = 0; i < n; ++i) {
      if (cursor_ == cursorChunk_->end) {
        cursorChunk_ = cursorChunk_->next;
        cursor_ = cursorChunk_->begin;
      }
      Advance();
    }
    Iterator to = End();
    while (from.index > position.index) {
      Prev(from);
      Prev(to);
      std::swap(*from.element, *to.element);
    }
  }
  // Takes the top element off; (runtime, 2) when the list is empty.
  T Pop() {
    T value = Top();
    Retreat();
    return value;
  }
  // Takes the top element off and runs the release operation on it (for
  // lists whose elements hold counted references); (runtime, 2) when the
  // list is empty.
  void PopRelease() {
    T& top = Top();
    Retreat();
    if (release_ != nullptr) release_(top);
  }
  // The element below the cursor; (runtime, 2) when the list is empty.
  T& Top() {
    if (count_ == 0) Malformed();
    return cursor_ != cursorChunk_->begin ? cursor_[-1] : cursorChunk_->previous->end[-1];
  }
  // Element i; (runtime, 2) when i is past the end.
  T& At(uint32_t i) {
    if (i >= count_) Malformed();
    Chunk* chunk = first_;
    for (uint32_t skip = i / perChunk_; skip > 0; --skip) chunk = chunk->next;
    return chunk->begin[i % perChunk_];
  }
  // Drops every element; the chunks stay for reuse.
  void Clear() {
    count_ = 0;
    cursorChunk_ = first_;
    cursor_ = first_ != nullptr ? first_->begin : nullptr;
  }

  Iterator Begin() const { return {first_ != nullptr ? first_->begin : nullptr, first_, 0}; }
  Iterator End() const { return {cursor_, cursorChunk_, count_}; }
  // The iterator `offset` elements away (either direction), crossing chunk
  // boundaries; (runtime, 2) when that leaves [begin, end].
  Iterator Seek(Iterator at, int64_t offset) const {
    const int64_t target = int64_t{at.index} + offset;
    if (target < 0 || target > int64_t{count_}) Malformed();
    return Walk(at, static_cast<uint32_t>(target));
  }
  // As Seek, but landing on the end is an error as well: the result is
  // always an element.
  Iterator CheckedAdvance(Iterator at, int64_t offset) const {
    const int64_t target = int64_t{at.index} + offset;
    if (target < 0 || target >= int64_t{count_}) Malformed();
    return Walk(at, static_cast<uint32_t>(target));
  }
  // Reads the element at `at` and moves past it; (runtime, 2) at the end.
  T Read(Iterator& at) const {
    if (at.index >= count_) Malformed();
    at = Normalize(at);
    T value = *at.element;
    ++at.element;
    ++at.index;
    return value;
  }
  static int64_t Distance(const Iterator& from, const Iterator& to) {
    return int64_t{to.index} - int64_t{from.index};
  }

  // Exchanges the whole state of two lists; each keeps its own node.
  static void Swap(ChunkedList& a, ChunkedList& b) {
    std::swap(a.context_, b.context_);
    std::swap(a.arena_, b.arena_);
    std::swap(a.perChunk_, b.perChunk_);
    std::swap(a.first_, b.first_);
    std::swap(a.last_, b.last_);
    std::swap(a.cursor_, b.cursor_);
    std::swap(a.cursorChunk_, b.cursorChunk_);
    std::swap(a.count_, b.count_);
    std::swap(a.release_, b.release_);
  }

  // Pops every element (releasing it), releases the chunks and unlinks;
  // harmless when repeated.
  void Destroy() {
    if (release_ != nullptr) {
      while (count_ != 0) {
        T& top = Top();
        Retreat();
        release_(top);
      }
    }
    count_ = 0;
    if (arena_ == nullptr) {
      LibraryContext* owner = context_ != nullptr ? context_ : GetDefaultContext();
      while (first_ != nullptr) {
        Chunk* chunk = first_;
        first_ = chunk->next;
        owner->memory.Free(chunk->begin);
        owner->memory.Free(chunk);
      }
    }
    first_ = last_ = cursorChunk_ = nullptr;
    cursor_ = nullptr;
    node_.Unlink();
  }

  uint32_t Count() const { return count_; }
  bool IsEmpty() const { return count_ == 0; }
  uint32_t PerChunk() const { return perChunk_; }
  const Chunk* FirstChunk() const { return first_; }
  const Chunk* CursorChunk() const { return cursorChunk_; }
  const T* Cursor() const { return cursor_; }
  uint32_t ChunkCount() const {
    uint32_t chunks = 0;
    for (const Chunk* chunk = first_; chunk != nullptr; chunk = chunk->next) ++chunks;
    return chunks;
  }

 private:
  [[noreturn]] void Malformed() const {
    ThrowError(context_, ErrorRecord{kRuntimeDomain, kMalformed, 0});
  }
  static void Cleanup(CleanupNode* node) { reinterpret_cast<ChunkedList*>(node)->Destroy(); }

  // Links a new chunk of perChunk elements after the last one.
  void AddChunk() {
    const uint32_t bytes = MultiplySizeChecked(context_, perChunk_, sizeof(T));
    Chunk* chunk;
    T* storage;
    if (arena_ != nullptr) {
      chunk = static_cast<Chunk*>(arena_->Alloc(sizeof(Chunk)));
      storage = static_cast<T*>(arena_->Alloc(RoundUpSize8Checked(context_, bytes)));
    } else {
      storage = static_cast<T*>(AllocOrThrow(context_, bytes));
      chunk = static_cast<Chunk*>(AllocFreeingOnFailure(storage));
    }
    *chunk = Chunk{last_, nullptr, storage, storage + perChunk_};
    if (last_ != nullptr) {
      last_->next = chunk;
    } else {
      first_ = chunk;
    }
    last_ = chunk;
  }
  void* AllocFreeingOnFailure(T* storage) {
    LibraryContext* owner = context_ != nullptr ? context_ : GetDefaultContext();
    void* header = owner->memory.Allocate(sizeof(Chunk));
    if (header == nullptr) {
      owner->memory.Free(storage);
      ThrowError(context_, ErrorRecord{kRuntimeDomain, kOutOfMemory, 0});
    }
    return header;
  }
  // After an element was written at the cursor.
  void Advance() {
    ++count_;
    ++cursor_;
    if (cursor_ == cursorChunk_->end && cursorChunk_->next != nullptr) {
      cursorChunk_ = cursorChunk_->next;
      cursor_ = cursorChunk_->begin;
    }
  }
  void Retreat() {
    if (cursor_ == cursorChunk_->begin) {
      cursorChunk_ = cursorChunk_->previous;
      cursor_ = cursorChunk_->end;
    }
    --count_;
    --cursor_;
  }
  // One element back; the iterator must not stand at the begin.
  static void Prev(Iterator& at) {
    if (at.element == at.chunk->begin) {
      at.chunk = at.chunk->previous;
      at.element = at.chunk->end;
    }
    --at.element;
    --at.index;
  }
  // An iterator at a chunk's end moves to the next chunk's begin.
  static Iterator Normalize(Iterator at) {
    if (at.element == at.chunk->end && at.chunk->next != nullptr) {
      at.chunk = at.chunk->next;
      at.element = at.chunk->begin;
    }
    return at;
  }
  // From `at` to index `target` (known to be in range), chunk by chunk.
  Iterator Walk(Iterator at, uint32_t target) const {
    if (at.chunk == nullptr) return at;  // a destroyed list has no chunks to walk
    uint32_t offsetInChunk = static_cast<uint32_t>(at.element - at.chunk->begin);
    Chunk* chunk = at.chunk;
    uint32_t chunkStart = at.index - offsetInChunk;
    while (target < chunkStart) {
      chunk = chunk->previous;
      chunkStart -= perChunk_;
    }
    while (target - chunkStart > perChunk_ ||
           (target - chunkStart == perChunk_ && chunk->next != nullptr)) {
      chunk = chunk->next;
      chunkStart += perChunk_;
    }
    return {chunk->begin + (target - chunkStart), chunk, target};
  }

  CleanupNode node_;
  LibraryContext* context_;
  ArenaAllocator* arena_;
  uint32_t perChunk_;
  ReleaseElement release_;
  Chunk* first_ = nullptr;
  Chunk* last_ = nullptr;
  T* cursor_ = nullptr;
  Chunk* cursorChunk_ = nullptr;
  uint32_t count_ = 0;
};

}  // namespace runtime
