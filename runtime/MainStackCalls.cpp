#include "runtime/MainStackCalls.h"

#include "runtime/HostWindow.h"
#include "runtime/Scheduler.h"

namespace runtime {

void CallGetRectOnMain(LibraryContext* context, SetRectRecord* record) {
  if (record == nullptr || record->window == nullptr) return;
  RunOnMainStack(context, [record] { record->window->GetRect(&record->rect); });
}

void CallSetRectOnMain(LibraryContext* context, SetRectRecord* record) {
  if (record == nullptr || record->window == nullptr) return;
  RunOnMainStack(context, [record] { record->window->SetRect(record->rect); });
}

void CallSetTextOnMain(LibraryContext* context, SetTextRecord* record) {
  if (record == nullptr || record->window == nullptr) return;
  RunOnMainStack(context, [record] { record->window->SetText(record->text); });
}

}  // namespace runtime
