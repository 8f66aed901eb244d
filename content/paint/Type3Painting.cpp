#include "content/paint/Type3Painting.h"

#include <algorithm>
#include <cstring>

#include "color/ColorContext.h"
#include "content/ContentStream.h"
#include "content/Renderer.h"
#include "fonts/DocumentFontSource.h"
#include "fonts/GlyphProcedurePainter.h"
#include "fonts/Type3Font.h"
#include "raster/GlyphRun.h"
#include "raster/PixelTriple.h"
#include "raster/RasterDevice.h"
#include "raster/PixelRegion.h"
#include "raster/Renderer.h"
#include "runtime/Matrix.h"
#include "runtime/FreshThreadCall.h"

namespace content {

using raster::IntersectRects;
using runtime::Matrix;

namespace {

// Plays a glyph procedure for its shape alone: colour operators are passed
// over, so everything paints in the initial black and the layer's alpha
// is the glyph's coverage.
class GlyphShapeRenderer final : public Renderer {
 public:
  using Renderer::Renderer;
  void SetColorSpace(ColorSpaceKind, bool, std::string_view) override {}
  void SetColor(bool, uint32_t, const runtime::Fixed*, std::string_view) override {}
};

class Type3CoveragePainter final : public fonts::GlyphProcedurePainter {
 public:
  void PaintCoverage(fonts::Type3Font& font, uint32_t glyph, const runtime::Matrix& placement,
                     const runtime::IntRect& box, uint8_t* coverage) override {
    runtime::LibraryContext* context = font.Context();
    pdf::Document& document = font.Document();
    content::FormCache::Ref held;
    ContentMachine* machine = font.Procedure(held, glyph, nullptr);
    if (machine == nullptr || box.IsEmpty()) return;
    runtime::ArenaAllocator arena(context, 16384, 4096);
    color::ColorContext colors(context, &document);
    const color::ColorSpaceRef gray = colors.DeviceGray();
    fonts::DocumentFontSource fontSource(document);
    PaintContext paint;
    paint.owner = context;
    paint.layer = raster::RasterDevice::CreateForTarget(context, arena, box, gray.Get());
    paint.colors = &colors;
    paint.arena = &arena;
    paint.pageWidth = box.x1;
    paint.pageHeight = box.y1;
    paint.page.document = &document;
    paint.page.matrix = placement;
    paint.page.fonts = &fontSource;
    {
      GlyphShapeRenderer renderer(paint, 0, &machine->Resources(), nullptr);
      ContentStream::Run(*machine, renderer);
    }
    CopyCoverage(*paint.layer, box, coverage);
  }

 private:
  // The layer's alpha, row by row; 255 minus the gray where it keeps none.
  static void CopyCoverage(const raster::RasterDevice& layer, const runtime::IntRect& box, uint8_t* coverage) {
    const raster::PixelTriple& planes = layer.Target();
    const bool hasAlpha = planes.alpha != nullptr && !planes.alpha->IsSharedConstant();
    const raster::PixelPlane& plane = hasAlpha ? *planes.alpha : *planes.colour;
    const int32_t width = box.x1 - box.x0;
    for (int32_t y = box.y0; y < box.y1; ++y) {
      const uint8_t* row = plane.base + (static_cast<int64_t>(y) - plane.rect.y0) * plane.format.rowStep +
                           plane.format.firstOffset;
      uint8_t* out = coverage + static_cast<size_t>(y - box.y0) * static_cast<size_t>(width);
      for (int32_t x = 0; x < width; ++x) {
        const uint8_t v = row[static_cast<int64_t>(box.x0 + x - plane.rect.x0) * plane.format.columnStep];
        out[x] = hasAlpha ? v : static_cast<uint8_t>(255 - v);
      }
    }
  }
};

Type3CoveragePainter type3CoveragePainter;

}  // namespace

void InstallType3GlyphPainter() { fonts::GlyphProcedurePainter::Install(&type3CoveragePainter); }

bool Renderer::ShowType3Procedures(const raster::GlyphRun& run, uint8_t mode) {
  auto& font = static_cast<fonts::Type3Font&>(run.Font());
  // Clipping alone takes the glyphs' coverage; fonts drawn as coverage go
  // the way of every other font's glyphs.
  if (!font.DrawsByProcedure() || mode == 3 || mode == 7) return false;
  if (mode >= 4) TextSide().AddTextToClip(run);
  const IntRect clip = ClipBounds();
  const runtime::Rect box = font.GlyphSpaceBox();
  for (const raster::GlyphRecord& record : run.Records()) {
    if (record.glyph == 0) continue;
    Matrix placed = run.GlyphMatrix();
    placed.e = record.origin.x;
    placed.f = record.origin.y;
    const Matrix glyphMatrix = font.GlyphToSpace(placed);
    // Glyphs far off the clip are not run; the box of a font drawn by
    // procedure is only a guess, so the test keeps an em on every side.
    if (Matrix::CanTransformRect(glyphMatrix, box)) {
      const IntRect pixels = runtime::Rect::ToPixelBounds(Matrix::TransformRectBounds(box, glyphMatrix));
      const int32_t em = std::max(pixels.x1 - pixels.x0, pixels.y1 - pixels.y0);
      if (IntersectRects(IntRect{pixels.x0 - em, pixels.y0 - em, pixels.x1 + em, pixels.y1 + em}, clip).IsEmpty())
        continue;
    }
    // An error in a glyph ends that glyph; the text and the page go on.
    PlayConfined([&] {
      FormCache::Ref held;
      ContentMachine* machine = font.Procedure(held, record.glyph, State().resources);
      if (machine == nullptr) return;
      fonts::Type3Font::Drawing drawing(font);
      const Matrix textMatrix = TextMatrix(), lineMatrix = LineMatrix();
      const bool inText = inText_;
      auto play = [&] {
        runtime::CheckStackSpace(Owner()->scheduler);
        StateCopy copy(*this);
        State().ctm = glyphMatrix;
        State().resources = &machine->Resources();
        // The procedure's own text objects start and end inside it; its
        // paint objects are freed when it ends.
        inText_ = false;
        RunContent(*machine);
      };
      struct Restore {
        Renderer& renderer;
        const Matrix& text;
        const Matrix& line;
        bool inText;
        ~Restore() {
          renderer.SetTextMatrix(line);
          renderer.SetTextMatrixAfterShow(text);
          renderer.inText_ = inText;
        }
      } restore{*this, textMatrix, lineMatrix, inText};
      runtime::RunWithStack(Owner(), play);
    });
    FlushAndYield();
  }
  return true;
}

}  // namespace content
