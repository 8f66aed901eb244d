#include "shell/CommandLine.h"

#include <cstring>

namespace shell {

namespace {

constexpr char16_t kBlank = u' ';
constexpr char16_t kCommandLineTab = u'\t';
constexpr char16_t kQuote = u'"';

bool IsBlankOrTab(char16_t character) { return character == kBlank || character == kCommandLineTab; }

// The longest command line taken from a descriptor: the platform's own
// request limit is lower, so this only bounds a hostile count.
constexpr uint32_t kMaxCopyDataUnits = 1u << 20;

}  // namespace

bool GetCommandLineFile(const WString& commandLine, WString& file) {
  file.Clear();
  const char16_t* text = commandLine.Chars();
  const uint32_t length = commandLine.Length();
  bool insideQuotes = false;
  uint32_t position = 0;
  while (position < length) {
    while (position < length && text[position] == kBlank) ++position;
    if (position == length) break;
    const uint32_t start = position;
    while (position < length && (insideQuotes || text[position] != kBlank)) {
      if (text[position] == kQuote) insideQuotes = !insideQuotes;
      ++position;
    }
    if (!file.Assign(text + start, position - start)) return false;
    file.RemoveChar(kQuote);
  }
  return true;
}

bool GetCommandLineFile(const char16_t* commandLine, WString& file) {
  WString text;
  if (!text.AssignCString(commandLine)) {
    file.Clear();
    return false;
  }
  return GetCommandLineFile(text, file);
}

void TrimBlanksAndTabs(WString& text) {
  const char16_t* chars = text.Chars();
  int32_t end = static_cast<int32_t>(text.Length());
  while (end > 0 && IsBlankOrTab(chars[end - 1])) --end;
  int32_t start = 0;
  while (start < end && IsBlankOrTab(chars[start])) ++start;
  if (start == 0 && end == static_cast<int32_t>(text.Length())) return;
  if (!text.Substring(start, end - start, text)) text.Clear();
}

bool PathFromCopyData(platform::WPARAM wParam, const platform::COPYDATASTRUCT* data, WString& path) {
  path.Clear();
  if (wParam != 0 || data == nullptr || data->lpData == nullptr) return false;
  // An odd count would leave half a unit, and reading its "last unit"
  // would read past the data.
  const uint32_t bytes = data->cbData;
  if (bytes < 2 || bytes % 2 != 0) return false;
  const auto* raw = static_cast<const uint8_t*>(data->lpData);
  if (raw[bytes - 2] != 0 || raw[bytes - 1] != 0) return false;
  uint32_t units = bytes / 2 - 1;
  if (units > kMaxCopyDataUnits) return false;
  // The bytes need not be aligned for char16_t: copy them out.
  WString text;
  char16_t* buffer = text.Resize(units);
  if (buffer == nullptr) return false;
  std::memcpy(buffer, raw, size_t{units} * sizeof(char16_t));
  text.TrimToTerminator();
  TrimBlanksAndTabs(text);
  if (!GetCommandLineFile(text, path)) return false;
  return !path.IsEmpty();
}

}  // namespace shell
