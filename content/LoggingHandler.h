#pragma once
// A content handler that writes one line per call (the operation and its
// operands) and otherwise keeps the base behaviour: for the probe tool and
// for tests that check what playback calls.
#include <string>

#include "content/ContentHandler.h"

namespace content {

class LoggingHandler : public ContentHandler {
 public:
  LoggingHandler(runtime::LibraryContext* owner, const PageInfo& page,
                 const runtime::ObjectHandle* resources,
                 const ContentSegmentList* segments = nullptr);

  // The lines written so far, each ended by a newline.
  const std::string& Log() const { return log_; }
  void ClearLog() { log_.clear(); }

  // A Fixed as the shortest decimal that reads back to it within 1/10000.
  static std::string FormatFixed(runtime::Fixed value);

  void ApplyExtGState(const ExtGState& record) override;
  void SaveState(Span& span, ContentStream& player) override;
  void BeginMarkedContent(bool hasMcid, int32_t mcid, int32_t structParents,
                          const runtime::ObjectHandle* element) override;
  void EndMarkedContent() override;
  void SetRenderingIntent(uint8_t intent) override;
  void SetColorSpace(ColorSpaceKind kind, bool stroke, std::string_view name) override;
  void SetColor(bool stroke, uint32_t count, const runtime::Fixed* components,
                std::string_view pattern) override;
  void ConcatMatrix(const runtime::Matrix& m) override;
  void SetLineWidth(runtime::Fixed width) override;
  void SetLineCap(int32_t cap) override;
  void SetLineJoin(int32_t join) override;
  void SetMiterLimit(runtime::Fixed limit) override;
  void SetDash(const runtime::Fixed* lengths, uint32_t count, runtime::Fixed phase) override;
  void SetFlatness(runtime::Fixed flatness) override;
  int BeginPath(runtime::Rect& bounds, bool stroke) override;
  void PaintPath(ContentStream& player, bool pathPresent, const PathPaint& paint,
                 const PathSegments& segments) override;
  void EndTextClip() override;
  void PaintForm(std::string_view name, const runtime::Matrix& matrix,
                 const runtime::Rect& box) override;
  void DoXObject(std::string_view name) override;
  void PaintImage(const InlineImage& image, uint32_t options) override;
  void DoShading(std::string_view name) override;
  void SetCharSpacing(runtime::Fixed spacing) override;
  void SetWordSpacing(runtime::Fixed spacing) override;
  void SetHorizontalScale(runtime::Fixed scale) override;
  void SetLeading(runtime::Fixed leading) override;
  void SetTextRenderMode(int32_t mode) override;
  void SetTextRise(runtime::Fixed rise) override;
  void MoveText(runtime::Fixed tx, runtime::Fixed ty, bool setLeading) override;
  void SetTextMatrix(const runtime::Matrix& m) override;
  void NextLine() override;
  void SetFont(std::string_view name, runtime::Fixed size) override;
  void ShowText(const uint8_t* bytes, uint32_t count, runtime::Rect& box) override;
  void ShowTextArray(const TextArrayElement* elements, uint32_t count,
                     runtime::Rect& bounds) override;
  void BeginText(Span& span, ContentStream& player) override;
  void* GetTarget() override { return nullptr; }
  int32_t GetPageWidth() override { return 0; }
  int32_t GetPageHeight() override { return 0; }
  void EndText(Span& span, ContentStream& player) override;

 private:
  void Line(const std::string& text);

  std::string log_;
  // Calls that the base makes on the handler itself (MoveText from
  // NextLine, SetLeading from MoveText) are not logged a second time.
  uint32_t inner_ = 0;
};

}  // namespace content
