#pragma once
// A graphics-state parameter dictionary ("gs") parsed once into a flat
// record: one presence flag per entry and its checked value. The interpreter
// keeps one per resource name in its arena; every `gs` naming it plays the
// same object.
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "runtime/Fixed.h"
#include "runtime/ObjectHandle.h"

namespace runtime {
class ArenaAllocator;
}

namespace content {

class ContentHandler;

class ExtGState {
 public:
  // The entries, in the order of their presence flags.
  enum Entry : uint8_t {
    kLineWidth,
    kLineCap,
    kLineJoin,
    kMiterLimit,
    kDash,
    kAlphaIsShape,
    kFillAlpha,
    kStrokeAlpha,
    kFont,
    kTextKnockout,
    kBlendMode,
    kStrokeOverprint,
    kFillOverprint,
    kIntent,
    kSoftMask,
    kEntryCount,
  };

  // Fills the record from `dictionary`; dash lengths go to `arena`.
  // `document` resolves the font reference later (the dictionary's own
  // document). A value of the wrong type, or one the operators would refuse
  // (a negative width, miter limit or dash length, a cap or join outside
  // 0-2, an all-zero dash, an "SMask" name other than /None), raises
  // (runtime, 2).
  void Parse(runtime::ArenaAllocator& arena, const runtime::ObjectHandle& dictionary,
             runtime::ReferenceResolver* document);

  // Hands the record to the handler's ApplyExtGState.
  virtual void Apply(ContentHandler& handler) const;
  // The recorded operation code of `gs`.
  virtual uint8_t Kind() const;

  bool Has(Entry entry) const { return present[entry] != 0; }

  runtime::Fixed lineWidth = 0;
  int32_t lineCap = 0;
  int32_t lineJoin = 0;
  runtime::Fixed miterLimit = 0;
  runtime::Fixed dashPhase = 0;
  uint32_t dashCount = 0;
  const runtime::Fixed* dashLengths = nullptr;  // in the interpreter's arena
  bool alphaIsShape = false;
  // As given: the handler clamps them to 0..1 when it applies them.
  runtime::Fixed fillAlpha = runtime::kFixedOne;
  runtime::Fixed strokeAlpha = runtime::kFixedOne;
  // The font is kept as its reference and resolved when applied, so that
  // parsing the page does not load fonts it may never show.
  uint32_t fontObject = 0;
  uint32_t fontGeneration = 0;
  runtime::ReferenceResolver* fontDocument = nullptr;  // not owned
  runtime::Fixed fontSize = 0;
  bool textKnockout = true;
  uint32_t blendMode = 0;
  bool strokeOverprint = false;
  bool fillOverprint = false;
  uint32_t intent = 1;
  uint8_t present[kEntryCount] = {};
  // "SMask" /None: a soft mask in force ends (the presence flag stays clear).
  bool softMaskNone = false;
  // The resource name the record was parsed from (in the interpreter's
  // arena): the painter finds the soft-mask dictionary through it, which
  // the record does not keep.
  std::string_view resourceName;
};

// Objects live in the interpreter's arena, which never runs destructors.
static_assert(std::is_trivially_destructible_v<ExtGState>);

// The blend-mode number of a name (Normal 0 .. Exclusion 11); false and 0
// for a name that is none of them. Case matters: "multiply" is unknown.
bool ParseBlendModeName(std::string_view name, uint32_t& mode);

// The rendering-intent code of a name: Perceptual 0, Saturation 2,
// AbsoluteColorimetric 3, and 1 (relative colorimetric) for every other.
uint8_t RenderingIntentCode(std::string_view name);

}  // namespace content
