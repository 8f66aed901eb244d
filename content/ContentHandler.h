#pragma once
// The consumer of played content operations. The base keeps the graphics
// state and the text matrices and implements the state setters once;
// painters and text collectors override what they draw or collect.
#include <cstdint>
#include <string_view>
#include <utility>

#include "content/ContentMachine.h"
#include "content/ContentSegment.h"
#include "content/GraphicsState.h"
#include "content/TextArrayElement.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaScope.h"
#include "runtime/CleanupNode.h"
#include "runtime/CountedRef.h"
#include "runtime/ErrorTrap.h"
#include "runtime/FontBase.h"
#include "runtime/Matrix.h"
#include "runtime/ObjectHandle.h"
#include "runtime/OperatorTrace.h"

namespace raster {
class SmallImageCache;
}

namespace content {

class ContentStream;
class FormCache;
class InlineImage;
class ExtGState;

// A resource of `category` named `name` in `resources` (null: none),
// resolved; a null handle when there is none.
runtime::ObjectHandle FindNamedResource(const runtime::ObjectHandle* resources, std::string_view category,
                                        std::string_view name);

// A played stretch of a program: a `q` ... `Q` or `BT` ... `ET`, inside an
// enclosing span (the program's own span has none).
struct Span {
  ProgramCursor start;
  Span* enclosing = nullptr;
  bool text = false;
  // Set when the span ended at a `Q`: a text object ended this way ends
  // the span around it too.
  bool endedByRestore = false;
  // Text spans only: the player's repeat cache as it stood at the span's
  // start, so that the span can be played again (text knockout) and decode
  // the same. Kept off the stack by the player: a `q` span is a few words
  // of stack, however deep the nesting.
  const runtime::OperatorTrace* cacheAtStart = nullptr;
  // Text spans only: where the handler's position key and segment cursor
  // stood at the span's start, so that a replay numbers its operations as
  // the first play did.
  uint32_t operationAtStart = 0;
  uint32_t segmentAtStart = 0;
};

// Turns a font dictionary into the font the text handlers decode with:
// the document's font cache for a page being drawn.
class FontSource {
 public:
  virtual ~FontSource() = default;
  // A counted reference to the font; empty when the dictionary names no
  // usable font. Errors of building it pass on.
  virtual runtime::CountedRef<runtime::FontBase> FindFont(
      const runtime::ObjectHandle& fontDictionary) = 0;
};

// The page (or glyph, or annotation) a handler plays: its document, the
// matrix and clip of its fresh state and its structure number.
struct PageInfo {
  pdf::Document* document = nullptr;
  runtime::Matrix matrix;
  runtime::Rect clip{-runtime::kFixedMax, -runtime::kFixedMax, runtime::kFixedMax,
                     runtime::kFixedMax};
  int32_t structParents = -1;
  FontSource* fonts = nullptr;
  // The document's form cache; null parses a form each time it is drawn.
  FormCache* forms = nullptr;
  // The document's small-image cache; null streams every image each time.
  raster::SmallImageCache* images = nullptr;
};

// What a form XObject gives its painter beside its program: its "Group"
// dictionary (a null handle when it has none) and its bounding box.
struct FormFrame {
  runtime::ObjectHandle group;
  runtime::Rect box;
};

// A path handed to PaintPath: a run of the machine's segment list, or the
// handler's own path-cache record for paths kept outside the program.
struct PathSegments {
  const runtime::PackedPoint* points = nullptr;
  uint32_t count = 0;
};

// The last part of a path-painting operation's header, decoded.
struct PathPaint {
  bool stroke = false;
  uint32_t fillRule = PathHeader::kRuleNone;  // 0 non-zero, 1 even-odd, 2 none
  uint32_t clipRule = PathHeader::kRuleNone;
  runtime::Rect bounds;
};

class ContentHandler {
 public:
  // Forms nested deeper than this are refused (runtime, 4).
  static constexpr uint32_t kMaxFormNesting = 64;
  // Forms played in one run at most, nested ones included: forms that draw
  // forms many times each multiply, and a small file must not run for
  // hours. Beyond it forms are passed over and (runtime, 6) is reported.
  static constexpr uint32_t kMaxFormPlays = 20000;
  // Spans (q and BT) and forms nested deeper than this, counted together
  // over the whole run, are refused (runtime, 4). On a cooperative thread
  // the stack checks stop runaway nesting first; this bound keeps a run on
  // the process stack, which has no such check, within a fixed depth. Real
  // pages nest a few levels (ten at most over the test corpus).
  static constexpr uint32_t kMaxNesting = 1024;

  // Bytes of flags a handler keeps for the operation being played.
  static constexpr uint32_t kOperationFlags = 3;

  // `mode` tells which content is played (it leads every content key);
  // `segments`, when given, limits painting to its segments (it must
  // outlive the handler).
  ContentHandler(runtime::LibraryContext* owner, const PageInfo& page, uint32_t mode,
                 const runtime::ObjectHandle* resources,
                 const ContentSegmentList* segments = nullptr);
  virtual ~ContentHandler();
  ContentHandler(const ContentHandler&) = delete;
  ContentHandler& operator=(const ContentHandler&) = delete;

  // ---- The operations, in slot order ----
  // Applies a parsed `gs` parameter set. The base applies only the font
  // entry: text collectors keep this, since a page may select its fonts
  // through parameter sets alone. The painter applies every entry through
  // ApplyEveryEntry.
  virtual void ApplyExtGState(const ExtGState& record);
  virtual void SaveState(Span& span, ContentStream& player);
  virtual void BeginMarkedContent(bool hasMcid, int32_t mcid, int32_t structParents,
                                  const runtime::ObjectHandle* element);
  virtual void EndMarkedContent();
  virtual void SetRenderingIntent(uint8_t intent);
  virtual void SetColorSpace(ColorSpaceKind kind, bool stroke, std::string_view name);
  virtual void SetColor(bool stroke, uint32_t count, const runtime::Fixed* components,
                        std::string_view pattern);
  virtual void ConcatMatrix(const runtime::Matrix& m);
  virtual void Translate(runtime::Fixed tx, runtime::Fixed ty);
  virtual void SetLineWidth(runtime::Fixed width);
  virtual void SetLineCap(int32_t cap);
  virtual void SetLineJoin(int32_t join);
  virtual void SetMiterLimit(runtime::Fixed limit);
  virtual void SetDash(const runtime::Fixed* lengths, uint32_t count, runtime::Fixed phase);
  virtual void SetFlatness(runtime::Fixed flatness);
  // Non-zero when the coming path can change the output.
  virtual int BeginPath(runtime::Rect& bounds, bool stroke) = 0;
  virtual void PaintPath(ContentStream& player, bool pathPresent, const PathPaint& paint,
                         const PathSegments& segments) = 0;
  virtual void EndTextClip() = 0;
  virtual void PaintForm(std::string_view name, const runtime::Matrix& matrix,
                         const runtime::Rect& box);
  virtual void DoXObject(std::string_view name) = 0;
  // An inline image, with its description and its rows in memory.
  virtual void PaintImage(const InlineImage& image, uint32_t options) = 0;
  virtual void DoShading(std::string_view name) = 0;
  virtual void SetCharSpacing(runtime::Fixed spacing);
  virtual void SetWordSpacing(runtime::Fixed spacing);
  virtual void SetHorizontalScale(runtime::Fixed scale);
  virtual void SetLeading(runtime::Fixed leading);
  virtual void SetTextRenderMode(int32_t mode);
  virtual void SetTextRise(runtime::Fixed rise);
  virtual void MoveText(runtime::Fixed tx, runtime::Fixed ty, bool setLeading);
  virtual void SetTextMatrix(const runtime::Matrix& m);
  virtual void NextLine();
  virtual void SetFont(std::string_view name, runtime::Fixed size);
  virtual void ShowText(const uint8_t* bytes, uint32_t count, runtime::Rect& box) = 0;
  // A TJ array; `bounds` is the record's box, as for ShowText.
  virtual void ShowTextArray(const TextArrayElement* elements, uint32_t count,
                             runtime::Rect& bounds) = 0;
  virtual void BeginText(Span& span, ContentStream& player);
  virtual void RunNestedContent(ContentMachine& machine);
  virtual void BeforeOperation();
  virtual PathCacheSlot* GetPathCacheSlot();
  virtual void* GetTarget() = 0;
  virtual int32_t GetPageWidth() = 0;
  virtual int32_t GetPageHeight() = 0;
  virtual void OnBeginText();
  virtual void EndText(Span& span, ContentStream& player) = 0;
  // Plays `machine` through this handler; `form`, when given, is the
  // frame of the form XObject being played (PaintForm passes it).
  virtual void RunContent(ContentMachine& machine, const FormFrame* form = nullptr);

  // Plays `machine` with a copy of the state, whose resources and matrix
  // are given when not null; the state before is back afterwards, also
  // after an error. (runtime, 4) on a cooperative thread with less than the
  // low-stack threshold left.
  void PlayNestedSaved(ContentMachine& machine, const runtime::ObjectHandle* resources = nullptr,
                       const runtime::Matrix* matrix = nullptr, const FormFrame* form = nullptr);
  // Runs `body`, which plays nested content (a form, an annotation's
  // appearance), so that an error in it ends that content only: the error
  // is kept and raised once, after the run around it has played on to its
  // end. Outside any run it is raised at once. Cancellation, data not yet
  // there and errors of other domains (the early stop of text extraction)
  // pass at once.
  template <class Body>
  void PlayConfined(Body&& body);
  // Counts the runs of ContentStream::Run under way on this handler; the
  // outermost one raises the error kept from confined content.
  class RunLevel {
   public:
    explicit RunLevel(ContentHandler& handler) : handler_(handler) { ++handler.runDepth_; }
    ~RunLevel() { --handler_.runDepth_; }
    RunLevel(const RunLevel&) = delete;
    RunLevel& operator=(const RunLevel&) = delete;
    bool Outermost() const { return handler_.runDepth_ == 1; }

   private:
    ContentHandler& handler_;
  };
  // Raises the error kept from confined content, if any, and forgets it.
  void RaiseConfinedError();
  // Plays `span` to its end with a copy of the state, on this thread.
  void PlaySavedSpan(Span& span, ContentStream& player);

  // Counts one level of nesting (span or form) for the run while it lives;
  // (runtime, 4) beyond kMaxNesting.
  class NestingLevel {
   public:
    explicit NestingLevel(ContentHandler& handler);
    ~NestingLevel() { --handler_.nestingDepth_; }
    NestingLevel(const NestingLevel&) = delete;
    NestingLevel& operator=(const NestingLevel&) = delete;

   private:
    ContentHandler& handler_;
  };
  uint32_t NestingDepth() const { return nestingDepth_; }

  // ---- State ----
  GraphicsState& State() { return *state_; }
  const runtime::Matrix& TextMatrix() const { return textMatrix_; }
  const runtime::Matrix& LineMatrix() const { return lineMatrix_; }
  runtime::LibraryContext* Owner() const { return owner_; }
  const PageInfo& Page() const { return page_; }
  uint32_t OperationCount() const { return key_.operation; }
  uint32_t Mode() const { return key_.mode; }

  // ---- Where the played operation stands ----
  const ContentKey& Key() const { return key_; }
  // The operation count and the segment cursor, taken and put back around
  // a replayed span.
  void GetPlayPosition(uint32_t& operation, uint32_t& segment) const {
    operation = key_.operation;
    segment = segmentIndex_;
  }
  void SetPlayPosition(uint32_t operation, uint32_t segment) {
    key_.operation = operation;
    segmentIndex_ = segment;
  }
  // Names a place inside the current operation (both words start at zero
  // for every operation and should only grow within it) and moves the
  // segment cursor on to it.
  void SetKeyWords(uint32_t first, uint32_t second);
  uint8_t (&OperationFlags())[kOperationFlags] { return flags_; }
  bool HasSegments() const { return segments_ != nullptr; }
  // True when the current operation is to be painted: no segment list was
  // given, or the current segment holds the operation's key.
  bool InCurrentSegment() const;
  // The current segment's matrix; null without a list or outside it.
  const runtime::Matrix* SegmentMatrix() const;
  // The CTM followed by the current segment's matrix; the CTM alone when
  // there is none.
  runtime::Matrix SegmentCtm() const;
  // The graphics state's extra matrix when it has one; none while a segment
  // list is given, whose matrices take its place.
  const runtime::Matrix* OptionalStateMatrix() const;
  // The repeat cache of the program being played (read by replays).
  runtime::OperatorTrace* playerCache = nullptr;

 protected:
  // Moves the text matrix's origin (not the line matrix) to the user-space
  // point where a shown string ended.
  void SetTextOrigin(runtime::Fixed x, runtime::Fixed y);
  // Applies every flagged entry of `record`, in this order: line width,
  // cap, join and miter limit; the dash (through SetDash, as `d` does);
  // alpha-is-shape; fill and stroke alpha, clamped to 0..1; blend mode;
  // rendering intent; the soft-mask request; the font; text knockout; the
  // stroke and fill overprint flags. The setters are the virtual ones the
  // operators reach, so a subclass's overrides see these changes too.
  void ApplyEveryEntry(const ExtGState& record);
  // Called by ApplyEveryEntry when a parameter set carries a soft-mask
  // dictionary or "SMask" /None (record.softMaskNone). The base does
  // nothing; the painter builds the mask and paints through it.
  virtual void OnSoftMaskRequest(const ExtGState& record);
  // Counts one more form played in this run, the group of a soft mask
  // included; (runtime, 6) once kMaxFormPlays have been played.
  void CountFormPlay();
  // Moves the text matrix alone (the line matrix stays), as a shown string
  // does.
  void SetTextMatrixAfterShow(const runtime::Matrix& m) { textMatrix_ = m; }

 private:
  friend class StateCopy;

  // The font entry of a parameter set: the reference resolved through the
  // set's document, the font found through the page's font source.
  void ApplyFontEntry(const ExtGState& record);
  // PaintForm's work: finds the form and plays it with its frame.
  void PlayForm(std::string_view name, const runtime::Matrix& matrix, const runtime::Rect& box);
  // Moves the segment cursor past the segments that end before the key.
  void AdvanceSegments();

  runtime::LibraryContext* owner_;
  PageInfo page_;
  GraphicsState* state_ = nullptr;
  runtime::Matrix textMatrix_;
  runtime::Matrix lineMatrix_;
  ContentKey key_;
  uint8_t flags_[kOperationFlags] = {};
  // The segment cursor: the list and its current element.
  const ContentSegmentList* segments_ = nullptr;
  uint32_t segmentIndex_ = 0;
  // Forms being played, to end a form that draws itself.
  const void* formChain_[kMaxFormNesting] = {};
  uint32_t formDepth_ = 0;
  uint32_t formPlays_ = 0;
  uint32_t nestingDepth_ = 0;
  uint32_t runDepth_ = 0;
  // The first error kept from confined content, raised by the outermost
  // run when it ends.
  bool hasConfinedError_ = false;
  runtime::ErrorRecord confinedError_{};
  void KeepConfinedError(const runtime::ErrorRecord& record);
  // The state copies of nested spans and content; they nest strictly, so
  // each lives in a scope of this arena.
  runtime::ArenaAllocator stateArena_;
};

// Installs a copy of the handler's state for a nested stretch and puts the
// old one back when it ends, by return or by error.
class StateCopy {
 public:
  explicit StateCopy(ContentHandler& handler);
  ~StateCopy();
  StateCopy(const StateCopy&) = delete;
  StateCopy& operator=(const StateCopy&) = delete;

 private:
  static void Cleanup(runtime::CleanupNode* node);
  void Restore();

  // First: the cleanup finds the holder from it.
  runtime::CleanupNode node_;
  ContentHandler* handler_;
  GraphicsState* saved_;
  // Opened before the copy is made and released after the pointer is back;
  // its release destroys the copy.
  runtime::ArenaScope scope_;
  bool installed_ = false;
};

template <class Body>
void ContentHandler::PlayConfined(Body&& body) {
  runtime::ErrorTrap trap(owner_);
  if (trap.Run(std::forward<Body>(body))) return;
  trap.SetHandled();
  const runtime::ErrorRecord& held = trap.Held();
  const bool confinable = trap.HoldsRecord() && !runtime::IsCancelOrNoDataError(held) &&
                          (held.IsRuntime(held.code) || held.Is(runtime::kDataIoDomain, held.code));
  if (!confinable) trap.Rethrow();
  const runtime::ErrorRecord error = trap.Held();
  trap.Close();
  KeepConfinedError(error);
  if (runDepth_ == 0) RaiseConfinedError();
}

}  // namespace content
