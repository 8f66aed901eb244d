#include "content/InlineImage.h"

#include <cstring>

#include "content/ContentHandler.h"
#include "content/ContentMachine.h"
#include "content/DocumentArrayOperands.h"
#include "content/ProgramArrayOperands.h"
#include "pdf/Document.h"
#include "pdf/Lexer.h"
#include "pdf/PdfCharClass.h"
#include "pdf/ResourceScope.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "runtime/OwnedBuffer.h"
#include "runtime/Scheduler.h"
#include "streams/DecodeFilterRegistry.h"
#include "streams/FilterChainBuilder.h"
#include "streams/ImageRowSource.h"
#include "streams/InlineImageSource.h"

namespace content {

using runtime::Dictionary;
using runtime::KeyRow;
using runtime::ObjectHandle;
using runtime::ObjectTag;

namespace {

// The names of the first filter (the one reading the raw bytes) and the
// last one; null when there is none or it is no name.
struct FilterNames {
  bool filtered = false;
  const char* first = nullptr;
  const char* last = nullptr;
};

const char* NameText(const runtime::ObjectValue& value) {
  return value.Is(ObjectTag::kName) ? reinterpret_cast<const char*>(value.AsName().Bytes())
                                    : nullptr;
}

FilterNames ReadFilterNames(const ObjectHandle& parameters) {
  ObjectHandle filter = Dictionary::GetByNamePair(parameters, KeyRow::kFilter);
  FilterNames names;
  names.filtered = !filter.IsNull();
  if (filter.Tag() == ObjectTag::kArray) {
    const runtime::ValueList& list = filter->AsArray();
    names.filtered = list.count != 0;
    if (list.count != 0) {
      names.first = NameText(list.items[0]);
      names.last = NameText(list.items[list.count - 1]);
    }
  } else {
    names.first = names.last = NameText(filter.Value());
  }
  return names;
}

// Text-encoded data never hold an "EI" keyword between white space and a
// delimiter, so that is their end even when their own end marker is
// missing or broken. Fax data often have no end of their own: their
// decoder reads on until the data make no sense, which would take it past
// the image's "EI" into the content that follows.
bool ReadsToEndKeyword(const char* firstFilter) {
  if (streams::IsAsciiFilterName(firstFilter)) return true;
  return firstFilter != nullptr && (std::strcmp(firstFilter, "CCF") == 0 ||
                                    std::strcmp(firstFilter, "CCITTFaxDecode") == 0);
}

int32_t RequiredInteger(const ObjectHandle& parameters, KeyRow row) {
  ObjectHandle value = Dictionary::GetByNamePair(parameters, row);
  if (!value->Is(ObjectTag::kInteger)) runtime::ThrowMalformed();
  return value->AsInteger();
}

ColorSpaceKind DeviceKind(uint32_t components) {
  return components == 1 ? ColorSpaceKind::kDeviceGray
                         : (components == 3 ? ColorSpaceKind::kDeviceRgb
                                            : ColorSpaceKind::kDeviceCmyk);
}

// The image's colour space: a device name (abbreviations allowed), a name
// of the resources' "ColorSpace" dictionary, or an array written in the
// content. Anything that names no space this can count is (runtime, 5).
void ReadColorSpace(ContentMachine& machine, const ObjectHandle& parameters, InlineImage& image) {
  ObjectHandle space = Dictionary::GetByNamePair(parameters, KeyRow::kColorSpace);
  runtime::ArenaAllocator& arena = machine.Arena();
  if (space.Tag() == ObjectTag::kArray) {
    const runtime::ObjectValue& copy = ProgramArrayOperands::CopyToArena(arena, space.Value());
    auto* operands = new (arena.Alloc(sizeof(ProgramArrayOperands)))
        ProgramArrayOperands(copy, arena);
    image.components = ComponentCount(*operands, true);
    image.colorSpace = operands;
    image.deviceKind = ColorSpaceKind::kNamed;
    return;
  }
  if (space.IsNull()) runtime::ThrowRuntime(runtime::kUnsupported);
  const std::string_view name = space->AsName().View();
  if (const uint32_t device = DeviceComponents(name, true)) {
    image.components = device;
    image.deviceKind = DeviceKind(device);
    return;
  }
  ObjectHandle resource = pdf::Resources::Lookup(machine.Resources(), "ColorSpace", name);
  if (resource.Tag() == ObjectTag::kName) {
    // Abbreviations belong to the content only, not to the resources.
    const uint32_t device = DeviceComponents(resource->AsName().View(), false);
    if (device == 0) runtime::ThrowRuntime(runtime::kUnsupported);
    image.components = device;
    image.deviceKind = DeviceKind(device);
    return;
  }
  if (resource.Tag() != ObjectTag::kArray) runtime::ThrowRuntime(runtime::kUnsupported);
  auto* operands =
      runtime::NewInArena<DocumentArrayOperands>(arena, resource, machine.GetDocument(), arena);
  image.components = ComponentCount(*operands, false);
  image.colorSpace = operands;
  image.deviceKind = ColorSpaceKind::kNamed;
}

void Describe(ContentMachine& machine, const ObjectHandle& parameters, InlineImage& image) {
  ObjectHandle mask = Dictionary::GetByNamePair(parameters, KeyRow::kImageMask);
  image.imageMask = !mask.IsNull() && mask->AsBoolean();
  image.width = RequiredInteger(parameters, KeyRow::kWidth);
  image.height = RequiredInteger(parameters, KeyRow::kHeight);
  if (image.width <= 0 || image.height < 0) runtime::ThrowMalformed();
  if (image.imageMask) {
    image.bitsPerComponent = 1;
    image.components = 1;
    return;
  }
  ObjectHandle bits = Dictionary::GetByNamePair(parameters, KeyRow::kBitsPerComponent);
  image.bitsPerComponent = bits.IsNull() ? 8 : bits->AsInteger();
  switch (image.bitsPerComponent) {
    case 1: case 2: case 4: case 8: case 16: break;
    default: runtime::ThrowMalformed();
  }
  ReadColorSpace(machine, parameters, image);
}

// Row size and total size, both checked against the limit before anything
// is allocated: width, height, bits and components all come from the file.
// False for an image beyond the limit, which is passed over like one of an
// unsupported kind.
bool FitsSizeLimit(InlineImage& image) {
  const uint64_t rowBits = uint64_t{static_cast<uint32_t>(image.width)} *
                           static_cast<uint32_t>(image.bitsPerComponent) * image.components;
  const uint64_t rowBytes = (rowBits + 7) / 8;
  if (rowBytes > InlineImage::kMaxSampleBytes) return false;
  if (rowBytes * static_cast<uint32_t>(image.height) > InlineImage::kMaxSampleBytes) return false;
  image.rowBytes = static_cast<uint32_t>(rowBytes);
  return true;
}

// Errors after which the image is not simply skipped.
bool MustPassOn(const runtime::ErrorRecord& record) {
  return runtime::IsCancelOrNoDataError(record) || record.IsRuntime(runtime::kOutOfMemory) ||
         record.IsRuntime(runtime::kStackExhausted) || record.IsRuntime(runtime::kBeyondLimit);
}

// Lets the filters run to the end of their data, so that the content
// stream stands after it, but never past the image's own "EI". The rows are
// complete by now: trouble in what follows them costs nothing but the
// search for the end.
void DrainFilters(runtime::LibraryContext* context, streams::InlineImageSource& source,
                  streams::BlockSource& chain) {
  source.StopAtEndKeyword();
  runtime::ErrorTrap trap(context);
  if (!trap.Run([&] {
        for (uint32_t i = 0; i < InlineImage::kMaxDrainBlocks; ++i) {
          if (streams::CountOf(chain.FetchBlock()) == 0) break;
        }
      })) {
    trap.SetHandled();
    if (MustPassOn(trap.Held())) trap.Rethrow();
    trap.Close();
  }
}

// Decodes the rows into a heap buffer first: a broken image then costs the
// recording arena nothing. Once every row is there they move to the arena.
void ReadRows(ContentMachine& machine, const ObjectHandle& parameters,
              const streams::DataStreamRef& content, const FilterNames& filters,
              InlineImage& image) {
  runtime::LibraryContext* context = machine.Context();
  streams::Ref<streams::InlineImageSource> source =
      streams::MakeRef<streams::InlineImageSource>(context, content);
  if (!filters.filtered) {
    source->LimitTo(image.SampleBytes());
  } else if (ReadsToEndKeyword(filters.first)) {
    source->StopAtEndKeyword();
  }
  streams::StreamRef chain = streams::Ref<streams::InlineImageSource>(source);
  streams::StreamOpener* opener = machine.GetDocument();
  streams::BuildFilterChain(context, chain, parameters, streams::DecodeFilterRegistry::Inline(),
                            true, opener);
  if (image.height > 0) {
    const uint64_t total = image.SampleBytes();
    runtime::OwnedBuffer rows(context, nullptr, static_cast<uint32_t>(total));
    {
      streams::ImageRowSource rowSource(
          context,
          {image.width, image.height, image.bitsPerComponent,
           static_cast<int32_t>(image.components)},
          chain);
      rowSource.CopyAllRows(rows.Data());
    }
    auto* samples = static_cast<uint8_t*>(machine.Arena().Alloc((total + 7) & ~uint64_t{7}));
    std::memcpy(samples, rows.Data(), total);
    image.samples = samples;
  }
  if (filters.filtered) DrainFilters(context, *source, *chain);
}

// After the data: at most one stray byte that is neither white space nor
// "E", white space, then "EI".
bool TakeImageEnd(streams::DataStream& stream) {
  if (stream.Fill(false) && !pdf::IsWhiteSpace(*stream.Cursor()) && *stream.Cursor() != 'E') {
    stream.Advance(1);
  }
  pdf::Lexer::SkipWhiteSpace(stream);
  return pdf::Lexer::TakeKeyword(stream, "EI");
}

// The next "EI" keyword that follows white space (or stands where the
// search starts), taken; false when the data end first.
bool FindImageEnd(streams::DataStream& stream) {
  uint8_t previous = ' ';
  while (stream.Fill(false)) {
    const uint8_t byte = *stream.Cursor();
    if (byte == 'E' && pdf::IsWhiteSpace(previous) && pdf::Lexer::TakeKeyword(stream, "EI")) {
      return true;
    }
    previous = byte;
    stream.Advance(1);
  }
  return false;
}

}  // namespace

InlineImage* InlineImage::Create(ContentMachine& machine, const ObjectHandle& parameters,
                                 const streams::DataStreamRef& content) {
  runtime::LibraryContext* context = machine.Context();
  streams::DataStream& stream = *content;
  const FilterNames filters = ReadFilterNames(parameters);
  if (!streams::IsAsciiFilterName(filters.last)) {
    // Binary data start after exactly one white-space byte, or one end of
    // line written as CR LF.
    if (!stream.Fill(false) || !pdf::IsWhiteSpace(*stream.Cursor())) runtime::ThrowMalformed();
    const bool carriageReturn = *stream.Cursor() == '\r';
    stream.Advance(1);
    if (carriageReturn && stream.Fill(false) && *stream.Cursor() == '\n') stream.Advance(1);
  }
  auto* image = new (machine.Arena().Alloc(sizeof(InlineImage))) InlineImage;
  bool skipped = false;
  {
    runtime::ErrorTrap trap(context);
    if (!trap.Run([&] { Describe(machine, parameters, *image); })) {
      trap.SetHandled();
      if (!trap.Held().IsRuntime(runtime::kUnsupported)) trap.Rethrow();
      trap.Close();
      skipped = true;
    }
  }
  if (!skipped && !FitsSizeLimit(*image)) skipped = true;
  if (!skipped) {
    runtime::ErrorTrap trap(context);
    if (!trap.Run([&] { ReadRows(machine, parameters, content, filters, *image); })) {
      trap.SetHandled();
      if (MustPassOn(trap.Held())) trap.Rethrow();
      trap.Close();
      skipped = true;
    }
  }
  if (!skipped && TakeImageEnd(stream)) return image;
  // Unfiltered data have a known length: what follows them must be the
  // end. Filtered data that failed or ended early are passed over up to
  // their "EI", so that one broken image does not cost the rest of the page.
  if (!skipped && !filters.filtered) runtime::ThrowMalformed();
  if (!FindImageEnd(stream)) runtime::ThrowMalformed();
  return skipped ? nullptr : image;
}

void InlineImage::Play(ContentHandler& handler, uint32_t option) {
  handler.PaintImage(*this, option);
}

}  // namespace content
