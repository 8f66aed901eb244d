#include "color/IccCurve.h"

#include "color/IccReads.h"
#include "color/IccSignature.h"
#include "runtime/ErrorTrap.h"

namespace color {

streams::Ref<IccCurve> IccCurve::Read(runtime::LibraryContext* context, streams::DataStream& stream) {
  auto curve = streams::MakeRef<IccCurve>(context);
  uint32_t type = ReadU32BE(stream);
  ReadU32BE(stream);  // reserved
  if (type == IccSig("curv")) {
    uint32_t n = ReadU32BE(stream);
    if (n == 0) {
      curve->kind = kIdentity;
    } else if (n == 1) {
      // u8Fixed8, widened so that 1.0 (0x0100) becomes 1.0039: v + (v << 8).
      uint32_t v = stream.ReadU16BE();
      curve->kind = kGamma;
      curve->gamma = static_cast<Fixed>(v + (v << 8));
    } else if (n <= kMaxEntries) {
      curve->kind = kSampled;
      curve->table.Allocate(context, n);
      for (uint32_t i = 0; i < n; ++i) curve->table[i] = Sample16ToFixed(stream.ReadU16BE());
    } else {
      runtime::ThrowRuntime(runtime::kMalformed);
    }
  } else if (type == IccSig("para")) {
    uint32_t function = stream.ReadU16BE();
    stream.ReadU16BE();  // reserved
    if (function > 4) runtime::ThrowRuntime(runtime::kMalformed);
    static constexpr int kParameterCount[] = {0, 2, 3, 4, 6};
    curve->kind = static_cast<int32_t>(function);
    curve->gamma = ReadS15Fixed16(stream);
    Fixed* parameters[] = {&curve->a, &curve->b, &curve->c, &curve->d, &curve->e, &curve->f};
    for (int i = 0; i < kParameterCount[function]; ++i) *parameters[i] = ReadS15Fixed16(stream);
  } else {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  return curve;
}

}  // namespace color
