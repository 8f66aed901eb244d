#pragma once
// What a text handler is played for: the page, its resources and visible
// box, and where the fonts' Unicode comes from; and the loading and
// playing of a page that every text driver shares.
#include <cstdint>

#include "content/ContentHandler.h"
#include "runtime/ObjectHandle.h"
#include "runtime/Rect.h"

namespace pdf {
class Document;
}

namespace content {

class TextFontSource;

struct TextPage {
  runtime::LibraryContext* owner = nullptr;
  PageInfo info;
  runtime::ObjectHandle page;
  runtime::ObjectHandle resources;
  // Strings outside it are invisible; unbounded when not set.
  runtime::Rect visibleBox{runtime::kFixedLowest, runtime::kFixedLowest, runtime::kFixedMax,
                           runtime::kFixedMax};
  TextFontSource* fonts = nullptr;
  void* target = nullptr;
  int32_t width = 0;
  int32_t height = 0;

  // Page `pageIndex` of `document`: its dictionary, resources and visible
  // box (the media box cut by the crop box).
  static TextPage Load(runtime::LibraryContext* owner, pdf::Document& document, int32_t pageIndex,
                       FontSource* fonts, TextFontSource* textFonts);
  // Plays the page's content into `handler`; the early stop of text
  // extraction ends the play quietly, other errors pass on.
  void Play(ContentHandler& handler) const;
};

}  // namespace content
