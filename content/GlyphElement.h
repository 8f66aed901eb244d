#pragma once
// The flow element of one shown glyph: its box in the run's baseline
// direction and what its characters allow (breaking after it, starting or
// ending a line), so that the column can re-break the page's lines.
#include <cstdint>

#include "content/FlowElement.h"
#include "runtime/Fixed.h"
#include "runtime/TextPosition.h"

namespace content {

class ReflowDevice;
class ReflowModel;
struct RunRecord;

class GlyphElement final : public FlowElement {
 public:
  // Characters kept with the element for the placed line's text.
  static constexpr uint32_t kInlineChars = 4;

  // What the element needs of its glyph when it is placed.
  struct Link {
    ReflowModel* model = nullptr;
    RunRecord* run = nullptr;
    runtime::TextPosition position;
    // The glyph's index among its operation's glyphs.
    uint32_t runGlyph = 0;
    // Its start point in page space.
    runtime::FixedPoint point;
    // Added to x when it is placed (glyphs whose cell leans).
    runtime::Fixed xCorrection = 0;
    // Links of the page whose area holds the glyph: [first, first + count)
    // of the device's link index list.
    uint32_t linkFirst = 0;
    uint32_t linkCount = 0;
  };

  GlyphElement() = default;

  // ---- FlowElement ----
  bool StartsSegment() const override { return startsSegment; }
  bool StartsBlock() const override { return startsBlock; }
  bool IsInk() const override { return nonBlank; }
  bool IsDash() const override { return dash; }
  bool IsCjk() const override { return cjk; }
  bool IsBreaking() const override { return breaking; }
  bool MayStartLine() const override { return mayStartLine; }
  bool MayEndLine() const override { return mayEndLine; }
  bool IsReversed() const override { return reversed; }
  void MarkLineStart() override { lineStart = true; }
  runtime::Fixed Width() const override { return width; }
  bool FollowedByGap() const override { return followedByGap; }
  runtime::Fixed BaselineOffset() const override { return baselineOffset; }
  runtime::Fixed Height() const override { return height; }
  runtime::Fixed Depth() const override { return depth; }
  void MakeBreak() override;
  void Place(runtime::Fixed x, runtime::Fixed y, bool continued) override;
  void Retire() override;

  // Sets the character bytes from one of the glyph's characters (they are
  // only ever set, so a glyph of several characters gets their union).
  void Classify(uint32_t c);
  // Keeps `c` for the line's text.
  void AddChar(uint32_t c);
  Link link;
  // The start x in the run's baseline direction (for the advance to the
  // next glyph).
  runtime::Fixed startX = 0;
  runtime::Fixed width = 0;
  runtime::Fixed height = 0;
  runtime::Fixed depth = 0;
  runtime::Fixed baselineOffset = 0;
  bool startsSegment = false;
  bool startsBlock = false;
  bool nonBlank = false;
  bool dash = false;
  bool cjk = false;
  bool breaking = false;
  bool mayStartLine = true;
  bool mayEndLine = true;
  bool isBreak = false;
  bool lineStart = false;
  bool reversed = false;
  bool followedByGap = false;
  // The text of its line gets a space after it (a word gap with no space
  // glyph).
  bool spaceAfter = false;
  uint8_t charCount = 0;
  uint32_t chars[kInlineChars] = {};
  // More characters than fit inline: [overflowFirst, +overflowCount) of
  // the owner's overflow list.
  uint32_t overflowFirst = 0;
  uint32_t overflowCount = 0;
  // The device that made it: it places the glyph in its run and takes the
  // element back once placed.
  ReflowDevice* device = nullptr;
  GlyphElement* nextFree = nullptr;
};

}  // namespace content
