// The viewer's small dialogs: the zoom dialog, the document properties and
// the go-to-page dialog, and the zoom another program sets or reads.
#include <cstdint>
#include <cstring>
#include <utility>

#include "runtime/HostDialogs.h"
#include "runtime/HostServices.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"
#include "runtime/WideString.h"
#include "viewer/DocumentInfoJob.h"
#include "viewer/OpenDocument.h"
#include "viewer/ViewPositionMath.h"
#include "viewer/Viewer.h"
#include "viewer/WideDecimal.h"
#include "viewer/ZoomPresets.h"

namespace viewer {
namespace {

// Columns of the UI string table.
constexpr uint32_t kTextEnterPageNumber = 35;
constexpr uint32_t kTextTotalPages = 36;
constexpr uint32_t kTextCurrentZoom = 37;

// Controls of the dialogs.
constexpr uint32_t kZoomLabel = 1501;
constexpr uint32_t kGoToPrompt = 1601;
constexpr uint32_t kGoToTotalLabel = 1602;
// The dialog shows the page count beside its label and starts its field
// with the current page number.
constexpr uint32_t kGoToPageCount = 1603;
constexpr uint32_t kGoToCurrentPage = 1604;

// The properties dialog: each label control with its text, followed by
// its value control.
struct PropertyRow {
  uint32_t label;
  uint32_t text;
  uint32_t value;
};
constexpr PropertyRow kPropertyRows[] = {
    {1401, 39, 1402}, {1403, 41, 1404}, {1405, 40, 1406}, {1407, 42, 1408}, {1409, 44, 1410}};
constexpr const char16_t* kPendingValue = u"...";

// Decimal text of a number, at most 25 units.
struct NumberText {
  explicit NumberText(int64_t value) {
    const int32_t shown = value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
    runtime::IntToWideString(shown, text, sizeof(text) / sizeof(text[0]));
  }
  char16_t text[25] = {};
};

}  // namespace

void Viewer::ShowZoomDialog() {
  if (pageView == nullptr || host == nullptr) return;
  runtime::ZoomDialog* dialog = host->CreateZoomDialog();
  if (dialog == nullptr) return;
  dialog->SetTitle(caption);
  dialog->SetItemText(kZoomLabel, Text(kTextCurrentZoom));
  dialog->SetSoftKeys(menu.OkCancelPair());
  const int32_t percent = ZoomPercent(currentZoom);
  dialog->SetPresets(kZoomPresetCount, kZoomPresets, SelectZoomPreset(percent), percent);
  currentDialog = dialog;
  const int32_t result = dialog->RunModal();
  currentDialog = nullptr;
  const int32_t chosen = result == runtime::kDialogOk ? dialog->GetValue() : 0;
  host->DestroyZoomDialog(dialog);
  if (result != runtime::kDialogOk) return;
  const runtime::Fixed zoom = ZoomFromPercent(chosen);
  RunPageViewRequest([&] { pageView->SetZoom(kZoomExplicit, zoom); });
}

void Viewer::SetZoomFactor(uint32_t floatBits) {
  float factor = 0;
  std::memcpy(&factor, &floatBits, sizeof factor);
  runtime::Fixed zoom = 0;
  // A factor that is not a usable zoom (not finite, not positive) changes
  // nothing; others are held within the zoom limits.
  if (pageView == nullptr || !ZoomFromFloat(factor, zoom)) return;
  RunPageViewRequest([&] { pageView->SetZoom(kZoomExplicit, zoom); });
}

uint32_t Viewer::GetZoomFactor() const {
  const float factor = static_cast<float>(currentZoom) / 65536.0f;
  uint32_t bits = 0;
  std::memcpy(&bits, &factor, sizeof bits);
  return bits;
}

void Viewer::ShowDetails() {
  if (pageView == nullptr || host == nullptr) return;
  runtime::PropertiesDialog* dialog = host->CreatePropertiesDialog();
  if (dialog == nullptr) return;
  dialog->SetTitle(caption);
  for (const PropertyRow& row : kPropertyRows) {
    dialog->SetItemText(row.label, Text(row.text));
    dialog->SetItemText(row.value, kPendingValue);
  }
  dialog->SetSoftKeys(menu.OkOnly());
  if (currentDocument != nullptr && currentDocument->Document() != nullptr) {
    auto* job = runtime::NewObject<DocumentInfoJob>(context, context, this,
                                                    *currentDocument->Document(), dialog);
    infoJob.Reset(job);
    // The values the job reads before it first yields are there when the
    // dialog opens; the work timer fills in the rest.
    if (context->scheduler != nullptr) context->scheduler->StartThread(job);
  }
  currentDialog = dialog;
  dialog->RunModal();
  currentDialog = nullptr;
  // A job still reading is killed; its busy state ends as it unwinds, so
  // the busy count is what it was before the command.
  infoJob.Destroy();
  host->DestroyPropertiesDialog(dialog);
}

void Viewer::ShowGoToPageDialog() {
  if (pageView == nullptr || host == nullptr) return;
  for (;;) {
    runtime::GoToPageDialog* dialog = host->CreateGoToPageDialog();
    if (dialog == nullptr) return;
    const PageViewState state = pageView->State();
    dialog->SetTitle(caption);
    dialog->SetItemText(kGoToPrompt, Text(kTextEnterPageNumber));
    dialog->SetItemText(kGoToTotalLabel, Text(kTextTotalPages));
    dialog->SetItemText(kGoToPageCount, NumberText(state.pageCount).text);
    dialog->SetItemText(kGoToCurrentPage, NumberText(int64_t{state.currentPage} + 1).text);
    dialog->SetSoftKeys(menu.OkCancelPair());
    currentDialog = dialog;
    const int32_t result = dialog->RunModal();
    currentDialog = nullptr;
    uint32_t message = 0;
    if (result == runtime::kDialogOk) {
      const uint32_t page = ParseWideDecimal(dialog->GetText());
      if (page < 1) {
        message = kTextPageNotPositive;
      } else if (page > static_cast<uint32_t>(state.pageCount)) {
        message = kTextPageTooLarge;
      } else {
        RunPageViewRequest([&] { pageView->GoToPage(static_cast<int32_t>(page - 1), true); });
      }
    }
    // A number that cannot be used is explained, and the dialog asks again.
    if (message != 0) ShowLocalizedMessage(message);
    host->DestroyGoToPageDialog(dialog);
    if (message == 0) return;
  }
}

}  // namespace viewer
