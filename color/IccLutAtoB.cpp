#include "color/IccLutAtoB.h"

#include "color/IccReads.h"

namespace color {

namespace {

// `count` curves one after the other, each starting on a 4-byte boundary
// counted from the previous curve's start.
void ReadCurves(runtime::LibraryContext* context, streams::DataStream& stream, streams::Ref<IccCurve>* curves,
                uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t start = stream.Position();
    curves[i] = IccCurve::Read(context, stream);
    uint64_t length = stream.Position() - start;
    stream.Seek(start + ((length + 3) & ~uint64_t{3}));
  }
}

}  // namespace

streams::Ref<IccLutAtoB> IccLutAtoB::Parse(runtime::LibraryContext* context, streams::DataStream& stream,
                                           const streams::DataStoreRef& source, bool aToB, const Fixed illuminant[3],
                                           uint32_t tagSize) {
  auto lut = streams::MakeRef<IccLutAtoB>(context, aToB);
  lut->ReadChannelCounts(stream);
  const uint32_t aChannels = aToB ? lut->inputs : lut->outputs;
  const uint32_t bChannels = aToB ? lut->outputs : lut->inputs;
  stream.ReadU16BE();  // reserved
  uint32_t offsets[5];  // B curves, matrix, M curves, CLUT, A curves
  for (uint32_t& offset : offsets) offset = ReadU32BE(stream);
  const uint64_t tagStart = lut->tagStart;

  if (offsets[0] != 0) {
    stream.Seek(tagStart + offsets[0]);
    ReadCurves(context, stream, lut->bCurves, bChannels);
    lut->bCurveCount = bChannels;
  }
  if (offsets[1] != 0) {
    if (bChannels != 3) runtime::ThrowRuntime(runtime::kMalformed);
    stream.Seek(tagStart + offsets[1]);
    Matrix3x4 read;
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) read.m[r][c] = ReadS15Fixed16(stream);
    }
    for (int r = 0; r < 3; ++r) read.m[r][3] = ReadS15Fixed16(stream);
    // Rounding in the stored matrix can leave white slightly off the
    // illuminant; scale the inverse to it when it is within 65/65536.
    Matrix3x4 copy = read;
    if (Matrix3x3::Invert(copy) && Matrix3x3::ScaleColumns(copy, illuminant, 65) && Matrix3x3::Invert(copy)) {
      read = copy;
    }
    lut->matrix = read;
    lut->hasMatrix = true;
  }
  if (offsets[2] != 0) {
    stream.Seek(tagStart + offsets[2]);
    ReadCurves(context, stream, lut->mCurves, bChannels);
    lut->mCurveCount = bChannels;
  }
  if (offsets[3] == 0) {
    if (lut->inputs != lut->outputs) runtime::ThrowRuntime(runtime::kMalformed);
  } else {
    uint64_t clutStart = tagStart + offsets[3];
    stream.Seek(clutStart);
    for (uint32_t i = 0; i < lut->inputs; ++i) {
      lut->grid[i] = stream.ReadU8();
      if (lut->grid[i] < 2) runtime::ThrowRuntime(runtime::kMalformed);
    }
    stream.Seek(clutStart + 16);
    uint32_t precision = stream.ReadU8();
    if (precision != 1 && precision != 2) runtime::ThrowRuntime(runtime::kMalformed);
    stream.Seek(clutStart + 20);
    uint64_t used = uint64_t{offsets[3]} + 20;
    uint64_t available = tagSize > used ? tagSize - used : 0;
    uint32_t count = ClutSampleCount(lut->grid, lut->inputs, lut->outputs, precision, available);
    lut->clut.Read(context, stream, source, count, precision);
  }
  if (offsets[4] != 0) {
    stream.Seek(tagStart + offsets[4]);
    ReadCurves(context, stream, lut->aCurves, aChannels);
    lut->aCurveCount = aChannels;
  }
  return lut;
}

uint32_t IccLutAtoB::CurveListSize(const streams::Ref<IccCurve>* curves) {
  // The list is charged for its capacity, not only the curves it uses; a
  // curve shared with another holder is charged to none of them.
  uint32_t size = kCurveListHeadSize + kMaxChannels * kReferenceSize;
  for (uint32_t i = 0; i < kMaxChannels; ++i) {
    if (curves[i] && curves[i]->RefCount() == 1) size += curves[i]->MemorySize();
  }
  return size;
}

uint32_t IccLutAtoB::MemorySize() const {
  uint32_t size = kOwnSize + (clut.Count() != 0 ? clut.MemorySize() : 0);
  for (const auto* curves : {aCurves, bCurves, mCurves}) size += CurveListSize(curves);
  // The reference to the profile data a deferred table still reads.
  if (clut.IsDeferred()) size += kReferenceSize;
  return size;
}

}  // namespace color
