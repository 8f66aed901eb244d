#pragma once
// The patch sources of patch meshes: Coons patches (type 6, 12 boundary
// points) and tensor-product patches (type 7, 16 points), each with four
// corner colours; an edge flag 1 to 3 takes the first edge and two corner
// colours from the previous patch. The converting decoder takes the corner
// colours into the target's space for Indexed shading spaces.
#include <cstdint>

#include "color/MeshInput.h"
#include "color/TriangleMeshDecoders.h"

namespace color {

// P(i, j) at index 4 i + j, x values then y values; colours[k] belongs to
// the corners P(0,0), P(0,3), P(3,3), P(3,0) for k = 0 .. 3.
struct TensorPatch {
  Fixed x[16] = {};
  Fixed y[16] = {};
  Fixed colours[4][kMaxMeshValues] = {};
};

// The 12 boundary points in stream order, x values then y values.
struct CoonsPatch {
  Fixed x[12] = {};
  Fixed y[12] = {};
  Fixed colours[4][kMaxMeshValues] = {};

  // The tensor patch with the same boundary, its four inner points derived
  // from the boundary.
  static void ToTensor(const CoonsPatch& coons, TensorPatch& tensor);
};

class PatchDecoder {
 public:
  // The next patch as a tensor patch; false at the end of the data.
  virtual bool ReadPatch(TensorPatch& patch) = 0;

 protected:
  ~PatchDecoder() = default;
};

// The stream reading shared by both types: `points` points per patch in
// stream order, of which an edge flag 1 to 3 takes the first four from the
// previous patch.
class PatchStreamReader {
 public:
  PatchStreamReader(MeshInput& input, int32_t points) : input_(input), points_(points) {}
  // (runtime, 2) for a first patch whose flag refers to a previous one.
  bool Read();

  Fixed x[16] = {};
  Fixed y[16] = {};
  Fixed colours[4][kMaxMeshValues] = {};

 private:
  MeshInput& input_;
  int32_t points_;
  bool havePrevious_ = false;
};

class CoonsPatchMesh final : public PatchDecoder {
 public:
  explicit CoonsPatchMesh(MeshInput& input) : reader_(input, 12) {}
  bool ReadPatch(TensorPatch& patch) override;

 private:
  PatchStreamReader reader_;
};

class TensorPatchMesh final : public PatchDecoder {
 public:
  explicit TensorPatchMesh(MeshInput& input) : reader_(input, 16) {}
  bool ReadPatch(TensorPatch& patch) override;

 private:
  PatchStreamReader reader_;
};

class ConvertingPatchDecoder final : public PatchDecoder {
 public:
  ConvertingPatchDecoder(PatchDecoder& inner, const VertexColourConverter& converter)
      : inner_(inner), converter_(converter) {}
  bool ReadPatch(TensorPatch& patch) override {
    if (!inner_.ReadPatch(patch)) return false;
    for (auto& corner : patch.colours) converter_.Convert(corner);
    return true;
  }

 private:
  PatchDecoder& inner_;
  const VertexColourConverter& converter_;
};

}  // namespace color
