#include "pdf/TextString.h"

#include "runtime/PdfDocEncoding.h"
#include "runtime/WideString.h"

namespace pdf {
namespace {

constexpr char16_t kEscape = 0x1B;
// A language escape holds at most this many units between its markers.
constexpr uint32_t kMaxEscapeUnits = 4;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

char16_t Shown(char16_t unit) { return unit < 24 || unit == 0xFFFD ? u' ' : unit; }

// Walks the units of a text string after decoding and escape removal.
class TextUnits {
 public:
  explicit TextUnits(const runtime::ByteString& text)
      : bytes_(text.Bytes()), length_(text.length) {
    if (length_ >= 2 && bytes_[0] == 0xFE && bytes_[1] == 0xFF) {
      wide_ = true;
      position_ = 2;
    }
  }

  // The next shown unit; false at the end.
  bool Next(char16_t* unit) {
    if (!wide_) {
      if (position_ >= length_) return false;
      *unit = Shown(runtime::kPdfDocEncoding[bytes_[position_++]]);
      return true;
    }
    char16_t raw = 0;
    if (!Raw(position_, &raw)) return false;
    while (raw == kEscape) {
      // Skip to just past the closing marker; without one in reach the
      // escape and the units that could have been its body are dropped.
      uint32_t probe = position_ + 2;
      uint32_t skipTo = position_ + 2 * (kMaxEscapeUnits + 1);
      for (uint32_t i = 0; i <= kMaxEscapeUnits; ++i, probe += 2) {
        char16_t inner = 0;
        if (!Raw(probe, &inner)) {
          skipTo = probe;
          break;
        }
        if (inner == kEscape) {
          skipTo = probe + 2;
          break;
        }
      }
      position_ = skipTo;
      if (!Raw(position_, &raw)) return false;
    }
    position_ += 2;
    *unit = Shown(raw);
    return true;
  }

 private:
  bool Raw(uint32_t at, char16_t* unit) const {
    if (at >= length_ || length_ - at < 2) return false;
    *unit = static_cast<char16_t>((bytes_[at] << 8) | bytes_[at + 1]);
    return true;
  }

  const uint8_t* bytes_;
  uint32_t length_;
  uint32_t position_ = 0;
  bool wide_ = false;
};

}  // namespace

void PdfTextToUtf16(char16_t* buffer, uint32_t* capacity, const runtime::ByteString& text) {
  TextUnits units(text);
  char16_t unit = 0;
  if (buffer == nullptr || *capacity == 0) {
    uint32_t count = 0;
    while (units.Next(&unit)) ++count;
    *capacity = count + 1;
    return;
  }
  const uint32_t room = *capacity - 1;
  uint32_t written = 0;
  while (written < room && units.Next(&unit)) buffer[written++] = unit;
  if (written == room && written > 0 && IsHighSurrogate(buffer[written - 1]) &&
      units.Next(&unit) && IsLowSurrogate(unit)) {
    --written;
  }
  buffer[written] = 0;
}

void FormatPdfDateInPlace(char16_t* text, uint32_t capacity) {
  if (capacity < 30) {
    if (capacity != 0) text[0] = 0;
    return;
  }
  struct Field {
    uint32_t first;
    uint32_t length;
    char16_t separator;
  };
  static constexpr Field kFields[] = {{2, 4, u'/'},  {6, 2, u'/'},  {8, 2, u' '},
                                      {10, 2, u':'}, {12, 2, u':'}, {14, 2, u' '},
                                      {16, 3, u':'}, {20, 2, 0}};
  const size_t length = runtime::WideStrLen(text);
  // Every field and separator together fill 26 units, within the 30 asked.
  char16_t result[32];
  uint32_t out = 0;
  for (const Field& field : kFields) {
    if (field.first >= length) break;
    for (uint32_t i = 0; i < field.length && field.first + i < length; ++i) {
      result[out++] = text[field.first + i];
    }
    if (field.separator != 0) result[out++] = field.separator;
  }
  for (uint32_t i = 0; i < out; ++i) text[i] = result[i];
  text[out] = 0;
}

}  // namespace pdf
