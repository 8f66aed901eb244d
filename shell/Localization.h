#pragma once
// Which device the program runs on and in which language it speaks: the
// platform type, the UI language (with the registry override), the row of the
// UI string table for that language, the compact dialog layout for small
// Japanese Smartphone screens and the minimum dialog font size.
#include <cstdint>

#include "platform/Types.h"

namespace shell {

inline constexpr uint32_t kPlatformPocketPc = 2;
inline constexpr uint32_t kPlatformSmartphone = 3;
inline constexpr uint32_t kPlatformUnknown = 0xFFFFFFFF;

// The platform type of a platform name, compared without regard to case:
// "PocketPC" 2, "Smartphone" 3, anything else unknown.
uint32_t PlatformTypeFromName(const char16_t* name);
// The platform type, asked of the system until it gives a known answer,
// which is then kept for the life of the process.
uint32_t GetPlatformType();
// Forgets the kept answer (for tests and a changed device profile).
void ForgetPlatformType();

// The system's UI language, or the "LanguageOverride" setting when not 0.
platform::LANGID GetUILanguage();
// The string-table row of a language: the row listing it exactly, else the
// last row listing its primary language, else English (0).
uint32_t LanguageRowFor(platform::LANGID language);
// The row of GetUILanguage().
uint32_t GetLanguageIndex();
// Text `column` of the UI string table in the current UI language.
const char16_t* GetLocalizedString(uint32_t column);

// Compact layout: a Smartphone, in Japanese, with a small work area.
void UpdateCompactLayout(bool small);
bool IsCompactLayout();

// Dialog fonts: below a minimum size CJK and accented glyphs become
// unreadable. Each dialog passes the languages it wants the rule for in a
// mask (16 Traditional Chinese, 32 Japanese, 64 Korean, 8 Simplified
// Chinese); every other language always gets it.
inline constexpr uint32_t kDialogFontMask = 1 | 4 | 8 | 16;
bool DialogFontRuleApplies(platform::LANGID language, uint32_t mask);
// The height a dialog font of `height` (LOGFONT convention: negative is the
// character height, positive the cell height) is raised to: -11..-1 become
// -12, 1..9 become 10, other heights stay.
int32_t MinimumDialogFontHeight(int32_t height);
// The rule for one dialog control in the current UI language: true with the
// height to make the control's new font with, false when its font stays.
// The dialog keeps the new font and deletes it when it closes.
bool FixDialogFont(int32_t height, uint32_t mask, int32_t* newHeight);
// Applies the rule to a control of a dialog: when the control's font is too
// small, a font of the minimum size (otherwise the same) replaces it. The
// new font is kept in *fontSlot, whose previous font is deleted; the dialog
// deletes the last one when it closes. True when the font was replaced.
bool FixDialogFont(platform::HWND owner, platform::HWND control, platform::HFONT* fontSlot, uint32_t mask);

}  // namespace shell
