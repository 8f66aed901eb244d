#include "streams/CcittFaxFilter.h"

#include <algorithm>
#include <cstring>

#include "runtime/ErrorTrap.h"
#include "streams/FilterParameters.h"

namespace streams {

CcittParams CcittFaxFilter::ReadParams(const FilterParameters* params) {
  CcittParams result;
  if (params != nullptr) {
    params->GetInteger("Rows", &result.rows);
    params->GetInteger("Columns", &result.columns);
    params->GetInteger("K", &result.k);
    params->GetInteger("DamagedRowsBeforeError", &result.damagedRowsBeforeError);
    params->GetBoolean("EncodedByteAlign", &result.encodedByteAlign);
    params->GetBoolean("EndOfBlock", &result.endOfBlock);
    params->GetBoolean("EndOfLine", &result.endOfLine);
    params->GetBoolean("BlackIs1", &result.blackIs1);
  }
  if (result.columns < 1 || result.columns > CcittDecoder::kMaxColumns) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  return result;
}

CcittFaxFilter::CcittFaxFilter(LibraryContext* context, StreamRef source,
                               const CcittParams& params)
    : FilterBase(context, std::move(source)), params_(params) {
  Start();
}

CcittFaxFilter::~CcittFaxFilter() { Context()->memory.Free(row_); }

void CcittFaxFilter::Start() {
  decoder_.reset();
  bits_.emplace(nullptr, nullptr, &CcittFaxFilter::Refill, this);
  decoder_.emplace(Context(), params_, *bits_);
  rowBytes_ = decoder_->RowBytes();
  if (row_ == nullptr) {
    row_ = static_cast<uint8_t*>(runtime::AllocOrThrow(Context(), static_cast<size_t>(rowBytes_)));
  }
  rowPosition_ = rowBytes_;
  finished_ = false;
  chunkBegin_ = nullptr;
}

bool CcittFaxFilter::Refill(void* user, const uint8_t** begin, const uint8_t** end) {
  auto* self = static_cast<CcittFaxFilter*>(user);
  if (!self->SourceAvailable()) return false;
  *begin = self->chunkBegin_ = self->sourceCursor_;
  *end = self->sourceEnd_;
  self->sourceCursor_ = self->sourceEnd_;
  return true;
}

void CcittFaxFilter::GiveBackUnused() {
  if (chunkBegin_ == nullptr || sourceCursor_ == nullptr) return;
  const size_t unused = bits_->UnusedBytes();
  const auto available = static_cast<size_t>(sourceCursor_ - chunkBegin_);
  sourceCursor_ -= std::min(unused, available);
}

uint32_t CcittFaxFilter::Decode(uint8_t* buffer, uint32_t capacity) {
  uint32_t written = 0;
  while (written < capacity) {
    if (rowPosition_ == rowBytes_) {
      if (finished_ || !decoder_->ReadRow(row_)) {
        // Damaged or ended data ends the output with the rows decoded.
        if (!finished_) GiveBackUnused();
        finished_ = true;
        end_ = true;
        return written;
      }
      rowPosition_ = 0;
    }
    const auto take = std::min<uint32_t>(capacity - written,
                                         static_cast<uint32_t>(rowBytes_ - rowPosition_));
    std::memcpy(buffer + written, row_ + rowPosition_, take);
    written += take;
    rowPosition_ += static_cast<int32_t>(take);
  }
  return written;
}

void CcittFaxFilter::Restart(uint64_t position) {
  FilterBase::Restart(position);
  Start();
}

uint32_t CcittFaxFilter::MemorySize() const {
  // The decoder's own state beside the base.
  return FilterBase::MemorySize() + 156;
}

}  // namespace streams
