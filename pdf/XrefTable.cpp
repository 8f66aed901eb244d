#include "pdf/XrefTable.h"

#include "pdf/ClassicXrefSection.h"
#include "pdf/Document.h"
#include "pdf/Lexer.h"
#include "pdf/StreamXrefSection.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "streams/SubRangeStream.h"

namespace pdf {

using runtime::ObjectHandle;
using runtime::XrefEntry;

XrefTable::XrefTable(Document& document)
    : document_(document),
      sections_(document.Context()),
      chain_(document.Context(), document.Context(), 0),
      pending_(document.Context(), document.Context(), 0) {}

void XrefTable::SetNewest(int64_t offset) {
  newest_ = offset;
  chain_.Clear();
  pending_.Clear();
  pendingHead_ = 0;
  pending_.Append(offset);
}

XrefTable::SectionRef XrefTable::GetSection(int64_t offset) {
  return sections_.Get(offset, [&] {
    SectionRef section = LoadSection(offset);
    const uint32_t size = section->ByteSize();
    return decltype(sections_)::Built{std::move(section), size};
  });
}

XrefTable::SectionRef XrefTable::LoadSection(int64_t offset) {
  Document::LoadScope scope(document_);
  if (offset <= 0 || static_cast<uint64_t>(offset) >= document_.FileLength()) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  runtime::LibraryContext* context = document_.Context();
  streams::DataStreamRef stream = streams::MakeRef<streams::SubRangeStream>(
      context, document_.Source(), static_cast<uint64_t>(offset));
  if (!Lexer::SkipWhiteSpace(*stream)) runtime::ThrowRuntime(runtime::kMalformed);
  runtime::XrefSection* section = nullptr;
  if (*stream->Cursor() == 'x') {
    section = runtime::NewObject<ClassicXrefSection>(context, context, document_, stream);
  } else {
    section = runtime::NewObject<StreamXrefSection>(context, context, document_, stream);
  }
  return SectionRef::Adopt(context, section);
}

int64_t XrefTable::HybridOffset(runtime::XrefSection& section) {
  ObjectHandle trailer = section.GetTrailer();
  const runtime::ObjectValue* hybrid = runtime::Dictionary::FindByName(trailer.Value(), "XRefStm");
  if (!hybrid->Is(runtime::ObjectTag::kInteger) || hybrid->payload.integer <= 0) return 0;
  return int64_t{hybrid->payload.integer} + document_.HeaderOffset();
}

bool XrefTable::Visited(int64_t offset) const {
  for (int64_t seen : chain_.Records()) {
    if (seen == offset) return true;
  }
  return false;
}

bool XrefTable::ExtendChain() {
  while (pendingHead_ < pending_.Size()) {
    const int64_t offset = pending_[pendingHead_++];
    if (offset <= 0 || Visited(offset)) continue;
    SectionRef section = GetSection(offset);
    chain_.Append(offset);
    // A hybrid file's classic section names a cross-reference stream that
    // lists the objects its table leaves out; it is searched before "Prev".
    if (const int64_t hybrid = HybridOffset(*section); hybrid != 0) pending_.Append(hybrid);
    pending_.Append(section->GetPrev());
    return true;
  }
  return false;
}

XrefEntry XrefTable::LookupEntry(uint32_t number) {
  for (uint32_t i = 0;; ++i) {
    if (i == chain_.Size() && !ExtendChain()) return XrefEntry{};
    SectionRef section = GetSection(chain_[i]);
    const XrefEntry entry = section->FindEntry(number);
    if (entry.kind == 0) continue;
    // A hybrid file's table marks the objects only its cross-reference
    // stream knows as free: that stream decides for them.
    const int64_t hybrid = entry.kind == 1 ? HybridOffset(*section) : 0;
    if (hybrid != 0 && hybrid != chain_[i]) {
      const XrefEntry hidden = GetSection(hybrid)->FindEntry(number);
      if (hidden.kind >= 2) return hidden;
    }
    return entry;
  }
}

uint32_t XrefTable::ListedEnd() {
  while (ExtendChain()) {
  }
  uint32_t end = 0;
  for (uint32_t i = 0; i < chain_.Size(); ++i) {
    SectionRef section = GetSection(chain_[i]);
    const uint32_t listed = section->ListedEnd();
    if (listed > end) end = listed;
  }
  return end;
}

ObjectHandle XrefTable::GetTrailer() {
  SectionRef section = GetSection(newest_);
  return section->GetTrailer();
}

}  // namespace pdf
