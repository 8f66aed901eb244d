// Images: image XObjects and inline images.
#include "content/InlineImage.h"
#include "content/Renderer.h"
#include "pdf/StreamObject.h"
#include "runtime/Dictionary.h"

namespace content {

void Renderer::DoXObject(std::string_view name) {
  if (OutsideActiveSegment()) return;
  const runtime::ObjectHandle object = FindNamedResource(State().resources, "XObject", name);
  if (object.Tag() != runtime::ObjectTag::kDictionary) return;
  // Images are not painted yet: reported as an unsupported image.
  Notify(0, 1, 2);
  FlushAndYield();
}

void Renderer::PaintImage(const InlineImage&, uint32_t) {
  if (OutsideActiveSegment()) return;
  Notify(0, 1, 2);
  FlushAndYield();
}

}  // namespace content
