#include "platform/Dialog.h"

#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "platform/Controls.h"
#include "platform/Device.h"
#include "platform/Input.h"
#include "platform/Screen.h"

namespace platform {
namespace {

constexpr int kEdit = 1041;
constexpr int kTrack = 1031;

struct Seen {
  int scrolls = 0;
  WORD lastScrollCode = 0xFFFF;
  std::vector<WORD> editNotifications;
  std::u16string text;
  LRESULT position = -1;
  LPARAM initParameter = 0;
};

Seen g_seen;

intptr_t EditAndTrackProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      g_seen.initParameter = lParam;
      SendDlgItemMessageW(dialog, kTrack, TBM_SETRANGE, TRUE, MAKELPARAM(0, 4));
      SendDlgItemMessageW(dialog, kTrack, TBM_SETPOS, TRUE, 2);
      SetFocus(GetDlgItem(dialog, kEdit));
      return FALSE;  // the focus is set
    case WM_HSCROLL:
      ++g_seen.scrolls;
      g_seen.lastScrollCode = LOWORD(wParam);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == kEdit) g_seen.editNotifications.push_back(HIWORD(wParam));
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        WCHAR text[64];
        GetDlgItemTextW(dialog, kEdit, text, 64);
        g_seen.text = text;
        g_seen.position = SendDlgItemMessageW(dialog, kTrack, TBM_GETPOS, 0, 0);
        EndDialog(dialog, LOWORD(wParam));
      }
      return TRUE;
    default:
      return FALSE;
  }
}

class DialogTest : public testing::WindowTest {
 protected:
  void SetUp() override {
    testing::WindowTest::SetUp();
    ResetScreen();
    g_seen = Seen{};
  }
  DialogTemplateBuilder EditAndTrackBar() {
    DialogTemplateBuilder builder(WS_POPUP | WS_VISIBLE, 0, 0, 140, 100, u"Zoom");
    builder.Add(WC_EDIT, u"", kEdit, WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 4, 4, 100, 12);
    builder.Add(TRACKBAR_CLASS, u"", kTrack, WS_VISIBLE | WS_TABSTOP, 4, 24, 100, 20);
    return builder;
  }
};

TEST_F(DialogTest, EditAndTrackBarFollowKeysAndEnterGivesOk) {
  DialogTemplateBuilder builder = EditAndTrackBar();
  // Typed text goes to the edit; Tab moves to the track bar, whose position
  // follows the arrows; Enter ends the dialog with IDOK.
  for (char16_t c : std::u16string(u"150")) InjectChar(c);
  InjectKeyDown(VK_TAB);
  InjectKeyDown(VK_RIGHT);
  InjectKeyDown(VK_RIGHT);
  InjectKeyDown(VK_LEFT);
  InjectKeyDown(VK_RIGHT);
  InjectKeyDown(VK_RIGHT);  // stops at the maximum
  InjectKeyDown(VK_RETURN);
  const intptr_t result = DialogBoxIndirectParamW(nullptr, builder.Template(), nullptr, EditAndTrackProc, 77);
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(g_seen.initParameter, 77);
  EXPECT_EQ(g_seen.text, u"150");
  EXPECT_EQ(g_seen.position, 4);
  EXPECT_GE(g_seen.scrolls, 5);
  EXPECT_EQ(g_seen.lastScrollCode, TB_ENDTRACK);
  // The edit told its parent when it got and lost the focus.
  ASSERT_GE(g_seen.editNotifications.size(), 2u);
  EXPECT_EQ(g_seen.editNotifications.front(), EN_SETFOCUS);
  EXPECT_NE(std::find(g_seen.editNotifications.begin(), g_seen.editNotifications.end(), EN_KILLFOCUS),
            g_seen.editNotifications.end());
}

TEST_F(DialogTest, EscapeCancelsAndBadTemplatesFail) {
  DialogTemplateBuilder builder = EditAndTrackBar();
  InjectKeyDown(VK_ESCAPE);
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, builder.Template(), nullptr, EditAndTrackProc, 0), IDCANCEL);
  DialogTemplateBuilder broken(WS_POPUP, 0, 0, 100, 100, u"Broken");
  broken.Add(u"NoSuchClass", u"", 5, WS_VISIBLE, 0, 0, 10, 10);
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, broken.Template(), nullptr, EditAndTrackProc, 0), -1);
}

TEST_F(DialogTest, ModelessDialogAndItemHelpers) {
  DialogTemplateBuilder builder(WS_POPUP | WS_VISIBLE, 0, 0, 120, 60, u"Find");
  builder.Add(WC_STATIC, u"Find what:", 1020, WS_VISIBLE, 4, 4, 100, 10);
  builder.Add(WC_BUTTON, u"Match case", 1022, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 4, 20, 100, 12);
  const HWND dialog = CreateDialogIndirectParamW(nullptr, builder.Template(), nullptr, EditAndTrackProc, 0);
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(IsDlgButtonChecked(dialog, 1022), BST_UNCHECKED);
  CheckDlgButton(dialog, 1022, BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dialog, 1022), BST_CHECKED);
  // A tap on the check box toggles it.
  RECT box{};
  GetWindowRect(GetDlgItem(dialog, 1022), &box);
  InjectPenDown(box.left + 2, box.top + 2);
  InjectPenUp(box.left + 2, box.top + 2);
  Pump();
  EXPECT_EQ(IsDlgButtonChecked(dialog, 1022), BST_UNCHECKED);
  EXPECT_TRUE(SetDlgItemTextW(dialog, 1020, u"Search for:"));
  WCHAR text[32];
  EXPECT_EQ(GetDlgItemTextW(dialog, 1020, text, 32), 11u);
  RECT units{0, 0, 4, 8};
  ASSERT_TRUE(MapDialogRect(dialog, &units));
  EXPECT_GT(units.right, 0);
  EXPECT_GT(units.bottom, units.right);
  EXPECT_TRUE(DestroyWindow(dialog));
}

TEST_F(DialogTest, MessageBoxAnswers) {
  InjectKeyDown(VK_RETURN);
  EXPECT_EQ(MessageBoxW(nullptr, u"Unable to change view mode.", u"Error", MB_ICONEXCLAMATION), IDOK);
  InjectKeyDown(VK_RETURN);
  EXPECT_EQ(MessageBoxW(nullptr, u"Resume searching from the beginning?", u"Find", MB_ICONQUESTION | MB_YESNO),
            IDYES);
  InjectKeyDown(VK_ESCAPE);
  EXPECT_EQ(MessageBoxW(nullptr, u"Resume?", u"Find", MB_ICONQUESTION | MB_YESNO), IDNO);
}

std::u16string g_buttonTexts;

// Inside the message box's own loop: read its buttons, then answer.
void ReadButtonsAndAnswer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  const HWND box = GetActiveWindow();
  for (int button : {IDYES, IDNO, IDOK}) {
    WCHAR text[32] = {};
    if (GetDlgItemTextW(box, button, text, 32) > 0) g_buttonTexts += std::u16string(text) + u"|";
  }
  InjectKeyDown(VK_RETURN);
}

TEST_F(DialogTest, MessageBoxButtonsSpeakTheDevicesLanguage) {
  const DeviceProfile saved = GetDeviceProfile();
  struct Case {
    LANGID language;
    UINT type;
    std::u16string buttons;
  };
  const Case cases[] = {
      {0x401, MB_YESNO, u"\u0646\u0639\u0645|\u0644\u0627|"},
      {0x40C, MB_YESNO, u"Oui|Non|"},
      {0x100C, MB_OK, u"OK|"},
      {0x804, MB_YESNO, u"\u662F|\u5426|"},
      {0x412, MB_OK, u"\uD655\uC778|"},
      {0x436, MB_YESNO, u"Yes|No|"},
  };
  for (const auto& c : cases) {
    DeviceProfile profile = saved;
    profile.uiLanguage = c.language;
    SetDeviceProfile(profile);
    g_buttonTexts.clear();
    SetTimer(nullptr, 0, 10, ReadButtonsAndAnswer);
    MessageBoxW(nullptr, u"?", u"Find", c.type);
    EXPECT_EQ(g_buttonTexts, c.buttons) << std::hex << c.language;
  }
  SetDeviceProfile(saved);
}

LRESULT RecordDrawItem(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DRAWITEM) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    testing::Log().push_back(testing::Received{item->hwndItem, message, item->itemState, item->rcItem.right});
    return TRUE;
  }
  return testing::RecordMessage(window, message, wParam, lParam);
}

TEST_F(DialogTest, OwnerDrawnButtonAsksItsParentToDraw) {
  const HWND top = TopLevel();
  SetWindowLongW(top, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(RecordDrawItem));
  const HWND button = CreateWindowExW(0, WC_BUTTON, u"", 0x5001000B, 10, 10, 40, 30, top,
                                      reinterpret_cast<HMENU>(uintptr_t{9}), nullptr, nullptr);
  ASSERT_NE(button, nullptr);
  Pump();
  auto draws = testing::Only(WM_DRAWITEM);
  ASSERT_FALSE(draws.empty());
  EXPECT_EQ(draws.back().window, button);
  EXPECT_EQ(draws.back().lParam, 40);
  InjectPenDown(15, 15);
  Pump();
  draws = testing::Only(WM_DRAWITEM);
  EXPECT_EQ(draws.back().wParam & ODS_SELECTED, ODS_SELECTED);
  InjectPenUp(15, 15);
  Pump();
  const auto commands = testing::Only(WM_COMMAND);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].wParam, MAKELONG(9, BN_CLICKED));
}

}  // namespace
}  // namespace platform
