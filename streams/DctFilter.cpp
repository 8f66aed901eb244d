#include "streams/DctFilter.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include "runtime/ErrorTrap.h"

// The JPEG library's virtual arrays, as this filter's memory manager keeps
// them: always whole in memory.
struct jvirt_sarray_control {
  JSAMPARRAY buffer;
  JDIMENSION rows;
  JDIMENSION width;
  JDIMENSION maxAccess;
  boolean preZero;
  jvirt_sarray_control* next;
};

struct jvirt_barray_control {
  JBLOCKARRAY buffer;
  JDIMENSION rows;
  JDIMENSION width;
  JDIMENSION maxAccess;
  boolean preZero;
  jvirt_barray_control* next;
};

namespace streams {
namespace {

// Every block handed to the JPEG library is aligned for its vector code,
// and sample rows are padded the way its own manager pads them, because
// the vector code reads and writes whole vectors at row ends.
constexpr uintptr_t kJpegAlign = 32;
constexpr size_t kRowPadding = 64;
constexpr size_t kMaxJpegRequest = size_t{1} << 31;
// All one decoder may hold. A header can claim 65535 x 65535 pixels in a
// few bytes; the coefficient buffers of such a progressive image would run
// to gigabytes, and large blocks are not charged against the context's
// limits, so the decoder bounds itself.
constexpr uint64_t kMaxJpegMemory = uint64_t{256} << 20;

}  // namespace

// The decoder's own memory records are named (not file-local) because the
// decoder, declared in the header, holds them.
namespace dct_memory {

struct PoolHeader {
  PoolHeader* next;
  void* raw;
  size_t size;
};

struct JpegMemory {
  jpeg_memory_mgr pub;
  jpeg_memory_mgr* original;
  PoolHeader* pools[JPOOL_NUMPOOLS];
  jvirt_sarray_control* sarrays;
  jvirt_barray_control* barrays;
  uint64_t bytes;
};

}  // namespace dct_memory

using dct_memory::JpegMemory;
using dct_memory::PoolHeader;

struct DctDecoder {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errors;
  jpeg_source_mgr source;
  JpegMemory memory;
  std::jmp_buf jump;
  DctFilter* filter;
  LibraryContext* context;
  runtime::ErrorRecord error;
  bool hasError;
  // Set while the decoder is torn down: errors then are not recorded.
  bool quiet;
  bool started;
  bool atFileStart;
  uint32_t components;
  uint32_t rowBytes;
  uint32_t warnings;
  int32_t firstWarning;
  uint8_t endOfImage[2];

  enum FetchResult { kData, kEnd, kError };
  FetchResult FetchSource();
};

namespace {

DctDecoder* DecoderOf(j_common_ptr cinfo) { return static_cast<DctDecoder*>(cinfo->client_data); }

// Runs a call into the JPEG library. The library's error exit jumps back
// here; nothing with a destructor may live between this frame and the
// jump, so `body` only calls the library.
template <class Body>
bool RunJpeg(DctDecoder* decoder, Body body) {
  if (setjmp(decoder->jump) != 0) return false;
  body();
  return true;
}

void JpegErrorExit(j_common_ptr cinfo) {
  DctDecoder* decoder = DecoderOf(cinfo);
  (*cinfo->err->output_message)(cinfo);
  if (!decoder->hasError && !decoder->quiet) {
    uint32_t code = cinfo->err->msg_code == JERR_OUT_OF_MEMORY ? runtime::kOutOfMemory
                                                               : runtime::kMalformed;
    decoder->error = runtime::ErrorRecord{runtime::kRuntimeDomain, code, 0};
    decoder->hasError = true;
  }
  std::longjmp(decoder->jump, 1);
}

void JpegOutputMessage(j_common_ptr) {}

void JpegEmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  DctDecoder* decoder = DecoderOf(cinfo);
  ++cinfo->err->num_warnings;
  ++decoder->warnings;
  if (decoder->firstWarning < 0) decoder->firstWarning = cinfo->err->msg_code;
}

// Memory manager: every pool block comes from the memory context.

void* AllocPooled(j_common_ptr cinfo, int pool, size_t size) {
  DctDecoder* decoder = DecoderOf(cinfo);
  if (pool < 0 || pool >= JPOOL_NUMPOOLS) ERREXIT1(cinfo, JERR_BAD_POOL_ID, pool);
  if (size > kMaxJpegRequest) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 1);
  size = (size + kJpegAlign - 1) & ~(kJpegAlign - 1);
  if (decoder->memory.bytes + size > kMaxJpegMemory) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 4);
  void* raw = decoder->context->memory.Allocate(size + sizeof(PoolHeader) + kJpegAlign);
  if (raw == nullptr) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 2);
  uintptr_t user = (reinterpret_cast<uintptr_t>(raw) + sizeof(PoolHeader) + kJpegAlign - 1) &
                   ~(kJpegAlign - 1);
  auto* header = reinterpret_cast<PoolHeader*>(user - sizeof(PoolHeader));
  header->raw = raw;
  header->size = size;
  header->next = decoder->memory.pools[pool];
  decoder->memory.pools[pool] = header;
  decoder->memory.bytes += size;
  return reinterpret_cast<void*>(user);
}

void FreePool(DctDecoder* decoder, int pool) {
  PoolHeader* header = decoder->memory.pools[pool];
  decoder->memory.pools[pool] = nullptr;
  while (header != nullptr) {
    PoolHeader* next = header->next;
    decoder->memory.bytes -= header->size;
    decoder->context->memory.Free(header->raw);
    header = next;
  }
  if (pool == JPOOL_IMAGE) {
    decoder->memory.sarrays = nullptr;
    decoder->memory.barrays = nullptr;
  }
}

template <class Row>
Row* AllocRows(j_common_ptr cinfo, int pool, size_t rowSize, JDIMENSION rows) {
  uint64_t total = uint64_t{rowSize} * rows;
  if (rowSize > kMaxJpegRequest || total > kMaxJpegRequest) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 3);
  auto* array = static_cast<Row*>(AllocPooled(cinfo, pool, sizeof(Row) * (rows > 0 ? rows : 1)));
  auto* data = static_cast<uint8_t*>(AllocPooled(cinfo, pool, total > 0 ? total : 1));
  for (JDIMENSION row = 0; row < rows; ++row) {
    array[row] = reinterpret_cast<Row>(data + row * rowSize);
  }
  return array;
}

void* JpegAllocSmall(j_common_ptr cinfo, int pool, size_t size) { return AllocPooled(cinfo, pool, size); }

JSAMPARRAY JpegAllocSarray(j_common_ptr cinfo, int pool, JDIMENSION samples, JDIMENSION rows) {
  size_t rowSize = (size_t{samples} * sizeof(JSAMPLE) + kRowPadding - 1) & ~(kRowPadding - 1);
  return AllocRows<JSAMPROW>(cinfo, pool, rowSize, rows);
}

JBLOCKARRAY JpegAllocBarray(j_common_ptr cinfo, int pool, JDIMENSION blocks, JDIMENSION rows) {
  return AllocRows<JBLOCKROW>(cinfo, pool, size_t{blocks} * sizeof(JBLOCK), rows);
}

template <class Control>
Control* RequestVirtual(j_common_ptr cinfo, int pool, boolean preZero, JDIMENSION width,
                        JDIMENSION rows, JDIMENSION maxAccess, Control** head) {
  if (pool != JPOOL_IMAGE) ERREXIT1(cinfo, JERR_BAD_POOL_ID, pool);
  auto* control = static_cast<Control*>(AllocPooled(cinfo, pool, sizeof(Control)));
  *control = Control{nullptr, rows, width, maxAccess, preZero, *head};
  *head = control;
  return control;
}

jvirt_sarray_ptr JpegRequestVirtSarray(j_common_ptr cinfo, int pool, boolean preZero,
                                       JDIMENSION samples, JDIMENSION rows, JDIMENSION maxAccess) {
  return RequestVirtual(cinfo, pool, preZero, samples, rows, maxAccess,
                        &DecoderOf(cinfo)->memory.sarrays);
}

jvirt_barray_ptr JpegRequestVirtBarray(j_common_ptr cinfo, int pool, boolean preZero,
                                       JDIMENSION blocks, JDIMENSION rows, JDIMENSION maxAccess) {
  return RequestVirtual(cinfo, pool, preZero, blocks, rows, maxAccess,
                        &DecoderOf(cinfo)->memory.barrays);
}

// Gives every requested array its memory, zeroed when asked.
template <class Control, class Allocate>
void RealizeAll(j_common_ptr cinfo, Control* array, size_t elementSize, Allocate allocate) {
  for (; array != nullptr; array = array->next) {
    if (array->buffer != nullptr) continue;
    array->buffer = allocate(cinfo, JPOOL_IMAGE, array->width, array->rows);
    if (!array->preZero) continue;
    for (JDIMENSION row = 0; row < array->rows; ++row) {
      std::memset(array->buffer[row], 0, size_t{array->width} * elementSize);
    }
  }
}

void JpegRealizeVirtArrays(j_common_ptr cinfo) {
  JpegMemory& memory = DecoderOf(cinfo)->memory;
  RealizeAll(cinfo, memory.sarrays, sizeof(JSAMPLE), &JpegAllocSarray);
  RealizeAll(cinfo, memory.barrays, sizeof(JBLOCK), &JpegAllocBarray);
}

template <class Control>
void CheckAccess(j_common_ptr cinfo, const Control* array, JDIMENSION start, JDIMENSION count) {
  if (array->buffer == nullptr || uint64_t{start} + count > array->rows || count > array->maxAccess) {
    ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
  }
}

JSAMPARRAY JpegAccessVirtSarray(j_common_ptr cinfo, jvirt_sarray_ptr array, JDIMENSION start,
                                JDIMENSION count, boolean) {
  CheckAccess(cinfo, array, start, count);
  return array->buffer + start;
}

JBLOCKARRAY JpegAccessVirtBarray(j_common_ptr cinfo, jvirt_barray_ptr array, JDIMENSION start,
                                 JDIMENSION count, boolean) {
  CheckAccess(cinfo, array, start, count);
  return array->buffer + start;
}

void JpegFreePool(j_common_ptr cinfo, int pool) {
  if (pool < 0 || pool >= JPOOL_NUMPOOLS) ERREXIT1(cinfo, JERR_BAD_POOL_ID, pool);
  FreePool(DecoderOf(cinfo), pool);
}

void JpegSelfDestruct(j_common_ptr cinfo) {
  DctDecoder* decoder = DecoderOf(cinfo);
  FreePool(decoder, JPOOL_IMAGE);
  FreePool(decoder, JPOOL_PERMANENT);
  // What the library allocated while it was being created stays with its
  // own manager; hand the record back to it to release that too.
  cinfo->mem = decoder->memory.original;
  (*cinfo->mem->self_destruct)(cinfo);
}

void InstallMemoryManager(DctDecoder* decoder) {
  JpegMemory& memory = decoder->memory;
  memory.original = decoder->cinfo.mem;
  memory.pub = *memory.original;
  memory.pub.alloc_small = &JpegAllocSmall;
  memory.pub.alloc_large = &JpegAllocSmall;
  memory.pub.alloc_sarray = &JpegAllocSarray;
  memory.pub.alloc_barray = &JpegAllocBarray;
  memory.pub.request_virt_sarray = &JpegRequestVirtSarray;
  memory.pub.request_virt_barray = &JpegRequestVirtBarray;
  memory.pub.realize_virt_arrays = &JpegRealizeVirtArrays;
  memory.pub.access_virt_sarray = &JpegAccessVirtSarray;
  memory.pub.access_virt_barray = &JpegAccessVirtBarray;
  memory.pub.free_pool = &JpegFreePool;
  memory.pub.self_destruct = &JpegSelfDestruct;
  decoder->cinfo.mem = &memory.pub;
}

// Data source: the filter's source blocks.

void JpegInitSource(j_decompress_ptr cinfo) { DecoderOf(reinterpret_cast<j_common_ptr>(cinfo))->atFileStart = true; }

boolean JpegFillInput(j_decompress_ptr cinfo) {
  DctDecoder* decoder = DecoderOf(reinterpret_cast<j_common_ptr>(cinfo));
  DctDecoder::FetchResult result = decoder->FetchSource();
  if (result == DctDecoder::kData) return TRUE;
  // The source's error is recorded; leave the library at once.
  if (result == DctDecoder::kError) std::longjmp(decoder->jump, 1);
  if (decoder->atFileStart) ERREXIT(cinfo, JERR_INPUT_EMPTY);
  // Truncated data: warn and end the image, so the rows decoded so far
  // stand and the rest come out blank.
  WARNMS(cinfo, JWRN_JPEG_EOF);
  cinfo->src->next_input_byte = decoder->endOfImage;
  cinfo->src->bytes_in_buffer = 2;
  return TRUE;
}

void JpegSkipInput(j_decompress_ptr cinfo, long count) {
  if (count < 1) return;
  jpeg_source_mgr* source = cinfo->src;
  while (count > static_cast<long>(source->bytes_in_buffer)) {
    count -= static_cast<long>(source->bytes_in_buffer);
    JpegFillInput(cinfo);
  }
  source->next_input_byte += count;
  source->bytes_in_buffer -= static_cast<size_t>(count);
}

void JpegTermSource(j_decompress_ptr) {}

}  // namespace

DctDecoder::FetchResult DctDecoder::FetchSource() {
  bool got = false;
  runtime::ErrorTrap trap(context);
  if (!trap.Run([&] { got = filter->RefillSource(); })) {
    trap.SetHandled();
    error = trap.Held();
    hasError = true;
    trap.Close();
    return kError;
  }
  if (!got) return kEnd;
  source.next_input_byte = filter->sourceCursor_;
  source.bytes_in_buffer = static_cast<size_t>(filter->sourceEnd_ - filter->sourceCursor_);
  filter->sourceCursor_ = filter->sourceEnd_;
  atFileStart = false;
  return kData;
}

uint32_t DctFilter::ReductionRequest::RequestReduction(uint32_t factor) {
  DctDecoder* decoder = filter_->decoder_;
  if (decoder == nullptr || decoder->started) return 1;
  if (factor != 1 && factor != 2 && factor != 4 && factor != 8) return 1;
  decoder->cinfo.scale_num = 1;
  decoder->cinfo.scale_denom = factor;
  filter_->StartIfNeeded();
  filter_->reduction_ = factor;
  return factor;
}

DctFilter::DctFilter(LibraryContext* context, StreamRef source)
    : FilterBase(context, std::move(source)) {
  CreateDecoder();
}

DctFilter::~DctFilter() { DestroyDecoder(); }

void DctFilter::CreateDecoder() {
  decoder_ = runtime::NewObject<DctDecoder>(Context());
  DctDecoder* decoder = decoder_;
  decoder->filter = this;
  decoder->context = Context();
  decoder->firstWarning = -1;
  decoder->endOfImage[0] = 0xFF;
  decoder->endOfImage[1] = JPEG_EOI;
  decoder->cinfo.err = jpeg_std_error(&decoder->errors);
  decoder->errors.error_exit = &JpegErrorExit;
  decoder->errors.output_message = &JpegOutputMessage;
  decoder->errors.emit_message = &JpegEmitMessage;
  decoder->cinfo.client_data = decoder;
  bool created = RunJpeg(decoder, [decoder] {
    jpeg_create_decompress(&decoder->cinfo);
    InstallMemoryManager(decoder);
    decoder->source.init_source = &JpegInitSource;
    decoder->source.fill_input_buffer = &JpegFillInput;
    decoder->source.skip_input_data = &JpegSkipInput;
    decoder->source.resync_to_restart = &jpeg_resync_to_restart;
    decoder->source.term_source = &JpegTermSource;
    decoder->cinfo.src = &decoder->source;
    jpeg_read_header(&decoder->cinfo, TRUE);
  });
  if (!created) {
    runtime::ErrorRecord error = decoder->error;
    DestroyDecoder();
    runtime::ThrowError(Context(), error);
  }
  switch (decoder->cinfo.out_color_space) {
    case JCS_GRAYSCALE: decoder->components = 1; break;
    case JCS_RGB:
    case JCS_YCbCr: decoder->components = 3; break;
    case JCS_CMYK:
    case JCS_YCCK: decoder->components = 4; break;
    default: decoder->components = static_cast<uint32_t>(decoder->cinfo.num_components); break;
  }
}

void DctFilter::DestroyDecoder() {
  DctDecoder* decoder = decoder_;
  if (decoder == nullptr) return;
  decoder->quiet = true;
  RunJpeg(decoder, [decoder] { jpeg_destroy_decompress(&decoder->cinfo); });
  // Whatever a failed teardown left behind.
  FreePool(decoder, JPOOL_IMAGE);
  FreePool(decoder, JPOOL_PERMANENT);
  decoder_ = nullptr;
  runtime::DestroyAndFree(Context(), decoder);
}

void DctFilter::ThrowRecorded() {
  runtime::ErrorRecord error = decoder_->error;
  runtime::ThrowError(Context(), error);
}

void DctFilter::StartIfNeeded() {
  // A restart whose new header failed leaves no decoder: the data is bad.
  if (decoder_ == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
  DctDecoder* decoder = decoder_;
  if (decoder->hasError) ThrowRecorded();
  if (decoder->started) return;
  if (!RunJpeg(decoder, [decoder] { jpeg_start_decompress(&decoder->cinfo); })) ThrowRecorded();
  decoder->started = true;
  uint64_t rowBytes = uint64_t{decoder->cinfo.output_width} *
                      static_cast<uint64_t>(decoder->cinfo.output_components);
  if (rowBytes == 0 || rowBytes > UINT32_MAX) runtime::ThrowRuntime(runtime::kOverflow);
  decoder->components = static_cast<uint32_t>(decoder->cinfo.output_components);
  decoder->rowBytes = static_cast<uint32_t>(rowBytes);
}

void DctFilter::ReadRow(uint8_t* row) {
  DctDecoder* decoder = decoder_;
  JSAMPROW rows[1] = {row};
  bool finished = false;
  bool ok = RunJpeg(decoder, [decoder, &rows, &finished] {
    jpeg_read_scanlines(&decoder->cinfo, rows, 1);
    if (decoder->cinfo.output_scanline >= decoder->cinfo.output_height) {
      jpeg_finish_decompress(&decoder->cinfo);
      finished = true;
    }
  });
  if (!ok) ThrowRecorded();
  if (finished) end_ = true;
}

BlockRef DctFilter::FillBlock() {
  if (end_) return MakeEmptyBlock(Context());
  StartIfNeeded();
  Ref<HeapDataBlock> block = MakeRef<HeapDataBlock>(Context(), decoder_->rowBytes);
  ReadRow(block->Bytes());
  return block;
}

uint32_t DctFilter::Decode(uint8_t* buffer, uint32_t capacity) {
  if (end_) return 0;
  StartIfNeeded();
  if (capacity < decoder_->rowBytes) runtime::ThrowRuntime(runtime::kOverflow);
  ReadRow(buffer);
  return decoder_->rowBytes;
}

void DctFilter::Restart(uint64_t position) {
  FilterBase::Restart(position);
  DestroyDecoder();
  CreateDecoder();
  if (reduction_ != 1) {
    // The caller sized its rows for the reduced image.
    decoder_->cinfo.scale_num = 1;
    decoder_->cinfo.scale_denom = reduction_;
    StartIfNeeded();
  }
}

uint32_t DctFilter::MemorySize() const {
  uint64_t size = FilterBase::MemorySize() + 688 + (decoder_ != nullptr ? decoder_->memory.bytes : 0);
  return static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX));
}

DctScaling* DctFilter::Scaling() { return &scaling_; }

uint32_t DctFilter::Width() const {
  if (decoder_ == nullptr) return 0;
  return decoder_->started ? decoder_->cinfo.output_width : decoder_->cinfo.image_width;
}

uint32_t DctFilter::Height() const {
  if (decoder_ == nullptr) return 0;
  return decoder_->started ? decoder_->cinfo.output_height : decoder_->cinfo.image_height;
}

uint32_t DctFilter::Components() const { return decoder_ != nullptr ? decoder_->components : 0; }

uint32_t DctFilter::WarningCount() const { return decoder_ != nullptr ? decoder_->warnings : 0; }

int32_t DctFilter::FirstWarning() const { return decoder_ != nullptr ? decoder_->firstWarning : -1; }

}  // namespace streams
