#include "content/ReflowPage.h"

#include "content/TextForwardingHandler.h"
#include "content/TextJob.h"
#include "pdf/PageBoxes.h"
#include "runtime/ErrorTrap.h"
#include "runtime/Fixed.h"

namespace content {

namespace {

const pdf::PageLinkList* ReadLinks(runtime::LibraryContext* owner, const runtime::ObjectHandle& page,
                                   std::optional<pdf::PageLinkList>& links) {
  runtime::ErrorTrap trap(owner);
  if (!trap.Run([&] { links.emplace(owner, page); })) {
    trap.SetHandled();
    // Broken annotations cost the page its links, not its text.
    if (!trap.HoldsRecord() || !trap.Held().IsRuntime(runtime::kMalformed)) trap.Rethrow();
    links.reset();
    trap.Close();
  }
  return links ? &*links : nullptr;
}

// A length in points as units of `page`'s user space, which the text is
// measured in.
runtime::Fixed InPageUnits(const runtime::ObjectHandle& page, runtime::Fixed points) {
  return runtime::FixedDiv(points, pdf::PageBoxes::ReadUnit(page));
}

}  // namespace

ReflowPage::ReflowPage(runtime::LibraryContext* owner, pdf::Document& document, int32_t pageIndex, FontSource* fonts,
                       TextFontSource* textFonts, runtime::Fixed viewWidth, runtime::Fixed viewHeight)
    : owner_(owner),
      document_(document),
      pageIndex_(pageIndex),
      fonts_(fonts),
      textFonts_(textFonts),
      page_(TextPage::Load(owner, document, pageIndex, fonts, textFonts)),
      model_(owner, ReadLinks(owner, page_.page, links_), InPageUnits(page_.page, viewWidth),
             InPageUnits(page_.page, viewHeight)) {
  model_.SetUnit(pdf::PageBoxes::ReadUnit(page_.page));
}

ReflowStyle ReflowPage::PageStyle(runtime::Fixed fontSize) {
  ReflowStyle style;
  style.lineDepth = fontSize / 5;
  return style;
}

void ReflowPage::Build(const ReflowStyle& style) {
  ReflowSegment whole;
  whole.range = ReflowSegment::WholePage(pageIndex_);
  whole.style = style;
  Build(&whole, 1);
}

void ReflowPage::Build(const ReflowSegment* segments, uint32_t count) {
  ReflowDevice device(model_, pageIndex_, segments, count);
  // The job is never started: the handler plays here, and its range (the
  // whole page) never ends, so it never pauses.
  TextJob job(owner_, document_, pageIndex_, fonts_, textFonts_, device);
  TextForwardingHandler handler(page_, pageIndex_, job);
  device.SetHandler(&handler);
  runtime::ErrorTrap trap(owner_);
  if (!trap.Run([&] { page_.Play(handler); })) {
    trap.SetHandled();
    // An error of the content ends the page where it stands: what was
    // shown before it is still placed, then the error passes on.
    // Cancellation passes at once.
    if (trap.HoldsRecord() && !runtime::IsCancelOrNoDataError(trap.Held())) device.Finish();
    trap.Rethrow();
  }
  device.Finish();
}

}  // namespace content
