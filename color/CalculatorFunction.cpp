#include "color/CalculatorFunction.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "color/FixedPow.h"
#include "pdf/Lexer.h"
#include "pdf/PdfCharClass.h"
#include "runtime/ArenaVector.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "streams/ChainedStream.h"
#include "streams/FilterChainBuilder.h"

namespace color {

using runtime::Fixed;
using runtime::ObjectTag;

enum class CalcOp : uint8_t {
  kPushInteger,
  kPushReal,
  kPushBoolean,
  kProcedure,  // a procedure literal not (yet) taken by if or ifelse
  kIf,
  kIfElse,
  kAbs,
  kAdd,
  kAnd,
  kAtan,
  kBitshift,
  kCeiling,
  kCopy,
  kCos,
  kCvi,
  kCvr,
  kDiv,
  kDup,
  kEq,
  kExch,
  kExp,
  kFloor,
  kGe,
  kGt,
  kIdiv,
  kIndex,
  kLe,
  kLn,
  kLog,
  kLt,
  kMod,
  kMul,
  kNe,
  kNeg,
  kNot,
  kOr,
  kPop,
  kRoll,
  kRound,
  kSin,
  kSqrt,
  kTruncate,
  kXor,
};

struct CalcInstruction {
  CalcOp op;
  int32_t value;                     // a literal
  const CalcProcedure* first;        // procedure literal, if, ifelse's then
  const CalcProcedure* second;       // ifelse's else
};

struct CalcProcedure {
  const CalcInstruction* code;
  uint32_t count;
};

namespace {

struct CalcKeyword {
  std::string_view name;
  CalcOp op;
};

// "sub", "true", "false", "if" and "ifelse" are compiled specially.
constexpr CalcKeyword kCalcKeywords[] = {
    {"abs", CalcOp::kAbs},         {"add", CalcOp::kAdd},       {"and", CalcOp::kAnd},
    {"atan", CalcOp::kAtan},       {"bitshift", CalcOp::kBitshift}, {"ceiling", CalcOp::kCeiling},
    {"copy", CalcOp::kCopy},       {"cos", CalcOp::kCos},       {"cvi", CalcOp::kCvi},
    {"cvr", CalcOp::kCvr},         {"div", CalcOp::kDiv},       {"dup", CalcOp::kDup},
    {"eq", CalcOp::kEq},           {"exch", CalcOp::kExch},     {"exp", CalcOp::kExp},
    {"floor", CalcOp::kFloor},     {"ge", CalcOp::kGe},         {"gt", CalcOp::kGt},
    {"idiv", CalcOp::kIdiv},       {"index", CalcOp::kIndex},   {"le", CalcOp::kLe},
    {"ln", CalcOp::kLn},           {"log", CalcOp::kLog},       {"lt", CalcOp::kLt},
    {"mod", CalcOp::kMod},         {"mul", CalcOp::kMul},       {"ne", CalcOp::kNe},
    {"neg", CalcOp::kNeg},         {"not", CalcOp::kNot},       {"or", CalcOp::kOr},
    {"pop", CalcOp::kPop},         {"roll", CalcOp::kRoll},     {"round", CalcOp::kRound},
    {"sin", CalcOp::kSin},         {"sqrt", CalcOp::kSqrt},     {"truncate", CalcOp::kTruncate},
    {"xor", CalcOp::kXor},
};

// The longest operator name ("bitshift", "truncate").
constexpr uint32_t kLongestCalcName = 8;
// ln 2 and log10 2 in 16.16.
constexpr int64_t kCalcLn2 = 45426;
constexpr int64_t kCalcLog10Of2 = 19728;
constexpr double kCalcDegreesToRadians = 3.14159265358979323846 / 180.0;

[[noreturn]] void CalcMalformed() { runtime::ThrowRuntime(runtime::kMalformed); }
[[noreturn]] void CalcFault() { runtime::ThrowRuntime(runtime::kOverflow); }

CalcValue CalcInteger(int32_t v) { return {ObjectTag::kInteger, v}; }
CalcValue CalcReal(Fixed v) { return {ObjectTag::kReal, v}; }
CalcValue CalcBoolean(bool v) { return {ObjectTag::kBoolean, v ? 1 : 0}; }
bool IsCalcNumber(const CalcValue& v) { return v.tag == ObjectTag::kInteger || v.tag == ObjectTag::kReal; }

// A number operand as a real: integers outside -32767..32767 saturate.
Fixed CalcAsReal(const CalcValue& v) {
  if (v.tag == ObjectTag::kReal) return v.value;
  if (v.tag == ObjectTag::kInteger) return runtime::FixedFromIntSat(v.value);
  CalcMalformed();
}

int32_t SaturateInt32(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// ceil(b) of a real as an integer; 32767 from 0x7FFF0001 up.
int32_t CalcCeiling(Fixed b) { return b >= 0x7FFF0001 ? 32767 : (b + 0xFFFF) >> 16; }

// a = b with exact mixed comparison.
bool CalcEqual(const CalcValue& a, const CalcValue& b) {
  if (a.tag == ObjectTag::kBoolean || b.tag == ObjectTag::kBoolean) {
    return a.tag == b.tag && (a.value != 0) == (b.value != 0);
  }
  if (a.tag == b.tag) return a.value == b.value;
  const Fixed real = a.tag == ObjectTag::kReal ? a.value : b.value;
  const int32_t integer = a.tag == ObjectTag::kReal ? b.value : a.value;
  if (integer < -32767 || integer > 32767) return false;
  return real == runtime::FixedFromInt(integer);
}

// a >= b, exact.
bool CalcGreaterOrEqual(const CalcValue& a, const CalcValue& b) {
  if (!IsCalcNumber(a) || !IsCalcNumber(b)) CalcMalformed();
  if (a.tag == b.tag) return a.value >= b.value;
  if (a.tag == ObjectTag::kReal) return (a.value >> 16) >= b.value;
  return a.value >= CalcCeiling(b.value);
}

// a > b, exact.
bool CalcGreater(const CalcValue& a, const CalcValue& b) {
  if (!IsCalcNumber(a) || !IsCalcNumber(b)) CalcMalformed();
  if (a.tag == b.tag) return a.value > b.value;
  if (a.tag == ObjectTag::kReal) return CalcCeiling(a.value) > b.value;
  return a.value > (b.value >> 16);
}

Fixed CalcDegreesResult(double v) { return runtime::FixedFromFloat(v); }

}  // namespace

// Runs compiled procedures on a function's operand stack.
class CalcInterp {
 public:
  explicit CalcInterp(CalculatorFunction& function) : f_(function) {}

  void Execute(const CalcProcedure& procedure);

 private:
  CalcValue Pop() {
    if (f_.depth_ == 0) CalcFault();
    return f_.stack_[--f_.depth_];
  }
  void Push(const CalcValue& v) {
    if (f_.depth_ >= CalculatorFunction::kMaxOperands) CalcFault();
    f_.stack_[f_.depth_++] = v;
  }
  int32_t PopInteger() {
    const CalcValue v = Pop();
    if (v.tag != ObjectTag::kInteger) CalcMalformed();
    return v.value;
  }
  bool PopBoolean() {
    const CalcValue v = Pop();
    if (v.tag != ObjectTag::kBoolean) CalcMalformed();
    return v.value != 0;
  }
  CalcValue PopNumber() {
    const CalcValue v = Pop();
    if (!IsCalcNumber(v)) CalcMalformed();
    return v;
  }
  void Step(const CalcInstruction& instruction);
  void Arithmetic(CalcOp op);
  void Bitwise(CalcOp op);
  void StackOp(CalcOp op);

  CalculatorFunction& f_;
};

void CalcInterp::Execute(const CalcProcedure& procedure) {
  for (uint32_t i = 0; i < procedure.count; ++i) Step(procedure.code[i]);
}

void CalcInterp::Step(const CalcInstruction& in) {
  switch (in.op) {
    case CalcOp::kPushInteger:
      return Push(CalcInteger(in.value));
    case CalcOp::kPushReal:
      return Push(CalcReal(in.value));
    case CalcOp::kPushBoolean:
      return Push(CalcBoolean(in.value != 0));
    case CalcOp::kProcedure:
      CalcFault();
    case CalcOp::kIf:
      if (PopBoolean()) Execute(*in.first);
      return;
    case CalcOp::kIfElse:
      Execute(PopBoolean() ? *in.first : *in.second);
      return;
    case CalcOp::kAnd:
    case CalcOp::kOr:
    case CalcOp::kXor:
    case CalcOp::kNot:
    case CalcOp::kBitshift:
      return Bitwise(in.op);
    case CalcOp::kCopy:
    case CalcOp::kDup:
    case CalcOp::kExch:
    case CalcOp::kIndex:
    case CalcOp::kPop:
    case CalcOp::kRoll:
      return StackOp(in.op);
    case CalcOp::kEq:
    case CalcOp::kNe: {
      const CalcValue b = Pop();
      const CalcValue a = Pop();
      return Push(CalcBoolean(CalcEqual(a, b) == (in.op == CalcOp::kEq)));
    }
    case CalcOp::kGe:
    case CalcOp::kGt:
    case CalcOp::kLe:
    case CalcOp::kLt: {
      const CalcValue b = Pop();
      const CalcValue a = Pop();
      bool result = false;
      if (in.op == CalcOp::kGe) result = CalcGreaterOrEqual(a, b);
      if (in.op == CalcOp::kGt) result = CalcGreater(a, b);
      if (in.op == CalcOp::kLe) result = CalcGreaterOrEqual(b, a);
      if (in.op == CalcOp::kLt) result = CalcGreater(b, a);
      return Push(CalcBoolean(result));
    }
    default:
      return Arithmetic(in.op);
  }
}

void CalcInterp::Bitwise(CalcOp op) {
  if (op == CalcOp::kNot) {
    const CalcValue v = Pop();
    if (v.tag == ObjectTag::kBoolean) return Push(CalcBoolean(v.value == 0));
    if (v.tag == ObjectTag::kInteger) return Push(CalcInteger(~v.value));
    CalcMalformed();
  }
  if (op == CalcOp::kBitshift) {
    const int32_t shift = PopInteger();
    const uint32_t v = static_cast<uint32_t>(PopInteger());
    uint32_t result = 0;
    if (shift >= 0 && shift <= 31) result = v << shift;
    if (shift >= -31 && shift <= -1) result = v >> -shift;
    return Push(CalcInteger(static_cast<int32_t>(result)));
  }
  const CalcValue b = Pop();
  const CalcValue a = Pop();
  if (a.tag != b.tag || (b.tag != ObjectTag::kBoolean && b.tag != ObjectTag::kInteger)) CalcMalformed();
  int32_t result = 0;
  if (op == CalcOp::kAnd) result = a.value & b.value;
  if (op == CalcOp::kOr) result = a.value | b.value;
  if (op == CalcOp::kXor) result = a.value ^ b.value;
  if (b.tag == ObjectTag::kBoolean) {
    const bool x = a.value != 0;
    const bool y = b.value != 0;
    return Push(CalcBoolean(op == CalcOp::kAnd ? (x && y) : op == CalcOp::kOr ? (x || y) : (x != y)));
  }
  Push(CalcInteger(result));
}

void CalcInterp::StackOp(CalcOp op) {
  CalcValue* stack = f_.stack_;
  switch (op) {
    case CalcOp::kDup: {
      const CalcValue v = Pop();
      Push(v);
      return Push(v);
    }
    case CalcOp::kExch: {
      const CalcValue b = Pop();
      const CalcValue a = Pop();
      Push(b);
      return Push(a);
    }
    case CalcOp::kPop:
      Pop();
      return;
    case CalcOp::kIndex: {
      const int32_t n = PopInteger();
      if (n < 0) CalcMalformed();
      if (static_cast<uint32_t>(n) >= f_.depth_) CalcFault();
      return Push(stack[f_.depth_ - 1 - static_cast<uint32_t>(n)]);
    }
    case CalcOp::kCopy: {
      const int32_t n = PopInteger();
      if (n <= 0) return;
      if (static_cast<uint32_t>(n) > f_.depth_) CalcFault();
      const uint32_t first = f_.depth_ - static_cast<uint32_t>(n);
      for (uint32_t i = 0; i < static_cast<uint32_t>(n); ++i) Push(stack[first + i]);
      return;
    }
    default: {  // roll
      const int32_t j = PopInteger();
      const int32_t n = PopInteger();
      if (n < 1) CalcMalformed();
      if (static_cast<uint32_t>(n) > f_.depth_) CalcFault();
      if (n == 1) return;
      // j places toward the top: the element at the top moves j places
      // down (cyclically), which is a right rotation of the n elements.
      const int32_t shift = ((j % n) + n) % n;
      CalcValue* first = stack + f_.depth_ - static_cast<uint32_t>(n);
      std::rotate(first, first + (n - shift), first + n);
      return;
    }
  }
}

void CalcInterp::Arithmetic(CalcOp op) {
  switch (op) {
    case CalcOp::kAdd: {
      const CalcValue b = PopNumber();
      const CalcValue a = PopNumber();
      if (a.tag == ObjectTag::kInteger && b.tag == ObjectTag::kInteger) {
        return Push(CalcInteger(SaturateInt32(int64_t{a.value} + b.value)));
      }
      return Push(CalcReal(runtime::FixedAddSat(CalcAsReal(a), CalcAsReal(b))));
    }
    case CalcOp::kMul: {
      const CalcValue b = PopNumber();
      const CalcValue a = PopNumber();
      if (a.tag == ObjectTag::kInteger && b.tag == ObjectTag::kInteger) {
        const int64_t product = int64_t{a.value} * b.value;
        if (product == 0) return Push(CalcReal(0));
        // A product a real can hold is a real (2 3 mul is 6.0); a larger
        // one stays an integer, saturated, instead of wrapping.
        if (product >= -32767 && product <= 32767) {
          return Push(CalcReal(runtime::FixedFromInt(static_cast<int32_t>(product))));
        }
        return Push(CalcInteger(SaturateInt32(product)));
      }
      const int64_t product = (static_cast<int64_t>(CalcAsReal(a)) * CalcAsReal(b)) >> 16;
      return Push(CalcReal(SaturateFixed(product)));
    }
    case CalcOp::kDiv: {
      const Fixed b = CalcAsReal(PopNumber());
      const Fixed a = CalcAsReal(PopNumber());
      const int64_t magnitudeA = a < 0 ? -int64_t{a} : a;
      const int64_t magnitudeB = b < 0 ? -int64_t{b} : b;
      if (magnitudeB < runtime::kFixedOne && magnitudeA > ((int64_t{runtime::kFixedMax} * magnitudeB) >> 16)) {
        CalcFault();
      }
      return Push(CalcReal(runtime::FixedDiv(a, b)));
    }
    case CalcOp::kIdiv:
    case CalcOp::kMod: {
      const int32_t b = PopInteger();
      const int32_t a = PopInteger();
      if (b == 0) CalcFault();
      // -2147483648 / -1 has no 32-bit quotient: it saturates, and the
      // remainder is 0.
      if (a == INT32_MIN && b == -1) return Push(CalcInteger(op == CalcOp::kIdiv ? INT32_MAX : 0));
      return Push(CalcInteger(op == CalcOp::kIdiv ? a / b : a % b));
    }
    case CalcOp::kNeg:
    case CalcOp::kAbs: {
      const CalcValue v = PopNumber();
      const bool negate = op == CalcOp::kNeg || v.value < 0;
      if (!negate) return Push(v);
      if (v.tag == ObjectTag::kInteger) return Push(CalcInteger(v.value == INT32_MIN ? INT32_MAX : -v.value));
      return Push(CalcReal(runtime::NegateSat(v.value)));
    }
    case CalcOp::kCeiling:
    case CalcOp::kFloor:
    case CalcOp::kRound:
    case CalcOp::kTruncate:
    case CalcOp::kCvi: {
      const CalcValue v = PopNumber();
      if (v.tag == ObjectTag::kInteger) return Push(v);
      const int64_t x = v.value;
      int64_t whole = x >> 16;  // floor
      if (op == CalcOp::kCeiling) whole = (x + 0xFFFF) >> 16;
      if (op == CalcOp::kRound) whole = (x + 0x8000) >> 16;
      if ((op == CalcOp::kTruncate || op == CalcOp::kCvi) && x < 0) whole = (x + 0xFFFF) >> 16;
      if (op == CalcOp::kCvi) return Push(CalcInteger(static_cast<int32_t>(whole)));
      return Push(CalcReal(SaturateFixed(whole * 65536)));
    }
    case CalcOp::kCvr:
      // Integers beyond what a real holds saturate instead of wrapping.
      return Push(CalcReal(CalcAsReal(PopNumber())));
    case CalcOp::kSqrt: {
      const Fixed x = CalcAsReal(PopNumber());
      if (x < 0) CalcFault();
      return Push(CalcReal(runtime::FixedSqrt(x)));
    }
    case CalcOp::kExp: {
      const Fixed e = CalcAsReal(PopNumber());
      const Fixed base = CalcAsReal(PopNumber());
      if (base < 0 && (e & 0xFFFF) != 0) CalcFault();
      return Push(CalcReal(FixedPow(base, e)));
    }
    case CalcOp::kLn:
    case CalcOp::kLog: {
      const Fixed x = CalcAsReal(PopNumber());
      // No logarithm of zero or a negative number.
      if (x <= 0) CalcFault();
      const int64_t factor = op == CalcOp::kLn ? kCalcLn2 : kCalcLog10Of2;
      return Push(CalcReal(SaturateFixed((int64_t{FixedLog2(x)} * factor) >> 16)));
    }
    case CalcOp::kSin:
    case CalcOp::kCos: {
      const double radians = runtime::FixedToDouble(CalcAsReal(PopNumber())) * kCalcDegreesToRadians;
      return Push(CalcReal(CalcDegreesResult(op == CalcOp::kSin ? std::sin(radians) : std::cos(radians))));
    }
    case CalcOp::kAtan: {
      const Fixed den = CalcAsReal(PopNumber());
      const Fixed num = CalcAsReal(PopNumber());
      if (num == 0 && den == 0) CalcFault();
      double degrees = std::atan2(static_cast<double>(num), static_cast<double>(den)) / kCalcDegreesToRadians;
      if (degrees < 0) degrees += 360.0;
      Fixed result = CalcDegreesResult(degrees);
      if (result >= runtime::FixedFromInt(360)) result = 0;
      return Push(CalcReal(result));
    }
    default:
      CalcMalformed();
  }
}

namespace {

// Builds the program from the text, one token at a time.
class CalcCompiler {
 public:
  CalcCompiler(runtime::ArenaAllocator& arena, streams::DataStream& text) : arena_(arena), text_(text) {}

  const CalcProcedure* Compile() {
    while (pdf::Lexer::SkipWhiteSpaceAndComments(text_)) {
      const uint8_t c = *text_.Cursor();
      if (c == '{') {
        text_.Advance(1);
        if (depth_ >= CalculatorFunction::kMaxNesting) CalcMalformed();
        open_[depth_++] = new (arena_.Alloc(sizeof(Body))) Body{runtime::ArenaVector<CalcInstruction>(arena_, 10)};
        continue;
      }
      if (c == '}') {
        text_.Advance(1);
        if (depth_ == 0) CalcMalformed();
        const CalcProcedure* closed = Close(*open_[--depth_]);
        if (depth_ == 0) return closed;  // the rest of the stream is not read
        Append({CalcOp::kProcedure, 0, closed, nullptr});
        continue;
      }
      if (depth_ == 0) CalcFault();
      if (c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9')) {
        const runtime::ObjectValue number = pdf::Lexer::ParseNumberToken(text_);
        if (number.Is(ObjectTag::kInteger) || number.Is(ObjectTag::kOverflowedNumber)) {
          // An integer beyond 32 bits reads as the nearest one (so that
          // -2147483648, whose digits alone overflow, is exact).
          Append({CalcOp::kPushInteger, number.AsInteger(), nullptr, nullptr});
        } else if (number.Is(ObjectTag::kReal)) {
          Append({CalcOp::kPushReal, number.payload.real, nullptr, nullptr});
        } else {
          CalcMalformed();
        }
        continue;
      }
      Keyword();
    }
    // The data ended before the outermost procedure closed.
    CalcMalformed();
  }

 private:
  struct Body {
    runtime::ArenaVector<CalcInstruction> code;
  };

  void Append(const CalcInstruction& instruction) { open_[depth_ - 1]->code.PushBack(instruction); }

  const CalcProcedure* Close(Body& body) {
    auto* procedure = new (arena_.Alloc(sizeof(CalcProcedure))) CalcProcedure{body.code.Elements().data(), body.code.Size()};
    return procedure;
  }

  // The last instruction of the open procedure as a procedure literal,
  // removed; (runtime, 2) when it is none.
  const CalcProcedure* TakeProcedure() {
    runtime::ArenaVector<CalcInstruction>& code = open_[depth_ - 1]->code;
    if (code.Size() == 0 || code[code.Size() - 1].op != CalcOp::kProcedure) CalcMalformed();
    const CalcProcedure* procedure = code[code.Size() - 1].first;
    code.EraseRange(code.Size() - 1, code.Size());
    return procedure;
  }

  void Keyword() {
    char name[kLongestCalcName + 1];
    uint32_t length = 0;
    while (text_.Fill(false) && !pdf::IsTokenEnd(*text_.Cursor())) {
      if (length == kLongestCalcName) CalcMalformed();
      name[length++] = static_cast<char>(*text_.Cursor());
      text_.Advance(1);
    }
    const std::string_view word(name, length);
    if (word == "true" || word == "false") return Append({CalcOp::kPushBoolean, word == "true" ? 1 : 0, nullptr, nullptr});
    if (word == "sub") {
      Append({CalcOp::kNeg, 0, nullptr, nullptr});
      return Append({CalcOp::kAdd, 0, nullptr, nullptr});
    }
    if (word == "if") return Append({CalcOp::kIf, 0, TakeProcedure(), nullptr});
    if (word == "ifelse") {
      const CalcProcedure* otherwise = TakeProcedure();
      const CalcProcedure* then = TakeProcedure();
      return Append({CalcOp::kIfElse, 0, then, otherwise});
    }
    for (const CalcKeyword& keyword : kCalcKeywords) {
      if (keyword.name == word) return Append({keyword.op, 0, nullptr, nullptr});
    }
    CalcMalformed();
  }

  runtime::ArenaAllocator& arena_;
  streams::DataStream& text_;
  Body* open_[CalculatorFunction::kMaxNesting] = {};
  uint32_t depth_ = 0;
};

}  // namespace

CalculatorFunction::CalculatorFunction(runtime::LibraryContext* context, const runtime::ObjectHandle& domain,
                                       const runtime::ObjectHandle& range)
    : PdfFunction(context, kCalculator, 4096, 1024) {
  ReadDomainAndRange(domain, range, false);
  stack_ = static_cast<CalcValue*>(arena_.Alloc(sizeof(CalcValue) * kMaxOperands));
  bool normalise = false;
  for (uint32_t j = 0; j < outputs_; ++j) {
    if (range_[2 * j] < 0 || range_[2 * j + 1] > runtime::kFixedOne) normalise = true;
  }
  if (normalise) {
    normalisation_ = AllocateFixed(2 * outputs_);
    for (uint32_t j = 0; j < outputs_; ++j) {
      normalisation_[2 * j] = range_[2 * j];
      normalisation_[2 * j + 1] =
          runtime::FixedDiv(runtime::kFixedOne, SaturateFixed(int64_t{range_[2 * j + 1]} - range_[2 * j]));
    }
  }
}

PdfFunctionRef CalculatorFunction::Create(runtime::LibraryContext* context, const runtime::ObjectHandle& domain,
                                          const runtime::ObjectHandle& range,
                                          const runtime::ObjectHandle& dictionary,
                                          streams::StreamOpener* opener) {
  if (opener == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
  streams::Ref<CalculatorFunction> function = streams::MakeRef<CalculatorFunction>(context, domain, range);
  auto text = streams::MakeRef<streams::ChainedStream>(context, opener->OpenStream(dictionary));
  function->Compile(*text);
  return function;
}

void CalculatorFunction::Compile(streams::DataStream& text) {
  program_ = CalcCompiler(arena_, text).Compile();
}

void CalculatorFunction::RunProgram(const Fixed* inputs) {
  if (program_ == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
  // Whatever an earlier run left behind is dropped.
  depth_ = 0;
  for (uint32_t i = 0; i < inputs_; ++i) stack_[depth_++] = CalcReal(inputs[i]);
  CalcInterp(*this).Execute(*program_);
}

Fixed CalculatorFunction::PopNumberAsFixed() {
  if (depth_ == 0) runtime::ThrowRuntime(runtime::kOverflow);
  return CalcAsReal(stack_[--depth_]);
}

void CalculatorFunction::EvaluateFixed(const Fixed* inputs, Fixed* outputs) {
  RunProgram(inputs);
  for (uint32_t j = outputs_; j-- > 0;) outputs[j] = PopNumberAsFixed();
}

void CalculatorFunction::EvaluateUnit(const Fixed* inputs, Fixed* outputs) {
  EvaluateFixed(inputs, outputs);
  if (normalisation_ == nullptr) return;
  for (uint32_t j = 0; j < outputs_; ++j) {
    const Fixed shifted = SaturateFixed(int64_t{outputs[j]} - normalisation_[2 * j]);
    outputs[j] = SaturateFixed((static_cast<int64_t>(shifted) * normalisation_[2 * j + 1]) >> 16);
  }
}

uint32_t CalculatorFunction::Run(const CalcValue* operands, uint32_t count, CalcValue* result,
                                 uint32_t capacity) {
  if (program_ == nullptr || count > kMaxOperands) runtime::ThrowRuntime(runtime::kMalformed);
  depth_ = 0;
  for (uint32_t i = 0; i < count; ++i) stack_[depth_++] = operands[i];
  CalcInterp(*this).Execute(*program_);
  for (uint32_t i = 0; i < depth_ && i < capacity; ++i) result[i] = stack_[i];
  return depth_;
}

}  // namespace color
