#pragma once
// Paints a page's annotations after its content: the normal appearance of
// every annotation shown on screen, placed onto its rectangle, played
// through the same handler as the page.
#include <cstdint>

#include "content/ContentHandler.h"
#include "runtime/Matrix.h"
#include "runtime/ObjectHandle.h"

namespace content {

// Lets a caller draw some annotations its own way (a viewer's link
// borders) in their place among the others.
class AnnotationDecoration {
 public:
  // True when the annotation was dealt with here (drawn, or left out on
  // purpose); false: its appearance is played as usual.
  virtual bool Paint(ContentHandler& handler, const runtime::ObjectHandle& annotation,
                     const runtime::Matrix& base) = 0;

 protected:
  ~AnnotationDecoration() = default;
};

class AnnotationAppearances {
 public:
  // Plays, in "Annots" order, the appearance of every annotation that is
  // viewable and has one. `base` is the page's base transform (user space
  // to device without the content's own matrices). A failing annotation
  // ends only itself: the first error is raised after the others have
  // played. Returns how many appearances were played. `decoration` (may be
  // null) is offered every annotation first.
  static uint32_t PaintAll(ContentHandler& handler, const runtime::ObjectHandle& page, const runtime::Matrix& base,
                           AnnotationDecoration* decoration = nullptr);
  // Plays one appearance form under the matrix that maps its box onto the
  // annotation's rectangle, clipped to the box; nothing for an empty box.
  static void Place(ContentHandler& handler, const runtime::ObjectHandle& form,
                    const runtime::ObjectHandle& annotation, const runtime::Matrix& base);
};

}  // namespace content
