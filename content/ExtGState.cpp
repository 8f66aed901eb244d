#include "content/ExtGState.h"

#include "content/ContentHandler.h"
#include "content/ContentMachine.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/CheckedSize.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/StrokeStyle.h"

namespace content {

using runtime::Fixed;
using runtime::ObjectHandle;
using runtime::ObjectTag;

namespace {

constexpr std::string_view kBlendModes[] = {
    "Normal", "Multiply", "Screen", "Overlay", "Darken", "Lighten",
    "ColorDodge", "ColorBurn", "HardLight", "SoftLight", "Difference", "Exclusion",
};

Fixed RequireNumber(const ObjectHandle& value) {
  if (!value->IsNumber()) runtime::ThrowMalformed();
  return value->AsNumber();
}

// The operators accept caps and joins 0-2 only; a parameter set may not
// slip another value past them.
int32_t RequireStyleIndex(const ObjectHandle& value) {
  const int32_t index = value->AsInteger();
  if (index < 0 || index > 2) runtime::ThrowMalformed();
  return index;
}

Fixed RequireNonNegative(const ObjectHandle& value) {
  const Fixed number = RequireNumber(value);
  if (number < 0) runtime::ThrowMalformed();
  return number;
}

}  // namespace

bool ParseBlendModeName(std::string_view name, uint32_t& mode) {
  for (uint32_t i = 0; i < std::size(kBlendModes); ++i) {
    if (kBlendModes[i] == name) {
      mode = i;
      return true;
    }
  }
  mode = 0;
  return false;
}

uint8_t RenderingIntentCode(std::string_view name) {
  if (name == "Perceptual") return 0;
  if (name == "Saturation") return 2;
  if (name == "AbsoluteColorimetric") return 3;
  return 1;  // RelativeColorimetric, and the fallback for unknown intents
}

void ExtGState::Parse(runtime::ArenaAllocator& arena, const ObjectHandle& dictionary,
                      runtime::ReferenceResolver* document) {
  auto get = [&](std::string_view key) { return runtime::Dictionary::Get(dictionary, key); };
  if (ObjectHandle value = get("LW"); !value.IsNull()) {
    lineWidth = RequireNonNegative(value);
    present[kLineWidth] = 1;
  }
  if (ObjectHandle value = get("LC"); !value.IsNull()) {
    lineCap = RequireStyleIndex(value);
    present[kLineCap] = 1;
  }
  if (ObjectHandle value = get("LJ"); !value.IsNull()) {
    lineJoin = RequireStyleIndex(value);
    present[kLineJoin] = 1;
  }
  if (ObjectHandle value = get("ML"); !value.IsNull()) {
    miterLimit = RequireNonNegative(value);
    present[kMiterLimit] = 1;
  }
  if (ObjectHandle value = get("D"); !value.IsNull()) {
    // [lengths phase]; an empty lengths array is a solid line.
    const ObjectHandle pair = value.AsArray();
    dashPhase = RequireNumber(runtime::Array::Get(pair, 1));
    const ObjectHandle lengths = runtime::Array::GetArrayAt(pair, 0);
    const uint32_t count = runtime::Array::Count(lengths);
    // Too long to be drawn dashed: solid (see StrokeStyle::kMaxDashes), and
    // its lengths are checked but not kept.
    const bool solid = count > runtime::StrokeStyle::kMaxDashes;
    Fixed* stored = nullptr;
    if (count != 0 && !solid) {
      stored = static_cast<Fixed*>(arena.Alloc(
          runtime::MultiplySizeChecked(arena.Context(), count, sizeof(Fixed))));
    }
    int64_t sum = 0;
    for (uint32_t i = 0; i < count; ++i) {
      const Fixed length = RequireNonNegative(runtime::Array::Get(lengths, i));
      if (stored != nullptr) stored[i] = length;
      sum += length;
    }
    // Dashes that add up to nothing would never advance along the path.
    if (count != 0 && sum == 0) runtime::ThrowMalformed();
    dashCount = solid ? 0 : count;
    dashLengths = stored;
    present[kDash] = 1;
  }
  if (ObjectHandle value = get("RI"); !value.IsNull()) {
    intent = RenderingIntentCode(value->AsName().View());
    present[kIntent] = 1;
  }
  ObjectHandle fillOverprintValue = get("op");
  ObjectHandle strokeOverprintValue = get("OP");
  if (!fillOverprintValue.IsNull()) {
    fillOverprint = fillOverprintValue->AsBoolean();
    present[kFillOverprint] = 1;
    if (!strokeOverprintValue.IsNull()) {
      strokeOverprint = strokeOverprintValue->AsBoolean();
      present[kStrokeOverprint] = 1;
    }
  } else if (!strokeOverprintValue.IsNull()) {
    // Without "op" the fill follows "OP".
    strokeOverprint = strokeOverprintValue->AsBoolean();
    fillOverprint = strokeOverprint;
    present[kStrokeOverprint] = 1;
    present[kFillOverprint] = 1;
  }
  if (ObjectHandle value = get("BM"); !value.IsNull()) {
    if (value.Tag() == ObjectTag::kName) {
      ParseBlendModeName(value->AsName().View(), blendMode);
    } else if (value.Tag() == ObjectTag::kArray) {
      // Modes in order of preference: the first one known wins.
      const uint32_t count = runtime::Array::Count(value);
      for (uint32_t i = 0; i < count; ++i) {
        const ObjectHandle item = runtime::Array::Get(value, i);
        if (ParseBlendModeName(item->AsName().View(), blendMode)) break;
      }
    } else {
      runtime::ThrowMalformed();
    }
    present[kBlendMode] = 1;
  }
  if (ObjectHandle value = get("AIS"); !value.IsNull()) {
    alphaIsShape = value->AsBoolean();
    present[kAlphaIsShape] = 1;
  }
  if (ObjectHandle value = get("ca"); !value.IsNull()) {
    fillAlpha = RequireNumber(value);
    present[kFillAlpha] = 1;
  }
  if (ObjectHandle value = get("CA"); !value.IsNull()) {
    strokeAlpha = RequireNumber(value);
    present[kStrokeAlpha] = 1;
  }
  if (ObjectHandle value = get("Font"); !value.IsNull()) {
    // [reference size]: the font must be an indirect object, which is what
    // the font layer caches fonts by.
    const runtime::ValueList& items = value->AsArray();
    if (items.count < 2 || !items.items[0].Is(ObjectTag::kReference)) runtime::ThrowMalformed();
    const runtime::ObjectReference reference = items.items[0].AsReference();
    fontSize = RequireNumber(runtime::Array::Get(value, 1));
    fontObject = reference.number;
    fontGeneration = reference.generation;
    fontDocument = document;
    present[kFont] = 1;
  }
  if (ObjectHandle value = get("SMask"); !value.IsNull()) {
    if (value.Tag() == ObjectTag::kName) {
      if (!value->AsName().Equals("None")) runtime::ThrowMalformed();
      softMaskNone = true;
    } else if (value.Tag() == ObjectTag::kDictionary) {
      present[kSoftMask] = 1;
    } else {
      runtime::ThrowMalformed();
    }
  }
  if (ObjectHandle value = get("TK"); !value.IsNull()) {
    textKnockout = value->AsBoolean();
    present[kTextKnockout] = 1;
  }
}

void ExtGState::Apply(ContentHandler& handler) const { handler.ApplyExtGState(*this); }

uint8_t ExtGState::Kind() const { return kOpExtGState; }

}  // namespace content
