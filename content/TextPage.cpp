#include "content/TextPage.h"

#include "content/ContentOwner.h"
#include "content/ContentStream.h"
#include "content/Page.h"
#include "pdf/Document.h"
#include "pdf/Page.h"
#include "pdf/PageBoxes.h"
#include "pdf/PageTree.h"
#include "runtime/ErrorTrap.h"

namespace content {

TextPage TextPage::Load(runtime::LibraryContext* owner, pdf::Document& document, int32_t pageIndex,
                        FontSource* fonts, TextFontSource* textFonts) {
  const runtime::ObjectReference reference = pdf::PageTree::FindPageRef(document, pageIndex);
  TextPage text;
  text.owner = owner;
  text.page = document.GetObject(reference.number, reference.generation);
  const pdf::PageBoxes boxes = pdf::PageBoxes::Read(text.page);
  text.info.document = &document;
  text.info.fonts = fonts;
  text.resources = pdf::Page::GetResources(text.page).resources;
  text.visibleBox = boxes.box;
  text.fonts = textFonts;
  text.width = runtime::FixedToIntCeil(runtime::FixedSubSat(boxes.box.x1, boxes.box.x0));
  text.height = runtime::FixedToIntCeil(runtime::FixedSubSat(boxes.box.y1, boxes.box.y0));
  return text;
}

void TextPage::Play(ContentHandler& handler) const {
  ContentMachine* machine = Page::NewMachine(*info.document, page);
  if (machine == nullptr) runtime::ThrowRuntime(runtime::kOutOfMemory);
  MachineHolder holder(owner, machine);
  ContentStream::RunCatchingTextExtractStop(*machine, handler);
}

}  // namespace content
