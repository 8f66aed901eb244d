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
  if ((variant == kTetrahedral && inputs != 3) || (variant == kTetrahedralLinear && inputs != 4)) variant_ = kSimplex;
  samples_.CopyFrom(context, samples, sampleCount);
}

ClutStage::Variant ClutStage::ChooseVariant(uint32_t inputs, uint32_t sourceSpace, uint32_t destinationSpace) {
  if (inputs == 4) return kTetrahedralLinear;
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

// kInputs 0: inputs_ inputs; else exactly kInputs (the loop unrolled).
template <uint32_t kInputs>
uint32_t ClutStage::Locate(const Fixed* v, Fixed* fraction) const {
  uint32_t base = 0;
  const uint32_t inputs = kInputs != 0 ? kInputs : inputs_;
  for (uint32_t i = 0; i < inputs; ++i) {
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

namespace {

// The tetrahedron of one grid cube that holds a point: the sample offsets
// of the corners one, two and three steps from the base (axes by falling
// fraction; ties keep the lower axis first) and the three weights' steps.
struct Tetrahedron {
  uint32_t s1, s2, s3;
  Fixed d1, d2, d3;
};

Tetrahedron FindTetrahedron(const Fixed* f, const uint32_t* stride) {
  const uint32_t sx = stride[0], sy = stride[1], sz = stride[2];
  Tetrahedron t{};
  if (f[0] >= f[1]) {
    if (f[1] >= f[2]) {
      t = {sx, sx + sy, 0, f[0], f[1], f[2]};
    } else if (f[0] >= f[2]) {
      t = {sx, sx + sz, 0, f[0], f[2], f[1]};
    } else {
      t = {sz, sz + sx, 0, f[2], f[0], f[1]};
    }
  } else if (f[0] >= f[2]) {
    t = {sy, sy + sx, 0, f[1], f[0], f[2]};
  } else if (f[1] >= f[2]) {
    t = {sy, sy + sz, 0, f[1], f[2], f[0]};
  } else {
    t = {sz, sz + sy, 0, f[2], f[1], f[0]};
  }
  t.s3 = sx + sy + sz;
  return t;
}

// Output o interpolated in the tetrahedron from base sample c, with 16
// extra fraction bits: the four weighted corners are summed at full
// precision so that the caller rounds once.
int64_t TetrahedronSum(const Fixed* c, const Tetrahedron& t, uint32_t o) {
  return int64_t{c[o]} * (kFixedOne - t.d1) + int64_t{c[t.s1 + o]} * (t.d1 - t.d2) +
         int64_t{c[t.s2 + o]} * (t.d2 - t.d3) + int64_t{c[t.s3 + o]} * t.d3;
}

}  // namespace

void ClutStage::Tetrahedral(Fixed* v) const {
  Fixed f[3];
  const Fixed* c = samples_.Data() + Locate<3>(v, f);
  const Tetrahedron t = FindTetrahedron(f, stride_);
  for (uint32_t o = 0; o < outputs_; ++o) v[o] = static_cast<Fixed>(TetrahedronSum(c, t, o) >> 16);
}

template <uint32_t kOutputs>
void ClutStage::TetrahedralLinear(Fixed* v) const {
  Fixed f[4];
  const Fixed* c = samples_.Data() + Locate<4>(v, f);
  // One tetrahedron serves both planes: the last three fractions are the
  // same on each.
  const Tetrahedron t = FindTetrahedron(f + 1, stride_ + 1);
  const Fixed* upper = c + stride_[0];
  const uint32_t outputs = kOutputs != 0 ? kOutputs : outputs_;
  for (uint32_t o = 0; o < outputs; ++o) {
    const int64_t a = TetrahedronSum(c, t, o), b = TetrahedronSum(upper, t, o);
    // a and b carry 16 fraction bits more than a sample; the difference is
    // narrowed by 8 of them before the product so that it cannot overflow.
    v[o] = static_cast<Fixed>((a + ((((b - a) >> 8) * f[0]) >> 8)) >> 16);
  }
}

void ClutStage::Simplex(Fixed* v) const {
  Fixed f[kMaxColorChannels];
  const uint32_t base = Locate<0>(v, f);
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
    case kTetrahedralLinear:
      TetrahedralLinear<0>(v);
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
    case kTetrahedralLinear:
      // CMYK tables give three outputs (Lab, XYZ or RGB) nearly always.
      if (outputs_ == 3) {
        for (uint32_t i = 0; i < count; ++i) TetrahedralLinear<3>(vectors + i * kMaxColorChannels);
      } else {
        for (uint32_t i = 0; i < count; ++i) TetrahedralLinear<0>(vectors + i * kMaxColorChannels);
      }
      break;
    default:
      for (uint32_t i = 0; i < count; ++i) Simplex(vectors + i * kMaxColorChannels);
      break;
  }
}

}  // namespace color
