#include "shell/DialogTemplates.h"

#include <array>
#include <vector>

#include "platform/Controls.h"
#include "platform/Dialog.h"

namespace shell {

namespace {

using platform::DialogTemplateBuilder;

constexpr platform::DWORD kTemplateDialogStyle = platform::WS_POPUP | platform::WS_VISIBLE;
constexpr platform::DWORD kShownControl = platform::WS_VISIBLE;
constexpr platform::DWORD kTabStopShown = platform::WS_VISIBLE | platform::WS_TABSTOP;
constexpr platform::DWORD kTemplateFieldStyle = kTabStopShown | platform::WS_BORDER | platform::ES_AUTOHSCROLL;
// Room of a template in dialog units; the dialogs run full screen anyway.
constexpr int kTemplateWidth = 150;
constexpr int kTemplateHeight = 150;

DialogTemplateBuilder Dialog() { return DialogTemplateBuilder(kTemplateDialogStyle, 0, 0, kTemplateWidth, kTemplateHeight, u""); }

std::vector<uint8_t> FileBrowser() {
  DialogTemplateBuilder made = Dialog();
  made.Add(platform::WC_TREEVIEW, u"", kBrowserTree,
           kTabStopShown | platform::WS_BORDER | platform::TVS_HASBUTTONS | platform::TVS_HASLINES |
               platform::TVS_LINESATROOT | platform::TVS_SHOWSELALWAYS,
           0, 0, kTemplateWidth, kTemplateHeight);
  return made.Bytes();
}

std::vector<uint8_t> RecentFiles() {
  DialogTemplateBuilder made = Dialog();
  made.Add(platform::WC_STATIC, u"", kRecentPrompt, kShownControl, 4, 4, 142, 10);
  made.Add(platform::WC_LISTVIEW, u"", kRecentList,
           kTabStopShown | platform::WS_BORDER | platform::LVS_REPORT | platform::LVS_SINGLESEL | platform::LVS_SHOWSELALWAYS,
           4, 18, 142, 90);
  made.Add(platform::WC_STATIC, u"", kRecentBrowseText, kShownControl, 4, 114, 90, 30);
  made.Add(platform::WC_BUTTON, u"", kRecentBrowseButton, kTabStopShown | platform::BS_PUSHBUTTON, 100, 114, 46, 14);
  return made.Bytes();
}

std::vector<uint8_t> Find(bool compact) {
  DialogTemplateBuilder made = Dialog();
  const int step = compact ? 12 : 16;
  made.Add(platform::WC_STATIC, u"", kFindPrompt, kShownControl, 4, 4, 142, 10);
  made.Add(platform::WC_EDIT, u"", kFindField, kTemplateFieldStyle, 4, 4 + step, 142, 12);
  for (int box = 0; box < 3; ++box) {
    made.Add(platform::WC_BUTTON, u"", kFindMatchCaseBox + box, kTabStopShown | platform::BS_AUTOCHECKBOX, 4,
             8 + step * (2 + box), 142, 12);
  }
  return made.Bytes();
}

std::vector<uint8_t> Zoom(bool compact) {
  DialogTemplateBuilder made = Dialog();
  const int step = compact ? 14 : 20;
  made.Add(platform::WC_STATIC, u"", kZoomLabel, kShownControl, 4, 4, 90, 10);
  made.Add(platform::WC_STATIC, u"", kZoomValue, kShownControl | platform::SS_RIGHT, 96, 4, 50, 10);
  made.Add(platform::WC_STATIC, u"", kZoomFirst, kShownControl, 4, 4 + step, 20, 10);
  made.Add(platform::TRACKBAR_CLASS, u"", kZoomTrackBar, kTabStopShown | platform::TBS_AUTOTICKS, 26, 4 + step, 96, 16);
  made.Add(platform::WC_STATIC, u"", kZoomLast, kShownControl, 124, 4 + step, 22, 10);
  return made.Bytes();
}

std::vector<uint8_t> Password() {
  DialogTemplateBuilder made = Dialog();
  made.Add(platform::WC_STATIC, u"", kPasswordPrompt, kShownControl, 4, 4, 142, 10);
  made.Add(platform::WC_EDIT, u"", kPasswordField, kTemplateFieldStyle | platform::ES_PASSWORD, 4, 18, 142, 12);
  return made.Bytes();
}

std::vector<uint8_t> GoToPage(bool compact) {
  DialogTemplateBuilder made = Dialog();
  const int step = compact ? 12 : 16;
  made.Add(platform::WC_STATIC, u"", kGoToPrompt, kShownControl, 4, 4, 80, 10);
  made.Add(platform::WC_EDIT, u"", kGoToField, kTemplateFieldStyle | platform::ES_NUMBER, 88, 3, 40, 12);
  made.Add(platform::WC_STATIC, u"", kGoToCountLabel, kShownControl, 4, 4 + step, 80, 10);
  made.Add(platform::WC_STATIC, u"", kGoToCount, kShownControl, 88, 4 + step, 40, 10);
  return made.Bytes();
}

std::vector<uint8_t> Properties(bool compact) {
  DialogTemplateBuilder made = Dialog();
  const int step = compact ? 12 : 14;
  for (int row = 0; row < kPropertiesRows; ++row) {
    made.Add(platform::WC_STATIC, u"", kPropertiesFirstLabel + row, kShownControl, 4, 4 + row * step, 50, 10);
    made.Add(platform::WC_STATIC, u"...", kPropertiesFirstValue + row, kShownControl, 56, 4 + row * step, 90, 10);
  }
  return made.Bytes();
}

std::vector<uint8_t> TextBox() {
  DialogTemplateBuilder made = Dialog();
  made.Add(platform::WC_EDIT, u"", kTextBoxText,
           kTabStopShown | platform::ES_MULTILINE | platform::ES_READONLY | platform::ES_AUTOVSCROLL | platform::WS_VSCROLL, 2,
           2, kTemplateWidth - 4, kTemplateHeight - 4);
  return made.Bytes();
}

std::vector<uint8_t> Splash() { return Dialog().Bytes(); }

}  // namespace

std::span<const platform::ResourceEntry> DialogTemplateResources() {
  static const std::vector<uint8_t> browser = FileBrowser();
  static const std::vector<uint8_t> recent = RecentFiles();
  static const std::vector<uint8_t> find = Find(false);
  static const std::vector<uint8_t> findCompact = Find(true);
  static const std::vector<uint8_t> zoom = Zoom(false);
  static const std::vector<uint8_t> zoomCompact = Zoom(true);
  static const std::vector<uint8_t> password = Password();
  static const std::vector<uint8_t> goTo = GoToPage(false);
  static const std::vector<uint8_t> goToCompact = GoToPage(true);
  static const std::vector<uint8_t> properties = Properties(false);
  static const std::vector<uint8_t> propertiesCompact = Properties(true);
  static const std::vector<uint8_t> text = TextBox();
  static const std::vector<uint8_t> splash = Splash();
  constexpr uint16_t kDialogType = 5;
  const auto entry = [](uint32_t id, const std::vector<uint8_t>& bytes) {
    return platform::ResourceEntry{kDialogType, static_cast<uint16_t>(id), bytes.data(),
                                   static_cast<uint32_t>(bytes.size())};
  };
  // The text box has one layout on every device; its three ids stay so
  // that each device family can be given its own.
  static const std::array<platform::ResourceEntry, 15> entries = {{
      entry(kFileBrowserTemplate, browser),
      entry(kRecentFilesTemplate, recent),
      entry(kFindTemplate, find),
      entry(kFindCompactTemplate, findCompact),
      entry(kZoomTemplate, zoom),
      entry(kZoomCompactTemplate, zoomCompact),
      entry(kPasswordTemplate, password),
      entry(kGoToPageTemplate, goTo),
      entry(kGoToPageCompactTemplate, goToCompact),
      entry(kPropertiesTemplate, properties),
      entry(kPropertiesCompactTemplate, propertiesCompact),
      entry(kTextBoxTemplate, text),
      entry(kTextBoxSmartphoneTemplate, text),
      entry(kTextBoxCompactTemplate, text),
      entry(kSplashTemplate, splash),
  }};
  return entries;
}

}  // namespace shell
