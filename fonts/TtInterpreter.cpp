#include "fonts/TtInterpreter.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "fonts/TtFixedMath.h"
#include "runtime/Fixed.h"

namespace fonts {

namespace {

constexpr uint32_t kMaxCallDepth = 100;

struct TtCallFrame {
  const uint8_t* returnIp;
  const uint8_t* base;
  const uint8_t* end;
  const uint8_t* bodyStart;
  const uint8_t* bodyEnd;
  uint32_t loopsLeft;
};

struct TTExecContext;
using TtHandler = const uint8_t* (*)(TTExecContext&, const uint8_t*);
using TtProject = int32_t (*)(const TTExecContext&, int32_t, int32_t);
using TtMove = void (*)(TTExecContext&, GlyphZone&, uint32_t, int32_t);

struct TTExecContext {
  explicit TTExecContext(TtInstanceState& s) : st(s), gs(s.current) {}
  TtInstanceState& st;
  TtGraphicsState& gs;
  GlyphZone* zones[2] = {nullptr, nullptr};  // 0 twilight, 1 glyph
  uint32_t zoneLimit[2] = {0, 0};
  int zp[3] = {1, 1, 1};
  uint32_t rp[3] = {0, 0, 0};
  int32_t loop = 1;
  UnitVector proj, free, dual;
  int32_t fdotp = 16384;
  int32_t projRatio = 0x10000;
  TtProject project = nullptr;
  TtProject dualProject = nullptr;
  TtMove move = nullptr;
  int32_t* stack = nullptr;
  uint32_t sp = 0;
  uint32_t capacity = 0;
  const uint8_t* base = nullptr;
  const uint8_t* end = nullptr;
  TtProgramKind kind = TtProgramKind::kGlyph;
  uint32_t error = 0;
  uint32_t jumpsLeft = 0;
  uint32_t instructionsLeft = 0;
  bool unscaledUsable = true;
  TtCallFrame frames[kMaxCallDepth];
  uint32_t depth = 0;

  GlyphZone& Zone(int slot) { return *zones[zp[slot]]; }
  bool PointOk(int slot, int32_t p) const {
    return p >= 0 && static_cast<uint32_t>(p) < zoneLimit[zp[slot]];
  }
  const uint8_t* Fail(uint32_t code) {
    if (error == 0) error = code;
    return end;
  }
};

// ---- Projection and moves ----

int32_t ProjectX(const TTExecContext&, int32_t dx, int32_t) { return dx; }
int32_t ProjectY(const TTExecContext&, int32_t, int32_t dy) { return dy; }
int32_t ProjectAny(const TTExecContext& c, int32_t dx, int32_t dy) {
  const int64_t sum = int64_t{dx} * c.proj.x + int64_t{dy} * c.proj.y;
  const int64_t r = (sum + 0x2000) >> 14;
  return static_cast<int32_t>(std::clamp<int64_t>(r, INT32_MIN, INT32_MAX));
}
int32_t DualProjectAny(const TTExecContext& c, int32_t dx, int32_t dy) {
  const int64_t sum = int64_t{dx} * c.dual.x + int64_t{dy} * c.dual.y;
  const int64_t r = (sum + 0x2000) >> 14;
  return static_cast<int32_t>(std::clamp<int64_t>(r, INT32_MIN, INT32_MAX));
}

void MoveX(TTExecContext&, GlyphZone& z, uint32_t p, int32_t d) {
  z.curX[p] += d;
  z.touch[p] |= GlyphZone::kTouchX;
}
void MoveY(TTExecContext&, GlyphZone& z, uint32_t p, int32_t d) {
  z.curY[p] += d;
  z.touch[p] |= GlyphZone::kTouchY;
}
void MoveAny(TTExecContext& c, GlyphZone& z, uint32_t p, int32_t d) {
  // A freedom vector (nearly) perpendicular to the projection cannot move
  // a point along the projection: no move.
  if (c.fdotp > -0x400 && c.fdotp < 0x400) return;
  if (c.free.x != 0) {
    z.curX[p] += c.free.x == c.fdotp ? d : FixedMulDiv(d, c.free.x, c.fdotp);
    z.touch[p] |= GlyphZone::kTouchX;
  }
  if (c.free.y != 0) {
    z.curY[p] += c.free.y == c.fdotp ? d : FixedMulDiv(d, c.free.y, c.fdotp);
    z.touch[p] |= GlyphZone::kTouchY;
  }
}
// The same on the reference coordinates (twilight set-ups).
void MoveReference(TTExecContext& c, GlyphZone& z, uint32_t p, int32_t d) {
  if (c.fdotp > -0x400 && c.fdotp < 0x400) return;
  if (c.free.x != 0) z.refX[p] += FixedMulDiv(d, c.free.x, c.fdotp);
  if (c.free.y != 0) z.refY[p] += FixedMulDiv(d, c.free.y, c.fdotp);
}

void ComputeFunctions(TTExecContext& c) {
  const bool projX = c.proj.x == 16384 && c.proj.y == 0;
  const bool projY = c.proj.x == 0 && c.proj.y == 16384;
  c.project = projX ? ProjectX : (projY ? ProjectY : ProjectAny);
  const bool dualX = c.dual.x == 16384 && c.dual.y == 0;
  const bool dualY = c.dual.x == 0 && c.dual.y == 16384;
  c.dualProject = dualX ? ProjectX : (dualY ? ProjectY : DualProjectAny);
  c.fdotp = static_cast<int32_t>((int64_t{c.proj.x} * c.free.x + int64_t{c.proj.y} * c.free.y) >> 14);
  if (c.free.x == 16384 && c.free.y == 0 && projX) {
    c.move = MoveX;
  } else if (c.free.x == 0 && c.free.y == 16384 && projY) {
    c.move = MoveY;
  } else {
    c.move = MoveAny;
  }
  // The control-value ratio along the projection.
  if (c.st.squarePixels || c.proj.y == 0) {
    c.projRatio = c.st.squarePixels ? 0x10000 : c.st.xRatio;
  } else if (c.proj.x == 0) {
    c.projRatio = c.st.yRatio;
  } else {
    const int64_t px = MulF2Dot14(c.st.xRatio, c.proj.y), py = MulF2Dot14(c.st.yRatio, c.proj.x);
    const int64_t squared = (px * px + py * py) >> 16;
    const int32_t root = FixedSqrtFnt(static_cast<int32_t>(std::min<int64_t>(squared, INT32_MAX)) ) << 8;
    c.projRatio = std::min(root, 0x10000);
  }
}

int32_t CurrentPpem(const TTExecContext& c) {
  if (c.st.squarePixels) return c.st.ppem;
  return static_cast<int32_t>((int64_t{c.st.ppem} * c.projRatio + 0x8000) >> 16);
}

int32_t ReadCvt(const TTExecContext& c, uint32_t i) {
  return c.projRatio == 0x10000 ? c.st.cvt[i] : runtime::FixedMul(c.st.cvt[i], c.projRatio);
}
void WriteCvt(TTExecContext& c, uint32_t i, int32_t v) {
  c.st.cvt[i] = c.projRatio == 0x10000 || c.projRatio == 0 ? v : runtime::FixedDiv(v, c.projRatio);
}

// ---- Rounding ----

int32_t RoundDistance(const TTExecContext& c, int32_t d) {
  const TtGraphicsState& g = c.gs;
  const int64_t m = d < 0 ? -int64_t{d} : int64_t{d};
  int64_t r;
  switch (g.round) {
    case TtRoundState::kGrid: r = (m + 32) & -64; break;
    case TtRoundState::kHalfGrid: r = (m & -64) + 32; break;
    case TtRoundState::kDoubleGrid: r = (m + 16) & -32; break;
    case TtRoundState::kDownToGrid: r = m & -64; break;
    case TtRoundState::kUpToGrid: r = (m + 63) & -64; break;
    case TtRoundState::kOff: return d;
    default: {
      const int64_t period = std::max(g.period, 1);
      r = ((m - g.phase + g.threshold) / period) * period;
      if (m - g.phase + g.threshold < 0) r = 0;
      r += g.phase;
      break;
    }
  }
  if (r < 0) r = 0;
  r = std::min<int64_t>(r, INT32_MAX);
  return d < 0 ? -static_cast<int32_t>(r) : static_cast<int32_t>(r);
}

void SetSuperRound(TTExecContext& c, int32_t selector, int32_t gridPeriod) {
  TtGraphicsState& g = c.gs;
  switch ((selector >> 6) & 3) {
    case 0: g.period = gridPeriod / 2; break;
    case 1: g.period = gridPeriod; break;
    case 2: g.period = gridPeriod * 2; break;
    default: g.period = 999; break;
  }
  switch ((selector >> 4) & 3) {
    case 0: g.phase = 0; break;
    case 1: g.phase = (g.period + 2) / 4; break;
    case 2: g.phase = (g.period + 1) / 2; break;
    default: g.phase = (g.period * 3 + 2) / 4; break;
  }
  const int32_t t = selector & 15;
  g.threshold = t == 0 ? g.period - 1 : ((t - 4) * g.period + 4) >> 3;
}

// ---- Stack ----

#define TT_NEED(n)                                      \
  do {                                                  \
    if (c.sp < static_cast<uint32_t>(n)) return c.Fail(kTtStackUnderflow); \
  } while (0)
#define TT_ROOM(n)                                                         \
  do {                                                                     \
    if (c.sp + static_cast<uint32_t>(n) > c.capacity) return c.Fail(kTtStackOverflow); \
  } while (0)

int32_t Pop(TTExecContext& c) { return c.stack[--c.sp]; }
void Push(TTExecContext& c, int32_t v) { c.stack[c.sp++] = v; }

// Operand bytes that follow an opcode, for skipping.
uint32_t OperandBytes(const uint8_t* ip, const uint8_t* end) {
  const uint8_t op = *ip;
  if (op == 0x40) return ip + 1 < end ? 1u + ip[1] : 1u;
  if (op == 0x41) return ip + 1 < end ? 1u + 2u * ip[1] : 1u;
  if (op >= 0xB0 && op <= 0xB7) return op - 0xB0 + 1u;
  if (op >= 0xB8 && op <= 0xBF) return 2u * (op - 0xB8 + 1u);
  return 0;
}

const uint8_t* NextOpcode(const uint8_t* ip, const uint8_t* end) {
  const uint64_t step = 1 + uint64_t{OperandBytes(ip, end)};
  return step > static_cast<uint64_t>(end - ip) ? end : ip + step;
}

// ---- Handlers ----

// A loop instruction given fewer points than its loop count does nothing,
// as the common rasterisers do: real fonts end glyph programs with such
// instructions (DejaVu's uni019C ends with an IP on an empty stack).
bool LoopShort(TTExecContext& c) {
  if (c.sp >= static_cast<uint32_t>(c.loop)) return false;
  c.loop = 1;
  return true;
}

const uint8_t* OpSvtca(TTExecContext& c, const uint8_t* ip) {
  const bool x = (*ip & 1) != 0;
  const UnitVector v = x ? UnitVector{16384, 0} : UnitVector{0, 16384};
  const uint8_t family = *ip >> 1;
  if (family == 0 || family == 1) c.proj = c.dual = v;
  if (family == 0 || family == 2) c.free = v;
  ComputeFunctions(c);
  return ip + 1;
}

const uint8_t* OpVectorToLine(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(2);
  const int32_t p2 = Pop(c), p1 = Pop(c);
  const uint8_t op = *ip;
  // p2 (the top) lies in zp2, p1 in zp1.
  if (!c.PointOk(2, p2) || !c.PointOk(1, p1)) return c.Fail(kTtBadPoint);
  GlyphZone& a = c.Zone(1);
  GlyphZone& b = c.Zone(2);
  int32_t dx = a.curX[p1] - b.curX[p2];
  int32_t dy = a.curY[p1] - b.curY[p2];
  if ((op & 1) != 0) {
    const int32_t t = dx;
    dx = -dy;
    dy = t;
  }
  const UnitVector v = TtComputeUnitVector(dx, dy);
  if (op == 0x86 || op == 0x87) {
    int32_t ox = a.refX[p1] - b.refX[p2];
    int32_t oy = a.refY[p1] - b.refY[p2];
    if ((op & 1) != 0) {
      const int32_t t = ox;
      ox = -oy;
      oy = t;
    }
    c.proj = v;
    c.dual = TtComputeUnitVector(ox, oy);
  } else if (op <= 0x07) {
    c.proj = c.dual = v;
  } else {
    c.free = v;
  }
  ComputeFunctions(c);
  return ip + 1;
}

const uint8_t* OpVectorFromStack(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(2);
  const int32_t y = Pop(c), x = Pop(c);
  const UnitVector v = TtComputeUnitVector(static_cast<int16_t>(x), static_cast<int16_t>(y));
  if (*ip == 0x0A) c.proj = c.dual = v; else c.free = v;
  ComputeFunctions(c);
  return ip + 1;
}

const uint8_t* OpGetVector(TTExecContext& c, const uint8_t* ip) {
  TT_ROOM(2);
  const UnitVector v = *ip == 0x0C ? c.proj : c.free;
  Push(c, v.x);
  Push(c, v.y);
  return ip + 1;
}

const uint8_t* OpSfvtpv(TTExecContext& c, const uint8_t* ip) {
  c.free = c.proj;
  ComputeFunctions(c);
  return ip + 1;
}

const uint8_t* OpIsect(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(5);
  const int32_t b1 = Pop(c), b0 = Pop(c), a1 = Pop(c), a0 = Pop(c), p = Pop(c);
  if (!c.PointOk(0, b0) || !c.PointOk(0, b1) || !c.PointOk(1, a0) || !c.PointOk(1, a1) || !c.PointOk(2, p)) {
    return c.Fail(kTtBadPoint);
  }
  GlyphZone& zb = c.Zone(0);
  GlyphZone& za = c.Zone(1);
  GlyphZone& zp = c.Zone(2);
  const int64_t dbx = int64_t{zb.curX[b1]} - zb.curX[b0], dby = int64_t{zb.curY[b1]} - zb.curY[b0];
  const int64_t dax = int64_t{za.curX[a1]} - za.curX[a0], day = int64_t{za.curY[a1]} - za.curY[a0];
  const int64_t dx = int64_t{zb.curX[b0]} - za.curX[a0], dy = int64_t{zb.curY[b0]} - za.curY[a0];
  const int64_t discriminant = (dax * -dby + day * dbx) / 64;
  const int64_t dot = (dax * dbx + day * dby) / 64;
  if (discriminant != 0 && 19 * std::llabs(discriminant) > std::llabs(dot)) {
    const int64_t val = (dx * -dby + dy * dbx) / 64;
    zp.curX[p] = static_cast<int32_t>(za.curX[a0] + val * dax / discriminant);
    zp.curY[p] = static_cast<int32_t>(za.curY[a0] + val * day / discriminant);
  } else {
    zp.curX[p] = static_cast<int32_t>((int64_t{za.curX[a0]} + za.curX[a1] + zb.curX[b0] + zb.curX[b1]) / 4);
    zp.curY[p] = static_cast<int32_t>((int64_t{za.curY[a0]} + za.curY[a1] + zb.curY[b0] + zb.curY[b1]) / 4);
  }
  zp.touch[p] |= GlyphZone::kTouchX | GlyphZone::kTouchY;
  return ip + 1;
}

const uint8_t* OpSrp(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(1);
  c.rp[*ip - 0x10] = static_cast<uint32_t>(Pop(c));
  return ip + 1;
}

const uint8_t* OpSzp(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(1);
  const int32_t zone = Pop(c);
  if (zone != 0 && zone != 1) return c.Fail(kTtBadZone);
  if (*ip == 0x16) {
    c.zp[0] = c.zp[1] = c.zp[2] = zone;
  } else {
    c.zp[*ip - 0x13] = zone;
  }
  return ip + 1;
}

const uint8_t* OpSloop(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(1);
  const int32_t n = Pop(c);
  c.loop = std::clamp(n, 0, 0xFFFF);
  return ip + 1;
}

const uint8_t* OpRoundState(TTExecContext& c, const uint8_t* ip) {
  switch (*ip) {
    case 0x18: c.gs.round = TtRoundState::kGrid; break;
    case 0x19: c.gs.round = TtRoundState::kHalfGrid; break;
    case 0x3D: c.gs.round = TtRoundState::kDoubleGrid; break;
    case 0x7A: c.gs.round = TtRoundState::kOff; break;
    case 0x7C: c.gs.round = TtRoundState::kUpToGrid; break;
    default: c.gs.round = TtRoundState::kDownToGrid; break;
  }
  return ip + 1;
}

const uint8_t* OpSround(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(1);
  const int32_t selector = Pop(c);
  if (*ip == 0x76) {
    SetSuperRound(c, selector, 64);
    c.gs.round = TtRoundState::kSuper;
  } else {
    // Periods of 5795, 11591 and 23182 in 1/256 pixel.
    SetSuperRound(c, selector & 0x3F, 0);
    const int32_t periods[4] = {5795, 11591, 23182, 999 * 256};
    c.gs.period = (periods[(selector >> 6) & 3] + 128) >> 8;
    const int32_t t = selector & 15;
    switch ((selector >> 4) & 3) {
      case 0: c.gs.phase = 0; break;
      case 1: c.gs.phase = (c.gs.period + 2) / 4; break;
      case 2: c.gs.phase = (c.gs.period + 1) / 2; break;
      default: c.gs.phase = (c.gs.period * 3 + 2) / 4; break;
    }
    c.gs.threshold = t == 0 ? c.gs.period - 1 : ((t - 4) * c.gs.period + 4) >> 3;
    c.gs.round = TtRoundState::kSuper45;
  }
  return ip + 1;
}

const uint8_t* OpParameter(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(1);
  const int32_t v = Pop(c);
  switch (*ip) {
    case 0x1A: c.gs.minimumDistance = v; break;
    case 0x1D: c.gs.cvtCutIn = v; break;
    case 0x1E: c.gs.singleWidthCutIn = v; break;
    case 0x1F: {
      const AxisScale& s = c.st.xScale.scale >= c.st.yScale.scale ? c.st.xScale : c.st.yScale;
      c.gs.singleWidthValue = s.Apply(v);
      break;
    }
    case 0x5E: c.gs.deltaBase = static_cast<uint16_t>(v); break;
    case 0x5F: c.gs.deltaShift = static_cast<uint16_t>(std::clamp(v, 0, 6)); break;
    case 0x7E: c.gs.angleWeight = static_cast<uint16_t>(v); break;
    case 0x85: c.st.scanControl = (c.st.scanControl & 0xFFFF0000u) | (static_cast<uint32_t>(v) & 0xFFFF); c.st.scanControlChanged = true; break;
    case 0x8D: c.st.scanControl = (c.st.scanControl & 0xFFFF) | (static_cast<uint32_t>(v) << 16); break;
    default: break;  // DEBUG and AA: the value is dropped
  }
  return ip + 1;
}

const uint8_t* OpFlip(TTExecContext& c, const uint8_t* ip) {
  c.gs.autoFlip = *ip == 0x4D;
  return ip + 1;
}

const uint8_t* OpInstctrl(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(2);
  const int32_t selector = Pop(c), value = Pop(c);
  if (c.kind != TtProgramKind::kGlyph && (selector == 1 || selector == 2)) {
    const uint32_t bit = static_cast<uint32_t>(selector);
    c.st.instructionControl = (c.st.instructionControl & ~bit) | (value != 0 ? bit : 0);
  }
  return ip + 1;
}

// Skips forward from an IF or ELSE to its ELSE (when `toElse`) or EIF.
const uint8_t* SkipBranch(TTExecContext& c, const uint8_t* ip, bool toElse) {
  int level = 1;
  const uint8_t* p = NextOpcode(ip, c.end);
  while (p < c.end) {
    const uint8_t op = *p;
    if (op == 0x58) {
      ++level;
    } else if (op == 0x59) {
      if (--level == 0) return p + 1;
    } else if (op == 0x1B && toElse && level == 1) {
      return p + 1;
    }
    p = NextOpcode(p, c.end);
  }
  return c.Fail(kTtUnterminatedIf);
}

const uint8_t* OpIf(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(1);
  if (Pop(c) != 0) return ip + 1;
  return SkipBranch(c, ip, true);
}

const uint8_t* OpElse(TTExecContext& c, const uint8_t* ip) { return SkipBranch(c, ip, false); }
const uint8_t* OpEif(TTExecContext&, const uint8_t* ip) { return ip + 1; }

const uint8_t* Jump(TTExecContext& c, const uint8_t* ip, int32_t offset) {
  if (c.jumpsLeft == 0) return c.Fail(kTtJumpBudget);
  --c.jumpsLeft;
  const int64_t target = (ip - c.base) + int64_t{offset};
  if (target < 0) return c.Fail(kTtJumpBeforeStart);
  if (target >= c.end - c.base) return c.end;
  return c.base + target;
}

const uint8_t* OpJmpr(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(1);
  return Jump(c, ip, Pop(c));
}

const uint8_t* OpJrot(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(2);
  const int32_t condition = Pop(c), offset = Pop(c);
  const bool take = *ip == 0x78 ? condition != 0 : condition == 0;
  return take ? Jump(c, ip, offset) : ip + 1;
}

const uint8_t* OpStack(TTExecContext& c, const uint8_t* ip) {
  switch (*ip) {
    case 0x20: TT_NEED(1); TT_ROOM(1); Push(c, c.stack[c.sp - 1]); break;
    case 0x21: TT_NEED(1); --c.sp; break;
    case 0x22: c.sp = 0; break;
    case 0x23: TT_NEED(2); std::swap(c.stack[c.sp - 1], c.stack[c.sp - 2]); break;
    case 0x24: TT_ROOM(1); Push(c, static_cast<int32_t>(c.sp)); break;
    case 0x25: {
      TT_NEED(1);
      const int32_t k = c.stack[c.sp - 1];
      if (k <= 0 || static_cast<uint32_t>(k) > c.sp - 1) return c.Fail(kTtBadStackIndex);
      c.stack[c.sp - 1] = c.stack[c.sp - 1 - static_cast<uint32_t>(k)];
      break;
    }
    case 0x26: {
      TT_NEED(1);
      const int32_t k = Pop(c);
      if (k <= 0 || static_cast<uint32_t>(k) > c.sp) return c.Fail(kTtBadStackIndex);
      const uint32_t at = c.sp - static_cast<uint32_t>(k);
      const int32_t v = c.stack[at];
      std::copy(c.stack + at + 1, c.stack + c.sp, c.stack + at);
      c.stack[c.sp - 1] = v;
      break;
    }
    default: {  // ROLL
      TT_NEED(3);
      const int32_t a = c.stack[c.sp - 3];
      c.stack[c.sp - 3] = c.stack[c.sp - 2];
      c.stack[c.sp - 2] = c.stack[c.sp - 1];
      c.stack[c.sp - 1] = a;
      break;
    }
  }
  return ip + 1;
}

const uint8_t* OpPush(TTExecContext& c, const uint8_t* ip) {
  const uint8_t op = *ip;
  const uint8_t* p = ip + 1;
  uint32_t count;
  bool words;
  if (op == 0x40 || op == 0x41) {
    if (p >= c.end) return c.Fail(kTtInvalidOpcode);
    count = *p++;
    words = op == 0x41;
  } else {
    words = op >= 0xB8;
    count = (op & 7) + 1u;
  }
  const uint64_t bytes = uint64_t{count} * (words ? 2 : 1);
  if (bytes > static_cast<uint64_t>(c.end - p)) return c.Fail(kTtInvalidOpcode);
  TT_ROOM(count);
  for (uint32_t i = 0; i < count; ++i) {
    if (words) {
      Push(c, static_cast<int16_t>((p[0] << 8) | p[1]));
      p += 2;
    } else {
      Push(c, *p++);
    }
  }
  return p;
}

const uint8_t* OpStorage(TTExecContext& c, const uint8_t* ip) {
  if (*ip == 0x42) {
    TT_NEED(2);
    const int32_t v = Pop(c), i = Pop(c);
    if (i < 0 || static_cast<uint32_t>(i) >= c.st.storageCount) return c.Fail(kTtBadStorage);
    c.st.storage[i] = v;
  } else {
    TT_NEED(1);
    const int32_t i = c.stack[c.sp - 1];
    if (i < 0 || static_cast<uint32_t>(i) >= c.st.storageCount) return c.Fail(kTtBadStorage);
    c.stack[c.sp - 1] = c.st.storage[i];
  }
  return ip + 1;
}

const uint8_t* OpCvt(TTExecContext& c, const uint8_t* ip) {
  if (*ip == 0x45) {
    TT_NEED(1);
    const int32_t i = c.stack[c.sp - 1];
    if (i < 0 || static_cast<uint32_t>(i) >= c.st.cvtCount) return c.Fail(kTtBadCvt);
    c.stack[c.sp - 1] = ReadCvt(c, static_cast<uint32_t>(i));
    return ip + 1;
  }
  TT_NEED(2);
  const int32_t v = Pop(c), i = Pop(c);
  if (i < 0 || static_cast<uint32_t>(i) >= c.st.cvtCount) return c.Fail(kTtBadCvt);
  if (*ip == 0x44) {
    WriteCvt(c, static_cast<uint32_t>(i), v);
  } else {  // WCVTF: font units
    const AxisScale& s = c.st.xScale.scale >= c.st.yScale.scale ? c.st.xScale : c.st.yScale;
    c.st.cvt[i] = s.Apply(v);
  }
  return ip + 1;
}

const uint8_t* OpMeasure(TTExecContext& c, const uint8_t* ip) {
  const uint8_t op = *ip;
  if (op == 0x4B || op == 0x4C) {
    TT_ROOM(1);
    Push(c, op == 0x4B ? CurrentPpem(c) : c.st.pointSize);
    return ip + 1;
  }
  if (op == 0x88) {
    TT_NEED(1);
    const int32_t selector = Pop(c);
    int32_t answer = 0;
    if ((selector & 1) != 0) answer |= 37;
    if ((selector & 2) != 0 && c.st.rotated) answer |= 0x100;
    if ((selector & 4) != 0 && c.st.stretched) answer |= 0x200;
    if ((selector & 32) != 0 && c.st.greyLevels) answer |= 0x1000;
    Push(c, answer);
    return ip + 1;
  }
  if (op == 0x46 || op == 0x47) {
    TT_NEED(1);
    const int32_t p = c.stack[c.sp - 1];
    if (!c.PointOk(2, p)) return c.Fail(kTtBadPoint);
    GlyphZone& z = c.Zone(2);
    c.stack[c.sp - 1] = op == 0x46 ? c.project(c, z.curX[p], z.curY[p]) : c.dualProject(c, z.refX[p], z.refY[p]);
    return ip + 1;
  }
  if (op == 0x48) {  // SCFS
    TT_NEED(2);
    const int32_t value = Pop(c), p = Pop(c);
    if (!c.PointOk(2, p)) return c.Fail(kTtBadPoint);
    GlyphZone& z = c.Zone(2);
    c.move(c, z, static_cast<uint32_t>(p), value - c.project(c, z.curX[p], z.curY[p]));
    if (c.zp[2] == 0) {
      z.refX[p] = z.curX[p];
      z.refY[p] = z.curY[p];
    }
    return ip + 1;
  }
  // MD: 0x49 on the current (grid-fitted) outline, 0x4A on the initial one.
  TT_NEED(2);
  const int32_t k = Pop(c), l = Pop(c);
  if (!c.PointOk(0, l) || !c.PointOk(1, k)) return c.Fail(kTtBadPoint);
  GlyphZone& z0 = c.Zone(0);
  GlyphZone& z1 = c.Zone(1);
  int32_t d;
  if (op == 0x49) {
    d = c.project(c, z0.curX[l] - z1.curX[k], z0.curY[l] - z1.curY[k]);
  } else if (c.zp[0] == 0 || c.zp[1] == 0 || !c.unscaledUsable) {
    d = c.dualProject(c, z0.refX[l] - z1.refX[k], z0.refY[l] - z1.refY[k]);
  } else if (c.st.squarePixels) {
    d = c.st.xScale.Apply(c.dualProject(c, z0.unscaledX[l] - z1.unscaledX[k], z0.unscaledY[l] - z1.unscaledY[k]));
  } else {
    d = c.dualProject(c, c.st.xScale.Apply(z0.unscaledX[l] - z1.unscaledX[k]),
                      c.st.yScale.Apply(z0.unscaledY[l] - z1.unscaledY[k]));
  }
  TT_ROOM(1);
  Push(c, d);
  return ip + 1;
}

const uint8_t* OpLogic(TTExecContext& c, const uint8_t* ip) {
  const uint8_t op = *ip;
  if (op == 0x56 || op == 0x57 || op == 0x5C) {
    TT_NEED(1);
    int32_t& v = c.stack[c.sp - 1];
    if (op == 0x5C) {
      v = v == 0 ? 1 : 0;
    } else {
      const bool odd = (RoundDistance(c, v) & 127) == 64;
      v = (op == 0x56) == odd ? 1 : 0;
    }
    return ip + 1;
  }
  TT_NEED(2);
  const int32_t b = Pop(c);
  int32_t& a = c.stack[c.sp - 1];
  switch (op) {
    case 0x50: a = a < b; break;
    case 0x51: a = a <= b; break;
    case 0x52: a = a > b; break;
    case 0x53: a = a >= b; break;
    case 0x54: a = a == b; break;
    case 0x55: a = a != b; break;
    case 0x5A: a = (a != 0 && b != 0); break;
    default: a = (a != 0 || b != 0); break;
  }
  return ip + 1;
}

const uint8_t* OpArith(TTExecContext& c, const uint8_t* ip) {
  const uint8_t op = *ip;
  if (op >= 0x64 && op <= 0x67) {
    TT_NEED(1);
    int32_t& v = c.stack[c.sp - 1];
    switch (op) {
      case 0x64: v = v == INT32_MIN ? INT32_MAX : std::abs(v); break;
      case 0x65: v = v == INT32_MIN ? INT32_MAX : -v; break;
      case 0x66: v &= -64; break;
      default: v = static_cast<int32_t>((int64_t{v} + 63) & -64); break;
    }
    return ip + 1;
  }
  TT_NEED(2);
  const int32_t b = Pop(c);
  int32_t& a = c.stack[c.sp - 1];
  switch (op) {
    case 0x60: a = static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); break;
    case 0x61: a = static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)); break;
    case 0x62: {
      if (b == 0) return c.Fail(kTtDivideByZero);
      const int64_t q = (int64_t{a} * 64) / b;
      a = static_cast<int32_t>(std::clamp<int64_t>(q, INT32_MIN, INT32_MAX));
      break;
    }
    case 0x63: a = MulF26Dot6(a, b); break;
    case 0x8B: a = std::max(a, b); break;
    default: a = std::min(a, b); break;
  }
  return ip + 1;
}

const uint8_t* OpRound(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(1);
  int32_t& v = c.stack[c.sp - 1];
  if (*ip <= 0x6B) v = RoundDistance(c, v);
  return ip + 1;
}

// ---- Functions ----

const uint8_t* ProgramBase(const TTExecContext& c, uint8_t kind) {
  return kind == 1 ? c.st.fpgm : c.st.prep;
}

const uint8_t* Define(TTExecContext& c, const uint8_t* ip, uint32_t& offset, uint32_t& length) {
  const uint8_t* p = NextOpcode(ip, c.end);
  const uint8_t* body = p;
  while (p < c.end) {
    if (*p == 0x2D) {
      offset = static_cast<uint32_t>(body - c.base);
      length = static_cast<uint32_t>(p - body);
      return p + 1;
    }
    if (*p == 0x2C || *p == 0x89) break;
    p = NextOpcode(p, c.end);
  }
  return c.Fail(kTtUnterminatedDefinition);
}

uint8_t CurrentKind(const TTExecContext& c) {
  // Definitions made inside a called function belong to the program the
  // function came from.
  if (c.base == c.st.fpgm && c.st.fpgm != nullptr) return 1;
  return 0;
}

const uint8_t* OpFdef(TTExecContext& c, const uint8_t* ip) {
  if (c.kind == TtProgramKind::kGlyph) return c.Fail(kTtFdefOutsideSetup);
  TT_NEED(1);
  const int32_t n = Pop(c);
  if (n < 0 || static_cast<uint32_t>(n) >= c.st.functionCount) return c.Fail(kTtBadFunction);
  uint32_t offset = 0, length = 0;
  const uint8_t* next = Define(c, ip, offset, length);
  if (c.error != 0) return next;
  c.st.functions[n] = {offset, length, CurrentKind(c)};
  return next;
}

const uint8_t* OpIdef(TTExecContext& c, const uint8_t* ip) {
  if (c.kind == TtProgramKind::kGlyph) return c.Fail(kTtIdefOutsideSetup);
  TT_NEED(1);
  const int32_t opcode = Pop(c);
  if (opcode < 0 || opcode > 255) return c.Fail(kTtBadIdefOpcode);
  TtInstructionDef* slot = nullptr;
  for (uint32_t i = 0; i < c.st.instructionDefCount; ++i) {
    if (c.st.instructionDefs[i].opcode == opcode) slot = &c.st.instructionDefs[i];
  }
  if (slot == nullptr) {
    if (c.st.instructionDefCount >= c.st.instructionDefCapacity) return c.Fail(kTtIdefTableFull);
    slot = &c.st.instructionDefs[c.st.instructionDefCount++];
  }
  uint32_t offset = 0, length = 0;
  const uint8_t* next = Define(c, ip, offset, length);
  if (c.error != 0) return next;
  *slot = {offset, length, CurrentKind(c), static_cast<uint8_t>(opcode)};
  return next;
}

const uint8_t* Call(TTExecContext& c, const uint8_t* returnIp, uint32_t offset, uint32_t length, uint8_t kind,
                    uint32_t loops) {
  if (loops == 0) return returnIp;
  if (c.depth >= kMaxCallDepth || c.depth >= c.st.callBudget) return c.Fail(kTtCallBudget);
  const uint8_t* program = ProgramBase(c, kind);
  const uint32_t programLength = kind == 1 ? c.st.fpgmLength : c.st.prepLength;
  if (program == nullptr || uint64_t{offset} + length > programLength) return c.Fail(kTtUndefinedFunction);
  TtCallFrame& f = c.frames[c.depth++];
  f.returnIp = returnIp;
  f.base = c.base;
  f.end = c.end;
  f.bodyStart = program + offset;
  f.bodyEnd = program + offset + length;
  f.loopsLeft = loops - 1;
  c.base = program;
  c.end = f.bodyEnd;
  return f.bodyStart;
}

const uint8_t* OpCall(TTExecContext& c, const uint8_t* ip) {
  uint32_t loops = 1;
  TT_NEED(1);
  const int32_t n = Pop(c);
  if (*ip == 0x2A) {
    TT_NEED(1);
    const int32_t count = Pop(c);
    loops = count > 0 ? static_cast<uint32_t>(count) : 0;
  }
  if (n < 0 || static_cast<uint32_t>(n) >= c.st.functionCount) return c.Fail(kTtBadFunction);
  const TtFunctionDef& f = c.st.functions[n];
  if (f.kind == 2) return c.Fail(kTtUndefinedFunction);
  return Call(c, ip + 1, f.offset, f.length, f.kind, loops);
}

const uint8_t* OpEndf(TTExecContext& c, const uint8_t*) { return c.Fail(kTtInvalidOpcode); }

const uint8_t* OpUndefined(TTExecContext& c, const uint8_t* ip) {
  for (uint32_t i = 0; i < c.st.instructionDefCount; ++i) {
    const TtInstructionDef& d = c.st.instructionDefs[i];
    if (d.opcode == *ip && d.kind != 2) return Call(c, ip + 1, d.offset, d.length, d.kind, 1);
  }
  return c.Fail(kTtInvalidOpcode);
}

const uint8_t* OpAdvance(TTExecContext& c, const uint8_t* ip) {
  if (c.kind != TtProgramKind::kGlyph || c.zones[1] == nullptr) return c.Fail(kTtAdvanceOutsideGlyph);
  TT_ROOM(1);
  const GlyphZone& z = *c.zones[1];
  Push(c, z.refX[z.pointCount + 1] - z.refX[z.pointCount]);
  return ip + 1;
}

// ---- Moving points ----

// Runs `each` on the loop count's points, popped one at a time from the
// zone of `slot`; a point out of range stops with 0x1112 (the points
// before it stay moved). The loop count is 1 again afterwards.
template <class Each>
const uint8_t* ForEachLoopPoint(TTExecContext& c, const uint8_t* ip, int slot, Each&& each) {
  for (; c.loop > 0; --c.loop) {
    TT_NEED(1);
    const int32_t p = Pop(c);
    if (!c.PointOk(slot, p)) {
      c.loop = 1;
      return c.Fail(kTtBadPoint);
    }
    each(static_cast<uint32_t>(p));
  }
  c.loop = 1;
  return ip + 1;
}


// The initial distance from point a (zone slot sa) to point b (slot sb),
// along the dual projection.
int32_t InitialDistance(TTExecContext& c, int sa, uint32_t a, int sb, uint32_t b) {
  GlyphZone& za = c.Zone(sa);
  GlyphZone& zb = c.Zone(sb);
  if (c.zp[sa] == 0 || c.zp[sb] == 0 || !c.unscaledUsable) {
    return c.dualProject(c, zb.refX[b] - za.refX[a], zb.refY[b] - za.refY[a]);
  }
  const int32_t dx = zb.unscaledX[b] - za.unscaledX[a];
  const int32_t dy = zb.unscaledY[b] - za.unscaledY[a];
  if (c.st.squarePixels) return c.st.xScale.Apply(c.dualProject(c, dx, dy));
  return c.dualProject(c, c.st.xScale.Apply(dx), c.st.yScale.Apply(dy));
}

int32_t CurrentDistance(TTExecContext& c, int sa, uint32_t a, int sb, uint32_t b) {
  GlyphZone& za = c.Zone(sa);
  GlyphZone& zb = c.Zone(sb);
  return c.project(c, zb.curX[b] - za.curX[a], zb.curY[b] - za.curY[a]);
}

int32_t KeepMinimum(const TTExecContext& c, int32_t initial, int32_t distance) {
  const int32_t m = c.gs.minimumDistance;
  if (initial >= 0) return std::max(distance, m);
  return std::min(distance, -m);
}

const uint8_t* OpMdrp(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(1);
  const int32_t p = Pop(c);
  const uint8_t op = *ip;
  if (!c.PointOk(1, p) || !c.PointOk(0, static_cast<int32_t>(c.rp[0]))) return c.Fail(kTtBadPoint);
  const uint32_t point = static_cast<uint32_t>(p);
  int32_t initial = InitialDistance(c, 0, c.rp[0], 1, point);
  if (c.gs.singleWidthCutIn != 0 && std::abs(initial - c.gs.singleWidthValue) < c.gs.singleWidthCutIn) {
    initial = initial >= 0 ? c.gs.singleWidthValue : -c.gs.singleWidthValue;
  }
  int32_t distance = (op & 4) != 0 ? RoundDistance(c, initial) : initial;
  if ((op & 8) != 0) distance = KeepMinimum(c, initial, distance);
  c.move(c, c.Zone(1), point, distance - CurrentDistance(c, 0, c.rp[0], 1, point));
  c.rp[1] = c.rp[0];
  c.rp[2] = point;
  if ((op & 16) != 0) c.rp[0] = point;
  return ip + 1;
}

const uint8_t* OpMirp(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(2);
  const int32_t cvtIndex = Pop(c), p = Pop(c);
  const uint8_t op = *ip;
  if (cvtIndex < 0 || static_cast<uint32_t>(cvtIndex) >= c.st.cvtCount) return c.Fail(kTtBadCvt);
  if (!c.PointOk(1, p) || !c.PointOk(0, static_cast<int32_t>(c.rp[0]))) return c.Fail(kTtBadPoint);
  const uint32_t point = static_cast<uint32_t>(p);
  int32_t cvt = ReadCvt(c, static_cast<uint32_t>(cvtIndex));
  if (std::abs(cvt - c.gs.singleWidthValue) < c.gs.singleWidthCutIn) {
    cvt = cvt >= 0 ? c.gs.singleWidthValue : -c.gs.singleWidthValue;
  }
  GlyphZone& z0 = c.Zone(0);
  GlyphZone& z1 = c.Zone(1);
  if (c.zp[1] == 0) {
    // A twilight point is first put at the control distance from rp0.
    z1.refX[point] = z0.refX[c.rp[0]] + MulF2Dot14(cvt, c.free.x);
    z1.refY[point] = z0.refY[c.rp[0]] + MulF2Dot14(cvt, c.free.y);
    z1.curX[point] = z1.refX[point];
    z1.curY[point] = z1.refY[point];
  }
  const int32_t initial = c.dualProject(c, z1.refX[point] - z0.refX[c.rp[0]], z1.refY[point] - z0.refY[c.rp[0]]);
  const int32_t current = CurrentDistance(c, 0, c.rp[0], 1, point);
  if (c.gs.autoFlip && (initial ^ cvt) < 0) cvt = -cvt;
  int32_t distance;
  if ((op & 4) != 0) {
    if (c.zp[0] == c.zp[1] && std::abs(cvt - initial) > c.gs.cvtCutIn) cvt = initial;
    distance = RoundDistance(c, cvt);
  } else {
    distance = cvt;
  }
  if ((op & 8) != 0) distance = KeepMinimum(c, initial, distance);
  c.move(c, z1, point, distance - current);
  c.rp[1] = c.rp[0];
  if ((op & 16) != 0) c.rp[0] = point;
  c.rp[2] = point;
  return ip + 1;
}

const uint8_t* OpMdap(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(1);
  const int32_t p = Pop(c);
  if (!c.PointOk(0, p)) return c.Fail(kTtBadPoint);
  GlyphZone& z = c.Zone(0);
  int32_t distance = 0;
  if ((*ip & 1) != 0) {
    const int32_t now = c.project(c, z.curX[p], z.curY[p]);
    distance = RoundDistance(c, now) - now;
  }
  c.move(c, z, static_cast<uint32_t>(p), distance);
  c.rp[0] = c.rp[1] = static_cast<uint32_t>(p);
  return ip + 1;
}

const uint8_t* OpMiap(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(2);
  const int32_t cvtIndex = Pop(c), p = Pop(c);
  if (cvtIndex < 0 || static_cast<uint32_t>(cvtIndex) >= c.st.cvtCount) return c.Fail(kTtBadCvt);
  if (!c.PointOk(0, p)) return c.Fail(kTtBadPoint);
  GlyphZone& z = c.Zone(0);
  int32_t distance = ReadCvt(c, static_cast<uint32_t>(cvtIndex));
  if (c.zp[0] == 0) {
    z.refX[p] = z.curX[p] = MulF2Dot14(distance, c.proj.x);
    z.refY[p] = z.curY[p] = MulF2Dot14(distance, c.proj.y);
  }
  const int32_t now = c.project(c, z.curX[p], z.curY[p]);
  if ((*ip & 1) != 0) {
    if (std::abs(distance - now) > c.gs.cvtCutIn) distance = now;
    distance = RoundDistance(c, distance);
  }
  c.move(c, z, static_cast<uint32_t>(p), distance - now);
  c.rp[0] = c.rp[1] = static_cast<uint32_t>(p);
  return ip + 1;
}

const uint8_t* OpIp(TTExecContext& c, const uint8_t* ip) {
  if (LoopShort(c)) return ip + 1;
  const bool r1 = c.PointOk(0, static_cast<int32_t>(c.rp[1]));
  const bool r2 = c.PointOk(1, static_cast<int32_t>(c.rp[2]));
  if (!r1) return c.Fail(kTtBadPoint);
  const bool twilight = c.zp[0] == 0 || c.zp[1] == 0 || c.zp[2] == 0 || !c.unscaledUsable;
  GlyphZone& z0 = c.Zone(0);
  GlyphZone& z1 = c.Zone(1);
  GlyphZone& z2 = c.Zone(2);
  const uint32_t a = c.rp[1];
  auto initialTo = [&](GlyphZone& z, uint32_t q) {
    if (twilight) return c.dualProject(c, z.refX[q] - z0.refX[a], z.refY[q] - z0.refY[a]);
    const int32_t dx = z.unscaledX[q] - z0.unscaledX[a], dy = z.unscaledY[q] - z0.unscaledY[a];
    if (c.st.squarePixels) return c.dualProject(c, dx, dy);
    return c.dualProject(c, c.st.xScale.Apply(dx), c.st.yScale.Apply(dy));
  };
  int32_t oldRange = 0, curRange = 0;
  if (r2) {
    oldRange = initialTo(z1, c.rp[2]);
    curRange = c.project(c, z1.curX[c.rp[2]] - z0.curX[a], z1.curY[c.rp[2]] - z0.curY[a]);
  }
  return ForEachLoopPoint(c, ip, 2, [&](uint32_t p) {
    const int32_t original = initialTo(z2, p);
    const int32_t current = c.project(c, z2.curX[p] - z0.curX[a], z2.curY[p] - z0.curY[a]);
    int32_t wanted = 0;
    if (original != 0) {
      if (oldRange != 0) {
        wanted = FixedMulDiv(original, curRange, oldRange);
      } else {
        wanted = twilight || c.st.squarePixels == false ? original : c.st.xScale.Apply(original);
      }
    }
    c.move(c, z2, p, wanted - current);
  });
}

// The displacement of rp1 (zp0) or rp2 (zp1) for SHP, SHC and SHZ.
bool Displacement(TTExecContext& c, uint8_t op, int32_t& dx, int32_t& dy, int& slot, uint32_t& ref) {
  slot = (op & 1) != 0 ? 0 : 1;
  ref = (op & 1) != 0 ? c.rp[1] : c.rp[2];
  if (!c.PointOk(slot, static_cast<int32_t>(ref))) return false;
  GlyphZone& z = c.Zone(slot);
  const int32_t d = c.project(c, z.curX[ref] - z.refX[ref], z.curY[ref] - z.refY[ref]);
  if (c.fdotp > -0x400 && c.fdotp < 0x400) {
    dx = dy = 0;
  } else {
    dx = FixedMulDiv(d, c.free.x, c.fdotp);
    dy = FixedMulDiv(d, c.free.y, c.fdotp);
  }
  return true;
}

void ShiftPoint(TTExecContext& c, GlyphZone& z, uint32_t p, int32_t dx, int32_t dy, bool touch) {
  if (c.free.x != 0) {
    z.curX[p] += dx;
    if (touch) z.touch[p] |= GlyphZone::kTouchX;
  }
  if (c.free.y != 0) {
    z.curY[p] += dy;
    if (touch) z.touch[p] |= GlyphZone::kTouchY;
  }
}

const uint8_t* OpShp(TTExecContext& c, const uint8_t* ip) {
  if (LoopShort(c)) return ip + 1;
  int32_t dx, dy;
  int slot;
  uint32_t ref;
  if (!Displacement(c, *ip, dx, dy, slot, ref)) return c.Fail(kTtBadPoint);
  return ForEachLoopPoint(c, ip, 2, [&](uint32_t p) { ShiftPoint(c, c.Zone(2), p, dx, dy, true); });
}

const uint8_t* OpShc(TTExecContext& c, const uint8_t* ip) {
  if (c.kind != TtProgramKind::kGlyph && (c.kind == TtProgramKind::kFpgm || c.zp[2] == 1)) {
    return c.Fail(kTtZoneNotAllowed);
  }
  TT_NEED(1);
  const int32_t contour = Pop(c);
  int32_t dx, dy;
  int slot;
  uint32_t ref;
  if (!Displacement(c, *ip, dx, dy, slot, ref)) return c.Fail(kTtBadPoint);
  GlyphZone& z = c.Zone(2);
  if (contour < 0 || static_cast<uint32_t>(contour) >= z.contourCount) return c.Fail(kTtBadContour);
  const uint32_t start = contour == 0 ? 0 : z.contourEnds[contour - 1] + 1u;
  const uint32_t limit = std::min<uint32_t>(z.contourEnds[contour] + 1u, z.pointCount);
  for (uint32_t i = start; i < limit; ++i) {
    if (&z == &c.Zone(slot) && i == ref) continue;
    ShiftPoint(c, z, i, dx, dy, true);
  }
  return ip + 1;
}

const uint8_t* OpShz(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(1);
  const int32_t zone = Pop(c);
  if (zone != 0 && zone != 1) return c.Fail(kTtBadZone);
  if (c.kind == TtProgramKind::kFpgm || (c.kind == TtProgramKind::kPrep && zone == 1)) {
    return c.Fail(kTtZoneNotAllowed);
  }
  int32_t dx, dy;
  int slot;
  uint32_t ref;
  if (!Displacement(c, *ip, dx, dy, slot, ref)) return c.Fail(kTtBadPoint);
  GlyphZone& z = *c.zones[zone];
  const uint32_t limit = z.contourCount > 0 ? std::min<uint32_t>(z.contourEnds[z.contourCount - 1] + 1u, z.pointCount)
                                            : z.pointCount;
  for (uint32_t i = 0; i < limit; ++i) {
    if (&z == &c.Zone(slot) && i == ref) continue;
    ShiftPoint(c, z, i, dx, dy, false);
  }
  return ip + 1;
}

const uint8_t* OpShpix(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(1);
  const int32_t d = Pop(c);
  if (LoopShort(c)) return ip + 1;
  const int32_t dx = MulF2Dot14(d, c.free.x), dy = MulF2Dot14(d, c.free.y);
  return ForEachLoopPoint(c, ip, 2, [&](uint32_t p) { ShiftPoint(c, c.Zone(2), p, dx, dy, true); });
}

const uint8_t* OpMsirp(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(2);
  const int32_t distance = Pop(c), p = Pop(c);
  if (!c.PointOk(1, p) || !c.PointOk(0, static_cast<int32_t>(c.rp[0]))) return c.Fail(kTtBadPoint);
  GlyphZone& z0 = c.Zone(0);
  GlyphZone& z1 = c.Zone(1);
  if (c.zp[1] == 0) {
    z1.refX[p] = z0.refX[c.rp[0]];
    z1.refY[p] = z0.refY[c.rp[0]];
    MoveReference(c, z1, static_cast<uint32_t>(p), distance);
    z1.curX[p] = z1.refX[p];
    z1.curY[p] = z1.refY[p];
  }
  const int32_t current = CurrentDistance(c, 0, c.rp[0], 1, static_cast<uint32_t>(p));
  c.move(c, z1, static_cast<uint32_t>(p), distance - current);
  c.rp[1] = c.rp[0];
  c.rp[2] = static_cast<uint32_t>(p);
  if ((*ip & 1) != 0) c.rp[0] = static_cast<uint32_t>(p);
  return ip + 1;
}

const uint8_t* OpAlignrp(TTExecContext& c, const uint8_t* ip) {
  if (LoopShort(c)) return ip + 1;
  if (!c.PointOk(0, static_cast<int32_t>(c.rp[0]))) return c.Fail(kTtBadPoint);
  return ForEachLoopPoint(c, ip, 1, [&](uint32_t p) { c.move(c, c.Zone(1), p, -CurrentDistance(c, 0, c.rp[0], 1, p)); });
}

const uint8_t* OpAlignpts(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(2);
  const int32_t p2 = Pop(c), p1 = Pop(c);
  if (!c.PointOk(1, p1) || !c.PointOk(0, p2)) return c.Fail(kTtBadPoint);
  const int32_t d = CurrentDistance(c, 1, static_cast<uint32_t>(p1), 0, static_cast<uint32_t>(p2)) / 2;
  c.move(c, c.Zone(1), static_cast<uint32_t>(p1), d);
  c.move(c, c.Zone(0), static_cast<uint32_t>(p2), -d);
  return ip + 1;
}

const uint8_t* OpUtp(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(1);
  const int32_t p = Pop(c);
  if (!c.PointOk(0, p)) return c.Fail(kTtBadPoint);
  uint8_t& t = c.Zone(0).touch[p];
  if (c.free.x != 0) t &= static_cast<uint8_t>(~GlyphZone::kTouchX);
  if (c.free.y != 0) t &= static_cast<uint8_t>(~GlyphZone::kTouchY);
  return ip + 1;
}

const uint8_t* OpFlippt(TTExecContext& c, const uint8_t* ip) {
  if (LoopShort(c)) return ip + 1;
  GlyphZone* z = c.zones[1];
  for (; c.loop > 0; --c.loop) {
    TT_NEED(1);
    const int32_t p = Pop(c);
    if (z == nullptr || p < 0 || static_cast<uint32_t>(p) >= c.zoneLimit[1]) {
      c.loop = 1;
      return c.Fail(kTtBadPoint);
    }
    z->onCurve[p] ^= 1;
  }
  c.loop = 1;
  return ip + 1;
}

const uint8_t* OpFlipRange(TTExecContext& c, const uint8_t* ip) {
  TT_NEED(2);
  const int32_t hi = Pop(c), lo = Pop(c);
  GlyphZone* z = c.zones[1];
  if (z == nullptr || lo < 0 || hi < lo || static_cast<uint32_t>(hi) >= c.zoneLimit[1]) return c.Fail(kTtBadPoint);
  for (int32_t i = lo; i <= hi; ++i) z->onCurve[i] = *ip == 0x81 ? 1 : 0;
  return ip + 1;
}

// Interpolates the untouched points p1..p2 between touched a and b.
void InterpolateRun(TTExecContext& c, GlyphZone& z, bool xAxis, uint32_t p1, uint32_t p2, uint32_t a, uint32_t b) {
  if (p1 > p2) return;
  int32_t* cur = xAxis ? z.curX : z.curY;
  const int32_t* ref = xAxis ? z.refX : z.refY;
  const int32_t* decision = (z.unscaledUsable && c.unscaledUsable) ? (xAxis ? z.unscaledX : z.unscaledY) : ref;
  if (decision[a] > decision[b]) std::swap(a, b);
  const int32_t d1 = cur[a] - ref[a], d2 = cur[b] - ref[b];
  const int32_t lo = decision[a], hi = decision[b];
  if (lo == hi) {
    for (uint32_t i = p1; i <= p2; ++i) cur[i] += d1;
    return;
  }
  const int64_t span = int64_t{hi} - lo;
  const int64_t range = int64_t{cur[b]} - cur[a];
  runtime::Fixed ratio = 0;
  bool haveRatio = false;
  for (uint32_t i = p1; i <= p2; ++i) {
    const int32_t r = ref[i];
    if (r <= ref[a]) {
      cur[i] = r + d1;
    } else if (r >= ref[b]) {
      cur[i] = r + d2;
    } else if (span < 32768 && std::llabs(range) < 32768) {
      const int64_t product = (int64_t{decision[i]} - lo) * range;
      const int64_t q = product >= 0 ? (product + span / 2) / span : -((span / 2 - product) / span);
      cur[i] = static_cast<int32_t>(cur[a] + q);
    } else {
      if (!haveRatio) {
        ratio = runtime::FixedDiv(static_cast<runtime::Fixed>(std::clamp<int64_t>(range, INT32_MIN + 1, INT32_MAX)),
                                  static_cast<runtime::Fixed>(std::clamp<int64_t>(span, 1, INT32_MAX)));
        haveRatio = true;
      }
      cur[i] = cur[a] + runtime::FixedMul(decision[i] - lo, ratio);
    }
  }
}

const uint8_t* OpIup(TTExecContext& c, const uint8_t* ip) {
  if (c.kind == TtProgramKind::kFpgm || (c.kind == TtProgramKind::kPrep && c.zp[2] == 1)) {
    return c.Fail(kTtZoneNotAllowed);
  }
  GlyphZone& z = c.Zone(2);
  const bool xAxis = (*ip & 1) != 0;
  const uint8_t mask = xAxis ? GlyphZone::kTouchX : GlyphZone::kTouchY;
  uint32_t point = 0;
  for (uint32_t k = 0; k < z.contourCount; ++k) {
    uint32_t last = z.contourEnds[k];
    if (last >= z.pointCount) last = z.pointCount == 0 ? 0 : z.pointCount - 1;
    const uint32_t first = point;
    if (first > last || z.pointCount == 0) break;
    while (point <= last && (z.touch[point] & mask) == 0) ++point;
    if (point <= last) {
      const uint32_t firstTouched = point;
      uint32_t touched = point;
      for (++point; point <= last; ++point) {
        if ((z.touch[point] & mask) != 0) {
          InterpolateRun(c, z, xAxis, touched + 1, point - 1, touched, point);
          touched = point;
        }
      }
      if (touched == firstTouched) {
        int32_t* cur = xAxis ? z.curX : z.curY;
        const int32_t* ref = xAxis ? z.refX : z.refY;
        const int32_t delta = cur[touched] - ref[touched];
        for (uint32_t i = first; i <= last; ++i) {
          if (i != touched) cur[i] = ref[i] + delta;
        }
      } else {
        InterpolateRun(c, z, xAxis, touched + 1, last, touched, firstTouched);
        if (firstTouched > first) InterpolateRun(c, z, xAxis, first, firstTouched - 1, touched, firstTouched);
      }
    }
    point = last + 1;
  }
  return ip + 1;
}

const uint8_t* OpDelta(TTExecContext& c, const uint8_t* ip) {
  const uint8_t op = *ip;
  TT_NEED(1);
  // Fewer pairs than announced: the pairs there are are applied.
  const int32_t announced = Pop(c);
  const int32_t n = static_cast<int32_t>(std::min<int64_t>(announced, c.sp / 2));
  const bool isPoint = op == 0x5D || op == 0x71 || op == 0x72;
  const int32_t range = (op == 0x5D || op == 0x73) ? 0 : ((op == 0x71 || op == 0x74) ? 16 : 32);
  const int32_t ppem = CurrentPpem(c);
  for (int32_t k = 0; k < n; ++k) {
    const int32_t target = Pop(c), argument = Pop(c);
    const int32_t size = c.gs.deltaBase + range + ((argument & 0xF0) >> 4);
    if (size != ppem) continue;
    int32_t step = (argument & 0xF) - 8;
    if (step >= 0) ++step;
    step = step * 64 / (1 << c.gs.deltaShift);
    if (isPoint) {
      if (!c.PointOk(0, target)) return c.Fail(kTtBadPoint);
      c.move(c, c.Zone(0), static_cast<uint32_t>(target), step);
    } else {
      if (target < 0 || static_cast<uint32_t>(target) >= c.st.cvtCount) return c.Fail(kTtBadCvt);
      WriteCvt(c, static_cast<uint32_t>(target), ReadCvt(c, static_cast<uint32_t>(target)) + step);
    }
  }
  return ip + 1;
}

const uint8_t* OpSdpvtl(TTExecContext& c, const uint8_t* ip) { return OpVectorToLine(c, ip); }

// ---- Dispatch ----

struct TtDispatch {
  TtHandler handlers[256];
};

constexpr TtDispatch MakeDispatch() {
  TtDispatch d{};
  for (auto& h : d.handlers) h = OpUndefined;
  for (int op = 0x00; op <= 0x05; ++op) d.handlers[op] = OpSvtca;
  for (int op = 0x06; op <= 0x09; ++op) d.handlers[op] = OpVectorToLine;
  d.handlers[0x0A] = d.handlers[0x0B] = OpVectorFromStack;
  d.handlers[0x0C] = d.handlers[0x0D] = OpGetVector;
  d.handlers[0x0E] = OpSfvtpv;
  d.handlers[0x0F] = OpIsect;
  d.handlers[0x10] = d.handlers[0x11] = d.handlers[0x12] = OpSrp;
  for (int op = 0x13; op <= 0x16; ++op) d.handlers[op] = OpSzp;
  d.handlers[0x17] = OpSloop;
  d.handlers[0x18] = d.handlers[0x19] = d.handlers[0x3D] = d.handlers[0x7A] = d.handlers[0x7C] =
      d.handlers[0x7D] = OpRoundState;
  d.handlers[0x76] = d.handlers[0x77] = OpSround;
  d.handlers[0x1A] = d.handlers[0x1D] = d.handlers[0x1E] = d.handlers[0x1F] = OpParameter;
  d.handlers[0x5E] = d.handlers[0x5F] = d.handlers[0x7E] = d.handlers[0x85] = d.handlers[0x8D] = OpParameter;
  d.handlers[0x4F] = d.handlers[0x7F] = OpParameter;
  d.handlers[0x4D] = d.handlers[0x4E] = OpFlip;
  d.handlers[0x8E] = OpInstctrl;
  d.handlers[0x1B] = OpElse;
  d.handlers[0x1C] = OpJmpr;
  d.handlers[0x78] = d.handlers[0x79] = OpJrot;
  d.handlers[0x58] = OpIf;
  d.handlers[0x59] = OpEif;
  for (int op = 0x20; op <= 0x26; ++op) d.handlers[op] = OpStack;
  d.handlers[0x8A] = OpStack;
  d.handlers[0x40] = d.handlers[0x41] = OpPush;
  for (int op = 0xB0; op <= 0xBF; ++op) d.handlers[op] = OpPush;
  d.handlers[0x2A] = d.handlers[0x2B] = OpCall;
  d.handlers[0x2C] = OpFdef;
  d.handlers[0x2D] = OpEndf;
  d.handlers[0x89] = OpIdef;
  d.handlers[0x42] = d.handlers[0x43] = OpStorage;
  d.handlers[0x44] = d.handlers[0x45] = d.handlers[0x70] = OpCvt;
  for (int op = 0x46; op <= 0x4C; ++op) d.handlers[op] = OpMeasure;
  d.handlers[0x88] = OpMeasure;
  d.handlers[0x27] = OpAlignpts;
  d.handlers[0x28] = OpAdvance;
  d.handlers[0x29] = OpUtp;
  d.handlers[0x2E] = d.handlers[0x2F] = OpMdap;
  d.handlers[0x30] = d.handlers[0x31] = OpIup;
  d.handlers[0x32] = d.handlers[0x33] = OpShp;
  d.handlers[0x34] = d.handlers[0x35] = OpShc;
  d.handlers[0x36] = d.handlers[0x37] = OpShz;
  d.handlers[0x38] = OpShpix;
  d.handlers[0x39] = OpIp;
  d.handlers[0x3A] = d.handlers[0x3B] = OpMsirp;
  d.handlers[0x3C] = OpAlignrp;
  d.handlers[0x3E] = d.handlers[0x3F] = OpMiap;
  d.handlers[0x80] = OpFlippt;
  d.handlers[0x81] = d.handlers[0x82] = OpFlipRange;
  for (int op = 0xC0; op <= 0xDF; ++op) d.handlers[op] = OpMdrp;
  for (int op = 0xE0; op <= 0xFF; ++op) d.handlers[op] = OpMirp;
  d.handlers[0x5D] = d.handlers[0x71] = d.handlers[0x72] = OpDelta;
  d.handlers[0x73] = d.handlers[0x74] = d.handlers[0x75] = OpDelta;
  for (int op = 0x50; op <= 0x57; ++op) d.handlers[op] = OpLogic;
  d.handlers[0x5A] = d.handlers[0x5B] = d.handlers[0x5C] = OpLogic;
  for (int op = 0x60; op <= 0x67; ++op) d.handlers[op] = OpArith;
  d.handlers[0x8B] = d.handlers[0x8C] = OpArith;
  for (int op = 0x68; op <= 0x6F; ++op) d.handlers[op] = OpRound;
  d.handlers[0x86] = d.handlers[0x87] = OpSdpvtl;
  d.handlers[0x7B] = OpEndf;
  return d;
}

constexpr TtDispatch kTtDispatch = MakeDispatch();

void RunInstructions(TTExecContext& c, const uint8_t* ip) {
  for (;;) {
    if (c.error != 0) return;
    if (ip >= c.end) {
      if (c.depth == 0) return;
      TtCallFrame& f = c.frames[c.depth - 1];
      if (f.loopsLeft > 0) {
        --f.loopsLeft;
        ip = f.bodyStart;
        continue;
      }
      c.base = f.base;
      c.end = f.end;
      ip = f.returnIp;
      --c.depth;
      continue;
    }
    if (c.instructionsLeft == 0) {
      c.error = kTtJumpBudget;
      return;
    }
    --c.instructionsLeft;
    const uint8_t* at = ip;
    ip = kTtDispatch.handlers[*ip](c, ip);
    if (c.error != 0) {
      c.st.errorOpcode = *at;
      c.st.errorOffset = static_cast<uint32_t>(at - c.base);
    }
  }
}

}  // namespace

uint32_t TTInterp::Execute(TtInstanceState& state, GlyphZone* glyphZone, const uint8_t* program, uint32_t length,
                           TtProgramKind kind, bool unscaledUsable) {
  if (program == nullptr || length == 0) return 0;
  TTExecContext c(state);
  c.zones[0] = &state.twilight;
  c.zoneLimit[0] = state.twilightCount;
  static GlyphZone emptyZone;
  c.zones[1] = glyphZone != nullptr ? glyphZone : &emptyZone;
  c.zoneLimit[1] = glyphZone != nullptr ? glyphZone->Limit() : 0;
  c.stack = state.stack;
  c.capacity = state.stackCapacity;
  c.base = program;
  c.end = program + length;
  c.kind = kind;
  c.jumpsLeft = state.jumpBudget;
  c.instructionsLeft = state.instructionBudget;
  c.unscaledUsable = unscaledUsable;
  ComputeFunctions(c);
  RunInstructions(c, program);
  return c.error;
}

uint32_t TTInterp::RunFontProgram(TtInstanceState& state) {
  state.current = TtGraphicsState{};
  for (uint32_t i = 0; i < state.functionCount; ++i) state.functions[i] = TtFunctionDef{};
  return Execute(state, nullptr, state.fpgm, state.fpgmLength, TtProgramKind::kFpgm, false);
}

uint32_t TTInterp::RunControlValueProgram(TtInstanceState& state) {
  state.defaults = TtGraphicsState{};
  state.instructionControl = 0;
  for (uint32_t i = 0; i < state.twilightCount; ++i) {
    GlyphZone& t = state.twilight;
    t.curX[i] = t.curY[i] = t.refX[i] = t.refY[i] = t.unscaledX[i] = t.unscaledY[i] = 0;
    t.touch[i] = 0;
    t.onCurve[i] = 0;
  }
  state.current = state.defaults;
  const uint32_t error = Execute(state, nullptr, state.prep, state.prepLength, TtProgramKind::kPrep, false);
  if ((state.instructionControl & 2) == 0) state.defaults = state.current;
  return error;
}

uint32_t TTInterp::RunGlyphProgram(TtInstanceState& state, GlyphZone& zone, const uint8_t* program,
                                   uint32_t length, bool unscaledUsable) {
  state.current = state.defaults;
  if ((state.instructionControl & 1) != 0) return 0;
  return Execute(state, &zone, program, length, TtProgramKind::kGlyph, unscaledUsable);
}

}  // namespace fonts
