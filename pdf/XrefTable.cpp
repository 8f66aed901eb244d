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
    ObjectHandle trailer = section->GetTrailer();
    ObjectHandle hybrid = runtime::Dictionary::Get(trailer, "XRefStm");
    if (hybrid.Tag() == runtime::ObjectTag::kInteger && hybrid->AsInteger() > 0) {
      pending_.Append(int64_t{hybrid->AsInteger()} + document_.HeaderOffset());
    }
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
    if (entry.kind != 0) return entry;
  }
}

ObjectHandle XrefTable::GetTrailer() {
  SectionRef section = GetSection(newest_);
  return section->GetTrailer();
}

}  // namespace pdf
