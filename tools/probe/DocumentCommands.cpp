#include "tools/probe/DocumentCommands.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "pdf/DocInfo.h"
#include "pdf/Destination.h"
#include "pdf/InfoSink.h"
#include "pdf/Outline.h"
#include "pdf/OutlineListener.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace probe {
namespace {

std::string ToUtf8(const char16_t* text, size_t length) {
  std::string out;
  for (size_t i = 0; i < length; ++i) {
    uint32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

// The page an outline node leads to: its "Dest", or the "D" of a "GoTo"
// action. "-" when it leads to no page of this document.
std::string NodePage(pdf::Document& document, const runtime::ObjectHandle& node) {
  int32_t page = -1;
  runtime::CatchAllExceptCancel(document.Context(), [&] {
    runtime::ObjectHandle destination = runtime::Dictionary::Get(node, "Dest");
    if (destination.IsNull()) {
      const runtime::ObjectHandle action = runtime::Dictionary::Get(node, "A");
      if (action.Tag() != runtime::ObjectTag::kDictionary) return;
      const runtime::ObjectHandle kind = runtime::Dictionary::Get(action, "S");
      if (kind.Tag() != runtime::ObjectTag::kName) return;
      if (kind->AsName().Equals("Named")) {
        // The first and last page do not depend on where the reader is;
        // the other named actions do.
        const runtime::ObjectHandle name = runtime::Dictionary::Get(action, "N");
        if (name.Tag() != runtime::ObjectTag::kName) return;
        if (name->AsName().Equals("FirstPage")) page = 0;
        if (name->AsName().Equals("LastPage")) {
          const runtime::ObjectHandle catalog =
              runtime::Dictionary::Get(document.GetTrailer(), "Root");
          const runtime::ObjectHandle pages = runtime::Dictionary::Get(catalog, "Pages");
          page = runtime::Dictionary::GetIntegerOr(pages, "Count", 0) - 1;
        }
        return;
      }
      if (!kind->AsName().Equals("GoTo")) return;
      destination = runtime::Dictionary::Get(action, "D");
    }
    const pdf::DestinationTarget target = pdf::Destination::Resolve(document, destination, -1);
    page = target.pageIndex;
  });
  return page >= 0 ? std::to_string(page) : std::string("-");
}

// Prints `item` and its siblings with the nodes they were read from.
void PrintItems(pdf::Document& document, const pdf::OutlineItem* item,
                runtime::ObjectHandle node, uint32_t depth) {
  for (; item != nullptr && item->titleRead; item = item->next) {
    if (node.Tag() != runtime::ObjectTag::kDictionary) return;
    const bool hasChildren = item->firstChild != nullptr && item->firstChild->titleRead;
    char flag = '|';
    if (hasChildren) {
      flag = runtime::Dictionary::GetIntegerOr(node, "Count", 0) >= 1 ? '+' : '-';
    }
    std::printf("%c\t%u\t%s\t%s\n", flag, depth, NodePage(document, node).c_str(),
                ToUtf8(item->title.data(), item->title.size()).c_str());
    if (hasChildren) {
      PrintItems(document, item->firstChild, runtime::Dictionary::Get(node, "First"), depth + 1);
    }
    node = runtime::Dictionary::Get(node, "Next");
  }
}

class CountingListener final : public pdf::OutlineListener {
 public:
  uint32_t ActiveId() override { return 1; }
  void OnItemAdded(uint32_t, pdf::OutlineItem*, pdf::OutlineItem*, pdf::OutlineItem*,
                   bool) override {}
  void OnItemChanged(uint32_t, pdf::OutlineItem*, pdf::OutlineItem*, pdf::OutlineItem*,
                     bool) override {}
};

class PrintingSink final : public pdf::InfoSink {
 public:
  void SetField(uint32_t id, const char16_t* text) override {
    const char* name = id == kTitle      ? "Title"
                       : id == kSubject  ? "Subject"
                       : id == kAuthor   ? "Author"
                       : id == kKeywords ? "Keywords"
                                         : "ModDate";
    size_t length = 0;
    while (text[length] != 0) ++length;
    std::printf("%s: %s\n", name, ToUtf8(text, length).c_str());
  }
};

}  // namespace

int PrintOutline(pdf::Document& document) {
  CountingListener listener;
  pdf::Outline outline(document, &listener);
  outline.Run();
  PrintItems(document, outline.Root(), outline.GetOutlineRoot(outline.Root()), 0);
  return 0;
}

int PrintMeta(pdf::Document& document) {
  PrintingSink sink;
  pdf::DocInfo::Read(document, sink);
  return 0;
}

int PrintDestination(pdf::Document& document, const char* name) {
  const runtime::ObjectHandle value = pdf::Destination::FindNamed(document, name);
  if (value.IsNull()) {
    std::printf("not found\n");
    return 1;
  }
  const pdf::DestinationTarget target = pdf::Destination::Resolve(document, value, -1);
  std::printf("page %d fit %s\n", target.pageIndex, target.fit[0] != 0 ? target.fit : "-");
  return 0;
}

}  // namespace probe
