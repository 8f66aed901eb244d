#include "raster/PathScanConverter.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "raster/PathEdges.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"

namespace raster {

using runtime::kFixedOne;

namespace {

// Units of work budget per active edge per sub-row, in the advance and
// again in the span building.
constexpr int32_t kEdgeWork = 100;
// Terminates every span list: beyond any sub-pixel.
constexpr int32_t kListEnd = 0x7fffffff;
// The list of a sub-row without spans.
constexpr int32_t kNoSpans[1] = {kListEnd};
// Sub-sampled coordinates must stay within ±32767 with a margin of a pixel
// for the projections on the clip box.
constexpr int64_t kMaxSubSamples = 32000;

}  // namespace

void SubRowEdges::Absorb(EdgeRecord* successor, const EdgeRecord* edge) {
  if (edge->left < successor->left || edge->right > successor->right) {
    successor->left = std::min(successor->left, edge->left);
    successor->right = std::max(successor->right, edge->right);
    // A vertical edge keeps its extent from row to row; widened, it takes
    // its own extent again in the next sub-row.
    successor->pending = 1;
  }
}

void SubRowEdges::Reset() {
  firstRow = runtime::kFixedLowest;
  currentRow = 0;
  lookAheadRows = 0;
  buckets = {};
  nextRow = runtime::kFixedMax;
  edgeCount = 0;
  weightedEdgeCount = 0;
}

void SubRowEdges::Merge(EdgeRecord* successor, Fixed y, EdgeRecord* edge) {
  successor->ScanlineSpan(y);
  Absorb(successor, edge);
}

namespace {

void Charge(runtime::LibraryContext* context, uint32_t edges) {
  if (edges == 0) return;
  const int64_t units = int64_t{edges} * kEdgeWork;
  runtime::ChargeWork(context, units > INT32_MAX ? INT32_MAX : static_cast<int32_t>(units));
}

// Ceiling of a sub-sampled x as whole sub-pixels, 32767 past the range.
int32_t CeilSub(Fixed v) { return v > 0x7fff0000 ? 32767 : runtime::FixedToIntCeil(v); }


}  // namespace

ScanConverter::ScanConverter(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                             std::span<const FixedPoint> points, const runtime::Matrix& matrix,
                             const IntRect& target, bool evenOdd, int shift, bool glyphRule)
    : context_(context),
      arena_(arena),
      shift_(shift),
      samples_(1 << shift),
      glyphRule_(glyphRule),
      evenOdd_(evenOdd),
      target_(target),
      shape_{target.x0, target.y0, target.x0, target.y0},
      edges_(context, context),
      active_(arena, 32) {
  outputs_[static_cast<int>(RunKind::kEmpty)] = {PixelPlane::Zero(), PixelPlane::Zero(), nullptr};
  outputs_[static_cast<int>(RunKind::kFull)] = {PixelPlane::Opaque(), PixelPlane::Opaque(), nullptr};
  outputs_[static_cast<int>(RunKind::kPartial)] = outputs_[static_cast<int>(RunKind::kEmpty)];
  InitHeader(3, outputs_, target, 0);
  edges_.evenOdd = evenOdd ? 1 : 0;
  if (target.IsEmpty()) return;
  const int64_t width = int64_t{target.x1} - target.x0;
  const int64_t height = int64_t{target.y1} - target.y0;
  // Sub-sampled coordinates are 16.16 values relative to the band's origin:
  // a band spans at most this many pixels in each direction. Taller targets
  // are painted band by band, wider ones column by column.
  bandRows_ = static_cast<int32_t>((kMaxSubSamples >> shift) - 2);
  coverage_ = static_cast<uint8_t*>(arena.Alloc(static_cast<size_t>(width)));
  std::memset(coverage_, 0, static_cast<size_t>(width));
  // One row of coverage bytes serves every row (its row step is 0).
  coveragePlane_.row = coveragePlane_.base = coverage_;
  coveragePlane_.rect = target;
  coveragePlane_.format = PixelFormatDesc{1, 0, 0, 1, 0, 1, 0};
  outputs_[static_cast<int>(RunKind::kPartial)] = {&coveragePlane_, &coveragePlane_, nullptr};
  rightBound_ = static_cast<int32_t>(width << shift);
  matrix_ = matrix;
  if (width > bandRows_) {
    SplitColumns(points);
    return;
  }
  if (height > bandRows_) {
    // The path is read again for every band: keep a copy of its points.
    auto* copy = static_cast<FixedPoint*>(arena.Alloc(sizeof(FixedPoint) * std::max<size_t>(points.size(), 1)));
    std::copy(points.begin(), points.end(), copy);
    points_ = {copy, points.size()};
    LoadBand(target.y0);
    // What a band shows of the shape is not the whole shape.
    bounds = target;
    return;
  }
  points_ = points;
  LoadBand(target.y0);
  points_ = {};  // the caller's points are read once only
  bounds = shape_;
}

void ScanConverter::SplitColumns(std::span<const FixedPoint> points) {
  const int64_t width = int64_t{target_.x1} - target_.x0;
  const auto count = static_cast<size_t>((width + bandRows_ - 1) / bandRows_);
  auto** columns = static_cast<ScanConverter**>(arena_.Alloc(sizeof(ScanConverter*) * count));
  IntRect shape{target_.x0, target_.y0, target_.x0, target_.y0};
  for (size_t i = 0; i < count; ++i) {
    const int32_t x0 = static_cast<int32_t>(target_.x0 + static_cast<int64_t>(i) * bandRows_);
    const int32_t x1 = static_cast<int32_t>(std::min<int64_t>(int64_t{x0} + bandRows_, target_.x1));
    // Each column clips the path to itself: what lies left of it adds its
    // winding on the column's edge, as in any converter.
    auto* column = new (arena_.Alloc(sizeof(ScanConverter)))
        ScanConverter(context_, arena_, points, matrix_, IntRect{x0, target_.y0, x1, target_.y1},
                      evenOdd_, shift_, glyphRule_);
    // The column's coverage bytes are the shared row's.
    column->coverage_ = coverage_ + (x0 - target_.x0);
    columns[i] = column;
    if (!column->IsEmpty()) {
      shape = shape.IsEmpty() ? column->shape_
                              : IntRect{std::min(shape.x0, column->shape_.x0), std::min(shape.y0, column->shape_.y0),
                                        std::max(shape.x1, column->shape_.x1), std::max(shape.y1, column->shape_.y1)};
    }
  }
  columns_ = {columns, count};
  const bool tall = int64_t{target_.y1} - target_.y0 > bandRows_;
  // A tall column knows only its first band's shape.
  shape_ = tall ? target_ : shape;
  bounds = shape_;
}

uint32_t ScanConverter::EdgeCount() const {
  uint32_t count = edges_.edgeCount;
  for (const ScanConverter* column : columns_) count += column->EdgeCount();
  return count;
}

void ScanConverter::LoadBand(int32_t top) {
  band_ = {target_.x0, top, target_.x1, static_cast<int32_t>(std::min<int64_t>(int64_t{top} + bandRows_, target_.y1))};
  shape_ = {target_.x0, band_.y0, target_.x0, band_.y0};
  edges_.Reset();
  active_.Clear();
  heads_ = {};
  preparedRow_ = INT32_MIN;
  prepared_ = false;
  PathEdges edges(context_, arena_, edges_);
  // Points are taken relative to the band's origin. Projections on the clip
  // box land a pixel outside the band, where they add winding without
  // painting a visible pixel.
  const int32_t width = band_.x1 - band_.x0, height = band_.y1 - band_.y0;
  edges.SetDeviceOrigin(band_.x0, band_.y0);
  edges.SetClip({-1, -1, width + 1, height + 1}, 0);
  const Fixed scale = kFixedOne << shift_;
  runtime::Matrix toSubSamples{scale, 0, 0, scale, 0, 0};
  // Flatness in device pixels: a tenth of a pixel, finer for the 16×16 class
  // that glyphs use.
  const Fixed flatness = shift_ >= 4 ? kFixedOne / 32 : kFixedOne / 10;
  edges.SetMapping({0, 0}, toSubSamples, flatness);
  edges.FeedPath(points_, matrix_);
  const int32_t rows = height << shift_;
  if (!edges.Bucket(0, rows + 1)) return;
  const runtime::Rect& b = edges.Bounds();
  IntRect shape{band_.x0 + ((b.x0 >> 16) >> shift_), band_.y0 + ((b.y0 >> 16) >> shift_),
                band_.x0 + ((CeilSub(b.x1) + 1) >> shift_) + 1,
                band_.y0 + ((CeilSub(b.y1)) >> shift_) + 1};
  shape_ = IntRect{std::max(shape.x0, band_.x0), std::max(shape.y0, band_.y0),
                   std::min(shape.x1, band_.x1), std::min(shape.y1, band_.y1)};
  if (shape_.IsEmpty()) {
    shape_ = {target_.x0, band_.y0, target_.x0, band_.y0};
    return;
  }
  // The chains as bucketed, so that a later paint through the same node can
  // start again from the band's first row.
  auto* heads = static_cast<EdgeRecord**>(arena_.Alloc(sizeof(EdgeRecord*) * edges.ChainCount()));
  std::copy(edges.Chains().begin(), edges.Chains().end(), heads);
  heads_ = {heads, edges.ChainCount()};
  const uint32_t capacity = std::min<uint32_t>(edges_.weightedEdgeCount + 1, 1024);
  for (int k = 0; k < samples_; ++k) {
    if (spans_[k] == nullptr) spans_[k] = runtime::NewInArena<runtime::ArenaVector<int32_t>>(arena_, arena_, capacity);
  }
}

void ScanConverter::Rewind() {
  // Every edge takes its spans afresh; the buckets are filled again as when
  // the band was loaded.
  for (EdgeRecord* head : heads_) {
    for (EdgeRecord* edge = head; edge != nullptr; edge = edge->chain) {
      edge->pending = 1;
      edge->next = nullptr;
      edge->startsInRow = 0;
    }
  }
  std::fill(edges_.buckets.begin(), edges_.buckets.end(), nullptr);
  edges_.currentRow = edges_.firstRow;
  for (EdgeRecord* head : heads_) edges_.SeekRow(FirstEdgeReaching(head, runtime::FixedFromInt(edges_.firstRow)));
  edges_.nextRow = edges_.firstRow;
  active_.Clear();
  preparedRow_ = INT32_MIN;
}

void ScanConverter::BeginRow(int32_t y) {
  if (!columns_.empty()) {
    row_ = y;
    for (ScanConverter* column : columns_) column->BeginRow(y);
    return;
  }
  if (!target_.IsEmpty() && (y < band_.y0 || y >= band_.y1) && y >= target_.y0 && y < target_.y1) {
    LoadBand(y);
  } else if (y != preparedRow_ && edges_.nextRow != runtime::kFixedMax &&
             int64_t{y - band_.y0} << shift_ < edges_.nextRow) {
    // The edges have moved past this row: a second paint through the node.
    Rewind();
  }
  row_ = y;
  prepared_ = y == preparedRow_;
  if (prepared_) ResetCursors();
  inRange_ = !IsEmpty() && shape_.y0 <= y && y < shape_.y1;
  kind_ = RunKind::kEmpty;
  runEnd_ = inRange_ ? INT32_MIN : INT32_MAX;
}

void ScanConverter::ResetCursors() {
  std::fill(cursor_, cursor_ + kMaxSubRows, 0u);
  std::fill(inside_, inside_ + kMaxSubRows, uint8_t{0});
  lastPixel_ = -1;
}

void ScanConverter::PrepareRow() {
  const int32_t base = (row_ - band_.y0) << shift_;
  for (int k = 0; k < samples_; ++k) {
    Advance(base + k);
    if (glyphRule_) {
      BuildGlyphSpans(*spans_[k], base + k);
    } else {
      BuildSpans(*spans_[k]);
    }
    lists_[k] = spans_[k]->IsEmpty() ? kNoSpans : spans_[k]->begin();
  }
  prepared_ = true;
  preparedRow_ = row_;
  ResetCursors();
}

void ScanConverter::Advance(int32_t subRow) {
  while (edges_.nextRow <= subRow) {
    const int32_t s = edges_.nextRow;
    const int64_t top = int64_t{s} << 16;
    const int64_t bottom = top + kFixedOne;
    const Fixed y = static_cast<Fixed>(top);
    Charge(context_, active_.Size());
    uint32_t kept = 0;
    for (uint32_t i = 0; i < active_.Size(); ++i) {
      // Most edges go on past the sub-row: only those that end search their
      // chain.
      EdgeRecord* edge = active_[i];
      if (edge->y1 <= y || IsFlatEdge(edge)) edge = FirstEdgeReaching(edge, y);
      if (edge == nullptr) continue;
      edge->startsInRow = 0;
      if (edge->y1 < top && edge->chain == nullptr) continue;
      edge->ScanlineSpan(y);
      // An edge ending inside the sub-row hands over to its chain successor,
      // which takes over what it covered there.
      while (edge->y1 < bottom && edge->chain != nullptr) {
        EdgeRecord* next = edge->chain;
        next->ScanlineSpan(y);
        SubRowEdges::Absorb(next, edge);
        edge = next;
      }
      active_[kept++] = edge;
    }
    active_.EraseRange(kept, active_.Size());
    const int64_t index = int64_t{s} - edges_.firstRow;
    if (index >= 0 && index < static_cast<int64_t>(edges_.buckets.size())) {
      for (EdgeRecord* edge = edges_.buckets[static_cast<size_t>(index)]; edge != nullptr;
           edge = edge->next) {
        if (glyphRule_ && (edge->y0 >> 16) == s) edge->startsInRow = 1;
        active_.PushBack(edge);
      }
    }
    SortActive();
    edges_.nextRow = s + 1;
  }
}

void ScanConverter::SortActive() {
  // The list stays nearly sorted from one sub-row to the next: insertion sort.
  EdgeRecord** edges = active_.begin();
  const uint32_t count = active_.Size();
  auto before = [this](const EdgeRecord* a, const EdgeRecord* b) {
    if (a->left != b->left) return a->left < b->left;
    if (!glyphRule_) return false;
    if (a->right != b->right) return a->right < b->right;
    return a->startsInRow == 0 && b->startsInRow != 0;
  };
  for (uint32_t i = 1; i < count; ++i) {
    EdgeRecord* edge = edges[i];
    uint32_t j = i;
    while (j > 0 && before(edge, edges[j - 1])) {
      edges[j] = edges[j - 1];
      --j;
    }
    edges[j] = edge;
  }
}

void ScanConverter::BuildSpans(runtime::ArenaVector<int32_t>& spans) {
  spans.Clear();
  Charge(context_, active_.Size());
  // Spans are half-open [start, end): a span starts at the sub-pixel that
  // holds its left edge and ends at the ceiling of its right edge, so an
  // edge exactly on a sub-pixel boundary adds nothing beyond it. A span
  // never ends before start + 1: thin features keep one sub-pixel.
  int32_t winding = 0;
  bool open = false;
  int64_t end = INT64_MIN / 2;
  auto closeSpan = [&spans, &end] {
    end = std::max<int64_t>(end, int64_t{spans[spans.Size() - 1]} + 1);
    spans.PushBack(static_cast<int32_t>(end));
  };
  for (const EdgeRecord* edge : active_) {
    const int direction = EdgeDirection(edge);
    if (evenOdd_) {
      if (direction != 0) winding ^= 1;
    } else {
      winding += direction;
    }
    const int32_t xl = edge->left >> 16;
    const int32_t xe = CeilSub(edge->right);
    if (open) {
      end = std::max<int64_t>(end, xe);
      if (winding == 0) {
        closeSpan();
        open = false;
      }
    } else {
      if (xl > end) {
        spans.PushBack(xl);
      } else {
        spans.EraseRange(spans.Size() - 1, spans.Size());  // reopen the previous span
      }
      end = std::max<int64_t>(end, xe);
      if (winding != 0) {
        open = true;
      } else {
        closeSpan();
      }
    }
    if (end > rightBound_) break;
  }
  if (!spans.IsEmpty()) spans.PushBack(kListEnd);
}

void ScanConverter::BuildGlyphSpans(runtime::ArenaVector<int32_t>& spans, int32_t subRow) {
  spans.Clear();
  Charge(context_, active_.Size());
  const int64_t bottom = (int64_t{subRow} << 16) + kFixedOne;
  bool leftEdge = true;
  int32_t right = INT32_MIN;
  for (const EdgeRecord* edge : active_) {
    const bool flat = edge->direction == EdgeRecord::kFlat;
    const bool isLeft = leftEdge;
    // A flat edge does not cross the sub-row: it paints its extent without
    // changing inside and outside.
    if (!flat) leftEdge = !leftEdge;
    // Each edge is rounded to whole sub-pixels: a steep edge crossing the
    // sub-row keeps to the inside of the glyph, one that starts or ends in
    // it keeps its whole extent, and a narrow one covers one sub-pixel.
    const int32_t floorMin = edge->left >> 16;
    int32_t end = CeilSub(edge->right);
    int32_t start;
    if (end <= floorMin + 1) {
      start = floorMin;
      end = floorMin + 1;
    } else if (edge->startsInRow != 0 || (edge->chain == nullptr && edge->y1 < bottom)) {
      start = floorMin;
    } else if (isLeft && (edge->right & 0xffff) != 0) {
      end = edge->right >> 16;
      start = floorMin;
    } else {
      start = CeilSub(edge->left);
    }
    right = std::max(right, end);
    if (isLeft) {
      // A span that reaches the new start merges with it.
      if (!spans.IsEmpty() && (spans.Size() & 1) == 0 && spans[spans.Size() - 1] >= start) {
        spans.EraseRange(spans.Size() - 1, spans.Size());
      }
      if ((spans.Size() & 1) == 0) spans.PushBack(start);
      if (flat) spans.PushBack(right);
    } else if (!flat) {
      spans.PushBack(right);
      if (right >= rightBound_) break;
    }
  }
  if (!spans.IsEmpty()) spans.PushBack(kListEnd);
}

int32_t ScanConverter::PixelCoverage(int32_t p) {
  return shift_ == 2 ? PixelCoverageOf<2>(p) : PixelCoverageOf<4>(p);
}

template <int kShift>
int32_t ScanConverter::PixelCoverageOf(int32_t p) {
  constexpr int32_t kSamples = 1 << kShift;
  if (p <= lastPixel_) ResetCursors();
  const int32_t lo = p << kShift;
  const int32_t hi = lo + kSamples;
  int32_t coverage = 0;
  int32_t follow = 0;
  int32_t boundary = std::max(rightBound_, hi);
  for (int k = 0; k < kSamples; ++k) {
    const int32_t* list = lists_[k];
    uint32_t i = cursor_[k];
    uint32_t in = inside_[k];
    while (list[i] <= lo) {
      in ^= 1;
      ++i;
    }
    int32_t position = lo;
    while (list[i] < hi) {
      coverage += static_cast<int32_t>(in) * (list[i] - position);
      position = list[i];
      in ^= 1;
      ++i;
    }
    coverage += static_cast<int32_t>(in) * (hi - position);
    follow += static_cast<int32_t>(in) * kSamples;
    boundary = std::min(boundary, list[i]);
    cursor_[k] = i;
    inside_[k] = static_cast<uint8_t>(in);
  }
  followCoverage_ = follow;
  nextBoundary_ = boundary;
  lastPixel_ = p;
  cachedCoverage_ = coverage;
  return coverage;
}

int32_t ScanConverter::CoverageRun(int32_t x, int32_t limit) {
  if (!columns_.empty()) {
    // Every column is bandRows_ wide but the last.
    const int64_t index = std::clamp<int64_t>((int64_t{x} - target_.x0) / bandRows_, 0,
                                              static_cast<int64_t>(columns_.size()) - 1);
    ScanConverter* column = columns_[static_cast<size_t>(index)];
    const int32_t end = column->CoverageRun(
        x, index + 1 < static_cast<int64_t>(columns_.size()) ? std::min(limit, column->target_.x1) : limit);
    kind_ = column->kind_;
    return end;
  }
  if (x < runEnd_) return std::min(limit, runEnd_);
  if (x < shape_.x0) {
    kind_ = RunKind::kEmpty;
    runEnd_ = shape_.x0;
    return std::min(limit, runEnd_);
  }
  if (x >= shape_.x1) {
    kind_ = RunKind::kEmpty;
    runEnd_ = INT32_MAX;
    return limit;
  }
  if (!prepared_) PrepareRow();
  const int32_t full = samples_ * samples_;
  const int32_t shapeEnd = shape_.x1 - target_.x0;
  const int32_t limitEnd = static_cast<int32_t>(std::min<int64_t>(int64_t{limit} - target_.x0, shapeEnd));
  int32_t p = x - target_.x0;
  // The pixel that ended the previous partial run was computed already.
  int32_t coverage = p == lastPixel_ ? cachedCoverage_ : PixelCoverage(p);
  if (coverage == 0 || coverage == full) {
    kind_ = coverage == 0 ? RunKind::kEmpty : RunKind::kFull;
    int32_t end = p + 1;
    if (followCoverage_ == coverage) end = std::max(end, nextBoundary_ >> shift_);
    runEnd_ = target_.x0 + std::min(end, shapeEnd);
    return std::min(limit, runEnd_);
  }
  kind_ = RunKind::kPartial;
  const int byteShift = shift_ == 2 ? 4 : 0;
  auto toByte = [byteShift](int32_t c) { return static_cast<uint8_t>(c << byteShift); };
  for (;;) {
    coverage_[p++] = toByte(coverage);
    if (followCoverage_ != 0 && followCoverage_ != full) {
      const int32_t to = std::min(nextBoundary_ >> shift_, limitEnd);
      if (to > p) {
        std::memset(coverage_ + p, toByte(followCoverage_), static_cast<size_t>(to - p));
        p = to;
      }
    } else if ((nextBoundary_ >> shift_) > p) {
      break;  // the next pixel is wholly empty or full
    }
    if (p >= limitEnd) break;
    coverage = PixelCoverage(p);
    if (coverage == 0 || coverage == full) break;  // pixel p starts the next run
  }
  runEnd_ = target_.x0 + p;
  return std::min(limit, runEnd_);
}

}  // namespace raster
