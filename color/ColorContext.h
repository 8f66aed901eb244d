#pragma once
// The colour state of one document's rendering: the device spaces (built on
// first use and kept), the caches of CIE-based and ICC-based spaces built
// from the document's objects, and the scratch arena the colour-space
// parser reads arrays in. Cache keys are positions of the document's
// objects, so a context serves one document.
#include <cstdint>

#include "color/ColorSpace.h"
#include "runtime/ArenaAllocator.h"
#include "runtime/ObjectCache.h"
#include "runtime/ObjectHandle.h"

namespace content {
class ColorSpaceOperands;
}
namespace pdf {
class Document;
}

namespace color {

// Counting policy of counted objects held by cost caches.
template <class T>
struct CountedObjectCount {
  static void CountUp(T* target) { target->AddRef(); }
  static bool CountDown(T* target) { return target->DropRef(); }
  static uint32_t Count(const T* target) { return target->RefCount(); }
  static void Destroy(runtime::LibraryContext* context, T* target) { runtime::DestroyAndFree(context, target); }
};

class ColorContext {
 public:
  // Where a cached space was read from: the parsed dictionary's (or
  // stream's) indirect object and position, and what was asked of it.
  struct SpaceKey {
    uint64_t position = 0;
    uint32_t objectNumber = 0;
    uint32_t variant = 0;
    bool operator<(const SpaceKey& other) const {
      if (position != other.position) return position < other.position;
      if (objectNumber != other.objectNumber) return objectNumber < other.objectNumber;
      return variant < other.variant;
    }
  };
  using SpaceCache = runtime::ObjectCache<ColorSpace, SpaceKey, CountedObjectCount<ColorSpace>>;
  using SpaceBuilder = streams::Ref<ColorSpace> (*)(ColorContext& colors, const runtime::ObjectHandle& object,
                                                    uint32_t variant);

  // `document` reads the arrays and streams of colour spaces; it may be
  // null for spaces made of names only.
  ColorContext(runtime::LibraryContext* context, pdf::Document* document);
  ColorContext(const ColorContext&) = delete;
  ColorContext& operator=(const ColorContext&) = delete;

  runtime::LibraryContext* Context() const { return context_; }
  pdf::Document* Document() const { return document_; }
  runtime::ArenaAllocator& Scratch() { return scratch_; }
  // Operands over an array of the document, in the scratch arena: open an
  // ArenaScope on Scratch() around their use. (runtime, 2) without a
  // document or for a value that is no array.
  content::ColorSpaceOperands* OperandsOver(const runtime::ObjectHandle& array);

  // The device spaces: calibrated gray and RGB (D50, gamma 2.2) and the
  // built-in CMYK printer profile.
  streams::Ref<ColorSpace> DeviceGray();
  streams::Ref<ColorSpace> DeviceRgb();
  streams::Ref<ColorSpace> DeviceCmyk();

  // The space `build` makes of `object` (a dictionary or stream of the
  // document), kept in `cache` under the object's position and `variant`.
  // Objects without a position (not parsed from the file) are built each
  // time.
  streams::Ref<ColorSpace> CachedSpace(SpaceCache& cache, const runtime::ObjectHandle& object, uint32_t variant,
                                       SpaceBuilder build);
  SpaceCache& CieCache() { return cieSpaces_; }
  SpaceCache& IccCache() { return iccSpaces_; }

  // How deep colour-space parses are nested right now (see ColorSpace::Parse).
  uint32_t parseDepth = 0;

 private:
  runtime::LibraryContext* context_;
  pdf::Document* document_;
  runtime::ArenaAllocator scratch_;
  streams::Ref<ColorSpace> deviceGray_;
  streams::Ref<ColorSpace> deviceRgb_;
  streams::Ref<ColorSpace> deviceCmyk_;
  SpaceCache cieSpaces_;
  SpaceCache iccSpaces_;
};

}  // namespace color
