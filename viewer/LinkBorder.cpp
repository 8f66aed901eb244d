#include "viewer/LinkBorder.h"

#include <algorithm>

#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/ObjectValue.h"

namespace viewer {

using runtime::Fixed;
using runtime::ObjectHandle;
using runtime::ObjectTag;

namespace {

Fixed LinkBorderNumber(const ObjectHandle& value) {
  if (value.Tag() != ObjectTag::kInteger && value.Tag() != ObjectTag::kReal) runtime::ThrowMalformed();
  return value->AsNumber();
}

// Reads a dash array into `stroke`. Zeros only or a negative length would
// draw nothing or loop for ever in the stroker: such an array is solid.
void ReadLinkDashes(const ObjectHandle& array, LinkBorderStroke& stroke) {
  // Only the entries kept are read: a file-given array of any length costs
  // no more than the pattern the stroke can hold.
  const uint32_t count = runtime::Array::Count(array);
  uint32_t kept = std::min<uint32_t>(count, LinkBorderStroke::kMaxDashes);
  if (count > LinkBorderStroke::kMaxDashes) kept &= ~1u;
  bool anyPositive = false;
  bool anyNegative = false;
  for (uint32_t i = 0; i < kept; ++i) {
    const Fixed v = LinkBorderNumber(runtime::Array::Get(array, i));
    anyPositive = anyPositive || v > 0;
    anyNegative = anyNegative || v < 0;
    stroke.dashes[i] = v;
  }
  stroke.dashCount = anyPositive && !anyNegative ? kept : 0;
}

}  // namespace

Fixed LinkBorder::WrapComponent(Fixed value) {
  if (value >= 0 && value <= runtime::kFixedOne) return value;
  // The value less its floor: the fraction bits of the two's complement.
  return value & 0xFFFF;
}

LinkBorderStroke LinkBorder::Describe(const ObjectHandle& annotation, const runtime::Rect& rect) {
  LinkBorderStroke stroke;
  stroke.rect = rect;
  const ObjectHandle colour = runtime::Dictionary::GetOptionalArray(annotation, "C");
  if (!colour.IsNull()) {
    if (runtime::Array::Count(colour) < 3) return stroke;
    stroke.r = WrapComponent(LinkBorderNumber(runtime::Array::Get(colour, 0)));
    stroke.g = WrapComponent(LinkBorderNumber(runtime::Array::Get(colour, 1)));
    stroke.b = WrapComponent(LinkBorderNumber(runtime::Array::Get(colour, 2)));
  }
  const ObjectHandle style = runtime::Dictionary::Get(annotation, "BS");
  const ObjectHandle border = runtime::Dictionary::Get(annotation, "Border");
  if (style.Tag() == ObjectTag::kDictionary) {
    stroke.width = runtime::Dictionary::GetNumberOr(style, "W", runtime::kFixedOne);
    const ObjectHandle name = runtime::Dictionary::Get(style, "S");
    const std::string_view kind = name.Tag() == ObjectTag::kName ? name->AsName().View() : std::string_view();
    if (kind == "U") stroke.underline = true;
    if (kind == "D") {
      const ObjectHandle dashes = runtime::Dictionary::GetOptionalArray(style, "D");
      if (dashes.IsNull()) {
        stroke.dashes[0] = runtime::FixedFromInt(3);
        stroke.dashCount = 1;
      } else {
        ReadLinkDashes(dashes, stroke);
      }
    }
  } else if (border.Tag() == ObjectTag::kArray) {
    const uint32_t count = runtime::Array::Count(border);
    if (count < 3) return stroke;
    stroke.width = LinkBorderNumber(runtime::Array::Get(border, 2));
    if (count >= 4) {
      const ObjectHandle dashes = runtime::Array::Get(border, 3);
      if (dashes.Tag() != ObjectTag::kArray) return stroke;
      ReadLinkDashes(dashes, stroke);
    }
  }
  if (stroke.width <= 0) return stroke;
  const Fixed half = stroke.width / 2;
  stroke.rect = runtime::Rect::InsetSaturated(rect, half, half);
  stroke.draw = true;
  return stroke;
}

}  // namespace viewer
