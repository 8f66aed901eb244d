#pragma once
// An image shown among the page's text, laid out inline like a glyph: a
// box as wide and high as the image's bounds on the page, which a line may
// break before and after.
#include "content/FlowElement.h"
#include "content/PictureRecord.h"

namespace content {

class PictureElement final : public FlowElement {
 public:
  explicit PictureElement(const PictureRecord& record) : record_(record), box_(record.ViewBox()) {}

  bool StartsSegment() const override { return record_.startsSegment; }
  bool StartsBlock() const override { return false; }
  bool IsInk() const override { return !notInk_; }
  bool IsDash() const override { return false; }
  bool IsCjk() const override { return false; }
  bool IsBreaking() const override { return true; }
  bool MayStartLine() const override { return true; }
  bool MayEndLine() const override { return true; }
  bool IsReversed() const override { return false; }
  void MarkLineStart() override { placed_ = true; }
  runtime::Fixed Width() const override { return runtime::FixedSubSat(box_.x1, box_.x0); }
  bool FollowedByGap() const override { return false; }
  runtime::Fixed BaselineOffset() const override { return 0; }
  runtime::Fixed Height() const override { return runtime::FixedSubSat(box_.y1, box_.y0); }
  runtime::Fixed Depth() const override { return 0; }
  // The picture no longer counts and its run is parked.
  void MakeBreak() override;
  // The box's lower-left corner sits on the line's baseline, unscaled.
  void Place(runtime::Fixed x, runtime::Fixed y, bool continued) override;

  const runtime::Rect& Box() const { return box_; }
  const PictureRecord& Record() const { return record_; }

 private:
  PictureRecord record_;
  runtime::Rect box_;
  bool placed_ = false;
  bool notInk_ = false;
};

}  // namespace content
