#pragma once
// A page's annotations as the viewer and the painter use them: the link
// test and the page's link list (one entry per element of "Annots", a
// record with the rectangle for a link), the hit test, the flags that
// decide what is shown, the normal appearance an annotation shows and the
// matrix that maps that appearance's box onto its rectangle.
#include <cstdint>

#include "runtime/ArenaAllocator.h"
#include "runtime/ArenaVector.h"
#include "runtime/Matrix.h"
#include "runtime/ObjectHandle.h"
#include "runtime/Rect.h"

namespace pdf {

// Bits of an annotation's "F".
inline constexpr int32_t kAnnotInvisible = 1;
inline constexpr int32_t kAnnotHidden = 2;
inline constexpr int32_t kAnnotPrint = 4;
inline constexpr int32_t kAnnotNoZoom = 8;
inline constexpr int32_t kAnnotNoRotate = 16;
inline constexpr int32_t kAnnotNoView = 32;

class PageLinkList;

class Annot {
 public:
  // A dictionary whose "Subtype" is /Link, or one without "Subtype" that
  // has an "S" entry. (runtime, 2) for a "Subtype" that is not a name.
  static bool IsLink(const runtime::ObjectHandle& annotation);
  // Whether (x, y) lies in the annotation: in its "Rect" without a list,
  // else in one of the rectangles the list holds for it.
  static bool HitTest(runtime::Fixed x, runtime::Fixed y, const PageLinkList* list,
                      const runtime::ObjectHandle& annotation);
  // Whether the annotation is drawn on screen: not Hidden, not NoView, and
  // not Invisible when its subtype is none the viewer knows.
  static bool IsViewable(const runtime::ObjectHandle& annotation);
  // The stream the annotation shows: "AP" "N" when it is a stream, or the
  // entry of "N" that "AS" names. A null handle when there is none (no
  // appearance, no or an unknown state, a value of another kind).
  static runtime::ObjectHandle NormalAppearance(const runtime::ObjectHandle& annotation);
  // The number of the annotation's object, or its entries' address for a
  // direct one: what tells two annotations apart.
  static uintptr_t Identity(const runtime::ObjectHandle& annotation);
};

// One link annotation of a page.
struct LinkRecord {
  runtime::Rect rect;  // normalised "Rect"
  // Filled by the viewer when the link is followed.
  runtime::ObjectHandle action;
  runtime::ObjectHandle destination;
  uintptr_t identity = 0;
};

// The links of one page, in the order of its "Annots"; other annotations
// keep their place as empty entries.
class PageLinkList {
 public:
  // Reads the page's "Annots" (optional). (runtime, 2) for a link without
  // a usable "Rect", or an element that is neither a dictionary nor null.
  PageLinkList(runtime::LibraryContext* context, const runtime::ObjectHandle& page);
  PageLinkList(const PageLinkList&) = delete;
  PageLinkList& operator=(const PageLinkList&) = delete;

  uint32_t Count() const { return entries_.Size(); }
  // The link record of entry i; null for an annotation that is no link.
  const LinkRecord* At(uint32_t i) const { return entries_[i]; }
  uint32_t LinkCount() const;
  // The links that contain (x, y), first in "Annots" order: its entry
  // index, or -1.
  int32_t LinkAt(runtime::Fixed x, runtime::Fixed y) const;

  int32_t selected = -1;
  bool linearized = false;

 private:
  runtime::ArenaAllocator arena_;
  runtime::ArenaVector<LinkRecord*> entries_;
};

class AppearanceForm {
 public:
  // The matrix an appearance's content runs under, before the current
  // transform: the form's "Matrix", then the map of the transformed
  // "BBox" onto the annotation's "Rect". With NoZoom the rectangle shrinks
  // about its upper-left corner by the view's scale above 1; with NoRotate
  // the page and view rotation of `base` is undone about that corner.
  // `transform` is the current transform (user space to device) and `base`
  // the page's base transform. (runtime, 2) for a missing or short "Rect",
  // a mistyped "Matrix" and a singular base under NoRotate; an empty box
  // gives `empty`.
  static runtime::Matrix Matrix(const runtime::ObjectHandle& form, const runtime::ObjectHandle& annotation,
                                const runtime::Matrix& transform, const runtime::Matrix& base, bool& empty);
};

}  // namespace pdf
