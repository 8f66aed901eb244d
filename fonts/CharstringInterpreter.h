#pragma once
// Runs one glyph program, a Type 1 charstring (already decrypted) or a
// Type 2 charstring of a CFF font, and draws it on a GlyphOutline, feeding
// the stems to the hinting. Everything a hostile program can grow is
// bounded: 48 operands, 10 nested subroutine calls, one level of seac, 96
// stems, and a number of operators per glyph, so that subroutines calling
// each other over and over end with (runtime, 2) instead of running on.
#include <cstdint>

#include "fonts/CffIndex.h"
#include "fonts/CharstringHints.h"
#include "fonts/CharstringStack.h"
#include "fonts/GlyphOutline.h"
#include "fonts/PrivateRecord.h"
#include "runtime/ArenaAllocator.h"

namespace fonts {

class CffFont;

class CharstringInterpreter {
 public:
  // The glyph's upright scaling: x scale a, x shear per unit of y c, and
  // the y scale d the hint map works with.
  struct Transform {
    Fixed a = 0;
    Fixed c = 0;
    Fixed d = 0;
  };

  static constexpr uint32_t kMaxSubrDepth = 10;
  // Operators one glyph may run, seac components and subroutines included.
  static constexpr uint32_t kMaxOperators = 200000;

  // Draws `charstring` of `font` into `points`.
  static void Run(CffFont& font, runtime::ArenaVector<FixedPoint>& points, CffBytes charstring,
                  const PrivateRecord& record, const Transform& transform,
                  runtime::ArenaAllocator& work);

 private:
  struct Shared {
    CffFont& font;
    GlyphOutline& outline;
    const PrivateRecord& record;
    Transform transform;
    runtime::ArenaAllocator& work;
    uint32_t operators = 0;
  };
  struct Frame {
    const uint8_t* position;
    const uint8_t* end;
  };

  CharstringInterpreter(Shared& shared, bool insideSeac, Fixed x0, Fixed y0);
  void Execute(CffBytes charstring);
  // Returns true when the run ends (endchar, seac).
  bool Operator(int code, const uint8_t*& p, const uint8_t*& end);
  bool Escape(int code);
  void WidthCheck(bool oddMeansWidth);
  void CallSubr(bool global, const uint8_t*& p, const uint8_t*& end);
  void MoveTo(Fixed x, Fixed y);
  void Seac(int32_t accentCode, int32_t baseCode, Fixed adx, Fixed ady, Fixed asb);
  void Blend(uint32_t n, CharstringStack& into, bool toResults);
  void CallOtherSubr();
  void Line(Fixed dx, Fixed dy);
  void Curve(Fixed dx1, Fixed dy1, Fixed dx2, Fixed dy2, Fixed dx3, Fixed dy3);

  Shared& shared_;
  CharstringHints hints_;
  CharstringStack stack_;
  CharstringStack results_;
  CharstringStack flexPoints_;
  Frame frames_[kMaxSubrDepth + 1] = {};
  uint32_t depth_ = 0;
  Fixed x_ = 0, y_ = 0;
  Fixed width_ = static_cast<Fixed>(0xFC180000u);  // not yet seen
  Fixed sbwX_ = 0;
  bool insideSeac_;
  bool flexMode_ = false;
  bool seenWidthOperator_ = false;
  int32_t localBias_ = 0;
  int32_t globalBias_ = 0;
  Fixed x0_, y0_;
};

}  // namespace fonts
