#include "color/ColorSpaceRecord.h"

#include "color/ColorContext.h"

namespace color {

const Fixed kUnitComponentTable[5] = {runtime::kFixedOne, runtime::kFixedOne, runtime::kFixedOne,
                                      runtime::kFixedOne, 0};

ColorSpaceRecord ColorSpaceRecord::DeviceGray(ColorContext& colors) {
  ColorSpaceRecord record;
  record.kind = kOrdinary;
  record.space = colors.DeviceGray();
  record.componentCount = record.space->ComponentCount();
  record.table = kUnitComponentTable;
  return record;
}

}  // namespace color
