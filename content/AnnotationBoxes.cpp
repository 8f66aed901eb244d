#include "content/AnnotationBoxes.h"

#include <algorithm>

#include "pdf/Annotation.h"
#include "pdf/ArrayReaders.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace content {

void AnnotationBoxes::Scan(const runtime::ObjectHandle& page, runtime::ArenaVector<AnnotationBox>& out) {
  const runtime::ObjectHandle annots = runtime::Dictionary::Get(page, "Annots");
  if (annots.Tag() != runtime::ObjectTag::kArray) return;
  const uint32_t count = runtime::Array::Count(annots);
  for (uint32_t i = 0; i < count && out.Size() < kMaxBoxes; ++i) {
    runtime::CatchAllExceptCancel(page.Context(), [&] {
      const runtime::ObjectHandle annotation = runtime::Array::Get(annots, i);
      if (annotation.Tag() != runtime::ObjectTag::kDictionary || !pdf::Annot::IsLink(annotation)) return;
      const runtime::Rect rect = pdf::ReadRectArray(runtime::Dictionary::GetArray(annotation, "Rect"));
      if (rect.x0 >= rect.x1 || rect.y0 >= rect.y1) return;
      AnnotationBox entry;
      entry.annotIndex = i;
      entry.box = OrientedBox::FromRect(rect);
      out.PushBack(entry);
    });
  }
}

bool AnnotationBoxes::LinesUp(const OrientedBox& text, const OrientedBox& annotation, int64_t tolerance) {
  if (text.IsEmpty() || annotation.IsEmpty()) return false;
  OrientedBox box = annotation;
  if (annotation.IsTurnable()) {
    const uint32_t turn = Orientation::RelativeTurn(annotation, text);
    if (turn != Orientation::kSame && turn != Orientation::kQuarter && turn != Orientation::kHalf &&
        turn != Orientation::kThreeQuarters) {
      return false;
    }
    Orientation::ApplyTurn(box, annotation, turn);
  } else if (Orientation::RelativeTurn(annotation, text) != Orientation::kSame) {
    return false;
  }
  if (box.IsEmpty()) return false;
  const bool across = std::max(box.vMin, text.vMin) < std::min(box.vMax, text.vMax);
  const int64_t startOff = static_cast<int64_t>(text.uMin) - box.uMin;
  const int64_t endOff = static_cast<int64_t>(text.uMax) - box.uMax;
  return across && startOff <= tolerance && startOff >= -tolerance && endOff <= tolerance && endOff >= -tolerance;
}

}  // namespace content
