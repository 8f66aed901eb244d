#include "viewer/LinkHighlights.h"

#include <algorithm>

#include "content/ReflowModel.h"
#include "pdf/Annotation.h"
#include "pdf/ArrayReaders.h"
#include "pdf/Document.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/HostBitmap.h"
#include "runtime/ObjectValue.h"
#include "runtime/Scheduler.h"
#include "viewer/HostBitmap.h"
#include "viewer/RenderRegion.h"

namespace viewer {

int32_t HostPixelBytes(int32_t kind);

using runtime::Fixed;
using runtime::IntRect;

namespace {

// Colours of the marks: every link while links are shown, the focused
// link, and the focused link held down (filled, not framed).
constexpr Fixed kShownLinkColour[3] = {0x8000, 0x8000, 0x10000};
constexpr Fixed kFocusedLinkColour[3] = {0x10000, 0, 0};
constexpr Fixed kActiveLinkColour[3] = {0, 0, 0};

// The bytes one pixel of a host layout is turned with.
struct XorPixel {
  uint8_t bytes[4] = {};
  int32_t count = 0;
};

uint8_t ComplementByte(Fixed component) {
  const int64_t c = runtime::kFixedOne - std::clamp<Fixed>(component, 0, runtime::kFixedOne);
  return static_cast<uint8_t>((c * 255 + 0x8000) >> 16);
}

XorPixel XorPixelFor(int32_t kind, const Fixed (&colour)[3]) {
  const uint8_t r = ComplementByte(colour[0]), g = ComplementByte(colour[1]), b = ComplementByte(colour[2]);
  const uint16_t packed = static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
  XorPixel pixel;
  pixel.count = HostPixelBytes(kind);
  switch (kind) {
    case runtime::kHostRgb565:
      pixel.bytes[0] = static_cast<uint8_t>(packed & 0xFF), pixel.bytes[1] = static_cast<uint8_t>(packed >> 8);
      break;
    case runtime::kHostRgb565Swapped:
      pixel.bytes[0] = static_cast<uint8_t>(packed >> 8), pixel.bytes[1] = static_cast<uint8_t>(packed & 0xFF);
      break;
    case runtime::kHostBgr24:
    case runtime::kHostBgrx32:
      pixel.bytes[0] = b, pixel.bytes[1] = g, pixel.bytes[2] = r;
      break;
    case runtime::kHostXrgb32:
      pixel.bytes[1] = r, pixel.bytes[2] = g, pixel.bytes[3] = b;
      break;
    default:
      pixel.count = 0;
      break;
  }
  return pixel;
}

// Turns the pixels of `rect` (page pixels) that lie in `clip`.
void XorRect(const runtime::HostPixelLayout& layout, int32_t originX, int32_t originY, const IntRect& rect,
             const IntRect& clip, const XorPixel& pixel) {
  const IntRect part{std::max(rect.x0, clip.x0), std::max(rect.y0, clip.y0), std::min(rect.x1, clip.x1),
                     std::min(rect.y1, clip.y1)};
  if (part.IsEmpty()) return;
  for (int32_t y = part.y0; y < part.y1; ++y) {
    uint8_t* p = layout.firstRow + static_cast<int64_t>(y - originY) * layout.rowStride +
                 static_cast<int64_t>(part.x0 - originX) * pixel.count;
    for (int32_t x = part.x0; x < part.x1; ++x) {
      for (int32_t i = 0; i < pixel.count; ++i) p[i] ^= pixel.bytes[i];
      p += pixel.count;
    }
  }
}

// The link's rectangle in whole page pixels, rounded outward; empty when
// it cannot be read or mapped.
IntRect LinkPixels(runtime::LibraryContext* context, const runtime::ObjectHandle& annotation,
                   const runtime::Matrix& toPixels) {
  IntRect pixels{};
  runtime::CatchAllExceptCancel(context, [&] {
    const runtime::Rect r = pdf::ReadRectArray(runtime::Dictionary::GetArray(annotation, "Rect"));
    if (!runtime::Matrix::CanTransformRect(toPixels, r)) return;
    pixels = runtime::Rect::ToPixelBounds(runtime::Matrix::TransformRectBounds(r, toPixels));
  });
  return pixels;
}

// A rectangle of reflow space in whole page pixels, rounded outward.
IntRect ReflowPixels(const runtime::Matrix& toPixels, const runtime::Rect& r) {
  if (!runtime::Matrix::CanTransformRect(toPixels, r)) return {};
  return runtime::Rect::ToPixelBounds(runtime::Matrix::TransformRectBounds(r, toPixels));
}

// One mark: the whole rectangle, or only a band `kFrameWidth` wide inside
// its edge.
void MarkLink(const runtime::HostPixelLayout& layout, int32_t originX, int32_t originY, const IntRect& link,
              const IntRect& clip, const XorPixel& pixel, bool frame) {
  if (link.IsEmpty()) return;
  const int32_t w = LinkHighlights::kFrameWidth;
  const IntRect inner{link.x0 + w, link.y0 + w, link.x1 - w, link.y1 - w};
  if (!frame || inner.IsEmpty()) {
    XorRect(layout, originX, originY, link, clip, pixel);
    return;
  }
  XorRect(layout, originX, originY, {link.x0, link.y0, link.x1, inner.y0}, clip, pixel);
  XorRect(layout, originX, originY, {link.x0, inner.y1, link.x1, link.y1}, clip, pixel);
  XorRect(layout, originX, originY, {link.x0, inner.y0, inner.x0, inner.y1}, clip, pixel);
  XorRect(layout, originX, originY, {inner.x1, inner.y0, link.x1, inner.y1}, clip, pixel);
}

}  // namespace

LinkHighlights::LinkHighlights(pdf::Document& document) : document_(document) {}

LinkHighlights::~LinkHighlights() { Attach(nullptr); }

void LinkHighlights::Attach(RenderRegion* region) {
  if (region_ != nullptr) region_->SetOverlay(nullptr, kOverlaySlot);
  region_ = region;
  if (region_ != nullptr) region_->SetOverlay(this, kOverlaySlot);
}

void LinkHighlights::SetShowLinks(bool show) {
  if (show == showLinks_) return;
  showLinks_ = show;
  if (region_ != nullptr) region_->RedrawShownPages();
}

void LinkHighlights::FocusedLinkChanged(const PageLink& before, const PageLink& now) {
  focused_ = now;
  RedrawLink(before);
  if (!PageLink::Same(before, now) || before.active != now.active) RedrawLink(now);
}

void LinkHighlights::RedrawLink(const PageLink& link) {
  runtime::Matrix toPixels;
  if (region_ == nullptr || !link.Exists()) return;
  IntRect pixels{};
  if (const content::ReflowModel* model = region_->ReflowBitmapMatrix(link.page, toPixels)) {
    runtime::Rect bounds;
    if (!PageLink::ReflowedBounds(*model, link, bounds)) return;
    pixels = ReflowPixels(toPixels, bounds);
  } else {
    if (!region_->BitmapMatrix(link.page, toPixels)) return;
    pixels = LinkPixels(document_.Context(), link.annotation, toPixels);
  }
  if (!pixels.IsEmpty()) region_->RedrawPageArea(link.page, pixels);
}

void LinkHighlights::PaintOver(int32_t page, const runtime::Matrix& toPixels, const IntRect& area,
                               HostBitmap& bitmap, int32_t originX, int32_t originY) {
  const bool focusedHere = focused_.Exists() && focused_.page == page;
  if (!showLinks_ && !focusedHere) return;
  runtime::LibraryContext* context = document_.Context();
  // Rectangles are gathered first and marked in batches: reading the file
  // may let other work run, which must not find the pixels held.
  constexpr uint32_t kBatch = 32;
  IntRect batch[kBatch];
  uint32_t count = 0;
  auto mark = [&](const Fixed (&colour)[3], bool frame) {
    Mark(batch, count, colour, frame, area, bitmap, originX, originY);
    count = 0;
  };
  if (showLinks_) {
    runtime::ObjectHandle annots;
    runtime::CatchAllExceptCancel(context, [&] {
      const runtime::ObjectHandle dict = document_.GetPageDict(page);
      if (dict.Tag() == runtime::ObjectTag::kDictionary) annots = runtime::Dictionary::Get(dict, "Annots");
    });
    const uint32_t links = annots.Tag() == runtime::ObjectTag::kArray ? runtime::Array::Count(annots) : 0;
    for (uint32_t i = 0; i < links; ++i) {
      // The file sets the count.
      runtime::ChargeWork(context, runtime::kWorkCostLight);
      if (focusedHere && focused_.index == static_cast<int32_t>(i)) continue;
      runtime::ObjectHandle annotation;
      runtime::CatchAllExceptCancel(context, [&] { annotation = runtime::Array::Get(annots, i); });
      if (annotation.Tag() != runtime::ObjectTag::kDictionary || !pdf::Annot::IsLink(annotation)) continue;
      const IntRect pixels = LinkPixels(context, annotation, toPixels);
      if (pixels.IsEmpty()) continue;
      batch[count++] = pixels;
      if (count == kBatch) mark(kShownLinkColour, true);
    }
    if (count > 0) mark(kShownLinkColour, true);
  }
  if (focusedHere) {
    batch[0] = LinkPixels(context, focused_.annotation, toPixels);
    count = batch[0].IsEmpty() ? 0 : 1;
    const bool active = focused_.active != 0;
    if (count > 0) mark(active ? kActiveLinkColour : kFocusedLinkColour, !active);
  }
}

void LinkHighlights::PaintOverReflowed(int32_t page, const content::ReflowModel& model,
                                       const runtime::Matrix& toPixels, const IntRect& area, HostBitmap& bitmap,
                                       int32_t originX, int32_t originY) {
  const bool focusedHere = focused_.Exists() && focused_.page == page;
  if (!showLinks_ && !focusedHere) return;
  // The reflow keeps a rectangle per glyph of a link: those of one link on
  // one line make one frame (frames turned twice where they overlap would
  // vanish there). The reflow kept only the links of the page's "Annots",
  // so nothing of the file is read.
  constexpr uint32_t kBatch = 32;
  content::LinkRect groups[kBatch];
  uint32_t count = 0;
  auto flush = [&](const Fixed (&colour)[3], bool frame) {
    IntRect pixels[kBatch];
    uint32_t n = 0;
    for (uint32_t i = 0; i < count; ++i) {
      pixels[n] = ReflowPixels(toPixels, groups[i].rect);
      if (!pixels[n].IsEmpty()) ++n;
    }
    Mark(pixels, n, colour, frame, area, bitmap, originX, originY);
    count = 0;
  };
  auto add = [&](const content::LinkRect& part, const Fixed (&colour)[3], bool frame) {
    for (uint32_t i = 0; i < count; ++i) {
      content::LinkRect& g = groups[i];
      if (g.link != part.link || g.line != part.line) continue;
      g.rect = {std::min(g.rect.x0, part.rect.x0), std::min(g.rect.y0, part.rect.y0),
                std::max(g.rect.x1, part.rect.x1), std::max(g.rect.y1, part.rect.y1)};
      return;
    }
    if (count == kBatch) flush(colour, frame);
    groups[count++] = part;
  };
  if (showLinks_) {
    for (const content::LinkRect& part : model.LinkRects()) {
      if (focusedHere && static_cast<int64_t>(part.link) == focused_.index) continue;
      add(part, kShownLinkColour, true);
    }
    flush(kShownLinkColour, true);
  }
  if (focusedHere) {
    const bool active = focused_.active != 0;
    const Fixed(&colour)[3] = active ? kActiveLinkColour : kFocusedLinkColour;
    for (const content::LinkRect& part : model.LinkRects()) {
      if (static_cast<int64_t>(part.link) == focused_.index) add(part, colour, !active);
    }
    flush(colour, !active);
  }
}

void LinkHighlights::Mark(const IntRect* rects, uint32_t count, const Fixed (&colour)[3], bool frame,
                          const IntRect& area, HostBitmap& bitmap, int32_t originX, int32_t originY) {
  if (count == 0) return;
  runtime::HostBitmap& handle = bitmap.Handle();
  const runtime::HostPixelLayout* layout = handle.Begin(0);
  if (layout != nullptr && layout->firstRow != nullptr && HostPixelBytes(layout->kind) > 0) {
    const IntRect clip{std::max(area.x0, originX), std::max(area.y0, originY),
                       std::min(area.x1, originX + layout->width), std::min(area.y1, originY + layout->height)};
    const XorPixel pixel = XorPixelFor(layout->kind, colour);
    for (uint32_t i = 0; i < count && !clip.IsEmpty(); ++i) {
      MarkLink(*layout, originX, originY, rects[i], clip, pixel, frame);
    }
  }
  handle.End();
}

}  // namespace viewer
