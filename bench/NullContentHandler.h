#pragma once
// A content handler that draws and collects nothing, for benchmarks that
// measure the interpreter itself.
#include <cstdint>
#include <string_view>

#include "content/ContentHandler.h"
#include "content/InlineImage.h"
#include "content/TextArrayElement.h"

namespace bench {

class NullContentHandler : public content::ContentHandler {
 public:
  using ContentHandler::ContentHandler;
  int BeginPath(runtime::Rect&, bool) override { return 1; }
  void PaintPath(content::ContentStream&, bool, const content::PathPaint&,
                 const content::PathSegments&) override {}
  void EndTextClip() override {}
  void DoXObject(std::string_view) override {}
  void PaintImage(const content::InlineImage&, uint32_t) override {}
  void DoShading(std::string_view) override {}
  void ShowText(const uint8_t*, uint32_t, runtime::Rect&) override {}
  void ShowTextArray(const content::TextArrayElement*, uint32_t, runtime::Rect&) override {}
  void* GetTarget() override { return nullptr; }
  int32_t GetPageWidth() override { return 0; }
  int32_t GetPageHeight() override { return 0; }
  void EndText(content::Span&, content::ContentStream&) override {}
};

}  // namespace bench
