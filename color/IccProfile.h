#pragma once
// A colour space given by an ICC profile: the header facts, the tags that
// colour conversion needs (white point, colorants, tone curves, lookup
// tables) and the caches of what has been built from it.
#include <cstdint>

#include "color/ColorSpace.h"
#include "color/IccCurve.h"
#include "color/IccLutTag.h"
#include "color/IccSignature.h"
#include "color/IccTransform.h"
#include "color/IccXyz.h"
#include "streams/DataSource.h"

namespace color {

class IccProfile final : public ColorSpace {
 public:
  enum Channel { kRed = 0, kGreen = 1, kBlue = 2, kGray = 3 };
  static constexpr uint32_t kMaxTags = 4096;

  explicit IccProfile(runtime::LibraryContext* context) : ColorSpace(context, 0) {}

  // Reads a profile from the start of `source`. Malformed data throws
  // (runtime, 2), 5- to 8-colour data spaces (runtime, 5).
  static streams::Ref<IccProfile> Parse(runtime::LibraryContext* context, const streams::DataStoreRef& source);
  // Reads one lookup tag at the stream's position, by its type signature.
  static streams::Ref<IccLutTag> ParseTagType(runtime::LibraryContext* context, streams::DataStream& stream,
                                              const streams::DataStoreRef& source, const Fixed illuminant[3],
                                              uint32_t tagSize);
  // Whether a data or connection space may appear in a profile (an
  // abstract profile allows only Lab and XYZ).
  static bool IsValidColorSpace(uint32_t signature, bool abstract);
  // Whether the profile can be the target of a transform.
  static bool CanBeDestination(const IccProfile& profile);
  // The media white: "wtpt" unless the profile is a display profile (whose
  // white is adapted to the illuminant), else the illuminant.
  static void MediaWhite(const IccProfile& profile, Fixed white[3]);

  bool IsSubtractive() const override;
  uint32_t MemorySize() const override;

  // Header facts.
  uint32_t version = 0;
  uint32_t deviceClass = 0;
  uint32_t dataSpace = 0;
  uint32_t pcs = 0;
  Fixed illuminant[3] = {};

  // The last transform built from this profile.
  struct LastTransform {
    const IccProfile* destination = nullptr;  // not counted
    int32_t intent = -1;
    IccTransformRef transform;
  } lastTransform;
  // The chains built for this profile as a destination.
  struct OutputChain {
    int32_t intent = -1;
    IccStageRef pcsToDevice;
    IccStageRef outputCurves;
    IccStageRef inputCurves;
  } outputChain;

  // Tag slots; null when the tag is absent.
  streams::Ref<IccXyz> whitePoint;
  streams::Ref<IccLutTag> aToB[3];
  streams::Ref<IccLutTag> bToA[3];
  streams::Ref<IccXyz> colorant[3];  // rXYZ, gXYZ, bXYZ
  streams::Ref<IccCurve> trc[4];     // rTRC, gTRC, bTRC, kTRC

  // Build-time record of converters made from the profile.
  uint64_t buildStart = 0;
  bool buildRunning = false;

  // The data the profile was read from, kept while others (deferred
  // tables, the document) still read it; null for built-in profiles.
  streams::DataStoreRef source;
};

using IccProfileRef = streams::Ref<IccProfile>;

}  // namespace color
