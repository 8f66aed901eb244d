#pragma once
// A stack of glyph groups: each group keeps its font counted for as long
// as it is on the stack, with a stack of the group's own records (glyph
// placements, say). Popping a group, destroying the stack, or an error
// passing it releases every group's font count and frees its records,
// newest group first.
#include <cstdint>
#include <utility>

#include "runtime/ChunkedList.h"
#include "runtime/CountedRef.h"
#include "runtime/FontBase.h"
#include "runtime/LibraryContext.h"
#include "runtime/TransientBlocks.h"

namespace raster {

template <class SubRecord>
class GlyphRecordStack {
 public:
  using FontRef = runtime::CountedRef<runtime::FontBase>;

  struct Group {
    Group(runtime::LibraryContext* groupContext, uint32_t perChunk, FontRef groupFont)
        : subRecords(groupContext, nullptr, perChunk), font(std::move(groupFont)),
          context(groupContext) {}

    // Members go in reverse: the font count first, then the records.
    runtime::ChunkedList<SubRecord> subRecords;
    FontRef font;
    runtime::LibraryContext* context;
  };

  // `groupsPerChunk` and `recordsPerChunk`: chunk lengths of the two
  // levels (0 counts as 1).
  GlyphRecordStack(runtime::LibraryContext* context, uint32_t groupsPerChunk,
                   uint32_t recordsPerChunk)
      : context_(context),
        recordsPerChunk_(recordsPerChunk),
        groups_(context, nullptr, groupsPerChunk, &DestroyGroup) {}
  GlyphRecordStack(const GlyphRecordStack&) = delete;
  GlyphRecordStack& operator=(const GlyphRecordStack&) = delete;

  // A new group on top holding `font` (the holder's count moves in).
  // Room is made first, so a failed allocation leaves the stack as it was.
  Group& PushBack(FontRef font) {
    groups_.EnsureRoom(1);
    Group* group = runtime::NewObject<Group>(context_, context_, recordsPerChunk_, std::move(font));
    groups_.Push(group);
    return *group;
  }
  // Destroys the top group; (runtime, 2) when there is none.
  void PopBack() { groups_.PopRelease(); }
  // The top group; (runtime, 2) when there is none.
  Group& Back() { return *groups_.Top(); }
  // Destroys every group, newest first, and releases the chunks.
  void Destroy() { groups_.Destroy(); }
  uint32_t Count() const { return groups_.Count(); }

 private:
  static void DestroyGroup(Group*& group) {
    Group* dying = std::exchange(group, nullptr);
    runtime::DestroyAndFree(dying->context, dying);
  }

  runtime::LibraryContext* context_;
  uint32_t recordsPerChunk_;
  runtime::ChunkedList<Group*> groups_;
};

}  // namespace raster
