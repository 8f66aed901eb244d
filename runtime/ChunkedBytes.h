#pragma once
// A chunked list of bytes: the one-byte instance of ChunkedList, the store
// of recorded operand streams.
#include <cstdint>

#include "runtime/ChunkedList.h"

namespace runtime {

using ChunkedBytes = ChunkedList<uint8_t>;

}  // namespace runtime
