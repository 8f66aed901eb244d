#pragma once
// A byte buffer with a write cursor, owned by a registered holder: a throw
// that passes frees the storage.
#include <cstdint>

#include "runtime/CleanupNode.h"

namespace runtime {

class LibraryContext;

class ByteBuffer {
 public:
  // n bytes (raises (runtime, 0) when there is no memory), cursor at the
  // beginning. `owner` is the object the buffer serves; it is only kept.
  ByteBuffer(LibraryContext* context, void* owner, uint32_t n);
  ~ByteBuffer() { Release(); }
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;

  // Replaces the contents with n new bytes counted as written (cursor at
  // the end), for a buffer the caller fills and hands over complete. The
  // old storage is freed only once the new one exists.
  void MakeFull(uint32_t n);

  // Writes n bytes at the cursor; (runtime, 1) when they do not fit.
  void Write(const void* bytes, uint32_t n);

  uint8_t* Begin() const { return begin_; }
  uint8_t* Cursor() const { return cursor_; }
  uint8_t* End() const { return end_; }
  uint32_t Size() const { return static_cast<uint32_t>(end_ - begin_); }
  uint32_t Written() const { return static_cast<uint32_t>(cursor_ - begin_); }
  void* Owner() const { return owner_; }

 private:
  static void Cleanup(CleanupNode* node);
  void Release();
  void Swap(ByteBuffer& other);

  CleanupNode node_;  // first: the cleanup finds the buffer from it
  void* owner_;
  LibraryContext* context_;
  uint8_t* begin_ = nullptr;
  uint8_t* cursor_ = nullptr;
  uint8_t* end_ = nullptr;
};

}  // namespace runtime
