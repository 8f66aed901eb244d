#include "content/PageModel.h"

#include "content/PageModelTextHandler.h"
#include "content/TextExtract.h"
#include "runtime/ErrorTrap.h"
#include "pdf/Document.h"
#include "runtime/TransientBlocks.h"
#include "runtime/Vector.h"

namespace content {

namespace {

// The model's arena: a page's characters and lines grow in blocks of this.
constexpr uint32_t kModelArenaBlock = 16384;

}  // namespace

PageModel::PageModel(runtime::LibraryContext* owner)
    : owner_(owner),
      arena_(owner, kModelArenaBlock, kModelArenaBlock / 2),
      chars_(arena_, 256),
      lines_(arena_, 16),
      blocks_(arena_, 4),
      annotBoxes_(arena_, 4),
      annotHits_(arena_, 4) {}

void PageModel::Build(pdf::Document& document, int32_t pageIndex, FontSource* fonts, TextFontSource* textFonts,
                      uint32_t options) {
  TextPage text = TextPage::Load(owner_, document, pageIndex, fonts, textFonts);
  visibleBox_ = text.visibleBox;
  AnnotationBoxes::Scan(text.page, annotBoxes_);
  TextExtract engine(*this);
  PageModelTextHandler handler(text, *this, engine, pageIndex, options);
  // A page that fails part way keeps the text it showed before the error.
  runtime::ErrorTrap trap(owner_);
  if (!trap.Run([&] { text.Play(handler); })) {
    trap.SetHandled();
    if (!trap.HoldsRecord() || runtime::IsCancelOrNoDataError(trap.Held())) trap.Rethrow();
    handler.Finish();
    trap.Rethrow();
  }
  handler.Finish();
}

uint32_t PageModel::ByteCount() const {
  const uint64_t bytes = sizeof(PageModel) + uint64_t{chars_.Capacity()} * sizeof(uint32_t) +
                         uint64_t{lines_.Capacity()} * sizeof(TextLineRecord) +
                         uint64_t{blocks_.Capacity()} * sizeof(TextBlockRecord) +
                         uint64_t{annotBoxes_.Capacity()} * sizeof(AnnotationBox) +
                         uint64_t{annotHits_.Capacity()} * sizeof(AnnotationHit);
  return bytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(bytes);
}

runtime::CountedRef<pdf::PageContentModel> PageModelBuilder::CreateModel(pdf::Document& document,
                                                                         const pdf::PageModelKey& key) {
  runtime::LibraryContext* owner = document.Context();
  runtime::CountedRef<pdf::PageContentModel> model =
      runtime::CountedRef<pdf::PageContentModel>::Adopt(owner, runtime::NewObject<PageModel>(owner, owner));
  auto& built = static_cast<PageModel&>(*model);
  built.Build(document, key.pageIndex, fonts_, textFonts_, key.options);
  built.SetTextRotation();
  return model;
}

namespace {

int32_t Reduce(int64_t degrees) {
  const int64_t reduced = degrees % 360;
  return static_cast<int32_t>(reduced < 0 ? reduced + 360 : reduced);
}

}  // namespace

int32_t EffectiveRotation(pdf::Document& document, const pdf::PageModelKey& key, int32_t pageRotation,
                          int32_t viewRotation, int32_t fallback, bool load, PageModelBuilder& builder) {
  const pdf::PageModelCache::Ref model =
      load ? document.PageModels().GetOrCreate(document, key, builder) : document.PageModels().Find(key);
  const int32_t shown = Reduce(int64_t{pageRotation} + viewRotation);
  if (!model) return fallback;
  const runtime::Optional<int32_t>& text = static_cast<const PageModel&>(*model).TextRotation();
  if (!text.HasValue()) return fallback;
  return Reduce(int64_t{Reduce(-int64_t{*text})} + shown);
}

void PageModel::SetTextRotation() {
  // Without text there is no direction: the viewer's fallback applies.
  if (directionX_ == 0 && directionY_ == 0) return;
  // The sums are scaled down together until both fit the snap.
  int64_t x = directionX_;
  int64_t y = directionY_;
  while (x > runtime::kFixedMax || x < runtime::kFixedMin || y > runtime::kFixedMax || y < runtime::kFixedMin) {
    x /= 2;
    y /= 2;
  }
  runtime::Fixed dx = static_cast<runtime::Fixed>(x);
  runtime::Fixed dy = static_cast<runtime::Fixed>(y);
  runtime::Vector::SnapToAxis(dx, dy);
  int32_t rotation = 0;
  if (dx < 0) {
    rotation = 180;
  } else if (dx > 0) {
    rotation = 0;
  } else {
    rotation = dy < 0 ? 270 : 90;
  }
  rotation_.Assign(rotation % 360);
}

}  // namespace content
