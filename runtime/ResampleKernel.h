#pragma once
// Separable resampling kernels for images and glyph bitmaps drawn at a scale
// other than 1: how a kernel is chosen from a filter kind, a sub-kind and the
// scale, the kernel functions themselves (all in 16.16 arithmetic, so that
// every build weights samples identically), and the description the image
// stages read (support, scaled radius, tap range, tap count, footprint).
#include <cstdint>
#include <span>

#include "runtime/Fixed.h"
#include "runtime/Rect.h"

namespace runtime {

// What the caller asks for.
struct ResampleRequest {
  int32_t kind = 0;        // 0-9; anything else is treated like 2
  int32_t subKind = 0;     // picks the cubic's parameter
  Fixed scale = kFixedOne; // destination size over source size
  Fixed secondScale = 0;   // 0 when absent; chooses the cubic's parameter instead of scale
};

// The four extents of a kernel's footprint in source pixels.
struct ResampleFootprint {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const ResampleFootprint&, const ResampleFootprint&) = default;
};

// A kernel function: the weight of a sample at offset x (source pixels) from
// the centre; 0 outside the support.
using ResampleFunction = Fixed (*)(Fixed x, const Fixed* parameters);
// Turns a weight into the stored tap format.
using ResampleWeightConverter = int16_t (*)(Fixed weight);

enum class ResampleKernelId : uint8_t {
  kNone,
  kBox,
  kTriangle,
  kKeysCubic,
  kBSpline,
  kMitchellCubic,
  kLanczos2,
  kLanczos3,
  kLanczos4,
};

class ResampleKernel {
 public:
  // Taps are grouped in fours and walked in two phases by the image stages.
  static constexpr int32_t kTapsPerGroup = 4;
  static constexpr int32_t kPhases = 2;
  // The tap limit when no rule sets one.
  static constexpr int32_t kDefaultTapLimit = 66;
  // The scaled radius never exceeds 33 source pixels.
  static constexpr Fixed kMaxScaledRadius = 0x210000;
  // Taps of the widest kernel: a scaled radius of 33 spans 66 source pixels.
  static constexpr int32_t kMaxTaps = 66;

  // Fills the description for `request`; returns its footprint.
  ResampleFootprint Setup(const ResampleRequest& request, bool phaseFlag);
  // The footprint of a request, computed on a scratch description with the
  // phase flag off.
  static ResampleFootprint Footprint(int32_t kind, int32_t subKind, Fixed scale,
                                     Fixed secondScale);

  // The pixel rectangle grown by the footprint of a kernel, so that an
  // image's source area covers every tap (see Rect::ExpandByBox for `add`).
  static IntRect PadRect(const IntRect& rect, bool add, int32_t kind, Fixed scale);

  // Weight in 16 bits with 11 fraction bits (1.0 becomes 2048).
  static int16_t WeightTo16(Fixed weight);

  // The weights of the taps for an output sample whose centre lies `phase`
  // (0 <= phase < 1.0) of a source pixel right of the source pixel at tap 0,
  // scaled to sum to 2048 (the rounding error goes to the largest tap).
  // `out` takes TapCount() values for source pixels first tap..last tap;
  // returns false (out untouched) when it is too small.
  bool TapWeights(Fixed phase, std::span<int16_t> out) const;

  // Kernel functions (x in source pixels).
  static Fixed Box(Fixed x, const Fixed* parameters);
  static Fixed Triangle(Fixed x, const Fixed* parameters);
  static Fixed KeysCubic(Fixed x, const Fixed* parameters);  // parameters[0] = a
  static Fixed BSpline(Fixed x, const Fixed* parameters);
  static Fixed MitchellCubic(Fixed x, const Fixed* parameters);  // B, C
  static Fixed Lanczos2(Fixed x, const Fixed* parameters);
  static Fixed Lanczos3(Fixed x, const Fixed* parameters);
  static Fixed Lanczos4(Fixed x, const Fixed* parameters);
  // sin(π t) / (π t), 1.0 at 0.
  static Fixed Sinc(Fixed t);
  // sin(u) for u in radians, accurate to about one unit of the last place.
  static Fixed Sine(Fixed u);

  int32_t TapCount() const { return tapCount; }
  bool IsBox() const { return kernelId == ResampleKernelId::kBox; }

  // ---- The description, in the order the image stages read it ----
  ResampleFootprint footprint;
  Fixed supportWidth = 0;            // 2 × radius
  Fixed radius = 0;                  // half the kernel's support
  Fixed doubledScaledRadius = 0;
  Fixed scaledRadiusUncapped = 0;
  Fixed scaledRadius = 0;            // the radius in source pixels
  Fixed tapStep = 0;                 // support width / tap count
  int32_t firstTap = 0;
  int32_t lastTap = 0;
  int32_t tapCount = 0;
  uint8_t phaseFlag = 0;
  uint8_t parity[2] = {0, 0};
  ResampleFunction function = nullptr;
  ResampleKernelId kernelId = ResampleKernelId::kNone;
  Fixed parameters[2] = {0, 0};
  int32_t tapGroups = 0;
  ResampleWeightConverter weightConverter = nullptr;
  int32_t tapsPerGroup = 0;
  int32_t phases = 0;
  int32_t roundedTapCount = 0;
  Fixed kernelScale = kFixedOne;  // the request's scale as the taps were made for it

 private:
  void SelectKind(const ResampleRequest& request);
  void Choose(ResampleKernelId id, Fixed kernelRadius, int32_t limit);
  void ChooseByScale(Fixed scale, int32_t limit);
  void ChooseCubic(const ResampleRequest& request, int32_t limit);
  void ChooseLanczos(const ResampleRequest& request);
  void ComputeTaps();

  int32_t tapLimit_ = kDefaultTapLimit;
};

// Linear interpolation of y at x between (x0, y0) and (x1, y1); the mean of
// y0 and y1 when x1 < x0.
Fixed LerpFixed(Fixed x0, Fixed y0, Fixed x1, Fixed y1, Fixed x);

}  // namespace runtime
