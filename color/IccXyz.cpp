#include "color/IccXyz.h"

#include "color/IccReads.h"
#include "runtime/ErrorTrap.h"

namespace color {

XyzNumber ReadXyzNumber(streams::DataStream& stream, uint32_t tagSize) {
  XyzNumber record;
  stream.Seek(stream.Position() + 8);
  if (tagSize != 20) runtime::ThrowRuntime(runtime::kMalformed);
  record.x = ReadS15Fixed16(stream);
  record.y = ReadS15Fixed16(stream);
  record.z = ReadS15Fixed16(stream);
  if (record.x > 0xA0000) {
    // Integer division truncates toward zero, as wanted for negatives too.
    record.x /= 100;
    record.y /= 100;
    record.z /= 100;
  }
  return record;
}

streams::Ref<IccXyz> IccXyz::Read(runtime::LibraryContext* context, streams::DataStream& stream, uint32_t tagSize) {
  XyzNumber value = ReadXyzNumber(stream, tagSize);
  auto xyz = streams::MakeRef<IccXyz>(context);
  xyz->x = value.x;
  xyz->y = value.y;
  xyz->z = value.z;
  return xyz;
}

}  // namespace color
