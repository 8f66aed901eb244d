#pragma once
// An image shown among the page's text, laid out inline like a glyph: a
// box as wide and high as the image's bounds on the page, which a line may
// break before and after.
#include "content/FlowElement.h"
#include "runtime/Rect.h"

namespace content {

class ReflowModel;
struct RunRecord;

class PictureElement final : public FlowElement {
 public:
  PictureElement(ReflowModel& model, RunRecord& run, const runtime::Rect& box, bool startsSegment)
      : model_(model), run_(run), box_(box), startsSegment_(startsSegment) {}

  bool StartsSegment() const override { return startsSegment_; }
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
  void Place(runtime::Fixed x, runtime::Fixed y, bool continued) override;

  const runtime::Rect& Box() const { return box_; }

 private:
  ReflowModel& model_;
  RunRecord& run_;
  runtime::Rect box_;
  bool startsSegment_;
  bool placed_ = false;
  bool notInk_ = false;
};

}  // namespace content
