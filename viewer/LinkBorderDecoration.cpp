#include "viewer/LinkBorderDecoration.h"

#include "content/Renderer.h"
#include "pdf/Annotation.h"
#include "pdf/ArrayReaders.h"
#include "raster/PathEdges.h"
#include "runtime/ArenaScope.h"
#include "runtime/Dictionary.h"
#include "viewer/LinkBorder.h"

namespace viewer {

using runtime::ObjectHandle;
using runtime::ObjectTag;

namespace {

int32_t LinkFlags(const ObjectHandle& annotation) {
  const ObjectHandle flags = runtime::Dictionary::Get(annotation, "F");
  return flags.Tag() == ObjectTag::kInteger ? flags->AsInteger() : 0;
}

}  // namespace

bool LinkBorderDecoration::ShowsBorder(const ObjectHandle& annotation) {
  if (!pdf::Annot::IsLink(annotation)) return false;
  const int32_t flags = LinkFlags(annotation);
  if ((flags & (pdf::kAnnotHidden | pdf::kAnnotNoView)) != 0) return false;
  const bool appearance = runtime::Dictionary::Get(annotation, "AP").Tag() == ObjectTag::kDictionary;
  return !appearance || (flags & pdf::kAnnotInvisible) != 0;
}

bool LinkBorderDecoration::Paint(content::ContentHandler& handler, const ObjectHandle& annotation,
                                 const runtime::Matrix& base) {
  if (!pdf::Annot::IsLink(annotation)) return false;
  // Hidden links, and links that show their appearance (or nothing, for
  // one that cannot be used), are left to the usual path.
  if (!ShowsBorder(annotation)) return false;
  auto* renderer = dynamic_cast<content::Renderer*>(&handler);
  if (renderer == nullptr) return true;
  const runtime::Rect rect = pdf::ReadRectArray(runtime::Dictionary::GetArray(annotation, "Rect"));
  const LinkBorderStroke stroke = LinkBorder::Describe(annotation, rect);
  if (!stroke.draw) return true;
  runtime::ArenaScope scope(renderer->Arena());
  raster::StoredPath path(renderer->Arena(), 8);
  const runtime::Rect& r = stroke.rect;
  path.MoveTo({r.x0, r.y0});
  path.LineTo({r.x1, r.y0});
  if (!stroke.underline) {
    path.LineTo({r.x1, r.y1});
    path.LineTo({r.x0, r.y1});
    path.Close();
  }
  const runtime::Fixed rgb[3] = {stroke.r, stroke.g, stroke.b};
  renderer->StrokeDeviceRgb(path.Points(), base, stroke.width, {stroke.dashes, stroke.dashCount}, rgb);
  return true;
}

}  // namespace viewer
