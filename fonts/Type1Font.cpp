#include "fonts/Type1Font.h"

#include <algorithm>
#include <cstring>

#include "fonts/DecimalText.h"
#include "fonts/FontError.h"
#include "resources/CffStandardTables.h"
#include "runtime/Scheduler.h"

namespace fonts {

namespace {

constexpr uint16_t kCharstringKey = 4330;

// Passes tokens up to and including the executable name `name`; the data
// ending first is malformed.
void SkipToExecutable(PsTokenizer& tokens, const char* name) {
  for (;;) {
    const PsTokenKind k = tokens.NextToken();
    if (k == PsTokenKind::kEnd) ThrowMalformedFont();
    if (k == PsTokenKind::kExecutableName && tokens.TextIs(name)) return;
  }
}

const char* StandardEncodingName(int code) {
  const uint16_t sid = resources::kCffStandardEncoding[code];
  return sid == 0 ? ".notdef" : resources::kCffStandardStrings[sid];
}

}  // namespace

std::span<const uint8_t> Type1Font::JoinPfbSegments(std::span<const uint8_t> data,
                                                    runtime::ArenaAllocator& arena) {
  if (data.size() < 6 || data[0] != 0x80) return data;
  uint8_t* out = static_cast<uint8_t*>(arena.Alloc(data.size()));
  size_t written = 0;
  size_t p = 0;
  while (p + 2 <= data.size() && data[p] == 0x80) {
    const int type = data[p + 1];
    if (type == 3) break;
    if (p + 6 > data.size()) ThrowMalformedFont();
    const uint32_t length = uint32_t{data[p + 2]} | (uint32_t{data[p + 3]} << 8) |
                            (uint32_t{data[p + 4]} << 16) | (uint32_t{data[p + 5]} << 24);
    p += 6;
    // A last segment cut short keeps what is there, as readers do.
    const size_t take = std::min<size_t>(length, data.size() - p);
    std::memcpy(out + written, data.data() + p, take);
    written += take;
    p += take;
    if (take < length) break;
    continue;
  }
  return {out, written};
}

Type1Font::Type1Font(runtime::LibraryContext* context, std::span<const uint8_t> data)
    : CffFont(context, SkipParse{}) {
  charstringKind_ = 1;
  for (auto& name : ownEncoding_) name = ".notdef";
  glyphs_ = runtime::NewInArena<runtime::ArenaVector<GlyphEntry>>(arena_, arena_, 64);
  const std::span<const uint8_t> program = JoinPfbSegments(data, arena_);
  dataSize_ = program.size();
  PsTokenizer tokens(program, arena_);
  while (!done_ && Step(tokens)) {
  }
  if (!done_) supported_ = false;
  ComputeTextBox();
}

bool Type1Font::Step(PsTokenizer& tokens) {
  runtime::ChargeWork(context_, 1);
  switch (tokens.NextToken()) {
    case PsTokenKind::kEnd:
      return false;
    case PsTokenKind::kLiteralName:
      Keyword(tokens);
      return true;
    case PsTokenKind::kExecutableName:
      if (tokens.TextIs("currentfile")) {
        if (tokens.NextToken() == PsTokenKind::kExecutableName) {
          if (tokens.TextIs("eexec")) {
            tokens.StartEexec();
          } else if (tokens.TextIs("closefile")) {
            tokens.StopEexec();
          }
        }
      }
      return true;
    default:
      return true;
  }
}

const char* Type1Font::CopyText(const char* text) {
  const size_t n = std::strlen(text);
  char* copy = static_cast<char*>(arena_.Alloc(n + 1));
  std::memcpy(copy, text, n + 1);
  return copy;
}

void Type1Font::ReadBlueArray(PsTokenizer& tokens, Fixed* out, uint32_t& count, uint32_t max) {
  if (tokens.NextToken() != PsTokenKind::kArray) ThrowMalformedFont();
  count = ReadNumberArray(tokens.Text(), out, max);
}

void Type1Font::Keyword(PsTokenizer& tokens) {
  const char* key = tokens.Text();
  PrivateRecord& record = records_[0];
  auto is = [key](const char* s) { return std::strcmp(key, s) == 0; };
  if (is("BlueFuzz") || is("BlueScale") || is("BlueShift")) {
    const char which = key[4];
    tokens.NextToken();
    const Fixed v = tokens.TokenToFixed();
    if (which == 'F') record.blueFuzz = v;
    if (which == 'S' && key[5] == 'c') record.blueScale = v;
    if (which == 'S' && key[5] == 'h') record.blueShift = v;
  } else if (is("BlueValues")) {
    ReadBlueArray(tokens, record.blueValues.values, record.blueValues.count, 14);
    record.flags |= PrivateRecord::kHasBlueValues;
  } else if (is("FamilyBlues")) {
    ReadBlueArray(tokens, record.familyBlues.values, record.familyBlues.count, 14);
  } else if (is("FamilyOtherBlues")) {
    ReadBlueArray(tokens, record.familyOtherBlues.values, record.familyOtherBlues.count, 10);
  } else if (is("Chameleon") || is("hires")) {
    supported_ = false;
  } else if (is("CharStrings")) {
    ReadCharStrings(tokens);
  } else if (is("Encoding")) {
    ReadEncoding(tokens);
  } else if (is("FontBBox") || is("FontMatrix")) {
    const bool box = key[4] == 'B';
    tokens.NextToken();
    Fixed v[6] = {};
    const char* p = tokens.Text();
    const int n = box ? 4 : 6;
    for (int i = 0; i < n; ++i) {
      while (*p != '\0' && !(*p >= '0' && *p <= '9') && *p != '-' && *p != '+' && *p != '.') ++p;
      if (*p == '\0') break;
      v[i] = box ? DecimalToFixed(p, &p) : DecimalToFixedPrecise(p, &p);
    }
    if (box) {
      std::copy(v, v + 4, top_.fontBBox);
    } else {
      record.matrix = Matrix{v[0], v[1], v[2], v[3], v[4], v[5]};
    }
  } else if (is("FontType")) {
    if (tokens.NextToken() != PsTokenKind::kInteger) ThrowMalformedFont();
    if (DecimalToInt(tokens.Text()) != 1) supported_ = false;
  } else if (is("Subrs")) {
    ReadSubrs(tokens);
  } else if (is("WeightVector")) {
    if (tokens.NextToken() != PsTokenKind::kArray) ThrowMalformedFont();
    Fixed w[5] = {};
    if (ReadNumberArray(tokens.Text(), w, 5) != 4) ThrowMalformedFont();
    std::copy(w, w + 4, weights_);
    hasWeights_ = true;
    mmOffset_ = 0;
  } else if (is("lenIV")) {
    if (tokens.NextToken() != PsTokenKind::kInteger) ThrowMalformedFont();
    lenIV_ = DecimalToInt(tokens.Text());
    if (lenIV_ < -1) ThrowMalformedFont();
  } else if (is("-|")) {
    tokens.NextToken();
  }
}

CffBytes Type1Font::ReadCharstring(PsTokenizer& tokens) {
  const PsTokenKind kind = tokens.Kind();
  if (kind != PsTokenKind::kInteger && kind != PsTokenKind::kHexString &&
      kind != PsTokenKind::kAscii85String) {
    ThrowMalformedFont();
  }
  const int32_t length = DecimalToInt(tokens.Text());
  if (length < 1 || length > 65535) ThrowMalformedFont();
  if (tokens.NextToken() != PsTokenKind::kExecutableName) ThrowMalformedFont();
  tokens.NextByte();  // the separator
  if (lenIV_ >= 0 && lenIV_ > length) ThrowMalformedFont();
  const uint32_t drop = lenIV_ < 0 ? 0 : static_cast<uint32_t>(lenIV_);
  uint8_t* out = static_cast<uint8_t*>(arena_.Alloc(static_cast<uint32_t>(length) - drop + 1));
  uint16_t key = kCharstringKey;
  uint32_t written = 0;
  for (int32_t i = 0; i < length; ++i) {
    const int c = tokens.NextByte();
    if (c < 0) ThrowMalformedFont();
    if (lenIV_ < 0) {
      out[written++] = static_cast<uint8_t>(c);
      continue;
    }
    const int plain = (c ^ (key >> 8)) & 0xFF;
    key = static_cast<uint16_t>((static_cast<uint32_t>(c) + key) * 52845u + 22719u);
    if (static_cast<uint32_t>(i) >= drop) out[written++] = static_cast<uint8_t>(plain);
  }
  return {out, written};
}

void Type1Font::ReadCharStrings(PsTokenizer& tokens) {
  SkipToExecutable(tokens, "begin");
  for (;;) {
    const PsTokenKind k = tokens.NextToken();
    if (k == PsTokenKind::kExecutableName && tokens.TextIs("end")) break;
    if (k != PsTokenKind::kLiteralName) ThrowMalformedFont();
    const char* name = CopyText(tokens.Text());
    tokens.NextToken();
    const CffBytes charstring = ReadCharstring(tokens);
    glyphs_->PushBack({name, charstring.data, charstring.length});
    runtime::ChargeWork(context_, 10);
    if (tokens.NextToken() != PsTokenKind::kExecutableName) ThrowMalformedFont();
    const uint8_t* d = charstring.data;
    const uint32_t n = charstring.length;
    const bool ends = n > 0 && (d[n - 1] == 14 || d[n - 1] == 10 || (n > 1 && d[n - 1] == 6 && d[n - 2] == 12));
    if (!ends) supported_ = false;
  }
  done_ = true;
}

void Type1Font::ReadEncoding(PsTokenizer& tokens) {
  const PsTokenKind first = tokens.NextToken();
  if (first == PsTokenKind::kExecutableName && tokens.TextIs("StandardEncoding")) {
    standardEncoding_ = true;
    return;
  }
  for (PsTokenKind k = first; k != PsTokenKind::kEnd; k = tokens.NextToken()) {
    if (k != PsTokenKind::kExecutableName) continue;
    if (tokens.TextIs("def") || tokens.TextIs("readonly")) return;
    if (!tokens.TextIs("dup")) continue;
    if (tokens.NextToken() != PsTokenKind::kInteger) ThrowMalformedFont();
    const int32_t code = DecimalToInt(tokens.Text());
    if (code < 0 || code > 255) ThrowMalformedFont();
    if (tokens.NextToken() != PsTokenKind::kLiteralName) ThrowMalformedFont();
    ownEncoding_[code] = CopyText(tokens.Text());
    tokens.NextToken();  // put
  }
}

void Type1Font::ReadSubrs(PsTokenizer& tokens) {
  if (tokens.NextToken() != PsTokenKind::kInteger) ThrowMalformedFont();
  const int32_t count = DecimalToInt(tokens.Text());
  // A count beyond the program's size cannot be real: refuse it before
  // sizing the table.
  if (count < 0 || count > 65535 || static_cast<size_t>(count) > dataSize_) ThrowMalformedFont();
  subrCount_ = static_cast<uint32_t>(count);
  subrs_ = static_cast<CffBytes*>(arena_.Alloc(sizeof(CffBytes) * (subrCount_ + 1)));
  for (uint32_t i = 0; i <= subrCount_; ++i) subrs_[i] = {};
  SkipToExecutable(tokens, "array");
  for (;;) {
    const PsTokenKind k = tokens.NextToken();
    if (k == PsTokenKind::kEnd) ThrowMalformedFont();
    if (k != PsTokenKind::kExecutableName || !tokens.TextIs("dup")) return;
    if (tokens.NextToken() != PsTokenKind::kInteger) ThrowMalformedFont();
    const int32_t index = DecimalToInt(tokens.Text());
    if (index < 0 || index >= count) ThrowMalformedFont();
    tokens.NextToken();
    subrs_[index] = ReadCharstring(tokens);
    runtime::ChargeWork(context_, 10);
    if (tokens.NextToken() != PsTokenKind::kExecutableName) ThrowMalformedFont();
    if (tokens.TextIs("noaccess")) {
      if (tokens.NextToken() != PsTokenKind::kExecutableName || !tokens.TextIs("put")) {
        ThrowMalformedFont();
      }
    }
  }
}

const char* const* Type1Font::GlyphNames() {
  if (glyphNames_ != nullptr) return glyphNames_;
  const uint32_t n = glyphs_->Size();
  const char** names = static_cast<const char**>(arena_.Alloc(sizeof(char*) * (n + 1)));
  for (uint32_t i = 0; i < n; ++i) names[i] = (*glyphs_)[i].name;
  glyphNames_ = names;
  return names;
}

const char* const* Type1Font::BuiltinEncoding() {
  if (encodingNames_ != nullptr) return encodingNames_;
  const char** names = static_cast<const char**>(arena_.Alloc(sizeof(char*) * 256));
  for (int i = 0; i < 256; ++i) names[i] = standardEncoding_ ? StandardEncodingName(i) : ownEncoding_[i];
  encodingNames_ = names;
  return names;
}

CffBytes Type1Font::CharstringOf(uint32_t glyph) {
  if (glyph >= glyphs_->Size()) ThrowMalformedFont();
  const GlyphEntry& e = (*glyphs_)[glyph];
  return {e.data, e.length};
}

CffBytes Type1Font::GlobalSubr(uint32_t) { ThrowMalformedFont(); }

CffBytes Type1Font::LocalSubr(const PrivateRecord&, uint32_t n) {
  if (n >= subrCount_) ThrowMalformedFont();
  return subrs_[n];
}

uint32_t Type1Font::StandardCodeToGlyph(int32_t code) {
  if (code < 0 || code >= 256) ThrowMalformedFont();
  const char* name = StandardEncodingName(code);
  for (uint32_t i = 0; i < glyphs_->Size(); ++i) {
    if (std::strcmp((*glyphs_)[i].name, name) == 0) return i;
  }
  return 0;
}

}  // namespace fonts
