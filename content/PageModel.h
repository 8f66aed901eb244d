#pragma once
// A page's text as the viewer lays it out: its characters in the order
// shown, gathered into lines and the lines into blocks (paragraphs or
// column pieces), with each line's box, and the page's text rotation.
// Built by playing the page into a PageModelTextHandler.
#include <cstdint>

#include "content/AnnotationBoxes.h"
#include "content/OrientedBox.h"
#include "pdf/PageModelCache.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/Optional.h"
#include "runtime/Rect.h"

namespace pdf {
class Document;
}

namespace content {

class FontSource;
class TextFontSource;

struct TextLineRecord {
  uint32_t firstChar = 0;  // index into the model's characters
  uint32_t charCount = 0;
  OrientedBox box;
  uint32_t glyphCount = 0;
};

struct TextBlockRecord {
  uint32_t firstLine = 0;
  uint32_t lineCount = 0;
};

class PageModel final : public pdf::PageContentModel {
 public:
  // Options of Build.
  static constexpr uint32_t kNoLimits = 1;  // lay out every block, however many
  // Blocks and strings a page is laid out for at most (without kNoLimits);
  // beyond them the page's text ends.
  static constexpr uint32_t kMaxBlocks = 60;
  static constexpr uint32_t kMaxStrings = 10000;

  explicit PageModel(runtime::LibraryContext* owner);
  PageModel(const PageModel&) = delete;
  PageModel& operator=(const PageModel&) = delete;

  // Plays page `pageIndex` of `document` into a PageModelTextHandler and
  // keeps what it gathered. `fonts` gives the page's fonts, `textFonts`
  // their Unicode (either may be null). Errors of the page pass on; the
  // early stop of text extraction does not.
  void Build(pdf::Document& document, int32_t pageIndex, FontSource* fonts, TextFontSource* textFonts,
             uint32_t options = 0);

  // Turns the page's dominant text direction into a rotation in degrees
  // (0 left to right, 90 upwards, 180 right to left, 270 downwards). A page
  // without text keeps its rotation unset.
  void SetTextRotation();

  uint32_t ByteCount() const override;
  runtime::LibraryContext* Owner() const { return owner_; }
  const runtime::ArenaVector<uint32_t>& Chars() const { return chars_; }
  const runtime::ArenaVector<TextLineRecord>& Lines() const { return lines_; }
  const runtime::ArenaVector<TextBlockRecord>& Blocks() const { return blocks_; }
  bool HasText() const { return hasText_; }
  uint32_t FirstTextOperation() const { return firstTextOperation_; }
  const runtime::Optional<int32_t>& TextRotation() const { return rotation_; }
  const runtime::Rect& VisibleBox() const { return visibleBox_; }
  // The page's link boxes, and the strings that met them, in the order
  // shown.
  const runtime::ArenaVector<AnnotationBox>& LinkBoxes() const { return annotBoxes_; }
  const runtime::ArenaVector<AnnotationHit>& LinkHits() const { return annotHits_; }

 private:
  friend class PageModelTextHandler;
  friend class TextExtract;
  friend struct ReadingOrder;

  runtime::LibraryContext* owner_;
  runtime::ArenaAllocator arena_;
  runtime::ArenaVector<uint32_t> chars_;
  runtime::ArenaVector<TextLineRecord> lines_;
  runtime::ArenaVector<TextBlockRecord> blocks_;
  runtime::ArenaVector<AnnotationBox> annotBoxes_;
  runtime::ArenaVector<AnnotationHit> annotHits_;
  bool hasText_ = false;
  uint32_t firstTextOperation_ = 0;
  runtime::Optional<int32_t> rotation_;
  runtime::Rect visibleBox_;
  // The sum of the lines' unit directions weighted by their glyphs.
  int64_t directionX_ = 0;
  int64_t directionY_ = 0;
};

// Builds the page models the document's page-model cache keeps, with the
// fonts of the page given at construction; the key's options are the
// model's build options.
class PageModelBuilder final : public pdf::PageModelFactory {
 public:
  PageModelBuilder(FontSource* fonts, TextFontSource* textFonts) : fonts_(fonts), textFonts_(textFonts) {}
  runtime::CountedRef<pdf::PageContentModel> CreateModel(pdf::Document& document,
                                                         const pdf::PageModelKey& key) override;

 private:
  FontSource* fonts_;
  TextFontSource* textFonts_;
};

// The angle at which the viewer shows a page, from the page's own
// rotation, the view's rotation and the direction of the page's text
// (0..359). The page's model is taken from the document's cache: built
// when `load` is set, else only when already cached; a page whose model
// is missing or holds no text rotation shows at `fallback`.
int32_t EffectiveRotation(pdf::Document& document, const pdf::PageModelKey& key, int32_t pageRotation,
                          int32_t viewRotation, int32_t fallback, bool load, PageModelBuilder& builder);

}  // namespace content
