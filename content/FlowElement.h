#pragma once
// What the flow column lays out: a glyph, a picture or an inserted space,
// each a box with line-breaking properties. The column and its line
// builder use these queries only.
#include <cstdint>

#include "runtime/Fixed.h"

namespace content {

class FlowElement {
 public:
  // The first element of a content segment: a line break comes before it.
  virtual bool StartsSegment() const = 0;
  // Its glyph began a new text block (a new baseline reference).
  virtual bool StartsBlock() const = 0;
  // Non-blank: it has visible extent and counts for the line's height.
  virtual bool IsInk() const = 0;
  virtual bool IsDash() const = 0;
  virtual bool IsCjk() const = 0;
  // A line may break after it.
  virtual bool IsBreaking() const = 0;
  virtual bool MayStartLine() const = 0;
  virtual bool MayEndLine() const = 0;
  // Its glyph advances towards negative x.
  virtual bool IsReversed() const = 0;
  virtual void MarkLineStart() = 0;
  virtual runtime::Fixed Width() const = 0;
  // The next glyph starts more than twice this one's width away.
  virtual bool FollowedByGap() const = 0;
  // Its baseline y minus that of its block's first glyph.
  virtual runtime::Fixed BaselineOffset() const = 0;
  virtual runtime::Fixed Height() const = 0;
  virtual runtime::Fixed Depth() const = 0;
  // Turns it into a zero-width break.
  virtual void MakeBreak() = 0;
  // Places it with its baseline start at (x, y) in reflow space;
  // `continued` asks for a new placement entry of its run.
  virtual void Place(runtime::Fixed x, runtime::Fixed y, bool continued) = 0;
  // Called once it has been placed and left the line: the element is not
  // used again (its maker may reuse its storage).
  virtual void Retire() {}

 protected:
  // Elements live in arenas and are never deleted through this type.
  ~FlowElement() = default;
};

// The space put between two lines of text joined into one: it never
// forces a new line and a line may break after it.
class SpaceElement final : public FlowElement {
 public:
  class Sink {
   public:
    virtual void PlaceSpace() = 0;

   protected:
    ~Sink() = default;
  };

  SpaceElement(runtime::Fixed width, Sink* sink) : width_(width), sink_(sink) {}

  bool StartsSegment() const override { return false; }
  bool StartsBlock() const override { return false; }
  bool IsInk() const override { return false; }
  bool IsDash() const override { return false; }
  bool IsCjk() const override { return false; }
  bool IsBreaking() const override { return true; }
  bool MayStartLine() const override { return false; }
  bool MayEndLine() const override { return true; }
  bool IsReversed() const override { return false; }
  void MarkLineStart() override {}
  runtime::Fixed Width() const override { return width_; }
  bool FollowedByGap() const override { return false; }
  runtime::Fixed BaselineOffset() const override { return 0; }
  runtime::Fixed Height() const override { return 0; }
  runtime::Fixed Depth() const override { return 0; }
  void MakeBreak() override { width_ = 0; }
  // Nothing is drawn; the text of the line gets a space.
  void Place(runtime::Fixed, runtime::Fixed, bool) override {
    if (sink_ != nullptr) sink_->PlaceSpace();
  }

 private:
  runtime::Fixed width_;
  Sink* sink_;
};

}  // namespace content
