#pragma once
// The dialog templates of the shell's dialogs (RT_DIALOG resources 500-514)
// and the control ids inside them. The templates give each control its
// class, style and a first place; every dialog lays its controls out again
// for the screen it runs on (OnSize), so the geometry here only has to be
// sensible before that.
#include <cstdint>
#include <span>

#include "platform/Resources.h"

namespace shell {

inline constexpr uint32_t kFileBrowserTemplate = 500;
inline constexpr uint32_t kRecentFilesTemplate = 501;
inline constexpr uint32_t kFindTemplate = 502;
inline constexpr uint32_t kFindCompactTemplate = 503;
inline constexpr uint32_t kZoomTemplate = 504;
inline constexpr uint32_t kZoomCompactTemplate = 505;
inline constexpr uint32_t kPasswordTemplate = 506;
inline constexpr uint32_t kGoToPageTemplate = 507;
inline constexpr uint32_t kGoToPageCompactTemplate = 508;
inline constexpr uint32_t kPropertiesTemplate = 509;
inline constexpr uint32_t kPropertiesCompactTemplate = 510;
inline constexpr uint32_t kTextBoxTemplate = 511;
inline constexpr uint32_t kTextBoxSmartphoneTemplate = 512;
inline constexpr uint32_t kTextBoxCompactTemplate = 513;
inline constexpr uint32_t kSplashTemplate = 514;

// File browser.
inline constexpr int kBrowserTree = 1000;
// Recent files.
inline constexpr int kRecentList = 1010;
inline constexpr int kRecentBrowseButton = 1011;
inline constexpr int kRecentPrompt = 1012;
inline constexpr int kRecentBrowseText = 1013;
// Find.
inline constexpr int kFindPrompt = 1020;
inline constexpr int kFindField = 1021;
inline constexpr int kFindMatchCaseBox = 1022;
inline constexpr int kFindWholeWordBox = 1023;
inline constexpr int kFindBackwardsBox = 1024;
// Zoom.
inline constexpr int kZoomLabel = 1030;
inline constexpr int kZoomTrackBar = 1031;
inline constexpr int kZoomValue = 1032;
inline constexpr int kZoomFirst = 1033;
inline constexpr int kZoomLast = 1034;
// Password.
inline constexpr int kPasswordPrompt = 1040;
inline constexpr int kPasswordField = 1041;
// Go to page.
inline constexpr int kGoToPrompt = 1050;
inline constexpr int kGoToField = 1051;
inline constexpr int kGoToCount = 1052;
inline constexpr int kGoToCountLabel = 1053;
// Properties: values 1060-1064, their labels 1065-1069.
inline constexpr int kPropertiesFirstValue = 1060;
inline constexpr int kPropertiesFirstLabel = 1065;
inline constexpr int kPropertiesRows = 5;
// Text box.
inline constexpr int kTextBoxText = 1080;

// The fifteen templates as RT_DIALOG entries (made once; they live as long
// as the process).
std::span<const platform::ResourceEntry> DialogTemplateResources();

}  // namespace shell
