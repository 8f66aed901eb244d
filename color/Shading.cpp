#include "color/Shading.h"

#include "color/AxialShading.h"
#include "color/ColorContext.h"
#include "color/FunctionShading.h"
#include "color/MeshShadings.h"
#include "color/RadialShading.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace color {
namespace {

using runtime::ObjectHandle;

template <class Rasteriser, class Params>
raster::PipelineNode* BuildSampled(const ShadingRenderContext& render, const ShadingDict& dict,
                                   const Params& params, uint32_t inputs) {
  // Types 1 to 3 are defined by their functions.
  dict.functions.CheckArity(dict.Components(), inputs);
  // Built first, then prepared: a throw while preparing finds a whole
  // object that its arena scope destroys.
  auto* shading = runtime::NewInArena<Rasteriser>(*render.target.arena, render, dict, params);
  shading->Prepare();
  return raster::ShadingSource::TakeStage(shading);
}

}  // namespace

raster::ShadingSetup ShadingRenderContext::Setup(const ShadingDict& dict) const {
  raster::ShadingSetup setup;
  setup.context = target.context;
  setup.arena = target.arena;
  setup.region = region;
  setup.ctm = ctm;
  setup.components = target.space ? target.space->ComponentCount() : 0;
  setup.hasBBox = dict.hasBBox;
  setup.bbox = dict.bbox;
  if (dict.hasBackground && dict.space && target.space && setup.components >= 1 &&
      static_cast<size_t>(setup.components) <= raster::kMaxComponents) {
    const Fixed* out = dict.background;
    Fixed converted[ShadingDict::kMaxComponents];
    if (!dict.space->Equals(*target.space) || dict.space->IsIndexed()) {
      ColorConverterPtr converter = dict.space->MakeConverterFixed(*target.space, target.intent, 0, false);
      if (!converter) runtime::ThrowRuntime(runtime::kOutOfMemory);
      converter->ConvertPixel(converted, 1, dict.background, 1);
      out = converted;
    }
    for (int32_t c = 0; c < setup.components; ++c) setup.background[c] = ClampedFixedToByte(out[c]);
    setup.hasBackground = true;
  }
  return setup;
}

raster::PipelineNode* Shading::Create(const ShadingTarget& target, const runtime::IntRect& region,
                                      const runtime::Matrix& ctm, uint32_t targetWord, bool ignoreBackground,
                                      const ObjectHandle& resources, const ObjectHandle& shading) {
  const ObjectHandle dictionary = shading.Resolved();
  if (!dictionary->Is(runtime::ObjectTag::kDictionary) || target.colors == nullptr || target.arena == nullptr)
    runtime::ThrowRuntime(runtime::kMalformed);
  const int32_t type = runtime::Dictionary::GetInteger(dictionary, "ShadingType");
  if (type < 1 || type > 7) runtime::ThrowRuntime(runtime::kMalformed);

  ShadingRenderContext render{target, region, ctm, targetWord, 0};
  ShadingDict dict;
  ShadingReader::ParseDict(dict, *target.colors, ignoreBackground, resources, dictionary);
  // A space that resolves to nothing (a Pattern) paints nothing.
  if (!dict.space || !target.space) return nullptr;
  switch (type) {
    case 1:
      return BuildSampled<FunctionShading>(render, dict, ShadingReader::ReadFunctionBased(dictionary), 2);
    case 2:
      return BuildSampled<AxialShading>(render, dict, ShadingReader::ReadAxial(dictionary), 1);
    case 3:
      return BuildSampled<RadialShading>(render, dict, ShadingReader::ReadRadial(dictionary), 1);
    default:
      return MeshShadings::Build(render, dict, type, dictionary);
  }
}

}  // namespace color
