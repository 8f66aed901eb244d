#include "color/PatchMeshDecoders.h"

#include <algorithm>

#include "runtime/ErrorTrap.h"

namespace color {
namespace {

// Where the stream's points go in a tensor patch (index 4 i + j): the
// boundary P(0,0) .. P(0,3) .. P(3,3) .. P(3,0) .. P(1,0), then the inner
// points P(1,1) P(1,2) P(2,2) P(2,1).
constexpr int kTensorOrder[16] = {0, 1, 2, 3, 7, 11, 15, 14, 13, 12, 8, 4, 5, 6, 10, 9};
// The previous patch's points that an edge flag 1, 2 or 3 takes as the
// first four (stream positions).
constexpr int kSharedEdge[3][4] = {{3, 4, 5, 6}, {6, 7, 8, 9}, {9, 10, 11, 0}};

Fixed Saturate(int64_t v) { return static_cast<Fixed>(std::clamp<int64_t>(v, runtime::kFixedMin, runtime::kFixedMax)); }

}  // namespace

bool PatchStreamReader::Read() {
  if (input_.AtEnd()) return false;
  const uint32_t flag = input_.ReadFlag();
  if (flag != 0 && !havePrevious_) runtime::ThrowRuntime(runtime::kMalformed);
  const int32_t values = input_.Values();
  int first = 0;
  if (flag >= 1 && flag <= 3) {
    Fixed sharedX[4], sharedY[4];
    for (int k = 0; k < 4; ++k) {
      sharedX[k] = x[kSharedEdge[flag - 1][k]];
      sharedY[k] = y[kSharedEdge[flag - 1][k]];
    }
    std::copy(sharedX, sharedX + 4, x);
    std::copy(sharedY, sharedY + 4, y);
    // Corner colours follow the shared edge: flag f starts at corner f.
    Fixed c0[kMaxMeshValues], c1[kMaxMeshValues];
    std::copy(colours[flag], colours[flag] + values, c0);
    std::copy(colours[(flag + 1) % 4], colours[(flag + 1) % 4] + values, c1);
    std::copy(c0, c0 + values, colours[0]);
    std::copy(c1, c1 + values, colours[1]);
    first = 4;
  } else if (flag > 3) {
    // Other flags keep the first edge and colours the record holds.
    first = 4;
  }
  for (int k = first; k < points_; ++k) {
    input_.ReadPoint(x[k], y[k]);
    input_.Charge();
  }
  for (int k = first == 0 ? 0 : 2; k < 4; ++k) input_.ReadColour(colours[k]);
  input_.Align();
  havePrevious_ = true;
  return true;
}

bool TensorPatchMesh::ReadPatch(TensorPatch& patch) {
  if (!reader_.Read()) return false;
  for (int k = 0; k < 16; ++k) {
    patch.x[kTensorOrder[k]] = reader_.x[k];
    patch.y[kTensorOrder[k]] = reader_.y[k];
  }
  std::copy(&reader_.colours[0][0], &reader_.colours[0][0] + 4 * kMaxMeshValues, &patch.colours[0][0]);
  return true;
}

bool CoonsPatchMesh::ReadPatch(TensorPatch& patch) {
  if (!reader_.Read()) return false;
  CoonsPatch coons;
  std::copy(reader_.x, reader_.x + 12, coons.x);
  std::copy(reader_.y, reader_.y + 12, coons.y);
  std::copy(&reader_.colours[0][0], &reader_.colours[0][0] + 4 * kMaxMeshValues, &coons.colours[0][0]);
  CoonsPatch::ToTensor(coons, patch);
  return true;
}

void CoonsPatch::ToTensor(const CoonsPatch& coons, TensorPatch& tensor) {
  for (int k = 0; k < 12; ++k) {
    tensor.x[kTensorOrder[k]] = coons.x[k];
    tensor.y[kTensorOrder[k]] = coons.y[k];
  }
  std::copy(&coons.colours[0][0], &coons.colours[0][0] + 4 * kMaxMeshValues, &tensor.colours[0][0]);
  // Each inner point from the boundary, in 64-bit sums:
  // (-4 corner + 6 (two neighbours) - 2 (two far corners) + 3 (two far
  // neighbours) - opposite corner) / 9.
  auto inner = [](const Fixed* p, int corner, int n1, int n2, int f1, int f2, int g1, int g2, int opposite) {
    const int64_t sum = -4 * int64_t{p[corner]} + 6 * (int64_t{p[n1]} + p[n2]) - 2 * (int64_t{p[f1]} + p[f2]) +
                        3 * (int64_t{p[g1]} + p[g2]) - p[opposite];
    return Saturate(sum / 9);
  };
  for (Fixed* p : {tensor.x, tensor.y}) {
    // Indices 4 i + j of P(i, j).
    p[5] = inner(p, 0, 1, 4, 3, 12, 13, 7, 15);     // P(1,1)
    p[6] = inner(p, 3, 2, 7, 0, 15, 14, 4, 12);     // P(1,2)
    p[9] = inner(p, 12, 13, 8, 15, 0, 1, 11, 3);    // P(2,1)
    p[10] = inner(p, 15, 14, 11, 12, 3, 2, 8, 0);   // P(2,2)
  }
}

}  // namespace color
