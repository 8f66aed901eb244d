#pragma once
// The text consumer of reflow: every glyph the text engine delivers
// becomes a flow element (its box, and what its characters allow at a line
// break); spaces are put where two lines of text join, a hyphen at a
// line's end is dropped when the word goes on in the next line, text that
// cannot be reflowed keeps its page geometry, and images become inline
// pictures. Elements reach the column one glyph late, so that a hyphen can
// still become a break when the next line starts.
#include <cstdint>

#include "content/FlowColumn.h"
#include "content/FlowElement.h"
#include "content/GlyphElement.h"
#include "content/PictureRecord.h"
#include "content/TextJob.h"
#include "runtime/ArenaVector.h"
#include "runtime/Matrix.h"
#include "runtime/TextPosition.h"

namespace content {

class ReflowModel;
class TextHandler;
struct RunRecord;

// How a stretch of content is reflowed.
struct ReflowStyle {
  // Content laid out as one picture.
  static constexpr uint32_t kPictureKind = 6;
  // The only layout of text there is.
  static constexpr uint32_t kTextLayout = 2;

  uint32_t kind = 0;
  uint32_t textLayout = kTextLayout;
  // A line is at least this high above its baseline.
  runtime::Fixed minLineHeight = 0;
  // The room below each line's baseline.
  runtime::Fixed lineDepth = 0;
  // The segment's reading direction on the page: its text is turned so
  // that this direction runs left to right. (0, 0) gives none: each run is
  // turned by its own baseline alone (a page of text in several
  // directions).
  runtime::FixedPoint direction{0, 0};
};

// A stretch of a page's content and its style.
struct ReflowSegment {
  runtime::TextRange range;
  ReflowStyle style;
  // Its area in page space: what a segment laid out as one picture shows.
  runtime::Rect box;

  // Everything on page `pageIndex`.
  static runtime::TextRange WholePage(int32_t pageIndex);
};

class ReflowDevice final : public TextJobClient, public SpaceElement::Sink {
 public:
  // Reflows page `pageIndex` into `model`'s column, segment by segment
  // (segments in content order, not overlapping).
  ReflowDevice(ReflowModel& model, int32_t pageIndex, const ReflowSegment* segments, uint32_t segmentCount);

  // The handler whose strings and state the device reads.
  void SetHandler(TextHandler* handler) { handler_ = handler; }
  // Hands the last element to the column and places the last line.
  void Finish();
  FlowColumn& Column() { return column_; }

  // ---- TextJobClient ----
  const runtime::TextRange* Range() const override { return &whole_; }
  int BeginString(const runtime::TextPosition& position, bool isRepeat, bool hasUnicode, bool visible) override;
  void EndString(const runtime::TextPosition&) override {}
  int BeginGlyphs(const runtime::TextPosition& position, const TextRun& run, bool isLastString,
                  bool newBlock) override;
  void EndGlyphs(const runtime::TextPosition& position, bool stopped) override;
  int BeginGlyph(const runtime::TextPosition& position, bool isLast, bool isFirst) override;
  void EndGlyph(const runtime::TextPosition& position) override;
  void OnChar(const runtime::TextPosition& position, uint32_t code, bool isLast, bool isFirst) override;
  // A wide gap on a line starts a new block: the text after it is
  // reflowed as a line of its own joined to the text before.
  uint32_t ClassifyWideGap() override;
  void DoXObject(const runtime::TextPosition& position, std::string_view name) override;
  void PaintImage(const runtime::TextPosition& position) override;

  // ---- For the glyph elements ----
  void PlaceGlyph(GlyphElement& element, runtime::Fixed x, runtime::Fixed y, bool continued);
  void RecycleGlyph(GlyphElement& element);
  void KeepOverflowChar(GlyphElement& element, uint32_t c);
  // ---- For the pictures ----
  // Places `picture` with the lower-left corner of its box at (x, y),
  // scaled by `scale`; a line entry when it is first in its line.
  void PlacePicture(const PictureRecord& picture, runtime::Fixed x, runtime::Fixed y, runtime::Fixed scale,
                    bool firstInLine);
  // Moves a picture that no longer counts out of sight.
  void ParkPicture(const PictureRecord& picture);
  // The run of the last picture made (null before any).
  RunRecord* LastPictureRun() const { return lastPicture_; }

 private:
  void PlaceSpace() override;
  // The segment holding `position`, moving past the segments before it;
  // null outside every segment.
  const ReflowSegment* SegmentAt(const runtime::TextPosition& position);
  GlyphElement* NewGlyph();
  void FlushPending();
  void DoImage(const runtime::TextPosition& position, const runtime::Rect& box);
  // Lays out `segment` as one picture, once, from its first event.
  void StartSegmentPicture(const ReflowSegment& segment);
  // A picture record for `run` over `box` with the links over the box.
  PictureRecord MakePicture(RunRecord& run, const runtime::Rect& box, const runtime::Matrix& view,
                            bool startsSegment);
  runtime::FixedPoint Rotate(runtime::FixedPoint p) const;

  ReflowModel& model_;
  FlowColumn column_;
  const ReflowSegment* segments_;
  uint32_t segmentCount_;
  uint32_t segment_ = 0;
  // An element has been made in the current segment.
  bool segmentHasGlyph_ = false;
  runtime::TextRange whole_;
  TextHandler* handler_ = nullptr;

  // The string being shown.
  const TextRun* run_ = nullptr;
  RunRecord* runRecord_ = nullptr;
  RunRecord* lastRun_ = nullptr;
  RunRecord* lastPicture_ = nullptr;
  // A picture segment open to the page's end has been made: no other
  // segment picture follows on the page.
  bool segmentPicturesDone_ = false;
  uint32_t stringFirstGlyph_ = 0;
  runtime::Matrix rotation_;
  bool rotated_ = false;
  // Maps offsets in the reflowed direction back into the run's text
  // space: the text matrix inverted, after R's transpose when turned.
  runtime::Matrix inverse_;
  runtime::FixedPoint ascent_;
  runtime::FixedPoint descent_;
  bool graphicsRun_ = false;

  GlyphElement* pending_ = nullptr;
  GlyphElement* current_ = nullptr;
  bool spacePending_ = false;
  bool dashHeld_ = false;
  runtime::Fixed blockBaseline_ = 0;
  uint32_t currentLine_ = 0;

  GlyphElement* free_ = nullptr;
  runtime::ArenaVector<uint32_t> overflow_;
  runtime::ArenaVector<uint32_t> linkIndices_;
};

}  // namespace content
