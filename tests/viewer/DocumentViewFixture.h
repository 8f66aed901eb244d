#pragma once
// An open document as the viewer's pen, link and search code sees it: a
// generated document whose pages show text in the stub font, laid out in
// a page view of 240 x 320 pixels at 96 dpi, with the document's
// selection, the action runner and the pen over it.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "pdf/Document.h"
#include "pdf/PageInfoTable.h"
#include "runtime/LibraryContext.h"
#include "tests/content/TextTestSupport.h"
#include "tests/pdf/PdfTestSupport.h"
#include "tests/support/FakeHostServices.h"
#include "viewer/ActionRunner.h"
#include "viewer/DocumentPageSizes.h"
#include "viewer/DocumentSelection.h"
#include "viewer/PagePen.h"
#include "viewer/PageView.h"

namespace viewertest {

// Counts the host calls the links and the pen make.
class LinkHost : public testsupport::FakeHostServices {
 public:
  void OnRemoteGoTo() override { log.push_back("remote go-to"); }
  void OnOpenUri() override { log.push_back("open uri"); }
  void SetOemIgnoreApp(uint32_t oldTool, uint32_t newTool) override {
    log.push_back("ignore app " + std::to_string(oldTool) + " " + std::to_string(newTool));
  }
  std::vector<std::string> log;
};

struct PageSpec {
  std::string content;  // the page's content stream
  std::string entries;  // more entries of the page dictionary ("/Annots [...]")
};

// Page i is object 20 + 2i (its content 21 + 2i): destinations name it
// "2i+20 0 R". The stub font is object 10, named F1.
inline std::string GenerateDocument(const std::vector<PageSpec>& pages, const std::string& catalogEntries = "",
                                    const std::vector<std::pair<uint32_t, std::string>>& objects = {}) {
  pdftest::PdfWriter writer;
  std::string kids;
  for (size_t i = 0; i < pages.size(); ++i) kids += std::to_string(20 + 2 * i) + " 0 R ";
  writer.Object(1, "<< /Type /Catalog /Pages 2 0 R " + catalogEntries + " >>")
      .Object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>")
      .Object(10, "<< /Type /Font /Subtype /Type1 /BaseFont /Stub >>");
  for (const auto& [number, body] : objects) writer.Object(number, body);
  for (size_t i = 0; i < pages.size(); ++i) {
    const uint32_t page = static_cast<uint32_t>(20 + 2 * i);
    writer
        .Object(page, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 10 0 R >> >> "
                      "/Contents " + std::to_string(page + 1) + " 0 R " + pages[i].entries + " >>")
        .Object(page + 1, "<< /Length " + std::to_string(pages[i].content.size()) + " >>\nstream\n" +
                              pages[i].content + "\nendstream");
  }
  writer.ClassicTable("/Root 1 0 R");
  return writer.Text();
}

class DocumentView {
 public:
  DocumentView(runtime::LibraryContext* context, const std::string& bytes)
      : bytes_(bytes), document_(context, bytes_) {
    const int32_t count = document_->GetPageCount();
    table_ = std::make_unique<pdf::PageInfoTable>(context, *document_, count);
    table_->AvailablePages().Add(0, count);
    sizes_ = std::make_unique<viewer::DocumentPageSizes>(*table_);
    viewer::MarginPoint view;
    view.width = 240;
    view.height = 320;
    view_ = std::make_unique<viewer::PageView>(context, *sizes_, nullptr, view, 96);
    view_->SetHost(&host);
    actions_ = std::make_unique<viewer::ActionRunner>(context, *document_, *view_, &host);
    pen_ = std::make_unique<viewer::PagePen>(*view_, *document_, *actions_, selection, &fonts, &fonts);
  }

  pdf::Document& Document() { return *document_; }
  viewer::PageView& View() { return *view_; }
  viewer::ActionRunner& Actions() { return *actions_; }
  viewer::PagePen& Pen() { return *pen_; }

  LinkHost host;
  texttest::StubTextFonts fonts;
  viewer::DocumentSelection selection;

 private:
  std::string bytes_;
  pdftest::OpenDocument document_;
  std::unique_ptr<pdf::PageInfoTable> table_;
  std::unique_ptr<viewer::DocumentPageSizes> sizes_;
  std::unique_ptr<viewer::PageView> view_;
  std::unique_ptr<viewer::ActionRunner> actions_;
  std::unique_ptr<viewer::PagePen> pen_;
};

}  // namespace viewertest
