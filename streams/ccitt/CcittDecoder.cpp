#include "streams/ccitt/CcittDecoder.h"

#include <bit>

#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"

namespace streams {
namespace {

int32_t* AllocateRowStorage(runtime::LibraryContext* context, const CcittParams& params) {
  if (params.columns < 1 || params.columns > CcittDecoder::kMaxColumns) {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  const auto entries = static_cast<size_t>(FaxRowDecoder::StorageEntries(params.columns));
  return static_cast<int32_t*>(runtime::AllocOrThrow(context, entries * sizeof(int32_t)));
}

runtime::LibraryContext* ContextOrDefault(runtime::LibraryContext* context) {
  return context != nullptr ? context : runtime::GetDefaultContext();
}

}  // namespace

CcittDecoder::CcittDecoder(runtime::LibraryContext* context, const CcittParams& params,
                           FaxBitReader& bits)
    : context_(ContextOrDefault(context)),
      params_(params),
      bits_(bits),
      storage_(AllocateRowStorage(context_, params)),
      rows_(params.columns, storage_, /*clamp=*/false, /*allowUncompressed=*/true),
      // Columns is bounded above, so this cannot overflow.
      rowBytes_((params.columns + 7) / 8) {
  if (params_.damagedRowsBeforeError < 0) params_.damagedRowsBeforeError = 0;
}

CcittDecoder::~CcittDecoder() { context_->memory.Free(storage_); }

bool CcittDecoder::SeekEndOfLine() {
  for (;;) {
    const uint32_t window = bits_.Peek(12);
    if (window == 1) return true;
    if (window == 0) {
      if (bits_.OnlyZerosLeft()) return false;
      bits_.Skip(1);
      continue;
    }
    // A 1 bit after fewer than 11 zeros: no EOL can start before it.
    bits_.Skip(std::countl_zero(window) - 20 + 1);
  }
}

bool CcittDecoder::EndTestPasses() {
  return bits_.OnlyZerosLeft() && (!params_.endOfBlock || params_.damagedRowsBeforeError >= 1);
}

CcittDecoder::Start CcittDecoder::HandleRowStart() {
  if (bits_.Peek(11) != 0) return params_.endOfLine ? Start::kDamaged : Start::kRow;
  if (!SeekEndOfLine()) return EndTestPasses() ? Start::kEnd : Start::kDamaged;
  bits_.Skip(12);
  // In mixed coding a tag bit follows each EOL: 0 announces a
  // two-dimensional row, 1 a one-dimensional row or more EOLs.
  if (params_.k > 0 && bits_.Peek(1) == 0) return Start::kRow;
  const int tag = params_.k > 0 ? 1 : 0;
  const int endCount = params_.k < 0 ? 2 : 6;
  int count = 1;
  while (!EndTestPasses()) {
    const uint32_t window = bits_.Peek(tag + 12 + tag);
    const bool another = ((window >> tag) & 0xFFF) == 1 && (tag == 0 || (window & 1) == 1);
    if (!another) break;
    bits_.Skip(tag + 12);
    if (++count >= endCount) return Start::kEnd;
  }
  if (EndTestPasses()) return Start::kEnd;
  if (count == 1) return Start::kRow;
  if (params_.k >= 0 && count >= 3 && params_.damagedRowsBeforeError > 0) return Start::kEnd;
  return Start::kDamaged;
}

FaxRowDecoder::Status CcittDecoder::DecodeRow() {
  bool twoDimensional = params_.k < 0;
  if (params_.k > 0) twoDimensional = bits_.Read(1) == 0;
  return twoDimensional ? rows_.DecodeTwoDimensional(bits_) : rows_.DecodeOneDimensional(bits_);
}

bool CcittDecoder::AfterDamagedRow() {
  if (params_.rows == 0) return false;
  ++damagedRows_;
  ++consecutiveDamaged_;
  if (consecutiveDamaged_ > params_.damagedRowsBeforeError || params_.k < 0 ||
      !params_.endOfLine) {
    return false;
  }
  // The first damaged row keeps what was decoded of it; later ones in a
  // row carry nothing trustworthy and come out white.
  if (consecutiveDamaged_ > 1) rows_.MakeRowWhite();
  return true;
}

bool CcittDecoder::ReadRow(uint8_t* row) {
  if (finished_) return false;
  if (params_.rows > 0 && rowsDecoded_ >= params_.rows && !params_.endOfBlock) {
    finished_ = true;
    return false;
  }
  if (params_.encodedByteAlign && !params_.endOfLine) bits_.AlignToByte();

  bool damaged = false;
  if (previousDamaged_) {
    if (!SeekEndOfLine()) {
      finished_ = true;
      return false;
    }
    if (params_.k > 0 && (bits_.Peek(13) & 1) == 0) damaged = true;
  } else if (params_.endOfLine && rowsDecoded_ == 0 && !SeekEndOfLine()) {
    finished_ = true;
    return false;
  }
  if (!damaged) {
    switch (HandleRowStart()) {
      case Start::kEnd:
        finished_ = true;
        return false;
      case Start::kDamaged:
        damaged = true;
        rows_.MakeRowWhite();
        break;
      case Start::kRow:
        damaged = DecodeRow() != FaxRowDecoder::Status::kComplete;
        break;
    }
  } else {
    rows_.MakeRowWhite();
  }

  if (damaged) {
    if (!AfterDamagedRow()) {
      finished_ = true;
      return false;
    }
    previousDamaged_ = true;
  } else {
    previousDamaged_ = false;
    consecutiveDamaged_ = 0;
  }
  rows_.WriteRow(row, rowBytes_, params_.blackIs1);
  rows_.EndRow();
  ++rowsDecoded_;
  return true;
}

}  // namespace streams
