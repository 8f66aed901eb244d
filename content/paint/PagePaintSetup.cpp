#include "content/PagePaintSetup.h"

#include "content/Page.h"
#include "content/PageRenderer.h"
#include "pdf/Document.h"
#include "pdf/Page.h"
#include "pdf/PageTree.h"
#include "runtime/Dictionary.h"

namespace content {

namespace {

runtime::ObjectHandle LoadPage(pdf::Document& document, int32_t index) {
  const runtime::ObjectReference reference = pdf::PageTree::FindPageRef(document, index);
  return document.GetObject(reference.number, reference.generation);
}

ContentMachine* NewMachineOrThrow(pdf::Document& document, const runtime::ObjectHandle& page) {
  ContentMachine* machine = Page::NewMachine(document, page);
  if (machine == nullptr) runtime::ThrowRuntime(runtime::kOutOfMemory);
  return machine;
}

}  // namespace

PagePaintSetup::PagePaintSetup(pdf::Document& document, int32_t index)
    : document_(document),
      page_(LoadPage(document, index)),
      boxes_(pdf::PageBoxes::Read(page_)),
      unit_(runtime::FixedToDouble(pdf::PageBoxes::ReadUnit(page_))),
      resources_(pdf::Page::GetResources(page_).resources),
      holder_(document.Context(), NewMachineOrThrow(document, page_)) {}

runtime::Matrix PagePaintSetup::DeviceMatrix(int32_t rotation, double dpi, int32_t& width, int32_t& height) const {
  return PageRenderer::PageMatrix(boxes_.box, rotation, dpi * unit_, width, height);
}

PageInfo PagePaintSetup::Info(const runtime::Matrix& matrix, FontSource* fonts, FormCache* forms,
                              raster::SmallImageCache* images) const {
  PageInfo info;
  info.document = &document_;
  info.matrix = matrix;
  info.fonts = fonts;
  info.forms = forms;
  info.images = images;
  info.structParents = runtime::Dictionary::GetIntegerOr(page_, "StructParents", -1);
  return info;
}

}  // namespace content
