#include "color/LutTable.h"

#include "color/IccReads.h"

namespace color {

namespace {

using runtime::kFixedOne;

// 256 entries k x 257: the 8-bit identity curve.
void Ramp256(runtime::LibraryContext* context, SampleTable& table) {
  Fixed ramp[256];
  for (int k = 0; k < 256; ++k) ramp[k] = Sample8ToFixed(static_cast<uint32_t>(k));
  table.Assign(context, ramp, 256);
}

// The eight corners of the unit cube, each output equal to its input
// coordinate.
void UnitCubeCorners(runtime::LibraryContext* context, SampleTable& table) {
  Fixed corners[24];
  for (int i = 0; i < 8; ++i) {
    corners[3 * i] = (i & 4) ? kFixedOne : 0;
    corners[3 * i + 1] = (i & 2) ? kFixedOne : 0;
    corners[3 * i + 2] = (i & 1) ? kFixedOne : 0;
  }
  table.Assign(context, corners, 24);
}

}  // namespace

streams::Ref<LutTable> LutTable::Parse(runtime::LibraryContext* context, streams::DataStream& stream,
                                       const streams::DataStoreRef& source, bool lut8, uint32_t tagSize) {
  auto lut = streams::MakeRef<LutTable>(context, lut8);
  lut->ReadChannelCounts(stream);
  lut->grid = stream.ReadU8();
  if (lut->grid < 2) runtime::ThrowRuntime(runtime::kMalformed);
  stream.ReadU8();  // padding
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) lut->matrix.m[r][c] = ReadS15Fixed16(stream);
  }
  uint32_t inEntries = 256, outEntries = 256, sampleSize = 1;
  uint64_t header = 48;
  if (!lut8) {
    inEntries = stream.ReadU16BE();
    outEntries = stream.ReadU16BE();
    // A curve of fewer than two entries has no segment to interpolate in.
    if (inEntries > kMaxCurveEntries || outEntries > kMaxCurveEntries || inEntries < 2 || outEntries < 2) {
      runtime::ThrowRuntime(runtime::kMalformed);
    }
    sampleSize = 2;
    header = 52;
  }
  uint64_t curveBytes = (uint64_t{inEntries} * lut->inputs + uint64_t{outEntries} * lut->outputs) * sampleSize;
  uint64_t available = tagSize > header + curveBytes ? tagSize - header - curveBytes : 0;
  const uint32_t grids[kMaxChannels] = {lut->grid, lut->grid, lut->grid, lut->grid};
  uint32_t clutCount = ClutSampleCount(grids, lut->inputs, lut->outputs, sampleSize, available);
  for (uint32_t i = 0; i < lut->inputs; ++i) lut->inputCurves[i].Read(context, stream, source, inEntries, sampleSize);
  lut->clut.Read(context, stream, source, clutCount, sampleSize);
  for (uint32_t i = 0; i < lut->outputs; ++i) lut->outputCurves[i].Read(context, stream, source, outEntries, sampleSize);
  return lut;
}

streams::Ref<LutTable> LutTable::Identity(runtime::LibraryContext* context) {
  auto lut = streams::MakeRef<LutTable>(context, false);
  lut->inputs = lut->outputs = 3;
  lut->grid = 2;
  lut->matrix = Matrix3x4::Identity();
  UnitCubeCorners(context, lut->clut);
  return lut;
}

streams::Ref<LutTable> LutTable::LabRangeClamp(runtime::LibraryContext* context, const Fixed range[4]) {
  auto lut = streams::MakeRef<LutTable>(context, true);
  lut->inputs = lut->outputs = 3;
  lut->grid = 2;
  lut->matrix = Matrix3x4::Identity();
  UnitCubeCorners(context, lut->clut);
  Ramp256(context, lut->inputCurves[0]);
  for (int channel = 1; channel < 3; ++channel) {
    // Encoded a*, b*: (value + 128) / 255, clamped to the Range.
    const Fixed offset = 128 * kFixedOne;
    Fixed lo = runtime::FixedDiv(runtime::FixedAddSat(range[2 * (channel - 1)], offset), 255 * kFixedOne);
    Fixed hi = runtime::FixedDiv(runtime::FixedAddSat(range[2 * (channel - 1) + 1], offset), 255 * kFixedOne);
    if (lo < 0) lo = 0;
    if (hi > kFixedOne) hi = kFixedOne;
    Fixed entries[256];
    for (int k = 0; k < 256; ++k) {
      Fixed t = runtime::FixedDiv(k * kFixedOne, 255 * kFixedOne);
      entries[k] = t < lo ? lo : (t > hi ? hi : t);
    }
    lut->inputCurves[channel].Assign(context, entries, 256);
  }
  for (int channel = 0; channel < 3; ++channel) Ramp256(context, lut->outputCurves[channel]);
  return lut;
}

uint32_t LutTable::MemorySize() const {
  uint32_t size = 96 + clut.MemorySize();
  for (uint32_t i = 0; i < kMaxChannels; ++i) size += inputCurves[i].MemorySize() + outputCurves[i].MemorySize();
  return size;
}

}  // namespace color
