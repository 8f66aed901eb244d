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
  // Directions of BuildTransform.
  enum Direction : int32_t { kPcsToDevice = 0, kDeviceToPcs = 1 };
  static constexpr uint32_t kMaxTags = 4096;

  explicit IccProfile(runtime::LibraryContext* context);

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

  // Appends the profile's own stages to `transform`: device to PCS (the
  // source side) or PCS to device (the destination side, which also sets
  // the transform's output and input curves). Unusable profiles (version,
  // class, spaces, channel counts, missing tags, a singular matrix) throw
  // (runtime, 2).
  void BuildTransform(IccTransform& transform, int32_t direction, int32_t intent, bool linear);

  // Black points (L*/100, 0 .. 0.5) for black point compensation: of the
  // profile as a source, and as a destination (by a fit of its round trip).
  static Fixed EstimateSourceBlack(IccProfile& profile, int32_t intent);
  static Fixed EstimateDestinationBlack(IccProfile& profile, int32_t intent);

  // Profiles made from the parameters of CIE-based colour spaces: version
  // 2.1, class "spac", no source. `black` may be null. Bad parameters
  // throw (runtime, 2).
  static streams::Ref<IccProfile> SynthesiseGray(runtime::LibraryContext* context, const Fixed white[3],
                                                 const Fixed* black, Fixed gamma);
  // Columns are the XYZ of red, green and blue; with `adapt` the colorants
  // are adapted (Bradford) from the white point to D50.
  static streams::Ref<IccProfile> SynthesiseRgb(runtime::LibraryContext* context, const Fixed white[3],
                                                const Fixed* black, const Fixed red[3], const Fixed green[3],
                                                const Fixed blue[3], const Fixed gamma[3], bool adapt);
  // Ranges: L* minimum and maximum, then a* and b* minimum and maximum.
  static streams::Ref<IccProfile> SynthesiseLab(runtime::LibraryContext* context, const Fixed white[3],
                                                const Fixed* black, const Fixed ranges[6]);
  // The D50 Lab profile with L* 0..100, a* and b* -128..127.
  static streams::Ref<IccProfile> DefaultLab(runtime::LibraryContext* context);
  // The built-in RGB display profile: parsed from its embedded bytes on
  // first use and kept in `holder`; every call gives a new reference.
  static streams::Ref<IccProfile> BuiltinRgb(runtime::LibraryContext* context, streams::Ref<IccProfile>& holder);

  bool IsSubtractive() const override;
  uint32_t MemorySize() const override;
  void SetChannelCount(int32_t count) { SetComponentCount(count); }
  IccProfile* AsProfile() override { return this; }
  // A number no other profile of the process has: it tells a profile from
  // a later one built at the same address.
  uint64_t Serial() const { return serial_; }
  // Converters to `target`: a pass-through
  // when the target is this very profile, else through a transform that is
  // reused while the target and intent stay the same.
  ColorConverterPtr MakeConverter8(ColorSpace& target, int32_t intent, int32_t cacheMode, bool linear) override;
  ColorConverterPtr MakeConverterFixed(ColorSpace& target, int32_t intent, int32_t cacheMode, bool linear) override;

  // Header facts.
  uint32_t version = 0;
  uint32_t deviceClass = 0;
  uint32_t dataSpace = 0;
  uint32_t pcs = 0;
  Fixed illuminant[3] = {};

  // The last transform built from this profile.
  // It is found again by the destination (not counted: its address and
  // serial), the intent and the linear flag.
  struct LastTransform {
    const IccProfile* destination = nullptr;
    uint64_t destinationSerial = 0;
    int32_t intent = -1;
    bool linear = false;
    IccTransformRef transform;
  } lastTransform;
  // The chains built for this profile as a destination, for one intent
  // and linear flag: its own PCS-to-device stages as built (before any
  // transform folded them into a source's), its output and input curves.
  struct OutputChain {
    int32_t intent = -1;
    bool linear = false;
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

  // Build time of converters made from the profile already charged to its
  // cache entry.
  uint64_t recordedBuildTicks = 0;

  // The data the profile was read from, kept while others (deferred
  // tables, the document) still read it; null for built-in profiles.
  streams::DataStoreRef source;

 private:
  uint64_t serial_;
};

using IccProfileRef = streams::Ref<IccProfile>;

}  // namespace color
