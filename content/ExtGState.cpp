#include "content/ExtGState.h"

#include <algorithm>

#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace content {

using runtime::ObjectHandle;
using runtime::ObjectTag;

namespace {

constexpr std::string_view kBlendModes[] = {
    "Normal", "Multiply", "Screen", "Overlay", "Darken", "Lighten",
    "ColorDodge", "ColorBurn", "HardLight", "SoftLight", "Difference", "Exclusion",
};

runtime::Fixed RequireNumber(const ObjectHandle& value) {
  if (!value->IsNumber()) runtime::ThrowRuntime(runtime::kMalformed);
  return value->AsNumber();
}

runtime::Fixed ClampAlpha(runtime::Fixed value) {
  return std::clamp<runtime::Fixed>(value, 0, runtime::kFixedOne);
}

}  // namespace

bool ParseBlendModeName(std::string_view name, uint8_t& mode) {
  for (uint8_t i = 0; i < std::size(kBlendModes); ++i) {
    if (kBlendModes[i] == name) {
      mode = i;
      return true;
    }
  }
  mode = 0;
  return false;
}

void ExtGState::Read(const ObjectHandle& dictionary) {
  if (dictionary.Tag() != ObjectTag::kDictionary) return;
  auto get = [&](std::string_view key) { return runtime::Dictionary::Get(dictionary, key); };
  if (ObjectHandle value = get("LW"); !value.IsNull()) {
    lineWidth = RequireNumber(value);
    if (lineWidth < 0) runtime::ThrowRuntime(runtime::kMalformed);
    present |= kLineWidth;
  }
  if (ObjectHandle value = get("LC"); !value.IsNull()) {
    lineCap = value->AsInteger();
    if (lineCap < 0 || lineCap > 2) runtime::ThrowRuntime(runtime::kMalformed);
    present |= kLineCap;
  }
  if (ObjectHandle value = get("LJ"); !value.IsNull()) {
    lineJoin = value->AsInteger();
    if (lineJoin < 0 || lineJoin > 2) runtime::ThrowRuntime(runtime::kMalformed);
    present |= kLineJoin;
  }
  if (ObjectHandle value = get("ML"); !value.IsNull()) {
    miterLimit = RequireNumber(value);
    if (miterLimit < 0) runtime::ThrowRuntime(runtime::kMalformed);
    present |= kMiterLimit;
  }
  if (ObjectHandle value = get("RI"); value.Tag() == ObjectTag::kName) {
    const std::string_view name = value->AsName().View();
    intent = name == "Perceptual" ? 0 : name == "Saturation" ? 2
             : name == "AbsoluteColorimetric" ? 3 : 1;
    present |= kIntent;
  }
  if (ObjectHandle value = get("Font"); value.Tag() == ObjectTag::kArray) {
    if (runtime::Array::Count(value) == 2) {
      font = runtime::Array::Get(value, 0).Resolved();
      ObjectHandle size = runtime::Array::Get(value, 1);
      fontSize = RequireNumber(size);
      if (font.Tag() == ObjectTag::kDictionary) present |= kFont;
    }
  }
  if (ObjectHandle value = get("CA"); !value.IsNull()) {
    strokeAlpha = ClampAlpha(RequireNumber(value));
    present |= kStrokeAlpha;
  }
  if (ObjectHandle value = get("ca"); !value.IsNull()) {
    fillAlpha = ClampAlpha(RequireNumber(value));
    present |= kFillAlpha;
  }
  if (ObjectHandle value = get("BM"); !value.IsNull()) {
    // An array names modes in order of preference: the first known one wins.
    if (value.Tag() == ObjectTag::kName) {
      ParseBlendModeName(value->AsName().View(), blendMode);
    } else if (value.Tag() == ObjectTag::kArray) {
      const uint32_t count = runtime::Array::Count(value);
      for (uint32_t i = 0; i < count; ++i) {
        ObjectHandle item = runtime::Array::Get(value, i);
        if (item.Tag() == ObjectTag::kName && ParseBlendModeName(item->AsName().View(), blendMode)) {
          break;
        }
      }
    }
    present |= kBlendMode;
  }
  ObjectHandle strokeOverprintValue = get("OP");
  if (strokeOverprintValue.Tag() == ObjectTag::kBoolean) {
    strokeOverprint = strokeOverprintValue->AsBoolean();
    present |= kStrokeOverprint;
  }
  ObjectHandle fillOverprintValue = get("op");
  if (fillOverprintValue.Tag() == ObjectTag::kBoolean) {
    fillOverprint = fillOverprintValue->AsBoolean();
    present |= kFillOverprint;
  } else if (Has(kStrokeOverprint)) {
    // Without "op" the fill follows "OP".
    fillOverprint = strokeOverprint;
    present |= kFillOverprint;
  }
  if (ObjectHandle value = get("TK"); value.Tag() == ObjectTag::kBoolean) {
    textKnockout = value->AsBoolean();
    present |= kTextKnockout;
  }
  if (ObjectHandle value = get("AIS"); value.Tag() == ObjectTag::kBoolean) {
    alphaIsShape = value->AsBoolean();
    present |= kAlphaIsShape;
  }
}

}  // namespace content
