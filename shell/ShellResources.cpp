#include "shell/ShellResources.h"

#include <array>

#include "platform/Menu.h"
#include "platform/Resources.h"
#include "shell/BrowserBitmaps.h"
#include "shell/DialogTemplates.h"
#include "shell/TreeBitmaps.h"

namespace shell {

namespace {

// One soft-key button of a template: image (none), command placeholder
// (200 left, 201 right), state, style, label string, 0, drop-down index.
constexpr uint16_t kNoImage = 0xFFFE;
constexpr uint16_t kNoDropDown = 0xFFFF;
constexpr uint16_t kEnabled = 4;
constexpr uint16_t kHidden = 8;
constexpr uint16_t kAutoSize = 0x10;
constexpr uint16_t kAutoSizeDropDown = 0x18;
constexpr uint16_t kLeft = 200;
constexpr uint16_t kRight = 201;

#define FOLVANE_SOFT_KEY(command, state, dropDown) \
  kNoImage, command, state, (dropDown) == kNoDropDown ? kAutoSize : kAutoSizeDropDown, kBlankLabelString, 0, dropDown

constexpr uint16_t kBar102[] = {102, 2, FOLVANE_SOFT_KEY(kLeft, kHidden, kNoDropDown),
                                FOLVANE_SOFT_KEY(kRight, kHidden, kNoDropDown)};
constexpr uint16_t kBar103[] = {103, 2, FOLVANE_SOFT_KEY(kLeft, kEnabled, kNoDropDown),
                                FOLVANE_SOFT_KEY(kRight, kHidden, kNoDropDown)};
constexpr uint16_t kBar104[] = {104, 1, FOLVANE_SOFT_KEY(kLeft, kEnabled, 0)};
constexpr uint16_t kBar105[] = {105, 2, FOLVANE_SOFT_KEY(kLeft, kHidden, kNoDropDown),
                                FOLVANE_SOFT_KEY(kRight, kEnabled, kNoDropDown)};
constexpr uint16_t kBar106[] = {106, 2, FOLVANE_SOFT_KEY(kLeft, kEnabled, kNoDropDown),
                                FOLVANE_SOFT_KEY(kRight, kEnabled, kNoDropDown)};
constexpr uint16_t kBar107[] = {107, 2, FOLVANE_SOFT_KEY(kLeft, kEnabled, kNoDropDown),
                                FOLVANE_SOFT_KEY(kRight, kEnabled, 1)};
constexpr uint16_t kBar108[] = {108, 2, FOLVANE_SOFT_KEY(kLeft, kEnabled, 0),
                                FOLVANE_SOFT_KEY(kRight, kEnabled, kNoDropDown)};
constexpr uint16_t kBar109[] = {109, 2, FOLVANE_SOFT_KEY(kLeft, kEnabled, 0), FOLVANE_SOFT_KEY(kRight, kEnabled, 1)};

#undef FOLVANE_SOFT_KEY

// The drop-down menus are placeholders: each popup holds one separator
// until the soft keys' own items replace it.
constexpr uint16_t kPopup = platform::MF_POPUP;
constexpr uint16_t kEnd = platform::MF_END;
constexpr uint16_t kNoMenus[] = {0, 0};
constexpr uint16_t kOneMenu[] = {0, 0, kPopup | kEnd, 0, kEnd, 0, 0};
constexpr uint16_t kTwoMenus[] = {0, 0, kPopup, 0, kEnd, 0, 0, kPopup | kEnd, 0, kEnd, 0, 0};

constexpr char16_t kBlank[] = u" ";
constexpr char16_t kTitle[] = u"Vantrel Folvane Zo ";

constexpr uint16_t kRcData = 10;
constexpr uint16_t kMenu = 4;
constexpr uint16_t kString = 6;

constexpr std::array<platform::ResourceEntry, 18> kShellResources = {{
    {kRcData, 102, kBar102, sizeof kBar102},
    {kRcData, 103, kBar103, sizeof kBar103},
    {kRcData, 104, kBar104, sizeof kBar104},
    {kRcData, 105, kBar105, sizeof kBar105},
    {kRcData, 106, kBar106, sizeof kBar106},
    {kRcData, 107, kBar107, sizeof kBar107},
    {kRcData, 108, kBar108, sizeof kBar108},
    {kRcData, 109, kBar109, sizeof kBar109},
    {kMenu, 102, kNoMenus, sizeof kNoMenus},
    {kMenu, 103, kNoMenus, sizeof kNoMenus},
    {kMenu, 104, kOneMenu, sizeof kOneMenu},
    {kMenu, 105, kNoMenus, sizeof kNoMenus},
    {kMenu, 106, kNoMenus, sizeof kNoMenus},
    {kMenu, 107, kTwoMenus, sizeof kTwoMenus},
    {kMenu, 108, kOneMenu, sizeof kOneMenu},
    {kMenu, 109, kTwoMenus, sizeof kTwoMenus},
    {kString, kBlankLabelString, kBlank, sizeof kBlank - sizeof(char16_t)},
    {kString, kWindowTitleString, kTitle, sizeof kTitle - sizeof(char16_t)},
}};

}  // namespace

void RegisterShellResources() {
  platform::RegisterResources(kShellResources);
  platform::RegisterResources(TreeBitmapResources());
  platform::RegisterResources(DialogTemplateResources());
  platform::RegisterResources(BrowserBitmapResources());
}

}  // namespace shell
