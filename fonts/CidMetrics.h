#pragma once
// The metrics of a CIDFont: horizontal widths ("DW", "W") and vertical
// metrics ("DW2", "W2"), in text space (thousandths divided by 1000). The
// entries are kept as ranges as the font dictionary gives them, so that a
// group such as [0 2000000000 500] costs one record.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/Fixed.h"
#include "runtime/ObjectHandle.h"

namespace fonts {

struct VerticalMetrics {
  runtime::Fixed advance = 0;     // vertical advance (negative: downwards)
  runtime::Fixed positionX = 0;   // position vector
  runtime::Fixed positionY = 0;
};

class CidMetrics {
 public:
  explicit CidMetrics(runtime::LibraryContext* context);
  CidMetrics(const CidMetrics&) = delete;
  CidMetrics& operator=(const CidMetrics&) = delete;

  // Reads "DW", "W", "DW2" and "W2" of a CIDFont dictionary. A group whose
  // second element is neither a number nor an array, or a negative CID,
  // raises (runtime, 2).
  void Read(const runtime::ObjectHandle& cidFont);

  // The width of `cid`: its "W" entry, else the default width.
  runtime::Fixed Width(uint32_t cid) const;
  // The vertical metrics of `cid`: its "W2" entry, else the default
  // advance and position y with the position x at half its width.
  VerticalMetrics Vertical(uint32_t cid) const;

  runtime::Fixed DefaultWidth() const { return defaultWidth_; }
  const VerticalMetrics& DefaultVertical() const { return defaultVertical_; }
  // The bytes held (the font's cost).
  uint32_t Size() const { return arena_.totalBytes + static_cast<uint32_t>(sizeof(CidMetrics)); }

 private:
  // CIDs first..last take consecutive entries from `valueIndex` (a list
  // group) or all the same entry there (a range group); an entry is one
  // value (widths) or three (vertical metrics).
  struct Range {
    uint32_t first;
    uint32_t last;
    uint32_t valueIndex;
    uint32_t perCid;  // values per CID for a list group, 0 for a range group
  };
  // Reads the groups of a "W" (stride 1) or "W2" (stride 3) array.
  void ReadGroups(const runtime::ObjectHandle& array, uint32_t stride,
                  runtime::ArenaVector<Range>& ranges, runtime::ArenaVector<runtime::Fixed>& values);
  static void SortRanges(runtime::ArenaVector<Range>& ranges);
  // The value index of `cid`, or -1.
  static int64_t FindValue(const runtime::ArenaVector<Range>& ranges, uint32_t cid);

  mutable runtime::ArenaAllocator arena_;
  runtime::Fixed defaultWidth_ = runtime::kFixedOne;
  VerticalMetrics defaultVertical_;
  runtime::ArenaVector<Range> widthRanges_;
  runtime::ArenaVector<runtime::Fixed> widths_;
  runtime::ArenaVector<Range> verticalRanges_;
  runtime::ArenaVector<runtime::Fixed> verticals_;
};

// Thousandths of text space (a PDF number) as text space.
runtime::Fixed TextSpaceFromThousandths(runtime::Fixed thousandths);

}  // namespace fonts
