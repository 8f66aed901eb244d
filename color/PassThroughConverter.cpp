#include "color/PassThroughConverter.h"

#include "color/BasicStages.h"
#include "color/GammaConversion.h"

namespace color {

namespace {

enum class PassThroughGamma { kNone, kEncode, kDecode };

void PassThroughPixel(ColorConverter::ComponentType type, PassThroughGamma gamma, int32_t channels,
                      void* destination, int32_t destinationStep, const void* source, int32_t sourceStep) {
  if (type == ColorConverter::kFixed) {
    auto* out = static_cast<Fixed*>(destination);
    const auto* in = static_cast<const Fixed*>(source);
    const auto count = static_cast<uint32_t>(channels);
    if (gamma == PassThroughGamma::kEncode) {
      EncodeGammaFixed(out, destinationStep, in, sourceStep, count);
    } else if (gamma == PassThroughGamma::kDecode) {
      DecodeGammaFixed(out, destinationStep, in, sourceStep, count);
    } else {
      for (int32_t c = 0; c < channels; ++c) out[c * destinationStep] = ClampUnit(in[c * sourceStep]);
    }
    return;
  }
  auto* out = static_cast<uint8_t*>(destination);
  const auto* in = static_cast<const uint8_t*>(source);
  for (int32_t c = 0; c < channels; ++c) {
    const uint8_t value = in[c * sourceStep];
    out[c * destinationStep] = gamma == PassThroughGamma::kEncode   ? EncodeGammaByte(value)
                               : gamma == PassThroughGamma::kDecode ? DecodeGammaByte(value)
                                                                    : value;
  }
}

}  // namespace

void PassThroughConverter::ConvertPixel(void* destination, int32_t destinationStep, const void* source,
                                        int32_t sourceStep) {
  PassThroughPixel(Type(), linear_ ? PassThroughGamma::kDecode : PassThroughGamma::kNone, channels_, destination,
                   destinationStep, source, sourceStep);
}

void PassThroughConverter::EncodePixel(void* destination, int32_t destinationStep, const void* source,
                                       int32_t sourceStep) {
  PassThroughPixel(Type(), PassThroughGamma::kEncode, channels_, destination, destinationStep, source, sourceStep);
}

void PassThroughConverter::DecodePixel(void* destination, int32_t destinationStep, const void* source,
                                       int32_t sourceStep) {
  PassThroughPixel(Type(), PassThroughGamma::kDecode, channels_, destination, destinationStep, source, sourceStep);
}

}  // namespace color
