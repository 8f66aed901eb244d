#pragma once
// The viewer's drawing of links on its pages: a link without a usable
// appearance (none, or one it is told not to use) shows its border, drawn
// among the other annotations in their order. A hidden link shows nothing;
// a link whose appearance is there but unusable (no normal appearance, or
// a state it does not hold) shows nothing either, not even its border.
#include "content/AnnotationAppearances.h"

namespace viewer {

class LinkBorderDecoration final : public content::AnnotationDecoration {
 public:
  bool Paint(content::ContentHandler& handler, const runtime::ObjectHandle& annotation,
             const runtime::Matrix& base) override;
  // Whether the annotation is a link that shows its border rather than an
  // appearance (its flags and "AP" alone decide).
  static bool ShowsBorder(const runtime::ObjectHandle& annotation);
};

}  // namespace viewer
