#include "color/ClutStage.h"

#include "color/IccSignature.h"
#include "runtime/ErrorTrap.h"

namespace color {

namespace {

using runtime::kFixedOne;

}  // namespace

ClutStage::ClutStage(runtime::LibraryContext* context, const Fixed* samples, uint32_t sampleCount, uint32_t inputs,
                     uint32_t outputs, const uint32_t* grid, Variant variant)
    : IccStage(context), inputs_(inputs), outputs_(outputs), variant_(variant) {
  if (inputs == 0 || inputs > kMaxColorChannels || outputs == 0 || outputs > kMaxColorChannels) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  uint64_t count = outputs;
  for (uint32_t i = inputs; i-- > 0;) {
    if (grid[i] < 2 || grid[i] > 255) runtime::ThrowRuntime(runtime::kMalformed);
    grid_[i] = grid[i];
    stride_[i] = static_cast<uint32_t>(count);
    count *= grid[i];
  }
  if (count != sampleCount) runtime::ThrowRuntime(runtime::kMalformed);
  if ((variant == kTetrahedral && inputs != 3) || (variant == kQuadrilinear && inputs != 4)) variant_ = kSimplex;
  samples_.CopyFrom(context, samples, sampleCount);
}

ClutStage::Variant ClutStage::ChooseVariant(uint32_t inputs, uint32_t sourceSpace, uint32_t destinationSpace) {
  if (inputs == 4 && sourceSpace == IccSig("CMYK") && destinationSpace == IccSig("RGB ")) return kQuadrilinear;
  if (inputs == 3 && sourceSpace == IccSig("RGB ") && destinationSpace == IccSig("RGB ")) return kTetrahedral;
  return kSimplex;
}

IccStageRef ClutStage::Create(runtime::LibraryContext* context, const Fixed* samples, uint32_t sampleCount,
                              uint32_t inputs, uint32_t outputs, const uint32_t* grid, uint32_t sourceSpace,
                              uint32_t destinationSpace) {
  return IccStageRef(streams::MakeRef<ClutStage>(context, samples, sampleCount, inputs, outputs, grid,
                                                 ChooseVariant(inputs, sourceSpace, destinationSpace)));
}

bool ClutStage::IsIdentity() const {
  if (inputs_ != 3 || outputs_ != 3 || grid_[0] != 2 || grid_[1] != 2 || grid_[2] != 2) return false;
  for (uint32_t corner = 0; corner < 8; ++corner) {
    for (uint32_t o = 0; o < 3; ++o) {
      Fixed want = (corner >> (2 - o)) & 1 ? kFixedOne : 0;
      if (samples_[corner * 3 + o] != want) return false;
    }
  }
  return true;
}

uint32_t ClutStage::Locate(const Fixed* v, Fixed* fraction) const {
  uint32_t base = 0;
  for (uint32_t i = 0; i < inputs_; ++i) {
    // Inputs outside [0, 1.0] occur (out-of-gamut Lab): the cell stays
    // inside the grid and the fraction inside [0, 1.0].
    int64_t p = static_cast<int64_t>(grid_[i] - 1) * v[i];
    int64_t k = p >> 16;
    if (k > static_cast<int64_t>(grid_[i]) - 2) k = grid_[i] - 2;
    if (k < 0) k = 0;
    int64_t f = p - (k << 16);
    fraction[i] = static_cast<Fixed>(f < 0 ? 0 : (f > kFixedOne ? kFixedOne : f));
    base += static_cast<uint32_t>(k) * stride_[i];
  }
  return base;
}

void ClutStage::Tetrahedral(Fixed* v) const {
  Fixed f[3];
  const uint32_t base = Locate(v, f);
  const Fixed* c = samples_.Data() + base;
  // Axes ordered by falling fraction; ties keep the lower axis first.
  uint32_t s1, s2;  // strides of the first axis and of the first two
  Fixed d1, d2, d3;
  const uint32_t sx = stride_[0], sy = stride_[1], sz = stride_[2];
  if (f[0] >= f[1]) {
    if (f[1] >= f[2]) {
      s1 = sx, s2 = sx + sy, d1 = f[0], d2 = f[1], d3 = f[2];
    } else if (f[0] >= f[2]) {
      s1 = sx, s2 = sx + sz, d1 = f[0], d2 = f[2], d3 = f[1];
    } else {
      s1 = sz, s2 = sz + sx, d1 = f[2], d2 = f[0], d3 = f[1];
    }
  } else if (f[0] >= f[2]) {
    s1 = sy, s2 = sy + sx, d1 = f[1], d2 = f[0], d3 = f[2];
  } else if (f[1] >= f[2]) {
    s1 = sy, s2 = sy + sz, d1 = f[1], d2 = f[2], d3 = f[0];
  } else {
    s1 = sz, s2 = sz + sy, d1 = f[2], d2 = f[1], d3 = f[0];
  }
  const uint32_t s3 = sx + sy + sz;
  // The four weighted corners are summed at full precision and shifted
  // once, so the result is within one unit of the exact interpolation.
  for (uint32_t o = 0; o < outputs_; ++o) {
    int64_t sum = int64_t{c[o]} * (kFixedOne - d1) + int64_t{c[s1 + o]} * (d1 - d2) +
                  int64_t{c[s2 + o]} * (d2 - d3) + int64_t{c[s3 + o]} * d3;
    v[o] = static_cast<Fixed>(sum >> 16);
  }
}

void ClutStage::Quadrilinear(Fixed* v) const {
  Fixed f[4];
  const uint32_t base = Locate(v, f);
  const Fixed* c = samples_.Data() + base;
  // Corners indexed by bits (input 0 highest), their offsets found once
  // for every output.
  uint32_t offsets[16];
  for (uint32_t corner = 0; corner < 16; ++corner) {
    offsets[corner] = ((corner >> 3) & 1) * stride_[0] + ((corner >> 2) & 1) * stride_[1] +
                      ((corner >> 1) & 1) * stride_[2] + (corner & 1) * stride_[3];
  }
  for (uint32_t o = 0; o < outputs_; ++o) {
    // Reduce input 3 first. Intermediate levels keep 16 extra bits so that
    // the four steps round once, at the end.
    int64_t level[16];
    for (uint32_t corner = 0; corner < 16; ++corner) level[corner] = int64_t{c[offsets[corner] + o]} << 16;
    for (uint32_t input = 4; input-- > 0;) {
      const uint32_t half = 1u << input;
      for (uint32_t k = 0; k < half; ++k) {
        int64_t a = level[2 * k], b = level[2 * k + 1];
        level[k] = a + (((b - a) * f[input]) >> 16);
      }
    }
    v[o] = static_cast<Fixed>(level[0] >> 16);
  }
}

void ClutStage::Simplex(Fixed* v) const {
  Fixed f[kMaxColorChannels];
  const uint32_t base = Locate(v, f);
  // Inputs by falling fraction, ties by index: a stable insertion sort.
  uint32_t order[kMaxColorChannels];
  for (uint32_t i = 0; i < inputs_; ++i) {
    uint32_t at = i;
    while (at > 0 && f[order[at - 1]] < f[i]) {
      order[at] = order[at - 1];
      --at;
    }
    order[at] = i;
  }
  const Fixed* samples = samples_.Data();
  int64_t out[kMaxColorChannels];
  for (uint32_t o = 0; o < outputs_; ++o) out[o] = int64_t{samples[base + o]} << 16;
  uint32_t corner = base;
  for (uint32_t step = 0; step < inputs_; ++step) {
    const uint32_t i = order[step];
    const uint32_t next = corner + stride_[i];
    for (uint32_t o = 0; o < outputs_; ++o) out[o] += int64_t{f[i]} * (samples[next + o] - samples[corner + o]);
    corner = next;
  }
  for (uint32_t o = 0; o < outputs_; ++o) v[o] = static_cast<Fixed>(out[o] >> 16);
}

void ClutStage::Apply(Fixed* v) const {
  switch (variant_) {
    case kTetrahedral:
      Tetrahedral(v);
      break;
    case kQuadrilinear:
      Quadrilinear(v);
      break;
    default:
      Simplex(v);
      break;
  }
}

void ClutStage::ApplySpan(Fixed* vectors, uint32_t count) const {
  switch (variant_) {
    case kTetrahedral:
      for (uint32_t i = 0; i < count; ++i) Tetrahedral(vectors + i * kMaxColorChannels);
      break;
    case kQuadrilinear:
      for (uint32_t i = 0; i < count; ++i) Quadrilinear(vectors + i * kMaxColorChannels);
      break;
    default:
      for (uint32_t i = 0; i < count; ++i) Simplex(vectors + i * kMaxColorChannels);
      break;
  }
}

}  // namespace color
