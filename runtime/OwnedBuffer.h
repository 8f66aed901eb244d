#pragma once
// An owned byte buffer: the one-byte instance of OwnedArray.
#include <cstdint>

#include "runtime/OwnedArray.h"

namespace runtime {

using OwnedBuffer = OwnedArray<uint8_t>;

}  // namespace runtime
