// The Find dialog: it shows the current search string and options, and on
// OK with a string takes them over and runs Find Next at once.
#include "runtime/ErrorTrap.h"
#include "runtime/HostDialogs.h"
#include "runtime/HostServices.h"
#include "runtime/WideString.h"
#include "viewer/Viewer.h"

namespace viewer {

namespace {

// Text ids of the dialog's controls and the check boxes' option numbers.
constexpr uint32_t kFindLabel = 1101;
constexpr uint32_t kFindField = 1102;
constexpr uint32_t kFindMatchCaseLabel = 1103;
constexpr uint32_t kFindWholeWordLabel = 1104;
constexpr uint32_t kFindBackwardsLabel = 1105;
constexpr uint32_t kOptionMatchCase = 0;
constexpr uint32_t kOptionWholeWord = 1;
constexpr uint32_t kOptionBackwards = 2;
// Columns of the UI string table.
constexpr uint32_t kTextFind = 28;
constexpr uint32_t kTextMatchCase = 29;
constexpr uint32_t kTextWholeWord = 30;
constexpr uint32_t kTextBackwards = 31;

// Gives the dialog back and clears the open mark however the run ends.
struct FindDialogHold {
  Viewer& viewer;
  runtime::FindDialog* dialog;
  ~FindDialogHold() {
    viewer.currentDialog = nullptr;
    viewer.host->DestroyFindDialog(dialog);
    viewer.findDialogOpen = false;
  }
};

}  // namespace

void Viewer::OpenFindDialog() {
  if (pageView == nullptr || host == nullptr || busySoftKeys || findDialogOpen) return;
  runtime::FindDialog* dialog = host->CreateFindDialog();
  if (dialog == nullptr) return;
  findDialogOpen = true;
  FindDialogHold hold{*this, dialog};
  dialog->SetTitle(caption);
  dialog->SetItemText(kFindLabel, Text(kTextFind));
  dialog->SetItemText(kFindField, searchString);
  dialog->SetItemText(kFindMatchCaseLabel, Text(kTextMatchCase));
  dialog->SetItemText(kFindWholeWordLabel, Text(kTextWholeWord));
  dialog->SetItemText(kFindBackwardsLabel, Text(kTextBackwards));
  const SearchOptions& options = search.Options();
  dialog->SetOption(kOptionMatchCase, options.matchCase);
  dialog->SetOption(kOptionWholeWord, options.wholeWord);
  dialog->SetOption(kOptionBackwards, options.backwards);
  dialog->SetSoftKeys(menu.FindCancelPair());
  currentDialog = dialog;
  const int32_t result = dialog->RunModal();
  currentDialog = nullptr;
  const char16_t* typed = dialog->GetText();
  if (result != runtime::kDialogOk || typed == nullptr || typed[0] == u'\0') return;
  SearchOptions chosen;
  chosen.matchCase = dialog->GetOption(kOptionMatchCase);
  chosen.wholeWord = dialog->GetOption(kOptionWholeWord);
  chosen.backwards = dialog->GetOption(kOptionBackwards);
  // A string the viewer cannot keep (no memory) starts no search.
  if (!runtime::CatchAllExceptCancel(context, [&] { search.SetSearch(typed, chosen); })) return;
  FindNext();
}

}  // namespace viewer
