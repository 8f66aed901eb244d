#include "viewer/AnnotationLinkText.h"

#include "content/PageModel.h"
#include "pdf/Annotation.h"
#include "pdf/Document.h"
#include "runtime/CountedRef.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"

namespace viewer {

namespace {
constexpr uint32_t kLinkTextArenaBlock = 2048;
}  // namespace

AnnotationLinkList::AnnotationLinkList(runtime::LibraryContext* context)
    : arena(context, kLinkTextArenaBlock, kLinkTextArenaBlock / 4), links(arena, 4), chars(arena, 64) {}

uint32_t AnnotationLinkList::ByteCount() const {
  const uint64_t bytes = sizeof(AnnotationLinkList) + uint64_t{links.Capacity()} * sizeof(LinkTextEntry) +
                         uint64_t{chars.Capacity()} * sizeof(uint32_t);
  return bytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(bytes);
}

runtime::CountedRef<content::PageLinkList> AnnotationLinkText::Build(const content::ViewRecord& view,
                                                                     const content::PageModel& model) {
  const pdf::PageLinkList annotations(context_, document_.GetPageDict(view.pageIndex));
  if (annotations.LinkCount() == 0) return {};
  auto list = runtime::CountedRef<content::PageLinkList>::Adopt(
      context_, runtime::NewObject<AnnotationLinkList>(context_, context_));
  auto* links = static_cast<AnnotationLinkList*>(list.Get());
  links->view = view;
  const auto& lines = model.Lines();
  const auto& chars = model.Chars();
  for (uint32_t i = 0; i < annotations.Count(); ++i) {
    const pdf::LinkRecord* record = annotations.At(i);
    if (record == nullptr) continue;
    LinkTextEntry entry;
    entry.annotIndex = i;
    entry.rect = record->rect;
    entry.firstChar = links->chars.Size();
    const content::OrientedBox area = content::OrientedBox::FromRect(record->rect);
    for (uint32_t l = 0; l < lines.Size() && entry.charCount < kMaxLinkChars; ++l) {
      runtime::ChargeWork(context_, runtime::kWorkCostLight);
      const content::TextLineRecord& line = lines[l];
      if (!content::OrientedBox::Meets(line.box, area)) continue;
      // Lines of one link are kept apart by a space.
      if (entry.charCount > 0) {
        links->chars.PushBack(0x20);
        ++entry.charCount;
      }
      for (uint32_t c = 0; c < line.charCount && entry.charCount < kMaxLinkChars; ++c) {
        const uint32_t at = line.firstChar + c;
        if (at >= chars.Size()) break;
        links->chars.PushBack(chars[at]);
        ++entry.charCount;
      }
    }
    links->links.PushBack(entry);
  }
  links->pageValue = static_cast<int32_t>(links->links.Size());
  return list;
}

}  // namespace viewer
