#include "color/TriangleMeshDecoders.h"

#include <algorithm>

#include "runtime/ErrorTrap.h"

namespace color {

int FreeFormMesh::NextVertex(MeshVertex& vertex) {
  if (input_.AtEnd()) return kEnd;
  const uint32_t flag = input_.ReadFlag();
  input_.ReadPoint(vertex.x, vertex.y);
  input_.ReadColour(vertex.values);
  input_.Align();
  input_.Charge();
  return static_cast<int>(flag & 0xFF);
}

LatticeMesh::LatticeMesh(MeshInput& input, runtime::ArenaAllocator& arena, int32_t verticesPerRow)
    : input_(input), perRow_(verticesPerRow) {
  // A row needs at least one byte per vertex, so no sane stream has more
  // vertices per row than this; the bound keeps the row arrays small.
  constexpr int32_t kMaxPerRow = 1 << 16;
  if (verticesPerRow < 2 || verticesPerRow > kMaxPerRow) runtime::ThrowRuntime(runtime::kMalformed);
  rowA_ = static_cast<MeshVertex*>(arena.Alloc(sizeof(MeshVertex) * static_cast<size_t>(verticesPerRow)));
  rowB_ = static_cast<MeshVertex*>(arena.Alloc(sizeof(MeshVertex) * static_cast<size_t>(verticesPerRow)));
  ReadRow(rowA_);
  ReadRow(rowB_);
}

void LatticeMesh::ReadRow(MeshVertex* row) {
  for (int32_t i = 0; i < perRow_; ++i) {
    row[i] = MeshVertex{};
    input_.ReadVertex(row[i]);
    input_.Charge();
  }
}

int LatticeMesh::NextVertex(MeshVertex& vertex) {
  if (next_ == 2 * perRow_) {
    if (input_.AtEnd()) return kEnd;
    std::swap(rowA_, rowB_);
    ReadRow(rowB_);
    next_ = 0;
  }
  const int32_t i = next_++;
  vertex = (i % 2 == 0 ? rowA_ : rowB_)[i / 2];
  return i == 0 ? 0 : 1;
}

VertexColourConverter::VertexColourConverter(const ShadingDict& dict, ColorSpace& target, int32_t intent)
    : dict_(dict), indexed_(dict.space->IsIndexed()) {
  converter_ = dict.space->MakeConverterFixed(target, intent, 0, false);
  if (!converter_) runtime::ThrowRuntime(runtime::kOutOfMemory);
}

void VertexColourConverter::Convert(Fixed* values) const {
  Fixed source[kMaxMeshValues];
  if (dict_.functions.IsPresent()) {
    dict_.functions.Evaluate(source, values);
  } else {
    std::copy(values, values + dict_.Components(), source);
  }
  if (indexed_) source[0] = static_cast<Fixed>((static_cast<int64_t>(source[0]) + 0x8000) & ~int64_t{0xFFFF});
  converter_->ConvertPixel(values, 1, source, 1);
}

}  // namespace color
