#include "fonts/EmbeddedProgram.h"

#include <cstring>

#include "fonts/FontProgramFile.h"
#include "fonts/TrueTypeFont.h"
#include "pdf/StreamObject.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/OwnedBuffer.h"
#include "runtime/Scheduler.h"
#include "runtime/TransientBlocks.h"
#include "streams/DataBlock.h"

namespace fonts {

namespace {

uint32_t SfntTagAt(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Whether an sfnt table directory lists a "CFF " table.
bool SfntHasCffTable(std::span<const uint8_t> data) {
  if (data.size() < 12) return false;
  const uint32_t tables = (uint32_t{data[4]} << 8) | data[5];
  for (uint32_t i = 0; i < tables; ++i) {
    const uint64_t at = 12 + uint64_t{i} * 16;
    if (at + 16 > data.size()) return false;
    if (std::memcmp(data.data() + at, "CFF ", 4) == 0) return true;
  }
  return false;
}

// The decoded data of a program stream, read whole; (runtime, 2) when it
// exceeds kMaxProgramBytes.
void ReadWholeStream(pdf::Document& document, const runtime::ObjectHandle& stream,
                     runtime::OwnedBuffer& out) {
  runtime::LibraryContext* context = stream.Context();
  streams::StreamRef data = pdf::StreamObject::OpenData(document, stream);
  uint32_t used = 0;
  for (;;) {
    streams::BlockRef block = data->FetchBlock();
    const uint32_t count = streams::CountOf(block);
    if (count == 0) break;
    runtime::ChargeWork(context, runtime::kWorkCostLight);
    if (count > kMaxProgramBytes - used) runtime::ThrowRuntime(runtime::kMalformed);
    if (used + count > out.Count()) {
      uint32_t grown = out.Count() < 4096 ? 4096 : out.Count();
      while (grown < used + count) grown = grown > kMaxProgramBytes / 2 ? kMaxProgramBytes : grown * 2;
      out.ResizeKeep(grown);
    }
    std::memcpy(out.Data() + used, block->Data(), count);
    used += count;
  }
  out.ResizeKeep(used);
}

}  // namespace

ProgramKind SniffProgramKind(std::span<const uint8_t> data) {
  if (LooksLikeType1(data)) return ProgramKind::kType1;
  if (data.size() >= 4) {
    const uint32_t tag = SfntTagAt(data.data());
    if (tag == 0x4F54544Fu) return ProgramKind::kCff;  // "OTTO"
    if (tag == 0x00010000u || tag == 0x74727565u || tag == 0x74746366u) {  // 1.0, "true", "ttcf"
      return SfntHasCffTable(data) ? ProgramKind::kCff : ProgramKind::kTrueType;
    }
    // A bare CFF header: major version 1, a header size of at least 4 and
    // an offset size of 1 to 4.
    if (data[0] == 1 && data[2] >= 4 && data[3] >= 1 && data[3] <= 4) return ProgramKind::kCff;
  }
  return ProgramKind::kUnknown;
}

void EmbeddedProgram::BuildProgram(runtime::CountedRef<FontProgram>& slot, ProgramKind kind,
                                   runtime::LibraryContext* context,
                                   std::span<const uint8_t> data) {
  runtime::ErrorTrap trap(context);
  const bool built = trap.Run([&] {
    switch (kind) {
      case ProgramKind::kCff:
      case ProgramKind::kType1:
        slot = runtime::CountedRef<FontProgram>::Adopt(context, OpenFontProgram(context, data));
        break;
      case ProgramKind::kTrueType:
        slot = runtime::CountedRef<FontProgram>::Adopt(context,
                                                       runtime::NewObject<TrueTypeFont>(context, context, data));
        break;
      case ProgramKind::kUnknown:
        break;
    }
  });
  if (built) return;
  trap.SetHandled();
  if (!trap.Held().IsRuntime(runtime::kMalformed)) trap.Rethrow();
  trap.Close();
  slot.Release();
}

bool EmbeddedProgram::FindEmbeddedProgram(pdf::Document& document, ProgramFont& font,
                                          const runtime::ObjectHandle& descriptor, bool simple) {
  runtime::LibraryContext* context = font.Context();
  for (const char* key : {"FontFile", "FontFile2", "FontFile3"}) {
    const runtime::ObjectHandle stream = runtime::Dictionary::Get(descriptor, key);
    if (!pdf::StreamObject::IsStream(stream.Value())) continue;
    runtime::OwnedBuffer data(context, context, 0);
    {
      // Data that cannot be decoded is a broken program, not a broken font.
      runtime::ErrorTrap trap(context);
      if (!trap.Run([&] { ReadWholeStream(document, stream, data); })) {
        trap.SetHandled();
        if (!trap.Held().IsRuntime(runtime::kMalformed)) trap.Rethrow();
        trap.Close();
        data.Resize(0);
      }
    }
    if (data.Count() != 0) {
      BuildProgram(font.Program(), SniffProgramKind(data.Elements()), context, data.Elements());
    }
    FontProgram* program = font.ProgramOrNull();
    if (program != nullptr && program->IsUsable() && (!simple || program->HasCodeMapping())) {
      return true;
    }
    font.Program().Release();
    font.programRejected = 1;
    font.programRejectedCopy = 1;
  }
  return false;
}

}  // namespace fonts
