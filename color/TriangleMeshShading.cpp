#include "color/TriangleMeshShading.h"

#include <algorithm>
#include <utility>

#include "runtime/ErrorTrap.h"

namespace color {

TriangleMeshShading::TriangleMeshShading(const ShadingRenderContext& render, const ShadingDict& dict,
                                         int32_t values)
    : MeshShadingSource(render.Setup(dict)),
      dict_(dict),
      colour_(render, dict_),
      fill_(*this, colour_, values),
      values_(values) {}

void TriangleMeshShading::Paint(TriangleDecoder& decoder) {
  colour_.Prepare();
  if (IsEmpty()) return;
  MeshVertex vertices[4];
  MeshVertex* va = &vertices[0];
  MeshVertex* vb = &vertices[1];
  MeshVertex* vc = &vertices[2];
  MeshVertex* spare = &vertices[3];
  bool started = false;  // a triangle has set va, vb and vc
  for (;;) {
    const int flag = decoder.NextVertex(*spare);
    if (flag == TriangleDecoder::kEnd) break;
    switch (flag) {
      case 0:
        std::swap(va, spare);
        if (decoder.NextVertex(*vb) == TriangleDecoder::kEnd || decoder.NextVertex(*vc) == TriangleDecoder::kEnd)
          runtime::ThrowRuntime(runtime::kMalformed);
        started = true;
        PaintTriangle(*va, *vb, *vc);
        break;
      case 1:
        if (!started) runtime::ThrowRuntime(runtime::kMalformed);
        PaintTriangle(*vb, *vc, *spare);
        // va <- vb, vb <- vc, vc <- new.
        std::swap(va, vb);
        std::swap(vb, vc);
        std::swap(vc, spare);
        break;
      case 2:
        if (!started) runtime::ThrowRuntime(runtime::kMalformed);
        PaintTriangle(*va, *vc, *spare);
        // vb <- vc, vc <- new; va stays.
        std::swap(vb, vc);
        std::swap(vc, spare);
        break;
      default:
        runtime::ThrowRuntime(runtime::kMalformed);
    }
  }
}

void TriangleMeshShading::PaintTriangle(const MeshVertex& a, const MeshVertex& b, const MeshVertex& c) {
  TriangleVertex v[3];
  const MeshVertex* from[3] = {&a, &b, &c};
  for (int i = 0; i < 3; ++i) {
    v[i].x = from[i]->x;
    v[i].y = from[i]->y;
    std::copy(from[i]->values, from[i]->values + values_, v[i].values);
  }
  fill_.Add(v[0], v[1], v[2], true, setup_.ctm);
}

}  // namespace color
