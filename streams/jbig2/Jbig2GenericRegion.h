#pragma once
// Generic and generic refinement region decoding (arithmetic coding), and
// the segment handlers of generic and refinement region segments.
#include <cstdint>

#include "streams/jbig2/Jbig2Bitmap.h"
#include "streams/jbig2/MqDecoder.h"

namespace streams {

struct Jbig2Segment;

struct GenericRegionParams {
  uint8_t mmr = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t gbTemplate = 0;
  uint8_t tpgdOn = 0;
  uint8_t useSkip = 0;
  const Jbig2Bitmap* skip = nullptr;
  int32_t atX[4] = {};
  int32_t atY[4] = {};
};

struct RefinementParams {
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t grTemplate = 0;
  const Jbig2Bitmap* reference = nullptr;
  int32_t referenceDx = 0;
  int32_t referenceDy = 0;
  uint8_t tpgrOn = 0;
  int32_t atX[2] = {};
  int32_t atY[2] = {};
};

// Decodes into an existing bitmap of params.width x params.height with the
// contexts of `store` (16 bits).
int Jbig2DecodeGenericRegion(MqDecoder* decoder, MqContextStore* store,
                             const GenericRegionParams& params, Jbig2Bitmap* bitmap);
int Jbig2DecodeRefinement(MqDecoder* decoder, MqContextStore* store,
                          const RefinementParams& params, Jbig2Bitmap* bitmap);

// Reads the 17-byte region segment information and creates the region's
// bitmap; a result code.
int Jbig2ReadRegionInfo(Jbig2Segment* segment);
// Composes an immediate region onto its page and frees its bitmap; keeps
// an intermediate region's bitmap in the segment.
void Jbig2FinishRegion(Jbig2Segment* segment, Jbig2Bitmap* region, int op);
// Counts the pixels a text or halftone region combined against its page's
// limit and charges the work for them; false once the limit is passed.
// `region` may be null (symbols built inside a dictionary): only the work
// is charged.
bool Jbig2CountPainting(Jbig2Segment* region, uint64_t pixels);
// The operator for text, halftone and generic regions.
int Jbig2RegionOperator(const Jbig2Segment* segment);

int Jbig2GenericRegionSegment(Jbig2Segment* segment);
int Jbig2RefinementRegionSegment(Jbig2Segment* segment);

}  // namespace streams
