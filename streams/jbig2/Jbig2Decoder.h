#pragma once
// The JBIG2 decoder: the embedded stream of one page (with optional global
// segments) in, one 1-bit page out. Every allocation goes through the
// current Jbig2Heap scope, which the caller opens; on a thrown error the
// decoder frees nothing and the scope releases everything.
#include <cstddef>
#include <cstdint>

#include "streams/jbig2/Jbig2Segment.h"

namespace streams {

// Decodes one image. Returns 0 on success and -1 on any failure reported by
// result code; errors thrown inside (truncated data, bad sizes, memory) pass
// through. With `reuseGlobals`, *globalsInOut and *globalCountInOut are the
// global segments parsed by an earlier call and the globals bytes are
// ignored; otherwise, on success, the newly parsed global segments are
// handed back through them for the caller to release with
// Jbig2FreeSegments. On success *pixelsOut is a new heap block of
// rowBytes x height + 1 bytes: the page rows, 0 for black and 1 for white.
int Jbig2Decode(const uint8_t* globalsData, size_t globalsLength, const uint8_t* data,
                size_t dataLength, bool reuseGlobals, Jbig2Segment*** globalsInOut,
                uint32_t* globalCountInOut, uint8_t** pixelsOut, uint32_t* widthOut,
                uint32_t* heightOut);

// Releases segments and what their decoding produced, then the array.
void Jbig2FreeSegments(Jbig2Segment** segments, uint32_t count);

}  // namespace streams
