#include "content/TextExtract.h"

#include <algorithm>

#include "content/PageModel.h"

namespace content {

namespace {

constexpr Fixed kQuarter = runtime::kFixedOne / 4;

bool IsIdentity(const Fixed (&m)[4]) {
  return m[0] == runtime::kFixedOne && m[1] == 0 && m[2] == 0 && m[3] == runtime::kFixedOne;
}

// `box` in the frame of `target` (unchanged when it has a fixed direction
// or cannot be turned).
OrientedBox InFrame(const OrientedBox& box, const OrientedBox& target) {
  if (!box.IsTurnable()) return box;
  OrientedBox turned;
  Orientation::ApplyTurn(turned, box, Orientation::RelativeTurn(box, target));
  return turned.IsEmpty() ? box : turned;
}

}  // namespace

void TextExtract::StartBlock(const TextExtractState& line, uint32_t firstChar) {
  std::copy(line.matrix, line.matrix + 4, key_);
  lastLine_ = line.lineBox;
  heights_ = RunningStats::Single(line.lineBox.Height());
  lengths_ = RunningStats::Single(line.lineBox.Length());
  gaps_ = RunningStats{};
  lefts_ = RunningStats::Single(line.lineBox.uMin);
  rights_ = RunningStats::Single(line.lineBox.uMax);
  previousScore_ = 0;
  pending_ = false;
  ++blocksStarted_;
  TextBlockRecord block;
  block.firstLine = model_.lines_.Size();
  model_.blocks_.PushBack(block);
  AppendLine(line, firstChar);
}

void TextExtract::AppendLine(const TextExtractState& line, uint32_t firstChar) {
  TextLineRecord record;
  record.firstChar = firstChar;
  record.charCount = model_.chars_.Size() - firstChar;
  record.box = line.lineBox;
  record.glyphCount = line.glyphCount;
  model_.lines_.PushBack(record);
  ++model_.blocks_[model_.blocks_.Size() - 1].lineCount;
  lastChar_ = line.lastChar;
  if (!line.lineBox.IsEmpty()) {
    model_.directionX_ += static_cast<int64_t>(line.lineBox.cos) * line.glyphCount;
    model_.directionY_ += static_cast<int64_t>(line.lineBox.sin) * line.glyphCount;
  }
}

uint32_t TextExtract::JoinLine(const TextExtractState& line, uint32_t firstChar) {
  if (pending_) {
    StartBlock(line, firstChar);
    return kTaken;
  }
  // (a) Another text matrix, or boxes in frames that cannot be compared.
  if (!IsIdentity(key_) && !std::equal(key_, key_ + 4, line.matrix)) return kIncomparable;
  OrientedBox united;
  OrientedBox::Union(united, lastLine_, line.lineBox);
  if (united.IsEmpty()) return kIncomparable;
  const OrientedBox last = InFrame(lastLine_, united);
  const OrientedBox next = InFrame(line.lineBox, united);
  // (b) Extents along the baseline that do not overlap.
  if (next.uMin > last.uMax || next.uMax < last.uMin) return kIncomparable;
  // (d) The stack test: the new line lies below the last one (its start
  // across the line reaches above the last line's by a tenth at most).
  OrientedBox turnedLast;
  OrientedBox turnedNext;
  Orientation::ApplyTurn(turnedLast, last, Orientation::kQuarter);
  Orientation::ApplyTurn(turnedNext, next, Orientation::kQuarter);
  OrientedBox stacked;
  OrientedBox::ExtendLine(stacked, turnedNext, turnedLast);
  if (stacked.IsEmpty()) return next.uMax < last.uMin ? kIncomparable : kRefused;
  // (i) Much longer than the last line.
  const int64_t lastLength = last.Length();
  if (static_cast<int64_t>(next.Length()) - lastLength > lastLength / 5) return kRefused;
  // The line gap, measured between the lines' lower edges.
  const Fixed gap = runtime::FixedSubSat(last.vMin, next.vMin);
  // Lines further apart than twice their height belong to different
  // blocks, whatever the statistics say.
  if (static_cast<int64_t>(gap) > 2 * static_cast<int64_t>(std::max(last.Height(), next.Height()))) {
    return kRefused;
  }
  // (iii) Neither edge lines up with the block's.
  if (!RunningStats::Admits(lefts_, next.uMin, kQuarter, kQuarter) &&
      !RunningStats::Admits(rights_, next.uMax, kQuarter, kQuarter)) {
    return kRefused;
  }
  // (iv) Another size of text.
  if (!RunningStats::Overlaps(heights_, RunningStats::Single(next.Height()), kQuarter, runtime::kFixedOne)) {
    return kRefused;
  }
  // (v) Spacing and punctuation ask for a break.
  const Fixed score = BlockJoin::SpacingScore(gaps_, gap);
  if (BlockJoin::BreakScore(score, previousScore_, BlockJoin::PunctuationScore(lastChar_, line.firstChar))) {
    return kRefused;
  }
  RunningStats::AddBoxExtents(lengths_, heights_, next);
  RunningStats::Merge(gaps_, RunningStats::Single(gap));
  RunningStats::Merge(lefts_, RunningStats::Single(next.uMin));
  RunningStats::Merge(rights_, RunningStats::Single(next.uMax));
  previousScore_ = score;
  lastLine_ = line.lineBox;
  AppendLine(line, firstChar);
  return kTaken;
}

}  // namespace content
