#include "color/MeshShadings.h"

#include "color/ColorContext.h"
#include "color/MeshInput.h"
#include "color/PatchMeshDecoders.h"
#include "color/PatchMeshShading.h"
#include "color/TriangleMeshDecoders.h"
#include "color/TriangleMeshShading.h"
#include "pdf/Document.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace color {
namespace {

using runtime::ObjectHandle;

// The rasteriser over `decoder`, built in the target's arena.
template <class Rasteriser, class Decoder>
raster::PipelineNode* Rasterise(const ShadingRenderContext& render, const ShadingDict& dict, Decoder& decoder,
                                int32_t values) {
  // Built first, then painted: a throw while the mesh is decoded finds a
  // whole object that its arena scope destroys.
  auto* shading = runtime::NewInArena<Rasteriser>(*render.target.arena, render, dict, values);
  shading->Paint(decoder);
  return raster::ShadingSource::TakeStage(shading);
}

// Shadings in an Indexed space are interpolated in the target's space: the
// decoder converts each vertex (or patch corner) colour, and the mesh is
// painted as a shading of the target space without functions.
template <class Rasteriser, class Decoder, class Converting>
raster::PipelineNode* BuildStep(const ShadingRenderContext& render, const ShadingDict& dict, Decoder& decoder,
                                int32_t values) {
  if (!dict.space->IsIndexed()) return Rasterise<Rasteriser>(render, dict, decoder, values);
  ColorSpace& target = *render.target.space;
  if (target.IsIndexed()) return nullptr;
  ShadingDict converted;
  converted.space = render.target.space;
  converted.hasBBox = dict.hasBBox;
  converted.bbox = dict.bbox;
  converted.antiAlias = dict.antiAlias;
  if (dict.hasBackground) {
    ColorConverterPtr converter = dict.space->MakeConverterFixed(target, render.target.intent, 0, false);
    if (!converter) runtime::ThrowRuntime(runtime::kOutOfMemory);
    converter->ConvertPixel(converted.background, 1, dict.background, 1);
    converted.hasBackground = true;
  }
  VertexColourConverter vertexConverter(dict, target, render.target.intent);
  Converting converting(decoder, vertexConverter);
  return Rasterise<Rasteriser>(render, converted, converting, target.ComponentCount());
}

}  // namespace

raster::PipelineNode* MeshShadings::Build(const ShadingRenderContext& render, const ShadingDict& dict, int32_t type,
                                          const ObjectHandle& shading) {
  // With a function each vertex carries the parameter t, else a colour.
  int32_t values = dict.Components();
  if (dict.functions.IsPresent()) {
    dict.functions.CheckArity(dict.Components(), 1);
    values = 1;
  }
  runtime::LibraryContext* context = render.target.context;
  MeshInput input(context, shading, render.target.colors->Document(), values, type == 5);
  switch (type) {
    case 4: {
      FreeFormMesh decoder(input);
      return BuildStep<TriangleMeshShading, TriangleDecoder, ConvertingTriangleDecoder>(render, dict, decoder,
                                                                                        values);
    }
    case 5: {
      // The two rows live only while the mesh is painted.
      runtime::ArenaAllocator rows(context, 16384, 4096);
      const int32_t perRow = runtime::Dictionary::GetInteger(shading, "VerticesPerRow");
      LatticeMesh decoder(input, rows, perRow);
      return BuildStep<TriangleMeshShading, TriangleDecoder, ConvertingTriangleDecoder>(render, dict, decoder,
                                                                                        values);
    }
    case 6: {
      CoonsPatchMesh decoder(input);
      return BuildStep<PatchMeshShading, PatchDecoder, ConvertingPatchDecoder>(render, dict, decoder, values);
    }
    default: {
      TensorPatchMesh decoder(input);
      return BuildStep<PatchMeshShading, PatchDecoder, ConvertingPatchDecoder>(render, dict, decoder, values);
    }
  }
}

}  // namespace color
