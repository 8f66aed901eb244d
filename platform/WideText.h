#pragma once
// Conversions between the device's UTF-16 text and the host's UTF-8, and the
// few wide-string helpers the platform layer needs itself.
#include <string>
#include <string_view>

#include "platform/Types.h"

namespace platform {

// Invalid sequences (lone surrogates, bad UTF-8) become U+FFFD.
std::string Utf8FromWide(std::u16string_view text);
std::u16string WideFromUtf8(std::string_view text);

// Length of a zero-terminated text; 0 for null.
size_t WideLength(LPCWSTR text);
// A view of a zero-terminated text; empty for null.
std::u16string_view WideView(LPCWSTR text);
// Equality ignoring the case of A-Z, as device names compare.
bool WideEqualsNoCase(std::u16string_view a, std::u16string_view b);
char16_t WideLowerAscii(char16_t c);
// Copies text into a buffer of capacity characters, always terminating
// (truncating when needed); returns the characters copied.
size_t WideCopy(WCHAR* buffer, size_t capacity, std::u16string_view text);

}  // namespace platform
