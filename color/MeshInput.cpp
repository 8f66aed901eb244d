#include "color/MeshInput.h"

#include <algorithm>

#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"
#include "streams/ChainedStream.h"
#include "streams/FilterChainBuilder.h"

namespace color {
namespace {

using runtime::ObjectHandle;

// Work units per decoded vertex or patch point.
constexpr int32_t kVertexCost = 100;

bool OneOf(int32_t value, std::initializer_list<int32_t> allowed) {
  return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

// A Decode bound as 16.16 in 64 bits: integers keep their value however
// large (coordinates are often encoded over a range such as +-40000 whose
// ends lie beyond the Fixed range); reals are Fixed already.
int64_t WideDecodeBound(const runtime::ObjectValue& value) {
  if (value.Is(runtime::ObjectTag::kInteger) || value.Is(runtime::ObjectTag::kOverflowedNumber))
    return static_cast<int64_t>(value.AsInteger()) * runtime::kFixedOne;
  return value.AsNumber();
}

}  // namespace

MeshInput::MeshInput(runtime::LibraryContext* context, const ObjectHandle& shading, streams::StreamOpener* opener,
                     int32_t values, bool lattice)
    : context_(context), values_(values) {
  if (values < 1 || values > kMaxMeshValues) runtime::ThrowRuntime(runtime::kMalformed);
  const int32_t coordinate = runtime::Dictionary::GetInteger(shading, "BitsPerCoordinate");
  const int32_t component = runtime::Dictionary::GetInteger(shading, "BitsPerComponent");
  const int32_t flag = lattice ? 0 : runtime::Dictionary::GetInteger(shading, "BitsPerFlag");
  if (!OneOf(coordinate, {1, 2, 4, 8, 12, 16, 24, 32}) || !OneOf(component, {1, 2, 4, 8, 12, 16}) ||
      (!lattice && !OneOf(flag, {2, 4, 8})))
    runtime::ThrowRuntime(runtime::kMalformed);
  bitsPerCoordinate_ = static_cast<uint32_t>(coordinate);
  bitsPerComponent_ = static_cast<uint32_t>(component);
  bitsPerFlag_ = static_cast<uint32_t>(flag);
  const ObjectHandle decode = runtime::Dictionary::GetArray(shading, "Decode");
  const uint32_t needed = 4 + 2 * static_cast<uint32_t>(values);
  if (runtime::Array::Count(decode) < needed) runtime::ThrowRuntime(runtime::kMalformed);
  for (uint32_t i = 0; i < needed; ++i) decode_[i] = WideDecodeBound(runtime::Array::Get(decode, i).Value());
  if (opener == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
  data_ = streams::MakeRef<streams::ChainedStream>(context, opener->OpenStream(shading));
}

void MeshInput::ReadPoint(Fixed& x, Fixed& y) {
  x = ReadValue(bitsPerCoordinate_, 0);
  y = ReadValue(bitsPerCoordinate_, 1);
}

void MeshInput::ReadColour(Fixed* values) {
  for (int32_t i = 0; i < values_; ++i) values[i] = ReadValue(bitsPerComponent_, 2 + i);
}

void MeshInput::Charge() { runtime::ChargeWork(context_, kVertexCost); }

Fixed MeshInput::Scale(uint32_t raw, uint32_t bits, int64_t low, int64_t high) {
  const uint64_t largest = bits >= 32 ? 0xFFFFFFFFu : (uint64_t{1} << bits) - 1;
  // Bounds are 32-bit integers times 2^16 at most: |span| < 2^49, and with
  // raw < 2^32 the product needs more than 64 bits.
  const int64_t span = high - low;
  const int64_t offset = static_cast<int64_t>(static_cast<__int128>(span) * raw / static_cast<int64_t>(largest));
  return static_cast<Fixed>(std::clamp<int64_t>(low + offset, runtime::kFixedMin, runtime::kFixedMax));
}

}  // namespace color
