#include "pdf/Annotation.h"

#include <cmath>
#include <string_view>

#include "pdf/ArrayReaders.h"
#include "pdf/StreamObject.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace pdf {
namespace {

using runtime::Dictionary;
using runtime::ObjectHandle;
using runtime::ObjectTag;

// The subtypes a viewer draws; an Invisible annotation of any other
// subtype is not shown.
constexpr std::string_view kKnownSubtypes[] = {
    "Text",      "Link",     "FreeText",  "Line",       "Square",   "Circle",      "Polygon",
    "PolyLine",  "Highlight", "Underline", "Squiggly",  "StrikeOut", "Stamp",      "Caret",
    "Ink",       "Popup",    "FileAttachment", "Sound", "Movie",    "Widget",      "Screen",
    "PrinterMark", "TrapNet", "Watermark", "3D",        "Redact",   "RichMedia"};

// 2x3 matrices in doubles: the appearance mapping is set up once per
// annotation, and the scales it divides by must not lose their precision.
struct AffineD {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

  static AffineD From(const runtime::Matrix& m) {
    using runtime::FixedToDouble;
    return {FixedToDouble(m.a), FixedToDouble(m.b), FixedToDouble(m.c),
            FixedToDouble(m.d), FixedToDouble(m.e), FixedToDouble(m.f)};
  }
  // This, then n.
  AffineD Then(const AffineD& n) const {
    return {a * n.a + b * n.c,       a * n.b + b * n.d,       c * n.a + d * n.c,
            c * n.b + d * n.d,       e * n.a + f * n.c + n.e, e * n.b + f * n.d + n.f};
  }
  double Det() const { return a * d - b * c; }
  runtime::Matrix ToFixed() const {
    using runtime::FixedFromFloatRounded;
    return {FixedFromFloatRounded(a), FixedFromFloatRounded(b), FixedFromFloatRounded(c),
            FixedFromFloatRounded(d), FixedFromFloatRounded(e), FixedFromFloatRounded(f)};
  }
};

double Sign(double v) { return v < 0 ? -1.0 : 1.0; }

}  // namespace

bool Annot::IsLink(const ObjectHandle& annotation) {
  const ObjectHandle subtype = Dictionary::Get(annotation, "Subtype");
  if (subtype.IsNull()) return !Dictionary::Get(annotation, "S").IsNull();
  if (subtype.Tag() != ObjectTag::kName) runtime::ThrowRuntime(runtime::kMalformed);
  return subtype->AsName().Equals("Link");
}

bool Annot::HitTest(runtime::Fixed x, runtime::Fixed y, const PageLinkList* list, const ObjectHandle& annotation) {
  if (list == nullptr) {
    return ReadRectArray(Dictionary::GetArray(annotation, "Rect")).ContainsPoint(x, y);
  }
  const uintptr_t identity = Identity(annotation);
  for (uint32_t i = 0; i < list->Count(); ++i) {
    const LinkRecord* record = list->At(i);
    if (record != nullptr && record->identity == identity && record->rect.ContainsPoint(x, y)) return true;
  }
  return false;
}

bool Annot::IsViewable(const ObjectHandle& annotation) {
  const ObjectHandle flagsValue = Dictionary::Get(annotation, "F");
  const int32_t flags = flagsValue.Tag() == ObjectTag::kInteger ? flagsValue->AsInteger() : 0;
  if ((flags & (kAnnotHidden | kAnnotNoView)) != 0) return false;
  if ((flags & kAnnotInvisible) == 0) return true;
  const ObjectHandle subtype = Dictionary::Get(annotation, "Subtype");
  if (subtype.Tag() != ObjectTag::kName) return false;
  for (std::string_view known : kKnownSubtypes) {
    if (subtype->AsName().Equals(known)) return true;
  }
  return false;
}

ObjectHandle Annot::NormalAppearance(const ObjectHandle& annotation) {
  const ObjectHandle appearances = Dictionary::Get(annotation, "AP");
  if (appearances.Tag() != ObjectTag::kDictionary) return ObjectHandle();
  ObjectHandle normal = Dictionary::Get(appearances, "N");
  if (normal.Tag() != ObjectTag::kDictionary) return ObjectHandle();
  if (StreamObject::IsStream(normal.Value())) return normal;
  // A dictionary of states: the one "AS" names.
  const ObjectHandle state = Dictionary::Get(annotation, "AS");
  if (state.Tag() != ObjectTag::kName) return ObjectHandle();
  ObjectHandle chosen = Dictionary::Get(normal, state->AsName().View());
  if (chosen.Tag() != ObjectTag::kDictionary || !StreamObject::IsStream(chosen.Value())) return ObjectHandle();
  return chosen;
}

uintptr_t Annot::Identity(const ObjectHandle& annotation) {
  const runtime::ContainerRecord* record = annotation->AsDictionary().Record();
  if (record != nullptr && record->objectNumber != 0) return uintptr_t{record->objectNumber};
  return reinterpret_cast<uintptr_t>(annotation->AsDictionary().items);
}

PageLinkList::PageLinkList(runtime::LibraryContext* context, const ObjectHandle& page)
    : arena_(context, 512, 128), entries_(arena_, 10) {
  const ObjectHandle annots = Dictionary::Get(page, "Annots");
  if (annots.Tag() != ObjectTag::kArray) return;
  const uint32_t count = runtime::Array::Count(annots);
  for (uint32_t i = 0; i < count; ++i) {
    const ObjectHandle annotation = runtime::Array::Get(annots, i);
    LinkRecord* record = nullptr;
    if (annotation.Tag() == ObjectTag::kDictionary) {
      if (Annot::IsLink(annotation)) {
        record = runtime::NewInArena<LinkRecord>(arena_);
        record->rect = ReadRectArray(Dictionary::GetArray(annotation, "Rect"));
        record->identity = Annot::Identity(annotation);
      }
    } else if (!annotation.IsNull()) {
      runtime::ThrowRuntime(runtime::kMalformed);
    }
    entries_.PushBack(record);
  }
}

uint32_t PageLinkList::LinkCount() const {
  uint32_t links = 0;
  for (uint32_t i = 0; i < Count(); ++i) links += entries_[i] != nullptr ? 1 : 0;
  return links;
}

int32_t PageLinkList::LinkAt(runtime::Fixed x, runtime::Fixed y) const {
  for (uint32_t i = 0; i < Count(); ++i) {
    if (entries_[i] != nullptr && entries_[i]->rect.ContainsPoint(x, y)) return static_cast<int32_t>(i);
  }
  return -1;
}

runtime::Matrix AppearanceForm::Matrix(const ObjectHandle& form, const ObjectHandle& annotation,
                                       const runtime::Matrix& transform, const runtime::Matrix& base, bool& empty) {
  empty = false;
  const runtime::Rect box = ReadRectArray(Dictionary::GetArray(form, "BBox"));
  const ObjectHandle matrixValue = Dictionary::GetOptionalArray(form, "Matrix");
  const runtime::Matrix formMatrix = matrixValue.IsNull() ? runtime::Matrix{} : ReadMatrixArray(matrixValue);
  const runtime::Rect rect = ReadRectArray(Dictionary::GetArray(annotation, "Rect"));
  if (box.IsEmpty()) {
    empty = true;
    return runtime::Matrix{};
  }
  const ObjectHandle flagsValue = Dictionary::Get(annotation, "F");
  const int32_t flags = flagsValue.Tag() == ObjectTag::kInteger ? flagsValue->AsInteger() : 0;
  using runtime::FixedToDouble;
  double x0 = FixedToDouble(rect.x0), y0 = FixedToDouble(rect.y0);
  double x1 = FixedToDouble(rect.x1), y1 = FixedToDouble(rect.y1);
  const AffineD baseD = AffineD::From(base);
  if ((flags & kAnnotNoZoom) != 0) {
    const double baseDet = baseD.Det();
    const double s = baseDet != 0 ? std::sqrt(std::fabs(AffineD::From(transform).Det() / baseDet)) : 1.0;
    if (s > 1.0) {
      x1 = x0 + (x1 - x0) / s;
      y0 = y1 - (y1 - y0) / s;
    }
  }
  // The box through the form's matrix, and its bounds.
  const AffineD m = AffineD::From(formMatrix);
  const double bx[2] = {FixedToDouble(box.x0), FixedToDouble(box.x1)};
  const double by[2] = {FixedToDouble(box.y0), FixedToDouble(box.y1)};
  double bx0 = INFINITY, by0 = INFINITY, bx1 = -INFINITY, by1 = -INFINITY;
  for (double px : bx) {
    for (double py : by) {
      const double tx = m.a * px + m.c * py + m.e, ty = m.b * px + m.d * py + m.f;
      bx0 = std::fmin(bx0, tx), bx1 = std::fmax(bx1, tx);
      by0 = std::fmin(by0, ty), by1 = std::fmax(by1, ty);
    }
  }
  if (!(bx1 > bx0) || !(by1 > by0)) {
    empty = true;
    return runtime::Matrix{};
  }
  const double sx = (x1 - x0) / (bx1 - bx0), sy = (y1 - y0) / (by1 - by0);
  AffineD result = m.Then(AffineD{sx, 0, 0, sy, x0 - sx * bx0, y0 - sy * by0});
  if ((flags & kAnnotNoRotate) != 0) {
    AffineD upright = baseD;
    if (upright.a != 0) {
      upright.a = Sign(upright.a), upright.d = Sign(upright.d);
    } else {
      upright.b = Sign(upright.b), upright.c = Sign(upright.c);
    }
    upright.e = upright.f = 0;
    // A base that mirrors (device y growing downwards) keeps its mirror:
    // only its quarter turns are undone, so an unturned page leaves the
    // appearance as it is.
    if (baseD.Det() < 0) upright.b = -upright.b, upright.d = -upright.d;
    const double det = upright.Det();
    if (det == 0) runtime::ThrowRuntime(runtime::kMalformed);
    AffineD inverse{upright.d / det, -upright.b / det, -upright.c / det, upright.a / det, 0, 0};
    // Pinned at the rectangle's upper-left corner.
    inverse.e = x0 - inverse.a * x0 - inverse.c * y1;
    inverse.f = y1 - inverse.b * x0 - inverse.d * y1;
    result = result.Then(inverse);
  }
  return result.ToFixed();
}

}  // namespace pdf
