#include "fonts/GlyphZone.h"

#include <cstring>

namespace fonts {

namespace {

template <class T>
T* GrowZoneArray(runtime::ArenaAllocator& arena, T* old, uint32_t used, uint32_t capacity) {
  T* fresh = static_cast<T*>(arena.Alloc(sizeof(T) * capacity));
  if (old != nullptr && used != 0) std::memcpy(fresh, old, sizeof(T) * used);
  std::memset(fresh + used, 0, sizeof(T) * (capacity - used));
  return fresh;
}

}  // namespace

void GlyphZone::Reserve(runtime::ArenaAllocator& arena, uint32_t points, uint32_t contours) {
  const uint32_t needPoints = points + kPhantomPoints;
  if (needPoints > pointCapacity) {
    uint32_t capacity = pointCapacity < 64 ? 64 : pointCapacity;
    while (capacity < needPoints) capacity *= 2;
    const uint32_t used = pointCapacity;
    curX = GrowZoneArray(arena, curX, used, capacity);
    curY = GrowZoneArray(arena, curY, used, capacity);
    refX = GrowZoneArray(arena, refX, used, capacity);
    refY = GrowZoneArray(arena, refY, used, capacity);
    unscaledX = GrowZoneArray(arena, unscaledX, used, capacity);
    unscaledY = GrowZoneArray(arena, unscaledY, used, capacity);
    onCurve = GrowZoneArray(arena, onCurve, used, capacity);
    touch = GrowZoneArray(arena, touch, used, capacity);
    pointCapacity = capacity;
  }
  if (contours > contourCapacity) {
    uint32_t capacity = contourCapacity < 16 ? 16 : contourCapacity;
    while (capacity < contours) capacity *= 2;
    contourEnds = GrowZoneArray(arena, contourEnds, contourCapacity, capacity);
    contourCapacity = capacity;
  }
}

GlyphZone GlyphZone::Tail(uint32_t firstPoint, uint32_t firstContour) const {
  GlyphZone view;
  view.curX = curX + firstPoint;
  view.curY = curY + firstPoint;
  view.refX = refX + firstPoint;
  view.refY = refY + firstPoint;
  view.unscaledX = unscaledX + firstPoint;
  view.unscaledY = unscaledY + firstPoint;
  view.onCurve = onCurve + firstPoint;
  view.touch = touch + firstPoint;
  view.contourEnds = contourEnds + firstContour;
  view.pointCapacity = pointCapacity - firstPoint;
  view.contourCapacity = contourCapacity - firstContour;
  view.unscaledUsable = unscaledUsable;
  return view;
}

}  // namespace fonts
