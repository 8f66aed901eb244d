#pragma once
// What a fill or stroke in a Pattern colour space paints: a plain colour,
// a tiling pattern or a shading, chosen from the current colour and the
// "Pattern" resources. The painter turns the choice into pixels: a plain
// colour through its colour converter, a tiling pattern by drawing its
// cells, a shading through the shading rasterisers.
#include <cstdint>
#include <string_view>

#include "content/TilingPattern.h"
#include "runtime/Fixed.h"
#include "runtime/Matrix.h"
#include "runtime/ObjectHandle.h"

namespace content {

// What the painter knows of the colour being painted with.
struct PatternRequest {
  // The current colour space is a Pattern space.
  bool patternSpace = false;
  // It names an underlying space (uncoloured patterns paint in it).
  bool hasUnderlying = false;
  // The colour was set with a pattern name (else it is a plain colour of
  // the underlying space).
  bool hasPatternName = false;
  std::string_view name;
  // Where the name is looked up.
  const runtime::ObjectHandle* resources = nullptr;
  // The painter's base transform: pattern space is relative to it, not to
  // the current transform.
  runtime::Matrix base;
};

struct PatternPaint {
  enum class Kind : uint8_t {
    kPlain,    // the current colour, converted plainly
    kTiling,   // `tiling`; an uncoloured one in the current colour
    kShading,  // `shading` under `matrix`
  };
  Kind kind = Kind::kPlain;
  TilingPattern tiling;
  runtime::ObjectHandle shading;
  runtime::Matrix matrix;
};

class Pattern {
 public:
  // Chooses the paint. A name missing from the resources paints the plain
  // colour. (runtime, 2) for a missing or non-integer "PatternType", an
  // unknown type, an uncoloured tiling pattern without an underlying
  // space, a shading pattern without a "Shading" dictionary, and what
  // TilingPattern::Parse refuses.
  static PatternPaint SetupPaint(const PatternRequest& request);
  // The highlight adjustment of a plain colour in output components: each
  // lightened by 0.2 and capped at 1.0 on a colour output, else halved.
  static void Highlight(runtime::Fixed* components, uint32_t count, bool colourOutput);
};

}  // namespace content
