#pragma once
// A page's text reflowed into a column: what the reflow device and the
// flow column leave behind once the page has been played. Every run of
// text (one text-showing operation) gets a placement matrix from page
// space into reflow space and a list of placement entries (offsets for
// stretches of its glyphs); the placed lines, the link rectangles mapped
// into reflow space, and, for painting and printing, every placed glyph
// and the text of every line.
//
// Reflow space: x to the right from the column's left edge, y upwards with
// the column's top at 0, so lines go down into negative y. Units are those
// of page space (1/72 inch).
#include <cstdint>

#include "content/LinkTextCache.h"
#include "content/ReflowCommand.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/Matrix.h"
#include "runtime/Rect.h"
#include "runtime/TextPosition.h"

namespace pdf {
class PageLinkList;
}

namespace content {

// A stretch of a run's glyphs placed together: glyph k of the stretch sits
// where the run's placement matrix maps its page-space start point, moved
// by (dx, dy).
struct PlacementEntry {
  runtime::Fixed dx = 0;
  runtime::Fixed dy = 0;
  uint32_t count = 0;
};

// The glyphs of one text-showing operation (or one picture).
struct RunRecord {
  runtime::TextPosition start;
  runtime::TextPosition end;
  // Its place in the model's run list.
  uint32_t index = 0;
  // Page space to reflow space; the baseline rotation until the first
  // glyph is placed.
  runtime::Matrix placement;
  bool placed = false;
  // Set for a run that repeats an earlier one drawn at the same place: it
  // takes that run's placement.
  RunRecord* repeats = nullptr;
  runtime::ArenaVector<PlacementEntry> entries;

  explicit RunRecord(runtime::ArenaAllocator& arena) : entries(arena, 1) {}
};

// A placed line of the column.
struct LineEntry {
  uint32_t run = 0;      // the run of the line's first element
  uint32_t entry = 0;    // that run's placement entry
  runtime::Fixed top = 0;
  runtime::Fixed height = 0;
};

// A part of a link's area in reflow space.
struct LinkRect {
  uint32_t link = 0;  // entry of the page's link list
  uint32_t line = 0;  // the line it was found on
  runtime::Rect rect;
};

// One placed glyph: its operation and index in that operation's glyphs,
// and its baseline start point in reflow space; its string and index in
// that string (where text positions put it), and its placed box: `width`
// along the line, `height` above the baseline and `depth` below.
struct ReflowGlyph {
  uint32_t operation = 0;
  uint32_t glyph = 0;
  runtime::Fixed x = 0;
  runtime::Fixed y = 0;
  uint32_t string = 0;
  uint32_t stringGlyph = 0;
  runtime::Fixed width = 0;
  runtime::Fixed height = 0;
  runtime::Fixed depth = 0;
};

// The text of a placed line: characters [first, first + count) of Text().
struct TextLine {
  uint32_t first = 0;
  uint32_t count = 0;
  runtime::Fixed baseline = 0;
};

class ReflowModel final : public PageLinkList {
 public:
  // Where parked glyphs go (dropped hyphens, text laid out as graphics
  // before its placement): far below and right of any column.
  static constexpr runtime::Fixed kParked = 1000 << 16;

  // `links` (optional) is the page's link list; `viewWidth` and
  // `viewHeight` are the view's size in reflow units (a view height of 0
  // sets no picture limit and records no line entries).
  ReflowModel(runtime::LibraryContext* context, const pdf::PageLinkList* links, runtime::Fixed viewWidth,
              runtime::Fixed viewHeight);
  ~ReflowModel() override;
  ReflowModel(const ReflowModel&) = delete;
  ReflowModel& operator=(const ReflowModel&) = delete;

  uint32_t ByteCount() const override;

  runtime::LibraryContext* Context() const { return context_; }
  runtime::ArenaAllocator& Arena() { return arena_; }
  const pdf::PageLinkList* Links() const { return links_; }
  runtime::Fixed ViewWidth() const { return viewWidth_; }
  runtime::Fixed ViewHeight() const { return viewHeight_; }
  // Points per unit of the page's space (1 unless the page gives its own
  // unit): the column's own margins are in points.
  runtime::Fixed Unit() const { return unit_; }
  void SetUnit(runtime::Fixed unit) { unit_ = unit > 0 ? unit : runtime::kFixedOne; }
  bool RecordsLines() const { return viewHeight_ != 0; }

  // A run beginning at `start` whose baseline `rotation` turns horizontal.
  RunRecord& AddRun(const runtime::TextPosition& start, const runtime::Matrix& rotation);
  // A glyph or picture of `run` placed at (x, y) as its glyph `glyph`,
  // with the page-space start point `point`: fixes the run's placement on
  // its first glyph; a new entry when `newEntry` or when the run has none.
  // Returns the placement entry's index.
  uint32_t PlaceInRun(RunRecord& run, runtime::FixedPoint point, runtime::Fixed x, runtime::Fixed y,
                      bool newEntry);
  // A picture's run placed whole: page space goes through `view`, the
  // lower-left corner of `box` (page space) as `view` maps it lands at
  // (x, y), and the picture is scaled by `scale` about that corner. Returns
  // the run's placement entry.
  uint32_t PlacePicture(RunRecord& run, const runtime::Rect& box, const runtime::Matrix& view, runtime::Fixed x,
                        runtime::Fixed y, runtime::Fixed scale);
  void AddCommand(ReflowCommand& command) { commands_.PushBack(&command); }
  // Page space to the view's space, for pictures of whole segments
  // (identity unless set).
  const runtime::Matrix& ViewMatrix() const { return viewMatrix_; }
  void SetViewMatrix(const runtime::Matrix& view) { viewMatrix_ = view; }
  void AddReflowGlyph(const ReflowGlyph& glyph) { glyphs_.PushBack(glyph); }
  void AddLine(const LineEntry& line) { lines_.PushBack(line); }
  void AddLinkRect(const LinkRect& rect) { linkRects_.PushBack(rect); }
  // Starts the text of a new placed line.
  void StartTextLine(runtime::Fixed baseline);
  void AppendText(uint32_t c);

  const runtime::ArenaVector<RunRecord*>& Runs() const { return runs_; }
  // What the view runs when it lays the page out: a run view per run of
  // text, a shift command per picture, a repeat command per repeated
  // string, in the order they were made.
  const runtime::ArenaVector<ReflowCommand*>& Commands() const { return commands_; }
  const runtime::ArenaVector<LineEntry>& Lines() const { return lines_; }
  const runtime::ArenaVector<LinkRect>& LinkRects() const { return linkRects_; }
  const runtime::ArenaVector<ReflowGlyph>& Glyphs() const { return glyphs_; }
  const runtime::ArenaVector<TextLine>& TextLines() const { return textLines_; }
  const runtime::ArenaVector<uint32_t>& Text() const { return text_; }
  // The column's height once the page is finished (the pen's depth).
  runtime::Fixed Height() const { return height_; }
  void SetHeight(runtime::Fixed height) { height_ = height; }
  // The reflow point of glyph `glyph` of `operation`; false when it was
  // not placed.
  bool FindGlyph(uint32_t operation, uint32_t glyph, runtime::FixedPoint& out) const;
  // The placed boxes (reflow space) of the glyphs of `range` on page
  // `page`, glyphs side by side on one line joined into one box; up to
  // `capacity` of them, the last taking in any further ones. The count
  // written.
  uint32_t RangeRects(int32_t page, const runtime::TextRange& range, runtime::Rect* out, uint32_t capacity) const;
  // The position (on page `page`) of the placed glyph nearest (x, y)
  // (reflow space): of the line nearest the point, the glyph nearest it
  // along the line. False when no glyph is shown.
  bool PositionAt(int32_t page, runtime::Fixed x, runtime::Fixed y, runtime::TextPosition& out) const;

 private:
  runtime::LibraryContext* context_;
  const pdf::PageLinkList* links_;
  runtime::Fixed viewWidth_;
  runtime::Fixed viewHeight_;
  runtime::Fixed height_ = 0;
  runtime::Fixed unit_ = runtime::kFixedOne;
  runtime::Matrix viewMatrix_;
  runtime::ArenaAllocator arena_;
  runtime::ArenaVector<RunRecord*> runs_;
  runtime::ArenaVector<ReflowCommand*> commands_;
  runtime::ArenaVector<LineEntry> lines_;
  runtime::ArenaVector<LinkRect> linkRects_;
  runtime::ArenaVector<ReflowGlyph> glyphs_;
  runtime::ArenaVector<TextLine> textLines_;
  runtime::ArenaVector<uint32_t> text_;
};

}  // namespace content
