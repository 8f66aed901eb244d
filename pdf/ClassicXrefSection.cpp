#include "pdf/ClassicXrefSection.h"

#include "pdf/Document.h"
#include "pdf/Lexer.h"
#include "pdf/PdfCharClass.h"
#include "pdf/TokenParser.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"

namespace pdf {
namespace {

// The absolute offset a trailer's "Prev" names, or 0 when it has none.
int64_t PreviousOffset(const runtime::ObjectValue& trailer, uint32_t headerOffset) {
  const runtime::ObjectValue* prev = runtime::Dictionary::FindByName(trailer, "Prev");
  if (!prev->Is(runtime::ObjectTag::kInteger) || prev->payload.integer <= 0) return 0;
  return int64_t{prev->payload.integer} + headerOffset;
}

// The size of the entry at the read position: 20 bytes as the format
// demands, or 19 when the writer ended it with a lone CR or LF (the byte
// after that is already the next entry or "trailer").
uint32_t MeasureEntry(streams::DataStream& in) {
  constexpr uint32_t kLong = ClassicXrefSection::kEntryBytes;
  if (in.EnsureContiguous(kLong) < kLong) return kLong;
  const uint8_t* entry = in.Cursor();
  const bool shortEnd = (entry[kLong - 2] == '\n' || entry[kLong - 2] == '\r') &&
                        !IsWhiteSpace(entry[kLong - 1]);
  return shortEnd ? kLong - 1 : kLong;
}

}  // namespace

ClassicXrefSection::ClassicXrefSection(runtime::LibraryContext* context, Document& document,
                                       streams::DataStreamRef stream)
    : XrefSection(context),
      document_(document),
      stream_(std::move(stream)),
      store_(runtime::StoreRef::Adopt(context, runtime::ValueStore::New(context))) {
  streams::DataStream& in = *stream_;
  if (!Lexer::TakeKeyword(in, "xref")) runtime::ThrowMalformed();
  for (;;) {
    if (!Lexer::SkipWhiteSpace(in)) runtime::ThrowMalformed();
    if (*in.Cursor() == 't') break;
    const int32_t first = Lexer::ReadUnsigned(in);
    Lexer::SkipWhiteSpace(in);
    const int32_t count = Lexer::ReadUnsigned(in);
    // The entries start on the next line.
    Lexer::SkipWhiteSpace(in);
    const uint64_t position = in.Position();
    if (count > 0 && SubsectionCount() == 0) entryBytes_ = MeasureEntry(in);
    AddSubsection(static_cast<uint32_t>(first), static_cast<uint32_t>(count), position);
    const uint64_t bytes = uint64_t{entryBytes_} * static_cast<uint32_t>(count);
    if (bytes > document.FileLength() - position) runtime::ThrowMalformed();
    in.Seek(position + bytes);
  }
  if (!Lexer::TakeKeyword(in, "trailer")) runtime::ThrowMalformed();
  ParseSettings settings;
  settings.allowStreams = false;
  trailer_ = TokenParser::Parse(context, in, *store_, settings);
  if (!trailer_.Is(runtime::ObjectTag::kDictionary)) runtime::ThrowMalformed();
  previousOffset_ = PreviousOffset(trailer_, document.HeaderOffset());
  ownBytes_ = static_cast<uint32_t>(store_->BytesHeld()) + 16 * SubsectionCount();
}

runtime::ObjectHandle ClassicXrefSection::GetTrailer() {
  return runtime::ObjectHandle(Context(), &trailer_, store_.Get(), &document_);
}

void ClassicXrefSection::ParseEntries(uint64_t position, runtime::XrefEntry* out,
                                      uint32_t count) {
  streams::DataStream& in = *stream_;
  in.Seek(position);
  for (uint32_t i = 0; i < count; ++i) {
    Lexer::SkipWhiteSpace(in);
    const int32_t offset = Lexer::ReadUnsigned(in);
    Lexer::SkipWhiteSpace(in);
    const int32_t generation = Lexer::ReadUnsigned(in);
    if (!Lexer::SkipWhiteSpace(in)) runtime::ThrowMalformed();
    const uint8_t type = *in.Cursor();
    if (type != 'f' && type != 'n') runtime::ThrowMalformed();
    in.Advance(1);
    out[i].kind = type == 'n' ? 2 : 1;
    out[i].generation = static_cast<uint32_t>(generation);
    out[i].offset = type == 'n' ? uint64_t(uint32_t(offset)) + document_.HeaderOffset() : 0;
  }
}

}  // namespace pdf
