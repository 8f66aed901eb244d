#include "viewer/PageLink.h"

#include <algorithm>
#include <string_view>

#include "content/ReflowModel.h"
#include "pdf/Annotation.h"
#include "pdf/ArrayReaders.h"
#include "pdf/Document.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Matrix.h"
#include "runtime/ObjectValue.h"
#include "runtime/Scheduler.h"
#include "viewer/PageView.h"

namespace viewer {

using runtime::ObjectHandle;
using runtime::ObjectTag;

namespace {

ObjectHandle PageAnnots(pdf::Document& document, int32_t page) {
  if (page < 0 || page >= document.GetPageCount()) return {};
  const ObjectHandle dict = document.GetPageDict(page);
  if (dict.Tag() != ObjectTag::kDictionary) return {};
  const ObjectHandle annots = runtime::Dictionary::Get(dict, "Annots");
  return annots.Tag() == ObjectTag::kArray ? annots : ObjectHandle();
}

// Where a candidate of FindNext stands in reading order.
struct LinkOrderKey {
  int32_t page = 0;
  int32_t index = 0;
  int64_t left = 0, top = 0, right = 0, bottom = 0;
  bool inside = false;
};

bool LinkOrderPrecedes(const LinkOrderKey& a, const LinkOrderKey& b, bool tieBreak) {
  if (a.page != b.page) return a.page < b.page;
  if (a.top != b.top) return a.top < b.top;
  if (tieBreak) {
    if (a.left != b.left) return a.left < b.left;
    if (a.bottom != b.bottom) return a.bottom < b.bottom;
    if (a.right != b.right) return a.right < b.right;
  } else {
    if (a.bottom != b.bottom) return a.bottom < b.bottom;
    if (a.inside != b.inside) return a.inside;
  }
  return a.index < b.index;
}

}  // namespace

PageLink PageLink::FindAt(pdf::Document& document, int32_t page, runtime::Fixed x, runtime::Fixed y) {
  PageLink found;
  const ObjectHandle annots = PageAnnots(document, page);
  if (annots.IsNull()) return found;
  const uint32_t count = runtime::Array::Count(annots);
  // The walk goes on after a hit: a link drawn later lies on top.
  for (uint32_t i = 0; i < count; ++i) {
    // The file sets the count, and every entry may be an object to read.
    runtime::ChargeWork(document.Context(), runtime::kWorkCostLight);
    const ObjectHandle annotation = runtime::Array::Get(annots, i);
    if (annotation.Tag() != ObjectTag::kDictionary || !pdf::Annot::IsLink(annotation)) continue;
    if (!pdf::Annot::HitTest(x, y, nullptr, annotation)) continue;
    found.page = page;
    found.index = static_cast<int32_t>(i);
    found.annotation = annotation;
  }
  return found;
}

bool PageLink::HitTest(const PageLink& link, int32_t page, runtime::Fixed x, runtime::Fixed y) {
  return link.Exists() && link.page == page && pdf::Annot::HitTest(x, y, nullptr, link.annotation);
}

PageLink PageLink::FindAtReflowed(pdf::Document& document, const content::ReflowModel& model, int32_t page,
                                  runtime::Fixed x, runtime::Fixed y) {
  PageLink found;
  int64_t best = -1;
  for (const content::LinkRect& part : model.LinkRects()) {
    if (static_cast<int64_t>(part.link) > best && part.rect.ContainsPoint(x, y)) best = part.link;
  }
  if (best < 0) return found;
  const ObjectHandle annots = PageAnnots(document, page);
  if (annots.IsNull() || best >= static_cast<int64_t>(runtime::Array::Count(annots))) return found;
  const ObjectHandle annotation = runtime::Array::Get(annots, static_cast<uint32_t>(best));
  // The reflow read the same "Annots": a link there is a link here.
  if (annotation.Tag() != ObjectTag::kDictionary || !pdf::Annot::IsLink(annotation)) return found;
  found.page = page;
  found.index = static_cast<int32_t>(best);
  found.annotation = annotation;
  return found;
}

bool PageLink::HitTestReflowed(const content::ReflowModel& model, const PageLink& link, int32_t page,
                               runtime::Fixed x, runtime::Fixed y) {
  if (!link.Exists() || link.page != page) return false;
  for (const content::LinkRect& part : model.LinkRects()) {
    if (static_cast<int64_t>(part.link) == link.index && part.rect.ContainsPoint(x, y)) return true;
  }
  return false;
}

bool PageLink::ReflowedBounds(const content::ReflowModel& model, const PageLink& link, runtime::Rect& out) {
  bool any = false;
  for (const content::LinkRect& part : model.LinkRects()) {
    if (static_cast<int64_t>(part.link) != link.index) continue;
    out = any ? runtime::Rect{std::min(out.x0, part.rect.x0), std::min(out.y0, part.rect.y0),
                              std::max(out.x1, part.rect.x1), std::max(out.y1, part.rect.y1)}
              : part.rect;
    any = true;
  }
  return any;
}

runtime::Rect PageLink::Bounds(const PageLink& link) {
  return pdf::ReadRectArray(runtime::Dictionary::GetArray(link.annotation, "Rect"));
}

bool PageLink::BoundsInView(PageView& view, const PageLink& link, runtime::Rect& out) {
  runtime::Matrix m;
  if (!view.PageToViewMatrix(link.page, m)) return false;
  runtime::Matrix toPage;
  if (const content::ReflowModel* model = view.ReflowedPage(link.page, toPage)) {
    runtime::Rect r;
    if (!ReflowedBounds(*model, link, r)) return false;
    int32_t overflow = 0;
    const runtime::Matrix toView = runtime::Matrix::ConcatChecked(toPage, m, overflow);
    if (overflow != 0 || !runtime::Matrix::CanTransformRect(toView, r)) return false;
    out = runtime::Matrix::TransformRectBounds(r, toView);
    return true;
  }
  const runtime::Rect r = Bounds(link);
  if (!runtime::Matrix::CanTransformRect(m, r)) return false;
  out = runtime::Matrix::TransformRectBounds(r, m);
  return true;
}

PageLink PageLink::FindNext(PageView& view, pdf::Document& document, const PageLink* focused, bool tieBreak) {
  view.RefreshLayout();
  const PageLayout& layout = view.Layout();
  auto toFixed = [](int64_t pixels) {
    return runtime::FixedFromIntSat(static_cast<int32_t>(std::clamp<int64_t>(pixels, 0, 32767)));
  };
  const runtime::Rect window{0, 0, toFixed(layout.window.x1 - layout.window.x0),
                             toFixed(layout.window.y1 - layout.window.y0)};
  PageLink best;
  LinkOrderKey bestKey;
  bool haveFocused = false;
  LinkOrderKey focusedKey;
  auto keyOf = [&](const PageLink& link, LinkOrderKey& key) {
    runtime::Rect r;
    if (!BoundsInView(view, link, r) || !runtime::Rect::Intersects(r, window)) return false;
    key = {link.page, link.index, r.x0, r.y0, r.x1, r.y1, runtime::Rect::Contains(window, r)};
    return true;
  };
  if (focused != nullptr && focused->Exists()) haveFocused = keyOf(*focused, focusedKey);
  runtime::ErrorTrap trap(document.Context());
  if (!trap.Run([&] {
        if (layout.firstVisiblePage < 0) return;
        for (int32_t page = layout.firstVisiblePage; page <= layout.lastVisiblePage; ++page) {
          const ObjectHandle annots = PageAnnots(document, page);
          if (annots.IsNull()) continue;
          const uint32_t count = runtime::Array::Count(annots);
          for (uint32_t i = 0; i < count; ++i) {
            runtime::ChargeWork(document.Context(), runtime::kWorkCostLight);
            PageLink link;
            link.page = page;
            link.index = static_cast<int32_t>(i);
            link.annotation = runtime::Array::Get(annots, i);
            if (link.annotation.Tag() != ObjectTag::kDictionary || !pdf::Annot::IsLink(link.annotation)) continue;
            LinkOrderKey key;
            if (!keyOf(link, key)) continue;
            if (haveFocused && !LinkOrderPrecedes(focusedKey, key, tieBreak)) continue;
            if (best.Exists() && !LinkOrderPrecedes(key, bestKey, tieBreak)) continue;
            best = link;
            bestKey = key;
          }
        }
      })) {
    trap.SetHandled();
    // Data that has not arrived yet ends the search with what it found.
    if (std::string_view(trap.Held().domain) != runtime::kDataIoDomain) trap.Rethrow();
    trap.Close();
  }
  return best;
}

}  // namespace viewer
