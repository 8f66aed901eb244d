#pragma once
// What painting a page starts from: the page object with its boxes and
// unit, its resources, the machine that plays its content, and the page
// description that every band of it is painted over. The page renderer
// and the reflow painter both start here, so the page's unit, its
// structure parents and its resources reach what they paint alike.
//
//   content::PagePaintSetup setup(document, index);
//   int32_t width = 0, height = 0;
//   const runtime::Matrix matrix = setup.DeviceMatrix(setup.Boxes().rotation, dpi, width, height);
//   const content::PageInfo info = setup.Info(matrix, fonts, &forms, &images);
//   content::ContentStream::Run(setup.Machine(), renderer);
#include <cstdint>

#include "content/ContentHandler.h"
#include "content/ContentOwner.h"
#include "pdf/PageBoxes.h"
#include "runtime/Matrix.h"
#include "runtime/ObjectHandle.h"

namespace pdf {
class Document;
}
namespace raster {
class SmallImageCache;
}

namespace content {

class FormCache;

class PagePaintSetup {
 public:
  // Loads page `index` (from 0) and builds the machine over its content.
  // Errors of the page tree and of the page's boxes are raised; a machine
  // that finds no memory raises (runtime, out of memory).
  PagePaintSetup(pdf::Document& document, int32_t index);
  PagePaintSetup(const PagePaintSetup&) = delete;
  PagePaintSetup& operator=(const PagePaintSetup&) = delete;

  // The matrix from the page's user space, turned `rotation` degrees
  // clockwise, to device pixels at `dpi`, a page unit counting as the page
  // says; the device size goes to `width` and `height`. (runtime,
  // overflow) for a page wider or taller than the renderer takes.
  runtime::Matrix DeviceMatrix(int32_t rotation, double dpi, int32_t& width, int32_t& height) const;
  // The page painted through `matrix`, with the document's caches.
  PageInfo Info(const runtime::Matrix& matrix, FontSource* fonts, FormCache* forms,
                raster::SmallImageCache* images) const;

  const runtime::ObjectHandle& Page() const { return page_; }
  const pdf::PageBoxes& Boxes() const { return boxes_; }
  // Points per unit of the page's user space.
  double Unit() const { return unit_; }
  const runtime::ObjectHandle& Resources() const { return resources_; }
  ContentMachine& Machine() const { return *holder_.Get(); }

 private:
  pdf::Document& document_;
  runtime::ObjectHandle page_;
  pdf::PageBoxes boxes_;
  double unit_ = 1.0;
  runtime::ObjectHandle resources_;
  MachineHolder holder_;
};

}  // namespace content
