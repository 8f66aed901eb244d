#include "raster/ClipAccumulator.h"

#include <algorithm>

#include "raster/CompositorNode.h"
#include "raster/PathEdges.h"
#include "raster/PaintObject.h"
#include "raster/PipelineDriver.h"
#include "raster/PlaneSource.h"
#include "raster/StrokeDriver.h"
#include "content/ContentHandler.h"
#include "content/RecordedObject.h"

namespace raster {

bool PathIsPixelRectangle(std::span<const runtime::FixedPoint> points, const runtime::Matrix& matrix,
                          IntRect& out) {
  // One sub-path: a move, lines, and at most closes after them.
  runtime::FixedPoint corners[5];
  int count = 0;
  bool closed = false;
  for (size_t i = 0; i < points.size(); ++i) {
    const int kind = StoredPath::KindOf(points[i]);
    if (kind == 3) {
      closed = true;
      continue;
    }
    if (closed || (kind == 0) != (i == 0) || kind == 2) return false;
    runtime::FixedPoint p = StoredPath::Coordinates(points[i]);
    runtime::Matrix::TransformPointInPlace(matrix, p.x, p.y);
    if (count > 0 && p == corners[count - 1]) continue;
    if (count == 5) return false;
    corners[count++] = p;
  }
  if (count == 5 && corners[4] == corners[0]) count = 4;
  if (count != 4) return false;
  for (const runtime::FixedPoint& c : corners) {
    if ((c.x & 0xffff) != 0 || (c.y & 0xffff) != 0) return false;
  }
  // Sides alternate horizontal and vertical, either way round, and enclose
  // an area: corners 0 and 2 are opposite, 1 and 3 the two others.
  const runtime::FixedPoint a = corners[0], b = corners[1], c = corners[2], d = corners[3];
  const bool horizontalFirst = a.y == b.y && b.x == c.x && c.y == d.y && d.x == a.x;
  const bool verticalFirst = a.x == b.x && b.y == c.y && c.x == d.x && d.y == a.y;
  if (!horizontalFirst && !verticalFirst) return false;
  if (a.x == c.x || a.y == c.y) return false;
  out = {std::min(a.x, c.x) >> 16, std::min(a.y, c.y) >> 16, std::max(a.x, c.x) >> 16, std::max(a.y, c.y) >> 16};
  return true;
}

ClipAccumulator::ClipAccumulator(runtime::LibraryContext* context, runtime::ArenaAllocator& arena,
                                 const PixelRegion& interest)
    : context_(context), arena_(arena), interest_(interest), clipRegion_(&interest) {}

void ClipAccumulator::AddStroke(std::span<const runtime::FixedPoint> points, const runtime::StrokeStyle& style,
                                const runtime::Matrix& matrix) {
  auto* outline = runtime::NewInArena<StoredPath>(arena_, arena_, 64);
  runtime::Matrix fillMatrix;
  StrokeDriver::StrokePath(context_, arena_, points, style, matrix, interest_.Bounds(), *outline, fillMatrix);
  AddPath(outline->Points(), fillMatrix, false);
}

void ClipAccumulator::AddPath(std::span<const runtime::FixedPoint> points, const runtime::Matrix& matrix,
                              bool evenOdd) {
  IntRect rect;
  if (PathIsPixelRectangle(points, matrix, rect)) {
    clipRegion_ = PixelRegion::Combine(arena_, RegionCombine::kIntersection, *clipRegion_,
                                       *PixelRegion::FromRect(arena_, rect));
    return;
  }
  ScanConverter* coverage = PaintObject::Create(context_, arena_, interest_.Bounds(), points, matrix, evenOdd);
  // Nothing outside the path's pixels can show: the region shrinks to them,
  // so that what is painted through the clip is driven over them only.
  clipRegion_ = PixelRegion::Combine(arena_, RegionCombine::kIntersection, *clipRegion_,
                                     *PixelRegion::FromRect(arena_, coverage->ShapeBounds()));
  AddCoverage(coverage);
}

void ClipAccumulator::AddCoverage(PipelineNode* coverage) {
  const IntRect area = interest_.Bounds();
  if (pathCount_ == 0) {
    clipNode_ = coverage;
  } else {
    if (mask_ == nullptr) {
      // The second path: the first one's coverage becomes a mask buffer.
      mask_ = PixelPlane::MakeMask(arena_, area);
      PipelineDriver::PaintRegion(arena_, interest_, PixelTriple{mask_, nullptr, nullptr}, nullptr, clipNode_);
      clipNode_ = PlaneSource::Create(arena_, PixelTriple{mask_, mask_, nullptr});
    }
    // The new coverage multiplies what the mask holds.
    const PixelTriple scratch = PixelTriple::CreateCoverageScratch(context_, arena_, area);
    PipelineNode* product = PipelineStage::Create(arena_, scratch, coverage, clipNode_);
    PipelineDriver::PaintRegion(arena_, interest_, PixelTriple{mask_, nullptr, nullptr}, nullptr, product);
  }
  ++pathCount_;
}

namespace {

[[noreturn]] void MalformedClipProgram() { runtime::ThrowRuntime(runtime::kMalformed); }

}  // namespace

void ClipAccumulator::Replay(content::ContentMachine& machine, content::ProgramCursor& cursor,
                             content::PathCacheSlot* slot, const runtime::Matrix& matrix,
                             content::ContentHandler* handler) {
  using content::PathHeader;
  while (cursor.op < machine.opcodes.Size()) {
    const uint8_t code = machine.opcodes[cursor.op];
    if (code == content::kOpObject) {
      if (cursor.word >= machine.words.Size()) MalformedClipProgram();
      const uint32_t index = machine.words[cursor.word];
      if (index >= machine.objects.Size()) MalformedClipProgram();
      content::RecordedObject* object = machine.objects[index];
      if (object->Kind() != content::RecordedObject::kMarkedContentKind) return;
      if (handler != nullptr) object->Play(*handler, machine.Options());
      ++cursor.word;
      ++cursor.op;
      continue;
    }
    if (code == content::kOpEndMarked) {
      if (handler != nullptr) handler->EndMarkedContent();
      ++cursor.op;
      continue;
    }
    if (code != content::kOpPath) return;
    if (cursor.word >= machine.words.Size()) MalformedClipProgram();
    const uint32_t header = machine.words[cursor.word];
    const uint32_t clipRule = (header >> PathHeader::kClipShift) & 3;
    const uint32_t fillRule = (header >> PathHeader::kFillShift) & 3;
    // Only a clip that paints nothing is gathered here.
    if ((header & PathHeader::kStroke) != 0 || clipRule >= PathHeader::kRuleNone || fillRule != PathHeader::kRuleNone)
      return;
    content::ProgramCursor next = cursor;
    ++next.word;
    const runtime::PackedPoint* points = nullptr;
    uint32_t count = 0;
    if ((header & PathHeader::kByReference) == 0) {
      count = header & PathHeader::kCountMask;
      if (count > machine.segments.Size() - next.segment) MalformedClipProgram();
      points = count != 0 ? &machine.segments[next.segment] : nullptr;
      next.segment += count;
      next.word += 4;  // the path's box
    } else {
      uint64_t position = header & PathHeader::kCountMask;
      if ((header & PathHeader::kLongPosition) != 0) {
        if (machine.words.Size() - next.word < 2) MalformedClipProgram();
        position = (uint64_t{machine.words[next.word]} << 32) | machine.words[next.word + 1];
        next.word += 2;
      }
      if ((header & PathHeader::kNewBox) != 0) next.word += 4;
      if (slot == nullptr) return;
      if (!slot->Holds(machine.Serial(), position)) machine.RereadPath(position, *slot);
      points = slot->segments.Size() != 0 ? &slot->segments[0] : nullptr;
      count = slot->segments.Size();
    }
    if (next.word > machine.words.Size()) MalformedClipProgram();
    ++next.op;
    // The points are copied for the scan converter, which reads them again
    // for each band: they stay in the pipeline arena with the clip.
    if (count != 0) AddPath(StoredPath::FromPacked(arena_, points, count), matrix, clipRule == 1);
    cursor = next;
  }
}

}  // namespace raster
