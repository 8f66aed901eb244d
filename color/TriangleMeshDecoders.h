#pragma once
// The vertex sources of triangle meshes: the free-form stream (type 4, each
// vertex with an edge flag), the lattice (type 5, rows of VerticesPerRow
// vertices emitted as a strip), and the converting decoder that takes every
// vertex colour into the target's space when the shading's space cannot be
// interpolated (Indexed).
#include <cstdint>

#include "color/ColorConverter.h"
#include "color/MeshInput.h"
#include "color/ShadingDict.h"
#include "runtime/ArenaAllocator.h"

namespace color {

class TriangleDecoder {
 public:
  static constexpr int kEnd = 255;
  // The next vertex and its edge flag (0 starts a triangle, 1 and 2 reuse
  // edges of the previous one), or kEnd when the data is finished.
  virtual int NextVertex(MeshVertex& vertex) = 0;

 protected:
  ~TriangleDecoder() = default;
};

class FreeFormMesh final : public TriangleDecoder {
 public:
  explicit FreeFormMesh(MeshInput& input) : input_(input) {}
  int NextVertex(MeshVertex& vertex) override;

 private:
  MeshInput& input_;
};

class LatticeMesh final : public TriangleDecoder {
 public:
  // Reads the first two rows. (runtime, 2) for "VerticesPerRow" below 2 or
  // above what the data can hold, or data shorter than two rows.
  LatticeMesh(MeshInput& input, runtime::ArenaAllocator& arena, int32_t verticesPerRow);
  int NextVertex(MeshVertex& vertex) override;

 private:
  void ReadRow(MeshVertex* row);

  MeshInput& input_;
  int32_t perRow_;
  MeshVertex* rowA_;
  MeshVertex* rowB_;
  int32_t next_ = 0;  // 0 .. 2 perRow
};

// Evaluates the shading's functions at the vertex (when it has them), and
// converts its colour into the target space; an index into an Indexed
// space is rounded to the nearest entry first.
class VertexColourConverter {
 public:
  VertexColourConverter(const ShadingDict& dict, ColorSpace& target, int32_t intent);
  void Convert(Fixed* values) const;

 private:
  const ShadingDict& dict_;
  ColorConverterPtr converter_;
  bool indexed_;
};

class ConvertingTriangleDecoder final : public TriangleDecoder {
 public:
  ConvertingTriangleDecoder(TriangleDecoder& inner, const VertexColourConverter& converter)
      : inner_(inner), converter_(converter) {}
  int NextVertex(MeshVertex& vertex) override {
    const int flag = inner_.NextVertex(vertex);
    if (flag != kEnd) converter_.Convert(vertex.values);
    return flag;
  }

 private:
  TriangleDecoder& inner_;
  const VertexColourConverter& converter_;
};

}  // namespace color
