#include "content/PathReader.h"

#include <string_view>

#include "content/ContentToken.h"
#include "pdf/PdfCharClass.h"
#include "pdf/TokenParser.h"
#include "runtime/ErrorTrap.h"
#include "runtime/ValueStore.h"

namespace content {

using runtime::Fixed;
using runtime::ObjectValue;
using runtime::PackedPoint;

namespace {

// The operators between a path's start and its painting, reduced to what
// they do to the path.
class PathOperators {
 public:
  explicit PathOperators(runtime::ArenaVector<PackedPoint>& segments) : segments_(segments) {}

  void Push(const ObjectValue& value) {
    if (count_ == PathReader::kMaxOperands) runtime::ThrowMalformed();
    operands_[count_++] = value;
  }

  // Applies one operator; true when it painted the path.
  bool Apply(std::string_view keyword) {
    if (keyword == "m" || keyword == "l") {
      Require(2);
      Add(Number(2, 0), Number(2, 1), keyword == "m" ? PackedPoint::kMove : PackedPoint::kLine);
      started_ = true;
    } else if (keyword == "re") {
      Require(4);
      const Fixed x = Number(4, 0);
      const Fixed y = Number(4, 1);
      const Fixed right = runtime::FixedAddSat(x, Number(4, 2));
      const Fixed top = runtime::FixedAddSat(y, Number(4, 3));
      Add(x, y, PackedPoint::kMove);
      Add(right, y, PackedPoint::kLine);
      Add(right, top, PackedPoint::kLine);
      Add(x, top, PackedPoint::kLine);
      Add(0, 0, PackedPoint::kClose);
      started_ = true;
    } else if (keyword == "c" || keyword == "v" || keyword == "y") {
      if (!started_) runtime::ThrowMalformed();
      const bool six = keyword == "c";
      Require(six ? 6 : 4);
      if (six) {
        for (uint32_t i = 0; i < 6; i += 2) Add(Number(6, i), Number(6, i + 1), PackedPoint::kCurve);
      } else if (keyword == "v") {
        // The first control point is the current point.
        if (!hasPoint_) runtime::ThrowMalformed();
        Add(currentX_, currentY_, PackedPoint::kCurve);
        Add(Number(4, 0), Number(4, 1), PackedPoint::kCurve);
        Add(Number(4, 2), Number(4, 3), PackedPoint::kCurve);
      } else {
        // The second control point is the end point.
        Add(Number(4, 0), Number(4, 1), PackedPoint::kCurve);
        Add(Number(4, 2), Number(4, 3), PackedPoint::kCurve);
        Add(Number(4, 2), Number(4, 3), PackedPoint::kCurve);
      }
    } else if (keyword == "h") {
      if (started_) Add(0, 0, PackedPoint::kClose);
    } else if (keyword == "s" || keyword == "b" || keyword == "b*") {
      if (!started_) runtime::ThrowMalformed();
      if (pathSegments_ != 0) Add(0, 0, PackedPoint::kClose);
      return true;
    } else if (keyword == "S" || keyword == "f" || keyword == "F" || keyword == "f*" ||
               keyword == "B" || keyword == "B*" || keyword == "n") {
      if (!started_) runtime::ThrowMalformed();
      return true;
    } else if (keyword == "Q" || keyword == "BT" || keyword == "ET" || keyword == "ID") {
      // Each of these ends a path's collection (or is refused) when
      // recorded, so a path kept by reference never contains one.
      runtime::ThrowMalformed();
    } else if (keyword == "true" || keyword == "false" || keyword == "null") {
      Push(keyword == "null" ? ObjectValue::Null() : ObjectValue::Boolean(keyword == "true"));
      return false;
    } else if (keyword == "obj") {
      count_ = count_ >= 2 ? count_ - 2 : 0;
      return false;
    } else if (keyword == "R" || keyword == "endobj" || keyword == "trailer") {
      return false;  // ignored, operands kept, as when recorded
    }
    // Every other operator (colours, line styles, W, q, gs, ...) leaves the
    // path as it is and takes its operands with it.
    count_ = 0;
    return false;
  }

 private:
  void Require(uint32_t count) const {
    if (count_ < count) runtime::ThrowMalformed();
  }
  Fixed Number(uint32_t count, uint32_t index) const {
    const ObjectValue& value = operands_[count_ - count + index];
    if (!value.IsNumber()) runtime::ThrowMalformed();
    return value.AsNumber();
  }
  void Add(Fixed x, Fixed y, uint8_t kind) {
    PackedPoint point;
    PackedPoint::Pack(point, x, y, kind);
    segments_.PushBack(point);
    ++pathSegments_;
    if (kind == PackedPoint::kClose) return;
    currentX_ = x;
    currentY_ = y;
    hasPoint_ = true;
  }

  runtime::ArenaVector<PackedPoint>& segments_;
  ObjectValue operands_[PathReader::kMaxOperands];
  uint32_t count_ = 0;
  uint32_t pathSegments_ = 0;
  bool started_ = false;
  bool hasPoint_ = false;
  Fixed currentX_ = 0;
  Fixed currentY_ = 0;
};

// Skips an inline image's data after its "ID": the data end at the first
// "EI" that stands alone after white space.
void SkipInlineImageData(streams::DataStream& stream) {
  uint8_t previous = ' ';
  for (;;) {
    if (!stream.Fill(false)) runtime::ThrowMalformed();
    const uint8_t byte = *stream.Cursor();
    stream.Advance(1);
    if (byte == 'E' && pdf::IsWhiteSpace(previous) && stream.Fill(false) &&
        *stream.Cursor() == 'I') {
      stream.Advance(1);
      if (!stream.Fill(false) || pdf::IsTokenEnd(*stream.Cursor())) return;
      previous = 'I';
      continue;
    }
    previous = byte;
  }
}

}  // namespace

void PathReader::Read(runtime::LibraryContext* context, streams::DataStream& stream,
                      uint64_t position, runtime::ArenaVector<PackedPoint>& segments) {
  stream.Seek(position);
  runtime::StoreRef store = runtime::StoreRef::Adopt(context, runtime::ValueStore::New(context));
  pdf::ParseSettings settings;
  settings.allowStreams = false;
  pdf::TokenParser parser(context, stream, *store, settings);
  PathOperators path(segments);
  ContentToken token;
  for (;;) {
    switch (ContentToken::Read(stream, parser, token)) {
      case ContentToken::kEnd:
        // A path kept by reference was painted, so its data cannot end first.
        runtime::ThrowMalformed();
      case ContentToken::kOperand:
        path.Push(token.operand);
        continue;
      case ContentToken::kDelimiter:
        continue;  // skipped as in a compatibility section
      case ContentToken::kKeyword:
        break;
    }
    const std::string_view name = token.keyword;
    if (name == "BI") {
      parser.ParseInlineImageParameters();
      SkipInlineImageData(stream);
      continue;
    }
    if (path.Apply(name)) return;
  }
}

}  // namespace content
