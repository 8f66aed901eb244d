#include "pdf/PageBoxes.h"

#include <algorithm>

#include "pdf/ArrayReaders.h"
#include "pdf/InheritedAttribute.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace pdf {
namespace {

bool HasArea(const runtime::Rect& box) { return box.x1 > box.x0 && box.y1 > box.y0; }

// Each corner of `box` moved into `bounds`: the intersection when the two
// overlap, and a box without area on the edge nearest to `box` when they
// do not, so that a crop box beside the media box shows nothing rather
// than something outside the page.
runtime::Rect ClipTo(const runtime::Rect& box, const runtime::Rect& bounds) {
  const auto clamp = [](runtime::Fixed v, runtime::Fixed low, runtime::Fixed high) {
    return std::min(std::max(v, low), high);
  };
  return runtime::Rect{clamp(box.x0, bounds.x0, bounds.x1), clamp(box.y0, bounds.y0, bounds.y1),
                       clamp(box.x1, bounds.x0, bounds.x1), clamp(box.y1, bounds.y0, bounds.y1)};
}

}  // namespace

int32_t PageBoxes::NormaliseRotation(int32_t degrees) {
  if (degrees % 90 != 0) runtime::ThrowRuntime(runtime::kMalformed);
  const int32_t reduced = degrees % 360;
  return reduced < 0 ? reduced + 360 : reduced;
}

PageBoxes PageBoxes::Read(const runtime::ObjectHandle& page) {
  PageBoxes boxes;
  // A box without area as written ([0 0 0 0] is common) is taken as no
  // box: a page of no size could be neither shown nor scaled to fit.
  runtime::ObjectHandle media = GetInheritedAttribute(page, "MediaBox");
  boxes.media = media.IsNull() ? kDefaultMediaBox : ReadRectArray(media);
  if (!HasArea(boxes.media)) boxes.media = kDefaultMediaBox;
  boxes.box = boxes.media;
  runtime::ObjectHandle crop = GetInheritedAttribute(page, "CropBox");
  if (!crop.IsNull()) {
    const runtime::Rect cropBox = ReadRectArray(crop);
    if (HasArea(cropBox)) boxes.box = ClipTo(cropBox, boxes.media);
  }
  runtime::ObjectHandle rotate = GetInheritedAttribute(page, "Rotate");
  if (!rotate.IsNull()) boxes.rotation = NormaliseRotation(rotate->AsInteger());
  return boxes;
}

runtime::Fixed PageBoxes::ReadUnit(const runtime::ObjectHandle& page) {
  const runtime::ObjectHandle unit = runtime::Dictionary::Get(page, "UserUnit").Resolved();
  if (!unit->Is(runtime::ObjectTag::kInteger) && !unit->Is(runtime::ObjectTag::kReal)) return runtime::kFixedOne;
  const runtime::Fixed value = runtime::Dictionary::GetNumberOr(page, "UserUnit", runtime::kFixedOne);
  return value > 0 ? value : runtime::kFixedOne;
}

}  // namespace pdf
