#pragma once
// A column of the screen's width into which a page's text and pictures
// are reflowed: it fills a line until the next element does not fit,
// breaks at the last allowed place, places the line and moves its pen
// down by the line's height. Pictures wider than the column (or taller
// than the view) are scaled to fit; others are centred.
#include <cstdint>

#include "content/FlowElement.h"
#include "content/LineBuilder.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/Rect.h"

namespace content {

class ReflowModel;

// A picture laid out on a line of its own.
class FlowPicture {
 public:
  virtual runtime::Rect Box() const = 0;
  // Places the picture's lower-left corner at (x, y) (the pen, moved down
  // by the scaled height) scaled by `scale`.
  virtual void Place(runtime::Fixed x, runtime::Fixed y, runtime::Fixed scale, bool firstInLine) = 0;

 protected:
  ~FlowPicture() = default;
};

class FlowColumn {
 public:
  // Room kept at either side of the column, and below a paragraph.
  static constexpr runtime::Fixed kMargin = 5 << 16;

  // `viewWidth` wide less the margins (`margin` at either side);
  // `maxPictureHeight` (0 or less: no limit) bounds a picture's height.
  FlowColumn(runtime::ArenaAllocator& arena, ReflowModel* model, runtime::Fixed viewWidth,
             runtime::Fixed maxPictureHeight, runtime::Fixed margin = kMargin);

  void AddElement(FlowElement& element) { AddElement(element, 0); }
  void AddPicture(FlowPicture& picture);
  // Places the last line.
  void Finish() { FlushLine(line_.Size(), true); }
  runtime::Fixed PenY() const { return penY_; }
  runtime::Fixed AvailableWidth() const { return line_.AvailableWidth(); }
  runtime::ArenaAllocator& Arena() const { return arena_; }
  // The width of a space put between joined lines: two thirds of the mean
  // width of the line's inner elements, or its first element's width.
  runtime::Fixed SpaceWidth() const;
  LineBuilder& Line() { return line_; }

 private:
  void AddElement(FlowElement& element, uint32_t depth);
  void FlushLine(uint32_t position, bool final);
  void MoveDown(runtime::Fixed d);

  runtime::ArenaAllocator& arena_;
  ReflowModel* model_;
  runtime::Fixed maxPictureHeight_;
  LineBuilder line_;
  runtime::Fixed margin_;
  runtime::Fixed left_;
  runtime::Fixed penY_ = 0;
  runtime::Fixed pendingDepth_ = 0;
};

}  // namespace content
