#pragma once
// The TrueType bytecode interpreter: runs the font program ("fpgm"), the
// control value program ("prep") and the instructions of each glyph over
// the glyph zone and the twilight zone. Every run is bounded: stack depth,
// point, storage, control value and function numbers are checked, taken
// jumps, nested calls and executed instructions have budgets, and an
// error ends the run with a code instead of throwing.
#include <cstdint>

#include "fonts/GlyphZone.h"
#include "fonts/TtScaler.h"

namespace fonts {

// Interpreter error codes (0 = success).
enum TtError : uint32_t {
  kTtOk = 0,
  kTtInvalidOpcode = 0x1101,
  kTtDivideByZero = 0x1103,
  kTtUnterminatedDefinition = 0x1104,
  kTtUnterminatedIf = 0x1105,
  kTtCallBudget = 0x1106,
  kTtJumpBudget = 0x1107,
  kTtFdefOutsideSetup = 0x1108,
  kTtIdefOutsideSetup = 0x1109,
  kTtJumpBeforeStart = 0x110B,
  kTtAdvanceOutsideGlyph = 0x110D,
  kTtStackUnderflow = 0x1110,
  kTtStackOverflow = 0x1111,
  kTtBadPoint = 0x1112,
  kTtBadStackIndex = 0x1113,
  kTtBadFunction = 0x1114,
  kTtUndefinedFunction = 0x1115,
  kTtBadZone = 0x1116,
  kTtBadIdefOpcode = 0x1117,
  kTtIdefTableFull = 0x1118,
  kTtBadStorage = 0x1119,
  kTtBadContour = 0x111A,
  kTtBadCvt = 0x111B,
  kTtZoneNotAllowed = 0x111C,
};

enum class TtProgramKind : uint8_t { kPrep = 0, kFpgm = 1, kGlyph = 2 };

enum class TtRoundState : uint8_t {
  kHalfGrid, kGrid, kDoubleGrid, kDownToGrid, kUpToGrid, kOff, kSuper, kSuper45
};

// The graphics-state parameters copied as one block.
struct TtGraphicsState {
  int32_t cvtCutIn = 68;
  int32_t singleWidthCutIn = 0;
  int32_t singleWidthValue = 0;
  int32_t minimumDistance = 64;
  TtRoundState round = TtRoundState::kGrid;
  int32_t period = 64, phase = 0, threshold = 32;
  uint16_t deltaBase = 9;
  uint16_t deltaShift = 3;
  uint16_t angleWeight = 128;
  bool autoFlip = true;
};

struct TtFunctionDef {
  uint32_t offset = 0;
  uint32_t length = 0;
  uint8_t kind = 2;  // 0 prep, 1 fpgm, 2 not defined
};

struct TtInstructionDef {
  uint32_t offset = 0;
  uint32_t length = 0;
  uint8_t kind = 2;
  uint8_t opcode = 0;
};

// The state the programs share for one font instance.
struct TtInstanceState {
  const uint8_t* fpgm = nullptr;
  uint32_t fpgmLength = 0;
  const uint8_t* prep = nullptr;
  uint32_t prepLength = 0;
  int32_t* cvt = nullptr;
  uint32_t cvtCount = 0;
  int32_t* storage = nullptr;
  uint32_t storageCount = 0;
  TtFunctionDef* functions = nullptr;
  uint32_t functionCount = 0;
  TtInstructionDef* instructionDefs = nullptr;
  uint32_t instructionDefCapacity = 0;
  uint32_t instructionDefCount = 0;
  int32_t* stack = nullptr;
  uint32_t stackCapacity = 0;
  GlyphZone twilight;
  uint32_t twilightCount = 1;

  TtGraphicsState defaults;
  TtGraphicsState current;
  uint32_t instructionControl = 0;
  uint32_t scanControl = 0;  // low 16 bits SCANCTRL, high 16 SCANTYPE
  bool scanControlChanged = false;

  AxisScale xScale, yScale;
  int32_t ppem = 0;           // the larger axis
  int32_t xRatio = 0x10000;   // each axis against the larger, 16.16
  int32_t yRatio = 0x10000;
  bool squarePixels = true;
  int32_t pointSize = 72;
  bool rotated = false;
  bool stretched = false;
  bool greyLevels = true;

  // Where the last failing run stopped: the opcode and its offset in its
  // program (diagnostics).
  uint8_t errorOpcode = 0;
  uint32_t errorOffset = 0;

  uint32_t jumpBudget = 10000;
  uint32_t callBudget = 100;
  uint32_t instructionBudget = 2000000;
};

class TTInterp {
 public:
  // Clears the rounding words and every function, then runs "fpgm".
  static uint32_t RunFontProgram(TtInstanceState& state);
  // Resets the graphics state, runs "prep", and keeps its graphics state
  // as the glyphs' default unless instruction control bit 1 is set.
  static uint32_t RunControlValueProgram(TtInstanceState& state);
  // Runs a glyph's instructions over `zone` (its outline and phantoms).
  static uint32_t RunGlyphProgram(TtInstanceState& state, GlyphZone& zone, const uint8_t* program,
                                  uint32_t length, bool unscaledUsable);
  // One program run with fresh registers.
  static uint32_t Execute(TtInstanceState& state, GlyphZone* glyphZone, const uint8_t* program,
                          uint32_t length, TtProgramKind kind, bool unscaledUsable);
};

}  // namespace fonts
