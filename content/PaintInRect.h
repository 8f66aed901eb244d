#pragma once
// Painting a program (a page's content) into the part of a paint context
// that a rectangle covers: the viewer repaints what scrolled into view, or
// what a band of the page holds, without touching the pixels around it.
//
//   uint32_t operations = 0;
//   content::PaintInRect(paint, machine, {0, 0, 200, 100}, &resources, &target, operations);
#include <cstdint>

#include "content/ContentMachine.h"
#include "content/Renderer.h"
#include "runtime/Rect.h"

namespace content {

// Plays `machine` into `paint`'s layer, clipped to `rect` (device pixels)
// and to the clip the context holds, in a scope of its arena that closes
// with the call. `operations` grows by the number of operations played,
// also when playback ends with an error (which passes on).
void PaintInRect(PaintContext& paint, ContentMachine& machine, const runtime::IntRect& rect,
                 const runtime::ObjectHandle* resources, PaintTarget* target, uint32_t& operations);

}  // namespace content
