#include "content/LoggingHandler.h"

#include <cstdio>
#include <cstdlib>

#include "content/ExtGState.h"
#include "content/InlineImage.h"

namespace content {

using runtime::Fixed;

namespace {

std::string Quoted(const uint8_t* bytes, uint32_t count) {
  std::string text = "(";
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t byte = bytes[i];
    if (byte >= 0x20 && byte < 0x7F && byte != '(' && byte != ')' && byte != '\\') {
      text += static_cast<char>(byte);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\%03o", byte);
      text += escaped;
    }
  }
  return text + ")";
}

// Holds the handler's "inside a base call" count up for one scope.
struct Inner {
  uint32_t& count;
  explicit Inner(uint32_t& c) : count(c) { ++count; }
  ~Inner() { --count; }
};

}  // namespace

LoggingHandler::LoggingHandler(runtime::LibraryContext* owner, const PageInfo& page,
                               const runtime::ObjectHandle* resources,
                               const ContentSegmentList* segments)
    : ContentHandler(owner, page, 0, resources, segments) {}

std::string LoggingHandler::FormatFixed(Fixed value) {
  const bool negative = value < 0;
  uint64_t magnitude = runtime::Magnitude(value);
  uint64_t whole = magnitude >> 16;
  // Four decimals, rounded to nearest.
  uint64_t fraction = ((magnitude & 0xFFFF) * 10000 + 0x8000) >> 16;
  if (fraction == 10000) {
    ++whole;
    fraction = 0;
  }
  std::string text = negative && (whole != 0 || fraction != 0) ? "-" : "";
  text += std::to_string(whole);
  if (fraction != 0) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(fraction));
    std::string decimals = digits;
    while (!decimals.empty() && decimals.back() == '0') decimals.pop_back();
    text += "." + decimals;
  }
  return text;
}

void LoggingHandler::Line(const std::string& text) {
  if (inner_ != 0) return;
  log_ += text;
  log_ += '\n';
}

static std::string Matrix6(const runtime::Matrix& m) {
  return LoggingHandler::FormatFixed(m.a) + " " + LoggingHandler::FormatFixed(m.b) + " " +
         LoggingHandler::FormatFixed(m.c) + " " + LoggingHandler::FormatFixed(m.d) + " " +
         LoggingHandler::FormatFixed(m.e) + " " + LoggingHandler::FormatFixed(m.f);
}

void LoggingHandler::ApplyExtGState(const ExtGState& record) {
  // The set's entries under their dictionary keys, in flag order.
  using Entry = ExtGState;
  auto flag = [](bool value) { return std::string(value ? " true" : " false"); };
  std::string text = "ApplyExtGState";
  if (record.Has(Entry::kLineWidth)) text += " LW " + FormatFixed(record.lineWidth);
  if (record.Has(Entry::kLineCap)) text += " LC " + std::to_string(record.lineCap);
  if (record.Has(Entry::kLineJoin)) text += " LJ " + std::to_string(record.lineJoin);
  if (record.Has(Entry::kMiterLimit)) text += " ML " + FormatFixed(record.miterLimit);
  if (record.Has(Entry::kDash)) {
    text += " D [";
    for (uint32_t i = 0; i < record.dashCount; ++i) {
      text += (i != 0 ? " " : "") + FormatFixed(record.dashLengths[i]);
    }
    text += "] " + FormatFixed(record.dashPhase);
  }
  if (record.Has(Entry::kAlphaIsShape)) text += " AIS" + flag(record.alphaIsShape);
  if (record.Has(Entry::kFillAlpha)) text += " ca " + FormatFixed(record.fillAlpha);
  if (record.Has(Entry::kStrokeAlpha)) text += " CA " + FormatFixed(record.strokeAlpha);
  if (record.Has(Entry::kFont)) {
    text += " Font " + std::to_string(record.fontObject) + " " +
            std::to_string(record.fontGeneration) + " R " + FormatFixed(record.fontSize);
  }
  if (record.Has(Entry::kTextKnockout)) text += " TK" + flag(record.textKnockout);
  if (record.Has(Entry::kBlendMode)) text += " BM " + std::to_string(record.blendMode);
  if (record.Has(Entry::kStrokeOverprint)) text += " OP" + flag(record.strokeOverprint);
  if (record.Has(Entry::kFillOverprint)) text += " op" + flag(record.fillOverprint);
  if (record.Has(Entry::kIntent)) text += " RI " + std::to_string(record.intent);
  if (record.Has(Entry::kSoftMask)) text += " SMask";
  Line(text);
  ContentHandler::ApplyExtGState(record);
}

void LoggingHandler::SaveState(Span& span, ContentStream& player) {
  Line("SaveState");
  ContentHandler::SaveState(span, player);
}

void LoggingHandler::BeginMarkedContent(bool hasMcid, int32_t mcid, int32_t structParents,
                                        const runtime::ObjectHandle* element) {
  std::string text = "BeginMarkedContent";
  if (hasMcid) text += " mcid=" + std::to_string(mcid);
  if (element != nullptr && element->Tag() == runtime::ObjectTag::kDictionary) {
    const runtime::ContainerRecord* record = element->Value().AsDictionary().Record();
    text += " struct=" + std::to_string(structParents) + " element=" +
            (record != nullptr ? std::to_string(record->objectNumber) + " R" : "direct");
  }
  Line(text);
  ContentHandler::BeginMarkedContent(hasMcid, mcid, structParents, element);
}

void LoggingHandler::EndMarkedContent() { Line("EndMarkedContent"); }

void LoggingHandler::SetRenderingIntent(uint8_t intent) {
  Line("SetRenderingIntent " + std::to_string(intent));
  ContentHandler::SetRenderingIntent(intent);
}

void LoggingHandler::SetColorSpace(ColorSpaceKind kind, bool stroke, std::string_view name) {
  std::string text = std::string("SetColorSpace ") + (stroke ? "stroke " : "fill ") +
                     std::to_string(static_cast<int>(kind));
  if (!name.empty()) text += " /" + std::string(name);
  Line(text);
  ContentHandler::SetColorSpace(kind, stroke, name);
}

void LoggingHandler::SetColor(bool stroke, uint32_t count, const Fixed* components,
                              std::string_view pattern) {
  std::string text = std::string("SetColor ") + (stroke ? "stroke" : "fill");
  for (uint32_t i = 0; i < count; ++i) text += " " + FormatFixed(components[i]);
  if (!pattern.empty()) text += " /" + std::string(pattern);
  Line(text);
  ContentHandler::SetColor(stroke, count, components, pattern);
}

void LoggingHandler::ConcatMatrix(const runtime::Matrix& m) {
  Line("ConcatMatrix " + Matrix6(m));
  ContentHandler::ConcatMatrix(m);
}

void LoggingHandler::SetLineWidth(Fixed width) {
  Line("SetLineWidth " + FormatFixed(width));
  ContentHandler::SetLineWidth(width);
}

void LoggingHandler::SetLineCap(int32_t cap) {
  Line("SetLineCap " + std::to_string(cap));
  ContentHandler::SetLineCap(cap);
}

void LoggingHandler::SetLineJoin(int32_t join) {
  Line("SetLineJoin " + std::to_string(join));
  ContentHandler::SetLineJoin(join);
}

void LoggingHandler::SetMiterLimit(Fixed limit) {
  Line("SetMiterLimit " + FormatFixed(limit));
  ContentHandler::SetMiterLimit(limit);
}

void LoggingHandler::SetDash(const Fixed* lengths, uint32_t count, Fixed phase) {
  std::string text = "SetDash [";
  for (uint32_t i = 0; i < count; ++i) text += (i != 0 ? " " : "") + FormatFixed(lengths[i]);
  Line(text + "] " + FormatFixed(phase));
  ContentHandler::SetDash(lengths, count, phase);
}

void LoggingHandler::SetFlatness(Fixed flatness) { Line("SetFlatness " + FormatFixed(flatness)); }

int LoggingHandler::BeginPath(runtime::Rect&, bool) { return 1; }

void LoggingHandler::PaintPath(ContentStream&, bool pathPresent, const PathPaint& paint,
                               const PathSegments& segments) {
  static const char kKinds[] = {'m', 'l', 'c', 'h'};
  std::string text = "PaintPath";
  text += paint.stroke ? " stroke" : "";
  if (paint.fillRule != PathHeader::kRuleNone) text += paint.fillRule == 0 ? " fill" : " eofill";
  if (paint.clipRule != PathHeader::kRuleNone) text += paint.clipRule == 0 ? " clip" : " eoclip";
  if (!pathPresent) text += " absent";
  for (uint32_t i = 0; i < segments.count; ++i) {
    const runtime::PackedPoint& point = segments.points[i];
    const uint8_t kind = point.PointKind();
    text += " ";
    if (kind != runtime::PackedPoint::kClose) {
      text += FormatFixed(point.X()) + " " + FormatFixed(point.Y()) + " ";
    }
    text += kKinds[kind];
  }
  Line(text);
}

void LoggingHandler::EndTextClip() { Line("EndTextClip"); }

void LoggingHandler::PaintForm(std::string_view name, const runtime::Matrix& matrix,
                               const runtime::Rect& box) {
  Line("PaintForm /" + std::string(name) + " " + Matrix6(matrix));
  ContentHandler::PaintForm(name, matrix, box);
}

void LoggingHandler::DoXObject(std::string_view name) {
  Line("DoXObject /" + std::string(name));
}

void LoggingHandler::PaintImage(const InlineImage& image, uint32_t) {
  Line("PaintImage " + std::to_string(image.width) + "x" + std::to_string(image.height) +
       " data=" + std::to_string(image.SampleBytes()));
}

void LoggingHandler::DoShading(std::string_view name) { Line("DoShading /" + std::string(name)); }

void LoggingHandler::SetCharSpacing(Fixed spacing) {
  Line("SetCharSpacing " + FormatFixed(spacing));
  ContentHandler::SetCharSpacing(spacing);
}

void LoggingHandler::SetWordSpacing(Fixed spacing) {
  Line("SetWordSpacing " + FormatFixed(spacing));
  ContentHandler::SetWordSpacing(spacing);
}

void LoggingHandler::SetHorizontalScale(Fixed scale) {
  Line("SetHorizontalScale " + FormatFixed(scale));
  ContentHandler::SetHorizontalScale(scale);
}

void LoggingHandler::SetLeading(Fixed leading) {
  Line("SetLeading " + FormatFixed(leading));
  ContentHandler::SetLeading(leading);
}

void LoggingHandler::SetTextRenderMode(int32_t mode) {
  Line("SetTextRenderMode " + std::to_string(mode));
  ContentHandler::SetTextRenderMode(mode);
}

void LoggingHandler::SetTextRise(Fixed rise) {
  Line("SetTextRise " + FormatFixed(rise));
  ContentHandler::SetTextRise(rise);
}

void LoggingHandler::MoveText(Fixed tx, Fixed ty, bool setLeading) {
  Line("MoveText " + FormatFixed(tx) + " " + FormatFixed(ty) + (setLeading ? " leading" : ""));
  Inner inner(inner_);
  ContentHandler::MoveText(tx, ty, setLeading);
}

void LoggingHandler::SetTextMatrix(const runtime::Matrix& m) {
  Line("SetTextMatrix " + Matrix6(m));
  ContentHandler::SetTextMatrix(m);
}

void LoggingHandler::NextLine() {
  Line("NextLine");
  Inner inner(inner_);
  ContentHandler::NextLine();
}

void LoggingHandler::SetFont(std::string_view name, Fixed size) {
  Line("SetFont /" + std::string(name) + " " + FormatFixed(size));
  ContentHandler::SetFont(name, size);
}

void LoggingHandler::ShowText(const uint8_t* bytes, uint32_t count, runtime::Rect&) {
  Line("ShowText " + Quoted(bytes, count) + " at " + FormatFixed(TextMatrix().e) + " " +
       FormatFixed(TextMatrix().f));
}

void LoggingHandler::ShowTextArray(const TextArrayElement* elements, uint32_t count,
                                   runtime::Rect&) {
  std::string text = "ShowTextArray [";
  for (uint32_t i = 0; i < count; ++i) {
    if (i != 0) text += " ";
    const TextArrayElement& element = elements[i];
    text += element.IsString()
                ? Quoted(element.payload.string->Bytes(), element.payload.string->length)
                : FormatFixed(element.payload.adjustment);
  }
  Line(text + "] at " + FormatFixed(TextMatrix().e) + " " + FormatFixed(TextMatrix().f));
}

void LoggingHandler::BeginText(Span& span, ContentStream& player) {
  Line("BeginText");
  ContentHandler::BeginText(span, player);
}

void LoggingHandler::EndText(Span&, ContentStream&) { Line("EndText"); }

}  // namespace content
