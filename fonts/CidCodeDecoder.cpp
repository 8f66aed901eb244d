#include "fonts/CidCodeDecoder.h"

#include <cstring>

#include "runtime/ErrorTrap.h"
#include "runtime/TransientBlocks.h"

namespace fonts {

CidCodeDecoder* CidCodeDecoder::FromCMap(runtime::LibraryContext* context, CMapRef cmap) {
  const uint8_t wMode = cmap ? cmap->GetWMode() : 0;
  return runtime::NewObject<CidCodeDecoder>(context, context, std::move(cmap), false, wMode);
}

CidCodeDecoder* CidCodeDecoder::Identity(runtime::LibraryContext* context, uint8_t wMode) {
  return runtime::NewObject<CidCodeDecoder>(context, context, CMapRef(), true, wMode);
}

CidCodeDecoder::CidCodeDecoder(runtime::LibraryContext* context, CMapRef cmap, bool twoByteMode,
                               uint8_t wMode)
    : context_(context),
      metrics_(context),
      cmap_(std::move(cmap)),
      twoByteMode_(twoByteMode || !cmap_),
      wMode_(wMode),
      arena_(context, 1024, 256) {}

void CidCodeDecoder::SetCidToGidMap(streams::DataStream& stream) {
  // Read into a scratch block first, so that the map keeps only its own
  // length.
  struct Scratch {
    runtime::LibraryContext* context;
    uint8_t* bytes;
    ~Scratch() { context->memory.Free(bytes); }
  } scratch{context_, static_cast<uint8_t*>(runtime::AllocOrThrow(context_, kMaxCidToGidBytes))};
  const auto read = static_cast<uint32_t>(stream.Read(scratch.bytes, kMaxCidToGidBytes));
  auto* bytes = static_cast<uint8_t*>(arena_.Alloc(read == 0 ? 1 : read));
  if (read != 0) std::memcpy(bytes, scratch.bytes, read);
  cidToGid_ = bytes;
  cidToGidLength_ = read;
}

uint32_t CidCodeDecoder::GlyphOfCid(uint32_t cid) const {
  if (cidToGid_ != nullptr) {
    // Unsigned: a CID past the map gives glyph 0.
    const uint64_t at = uint64_t{cid} * 2;
    if (at + 1 < cidToGidLength_) return (uint32_t{cidToGid_[at]} << 8) | cidToGid_[at + 1];
    return 0;
  }
  if (cidToGlyph_) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(cid >> 8), static_cast<uint8_t>(cid)};
    const uint8_t* cursor = bytes;
    const CodeMapping mapping = cidToGlyph_->Lookup(&cursor, bytes + 2);
    if (!mapping.HasUnits() && mapping.value != 0) return static_cast<uint32_t>(mapping.value);
    return cid;
  }
  return cid;
}

const uint8_t* CidCodeDecoder::NextCode(const uint8_t* cursor, const uint8_t* end,
                                        CidGlyph* out) const {
  *out = CidGlyph{};
  if (cursor >= end) return cursor;
  if (twoByteMode_) {
    if (end - cursor >= 2) {
      out->code = (uint32_t{cursor[0]} << 8) | cursor[1];
      cursor += 2;
    } else {
      out->code = 0;
      cursor += 1;
    }
    out->cid = out->code;
  } else {
    const uint8_t* start = cursor;
    bool space = false;
    const CodeMapping mapping = cmap_->Lookup(&cursor, end, &space);
    if (mapping.HasUnits()) runtime::ThrowMalformed();
    for (const uint8_t* b = start; b < cursor && b < start + 4; ++b) out->code = (out->code << 8) | *b;
    out->cid = static_cast<uint32_t>(mapping.value);
    out->wordSpace = space ? 1 : 0;
  }
  out->glyph = GlyphOfCid(out->cid);
  out->width = metrics_.Width(out->cid);
  if (wMode_ == 1) {
    const VerticalMetrics vertical = metrics_.Vertical(out->cid);
    out->verticalAdvance = vertical.advance;
    out->positionX = vertical.positionX;
    out->positionY = vertical.positionY;
  }
  return cursor;
}

uint32_t CidCodeDecoder::Size() const {
  return static_cast<uint32_t>(sizeof(CidCodeDecoder)) + metrics_.Size() + arena_.totalBytes +
         (cmap_ ? cmap_->Size() : 0) + (cidToGlyph_ ? cidToGlyph_->Size() : 0);
}

}  // namespace fonts
