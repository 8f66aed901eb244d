#include "color/PatchMeshShading.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "color/SampledGeometry.h"
#include "raster/PixelRegion.h"
#include "runtime/ArenaScope.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Scheduler.h"

namespace color {
namespace {

// Subdivision halves a patch in one direction per level; device
// coordinates span at most 2^17 pixels and colour variations at most 2^31,
// so no sound patch needs more levels than this. Deeper pieces are painted
// as they stand.
constexpr int kMaxPatchDepth = 64;
// Work units per subdivision step.
constexpr int32_t kNodeCost = 100;

Fixed Mean(Fixed p, Fixed q) { return static_cast<Fixed>((static_cast<int64_t>(p) + q) >> 1); }

// The first (start, stride) of curve k: u-curves j = 0..3 run over i
// (stride 4), v-curves i = 0..3 over j (stride 1).
int CurveStart(int curve) { return curve < 4 ? curve : 4 * (curve - 4); }
int CurveStride(int curve) { return curve < 4 ? 4 : 1; }


// De Casteljau halving of the cubic a, b, c, d into two cubics.
void SplitHalf(const Fixed in[4], Fixed first[4], Fixed second[4]) {
  const Fixed ab = Mean(in[0], in[1]), bc = Mean(in[1], in[2]), cd = Mean(in[2], in[3]);
  const Fixed abc = Mean(ab, bc), bcd = Mean(bc, cd), mid = Mean(abc, bcd);
  first[0] = in[0];
  first[1] = ab;
  first[2] = abc;
  first[3] = mid;
  second[0] = mid;
  second[1] = bcd;
  second[2] = cd;
  second[3] = in[3];
}

// Where the chords (p0, p1) and (q0, q1) meet: a shared end point, or the
// crossing of their lines; false for parallel lines.
bool MeetingPoint(double p0x, double p0y, double p1x, double p1y, double q0x, double q0y, double q1x, double q1y,
                  double& x, double& y) {
  for (const auto& [px, py] : {std::pair{p0x, p0y}, std::pair{p1x, p1y}})
    for (const auto& [qx, qy] : {std::pair{q0x, q0y}, std::pair{q1x, q1y}})
      if (px == qx && py == qy) {
        x = px;
        y = py;
        return true;
      }
  const double rx = p1x - p0x, ry = p1y - p0y, sx = q1x - q0x, sy = q1y - q0y;
  const double denominator = rx * sy - ry * sx;
  if (denominator == 0 || !std::isfinite(denominator)) return false;
  const double t = ((q0x - p0x) * sy - (q0y - p0y) * sx) / denominator;
  x = p0x + t * rx;
  y = p0y + t * ry;
  return std::isfinite(x) && std::isfinite(y);
}

}  // namespace

// ---- PatchNode ----

runtime::IntRect PatchNode::PixelBounds() const {
  const auto [lowX, highX] = std::minmax_element(x, x + 16);
  const auto [lowY, highY] = std::minmax_element(y, y + 16);
  auto out = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, -32767, 32767)); };
  return {out((*lowX >> 16) - 2), out((*lowY >> 16) - 2), out(((int64_t{*highX} + 0xFFFF) >> 16) + 2),
          out(((int64_t{*highY} + 0xFFFF) >> 16) + 2)};
}

int PatchNode::CornerSign(int corner) const {
  // Each corner with the edge to the next corner (going round P(0,0),
  // P(0,3), P(3,3), P(3,0)) and the edge back to the previous one.
  static constexpr int kCorner[4][3] = {{0, 1, 4}, {3, 7, 2}, {15, 14, 11}, {12, 8, 13}};
  const int c = kCorner[corner][0], n = kCorner[corner][1], p = kCorner[corner][2];
  const int64_t nx = int64_t{x[n]} - x[c], ny = int64_t{y[n]} - y[c];
  const int64_t px = int64_t{x[p]} - x[c], py = int64_t{y[p]} - y[c];
  // Products of 33-bit differences: compared, never summed past 64 bits.
  const __int128 cross = static_cast<__int128>(nx) * py - static_cast<__int128>(ny) * px;
  return cross < 0 ? -1 : (cross > 0 ? 1 : 0);
}

void PatchNode::ClassifyCurve(int curve, uint8_t wanted, bool boundary) {
  uint8_t& f = curves[curve];
  if ((f & wanted) == wanted) return;
  const Fixed size = boundary ? params->size0 : params->size1;
  const Fixed flatness = boundary ? params->flat0 : params->flat1;
  const Fixed evenness = boundary ? params->even0 : params->even1;
  const int start = CurveStart(curve), stride = CurveStride(curve);
  int64_t px[4], py[4];
  for (int k = 0; k < 4; ++k) {
    px[k] = x[start + k * stride];
    py[k] = y[start + k * stride];
  }
  if ((f & kSmall) == 0) {
    const auto [lowX, highX] = std::minmax_element(px, px + 4);
    const auto [lowY, highY] = std::minmax_element(py, py + 4);
    if (std::max(*highX - *lowX, *highY - *lowY) <= size) f |= kSmall | kSettled;
    if ((f & wanted) == wanted) return;
  }
  if ((f & kFlat) == 0) {
    const double dx = double(px[3] - px[0]), dy = double(py[3] - py[0]);
    const double length = std::hypot(dx, dy);
    bool flat = true;
    for (int k = 1; k <= 2; ++k) {
      const double bx = double(px[k] - px[0]), by = double(py[k] - py[0]);
      const double distance = length >= flatness ? std::fabs(bx * dy - by * dx) / length : std::fabs(bx) + std::fabs(by);
      flat = flat && distance <= flatness;
    }
    if (flat) f |= kFlat;
  }
  if ((f & kFlat) != 0 && (f & kEven) == 0) {
    const int64_t thirdX = (2 * px[0] + px[3]) / 3, thirdY = (2 * py[0] + py[3]) / 3;
    const int64_t twoThirdsX = (px[0] + 2 * px[3]) / 3, twoThirdsY = (py[0] + 2 * py[3]) / 3;
    if (std::llabs(px[1] - thirdX) + std::llabs(py[1] - thirdY) <= evenness &&
        std::llabs(px[2] - twoThirdsX) + std::llabs(py[2] - twoThirdsY) <= evenness)
      f |= kEven | kSettled;
  }
}

void PatchNode::ClassifyCurves(uint8_t wanted) {
  if ((flags & kOutside) != 0) return;
  if ((flags & kInside) == 0) {
    const runtime::IntRect bounds = PixelBounds();
    if (raster::ContainsRect(params->region, bounds)) {
      flags |= kInside;
    } else if (raster::IntersectRects(params->region, bounds).IsEmpty()) {
      flags |= kOutside;
    }
  }
  ClassifyCurve(0, wanted, vs == 0);
  ClassifyCurve(3, wanted, ve == runtime::kFixedOne);
  if ((curves[0] & curves[3] & kSettled) != 0) {
    ClassifyCurve(1, wanted, false);
    ClassifyCurve(2, wanted, false);
  }
  ClassifyCurve(4, wanted, us == 0);
  ClassifyCurve(7, wanted, ue == runtime::kFixedOne);
  if ((curves[4] & curves[7] & kSettled) != 0) {
    ClassifyCurve(5, wanted, false);
    ClassifyCurve(6, wanted, false);
  }
}

bool PatchNode::NeedsSplitU() const { return (curves[0] & curves[1] & curves[2] & curves[3] & kSettled) == 0; }
bool PatchNode::NeedsSplitV() const { return (curves[4] & curves[5] & curves[6] & curves[7] & kSettled) == 0; }

void PatchNode::SplitU(PatchNode& first, PatchNode& second) const {
  for (PatchNode* child : {&first, &second}) {
    *child = *this;
    child->parent = this;
    child->variation = variation / 2;
    child->flags = static_cast<uint8_t>(flags | kLastSplitU);
  }
  for (int j = 0; j < 4; ++j) {
    Fixed in[4], a[4], b[4];
    for (int i = 0; i < 4; ++i) in[i] = x[4 * i + j];
    SplitHalf(in, a, b);
    for (int i = 0; i < 4; ++i) {
      first.x[4 * i + j] = a[i];
      second.x[4 * i + j] = b[i];
    }
    for (int i = 0; i < 4; ++i) in[i] = y[4 * i + j];
    SplitHalf(in, a, b);
    for (int i = 0; i < 4; ++i) {
      first.y[4 * i + j] = a[i];
      second.y[4 * i + j] = b[i];
    }
  }
  const Fixed middle = Mean(us, ue);
  first.ue = middle;
  second.us = middle;
  const uint8_t shared = curves[4] & curves[5] & curves[6] & curves[7];
  for (int i = 0; i < 4; ++i) first.curves[4 + i] = second.curves[4 + i] = shared;
  first.curves[4] = curves[4];
  second.curves[7] = curves[7];
  first.ClassifyCurves(kSettled);
  second.ClassifyCurves(kSettled);
}

void PatchNode::SplitV(PatchNode& first, PatchNode& second) const {
  for (PatchNode* child : {&first, &second}) {
    *child = *this;
    child->parent = this;
    child->variation = variation / 2;
    child->flags = static_cast<uint8_t>(flags & ~kLastSplitU);
  }
  for (int i = 0; i < 4; ++i) {
    SplitHalf(&x[4 * i], &first.x[4 * i], &second.x[4 * i]);
    SplitHalf(&y[4 * i], &first.y[4 * i], &second.y[4 * i]);
  }
  const Fixed middle = Mean(vs, ve);
  first.ve = middle;
  second.vs = middle;
  const uint8_t shared = curves[0] & curves[1] & curves[2] & curves[3];
  for (int j = 0; j < 4; ++j) first.curves[j] = second.curves[j] = shared;
  first.curves[0] = curves[0];
  second.curves[3] = curves[3];
  first.ClassifyCurves(kSettled);
  second.ClassifyCurves(kSettled);
}

void PatchNode::EmitQuad(TriangleVertex* corners, int32_t values) const {
  // The farthest ancestor whose curve on a side is this node's side and is
  // drawn as its chord.
  auto farthest = [this](int curve, Fixed PatchNode::*parameter) {
    const PatchNode* node = this;
    while (node->parent != nullptr && (node->parent->curves[curve] & kSettled) != 0 &&
           node->parent->*parameter == this->*parameter)
      node = node->parent;
    return node;
  };
  struct Side {
    const PatchNode* owner;
    int from, to;  // the chord's end points
  };
  const Side g0{farthest(0, &PatchNode::vs), 0, 12}, g3{farthest(3, &PatchNode::ve), 3, 15};
  const Side h0{farthest(4, &PatchNode::us), 0, 3}, h3{farthest(7, &PatchNode::ue), 12, 15};
  const int index[4] = {0, 3, 15, 12};
  const Side* sides[4][2] = {{&g0, &h0}, {&g3, &h0}, {&g3, &h3}, {&g0, &h3}};
  const double limit = 4.0 * std::max(params->flat0, params->flat1);
  const Fixed us0 = us, ue0 = ue, vs0 = vs, ve0 = ve;
  const Fixed u[4] = {us0, us0, ue0, ue0}, v[4] = {vs0, ve0, ve0, vs0};
  for (int k = 0; k < 4; ++k) {
    TriangleVertex& out = corners[k];
    out.x = x[index[k]];
    out.y = y[index[k]];
    const Side& a = *sides[k][0];
    const Side& b = *sides[k][1];
    if (a.owner != b.owner) {
      double mx = 0, my = 0;
      if (MeetingPoint(a.owner->x[a.from], a.owner->y[a.from], a.owner->x[a.to], a.owner->y[a.to],
                       b.owner->x[b.from], b.owner->y[b.from], b.owner->x[b.to], b.owner->y[b.to], mx, my) &&
          std::fabs(mx - out.x) + std::fabs(my - out.y) <= limit) {
        out.x = RoundToFixed(mx / 65536.0);
        out.y = RoundToFixed(my / 65536.0);
      }
    }
    // Bilinear blend of the patch's corner colours at (u, v).
    const int64_t pu = u[k], pv = v[k];
    for (int32_t c = 0; c < values; ++c) {
      const int64_t c0 = patch->colours[0][c], c1 = patch->colours[1][c];
      const int64_t c2 = patch->colours[2][c], c3 = patch->colours[3][c];
      const int64_t low = c0 + ((c3 - c0) * pu >> 16), high = c1 + ((c2 - c1) * pu >> 16);
      out.values[c] = static_cast<Fixed>(
          std::clamp<int64_t>(low + ((high - low) * pv >> 16), runtime::kFixedMin, runtime::kFixedMax));
    }
    out.depth = v[k];
  }
}

// ---- PatchMeshShading ----

PatchMeshShading::PatchMeshShading(const ShadingRenderContext& render, const ShadingDict& dict, int32_t values)
    : MeshShadingSource(render.Setup(dict)),
      dict_(dict),
      colour_(render, dict_),
      fill_(*this, colour_, values),
      values_(values) {}

void PatchMeshShading::Paint(PatchDecoder& decoder) {
  colour_.Prepare();
  if (IsEmpty()) return;
  // The subdivision's nodes and the depth buffer live only while the mesh
  // is painted, in an arena of this frame.
  runtime::ArenaAllocator work(Context(), 16384, 8192);
  DepthBuffer depth(work);
  work_ = &work;
  depth_ = &depth;
  TensorPatch* patch = runtime::NewInArena<TensorPatch>(work);
  while (decoder.ReadPatch(*patch)) PaintPatch(*patch, true);
  work_ = nullptr;
  depth_ = nullptr;
}

void PatchMeshShading::PaintPatch(const TensorPatch& patch, bool transform) {
  PatchParams params;
  params.region = setup_.region;
  PatchNode root;
  std::copy(patch.x, patch.x + 16, root.x);
  std::copy(patch.y, patch.y + 16, root.y);
  if (transform)
    for (int k = 0; k < 16; ++k) TransformSaturating(setup_.ctm, root.x[k], root.y[k]);
  root.patch = &patch;
  root.params = &params;
  // How much the colour varies across the patch, in units of each
  // component's range when the space declares ranges.
  const std::span<const Fixed> ranges = dict_.space->Ranges();
  int64_t variation = 0;
  for (int32_t c = 0; c < values_; ++c) {
    int64_t v = std::llabs(int64_t{patch.colours[0][c]} - patch.colours[1][c] + patch.colours[2][c] -
                           patch.colours[3][c]) / 2;
    if (!dict_.functions.IsPresent() && ranges.size() >= 2 * static_cast<size_t>(c) + 2) {
      const int64_t width = int64_t{ranges[2 * c + 1]} - ranges[2 * c];
      if (width > 0) v = (v << 16) / width;
    }
    variation = std::max(variation, v);
  }
  root.variation = static_cast<Fixed>(std::min<int64_t>(variation, runtime::kFixedMax));
  root.ClassifyCurves(PatchNode::kSettled);
  params.expected = root.CornerSign(0);
  for (int k = 1; k < 4; ++k) params.folded = params.folded || root.CornerSign(k) != params.expected;
  PaintNode(root, params, 0);
  if (!params.folded) return;
  // A fold: paint again, nearer pieces (larger v) over farther ones.
  ++folded_;
  // The depth buffer stays in the arena's base for the next folded patch,
  // outside every scope of the subdivision.
  depth_->Reset(raster::IntersectRects(root.PixelBounds(), setup_.region));
  fill_.SetDepthBuffer(depth_);
  params.SetSecondPass();
  PaintNode(root, params, 0);
  fill_.SetDepthBuffer(nullptr);
}

void PatchMeshShading::PaintNode(PatchNode& node, PatchParams& params, int depth) {
  if (params.folded || (node.flags & PatchNode::kOutside) != 0) return;
  runtime::CheckStackSpace(Context()->scheduler);
  runtime::ChargeWork(Context(), kNodeCost);
  runtime::ArenaScope scope(*work_);
  auto* children = static_cast<PatchNode*>(work_->Alloc(2 * sizeof(PatchNode)));
  new (&children[0]) PatchNode;
  new (&children[1]) PatchNode;
  if (depth < kMaxPatchDepth && Subdivide(node, params, children[0], children[1])) {
    PaintNode(children[0], params, depth + 1);
    PaintNode(children[1], params, depth + 1);
    return;
  }
  if (params.folded) return;
  TriangleVertex corners[4];
  node.EmitQuad(corners, values_);
  fill_.AddQuad(corners[0], corners[1], corners[2], corners[3]);
}

bool PatchMeshShading::Subdivide(PatchNode& node, PatchParams& params, PatchNode& first, PatchNode& second) {
  const int sign = node.CornerSign(0);
  if (!params.secondPass && sign != params.expected) {
    params.folded = true;
    return false;
  }
  const bool lastU = (node.flags & PatchNode::kLastSplitU) != 0;
  const bool needU = node.NeedsSplitU(), needV = node.NeedsSplitV();
  if (lastU ? needV : needU) {
    lastU ? node.SplitV(first, second) : node.SplitU(first, second);
    return true;
  }
  if (lastU ? needU : needV) {
    lastU ? node.SplitU(first, second) : node.SplitV(first, second);
    return true;
  }
  node.ClassifyCurves(PatchNode::kSmall);
  const uint8_t* c = node.curves;
  if ((c[0] & c[3] & c[4] & c[7] & PatchNode::kSmall) != 0) return false;
  if (node.variation <= params.colourLimit) {
    if (((c[0] | c[3] | c[4] | c[7]) & PatchNode::kSmall) != 0) return false;
    bool same = true;
    for (int k = 1; k < 4; ++k) same = same && node.CornerSign(k) == sign;
    if (same) return false;
  }
  lastU ? node.SplitV(first, second) : node.SplitU(first, second);
  return true;
}

}  // namespace color
