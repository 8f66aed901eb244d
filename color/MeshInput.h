#pragma once
// The packed bit stream of a mesh shading (types 4 to 7): the shading
// stream's decoded data read through a buffered stream, with the widths of
// its fields and the Decode ranges that map raw values to coordinates and
// colour values. Every vertex read charges the work budget, so a huge mesh
// yields and can be cancelled however little of it is visible.
#include <cstdint>

#include "runtime/Fixed.h"
#include "runtime/ObjectHandle.h"
#include "streams/DataStream.h"

namespace streams {
class StreamOpener;
}

namespace color {

using runtime::Fixed;

inline constexpr int32_t kMaxMeshValues = 32;

struct MeshVertex {
  Fixed x = 0;
  Fixed y = 0;
  Fixed values[kMaxMeshValues] = {};
};

class MeshInput {
 public:
  // Reads BitsPerCoordinate, BitsPerComponent, BitsPerFlag (unless
  // `lattice`) and Decode for `values` colour values per vertex, and opens
  // the stream's decoded data. Only the widths PDF allows are accepted;
  // anything else, a Decode array shorter than 4 + 2 x values or a shading
  // that is no stream is (runtime, 2).
  MeshInput(runtime::LibraryContext* context, const runtime::ObjectHandle& shading, streams::StreamOpener* opener,
            int32_t values, bool lattice);

  int32_t Values() const { return values_; }
  // True when no byte of data is left.
  bool AtEnd() { return data_->AtEnd(); }
  uint32_t ReadFlag() { return data_->ReadBits(bitsPerFlag_); }
  // x and y, then the colour values (not aligned).
  void ReadPoint(Fixed& x, Fixed& y);
  void ReadColour(Fixed* values);
  // One vertex followed by the padding to the next byte.
  void ReadVertex(MeshVertex& vertex) {
    ReadPoint(vertex.x, vertex.y);
    ReadColour(vertex.values);
    Align();
  }
  void Align() { data_->AlignToByte(); }
  // Spends the work of one decoded vertex or point.
  void Charge();

  // `bits` raw bits mapped linearly onto [low, high] (16.16 values in 64
  // bits, so that a Decode range wider than the Fixed range still maps the
  // values inside it exactly): raw 0 gives low and the largest raw value
  // high; the result is clamped to the Fixed range.
  static Fixed Scale(uint32_t raw, uint32_t bits, int64_t low, int64_t high);

 private:
  Fixed ReadValue(uint32_t bits, int32_t pair) {
    return Scale(data_->ReadBits(bits), bits, decode_[2 * pair], decode_[2 * pair + 1]);
  }

  runtime::LibraryContext* context_;
  streams::DataStreamRef data_;
  uint32_t bitsPerCoordinate_ = 0;
  uint32_t bitsPerComponent_ = 0;
  uint32_t bitsPerFlag_ = 0;
  int32_t values_ = 0;
  // 16.16 in 64 bits: integer bounds beyond the Fixed range are kept.
  int64_t decode_[4 + 2 * kMaxMeshValues] = {};
};

}  // namespace color
