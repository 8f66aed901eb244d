#pragma once
// An operation recorded as an object (opcode 0): a text show, a marked
// content sequence, an inline image. The object lives in the recording
// arena, owns nothing that needs releasing, and replays itself onto any
// handler; the player only looks it up and calls Play.
#include <cstdint>
#include <string_view>

#include "runtime/ArenaAllocator.h"
#include "runtime/Rect.h"

namespace content {

class ContentHandler;

class RecordedObject {
 public:
  // Kind numbers of the records.
  enum : uint32_t {
    kInlineImageKind = 37,
    kShowStringKind = 38,
    kShowArrayKind = 39,
    kShowSpacedStringKind = 40,
    kMarkedContentKind = 41,
  };

  // `option` is the option word of the machine that recorded the object.
  virtual void Play(ContentHandler& handler, uint32_t option) = 0;
  virtual uint32_t Kind() const = 0;

 protected:
  RecordedObject() = default;
  // Records are never destroyed one by one: the arena goes as a whole.
  ~RecordedObject() = default;
  RecordedObject(const RecordedObject&) = delete;
  RecordedObject& operator=(const RecordedObject&) = delete;
};

// The box of a text show before it has been painted: the whole plane.
inline constexpr runtime::Rect kWholePlane{-runtime::kFixedMax, -runtime::kFixedMax,
                                           runtime::kFixedMax, runtime::kFixedMax};

// Copies `bytes` into the arena in storage rounded up to a multiple of 8;
// null for none.
const uint8_t* CopyToArena(runtime::ArenaAllocator& arena, const uint8_t* bytes, uint32_t count);

// A copy of `text` with its terminating zero in (length + 8) rounded down
// to a multiple of 8 bytes of the arena, so the empty text takes 8.
const char* CopyCString(runtime::ArenaAllocator& arena, std::string_view text);

}  // namespace content
