#include "color/IccBasedColorSpace.h"

#include "color/ColorContext.h"
#include "color/ContextArray.h"
#include "color/IccProfile.h"
#include "content/ColorSpaceOperands.h"
#include "content/DocumentArrayOperands.h"
#include "pdf/Document.h"
#include "runtime/ArenaScope.h"
#include "runtime/Dictionary.h"
#include "runtime/ErrorTrap.h"
#include "streams/StreamDataStore.h"

namespace color {

using runtime::Dictionary;
using runtime::ObjectHandle;
using runtime::ObjectTag;

namespace {

streams::Ref<ColorSpace> BuildIccProfileSpace(ColorContext& colors, const ObjectHandle& stream, uint32_t) {
  return IccBasedStream::Parse(colors, stream);
}

ResolvedColorSpace ResolvedOf(streams::Ref<ColorSpace> space) {
  ResolvedColorSpace resolved;
  resolved.componentCount = space->ComponentCount();
  resolved.space = std::move(space);
  return resolved;
}

// The space standing in for an unusable profile.
ResolvedColorSpace FallBack(ColorContext& colors, const ObjectHandle& stream, uint32_t flags) {
  const ObjectHandle alternate = Dictionary::Get(stream, "Alternate");
  const uint32_t kept = flags & ColorSpace::kSixteenBitSamples;
  ResolvedColorSpace resolved;
  // The alternate resolves without the resources: a Default space must not
  // stand in for the alternate of the very profile it may be.
  const ObjectHandle noResources;
  if (alternate->Is(ObjectTag::kName)) {
    resolved = ColorSpace::Resolve(colors, alternate->AsName().View(), nullptr, noResources, kept);
  } else if (alternate->Is(ObjectTag::kArray)) {
    runtime::ArenaScope scope(colors.Scratch());
    content::ColorSpaceOperands* operands = colors.OperandsOver(alternate);
    resolved = ColorSpace::Resolve(colors, operands->NameAt(0), operands, noResources, kept);
  } else if (alternate.IsNull()) {
    switch (Dictionary::GetInteger(stream, "N")) {
      case 1:
        return ResolvedOf(colors.DeviceGray());
      case 3:
        return ResolvedOf(colors.DeviceRgb());
      case 4:
        return ResolvedOf(colors.DeviceCmyk());
      default:
        runtime::ThrowRuntime(runtime::kMalformed);
    }
  } else {
    runtime::ThrowRuntime(runtime::kMalformed);
  }
  if (Dictionary::GetInteger(stream, "N") != resolved.componentCount) runtime::ThrowRuntime(runtime::kMalformed);
  return resolved;
}

}  // namespace

ResolvedColorSpace IccBasedColorSpace::Parse(ColorContext& colors, content::ColorSpaceOperands* array,
                                             const ObjectHandle&, uint32_t flags) {
  if (array == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
  const ObjectHandle stream = array->StreamAt(1);
  ResolvedColorSpace resolved;
  runtime::ErrorTrap trap(colors.Context());
  if (trap.Run([&] {
        resolved = ResolvedOf(colors.CachedSpace(colors.IccCache(), stream, 0, BuildIccProfileSpace));
      })) {
    return resolved;
  }
  trap.SetHandled();
  const runtime::ErrorRecord& held = trap.Held();
  const bool usable = held.IsRuntime(runtime::kUnsupported) || held.IsRuntime(runtime::kOutOfMemory) ||
                      held.IsRuntime(runtime::kMalformed);
  if ((flags & ColorSpace::kResolvingDefault) != 0 || !usable) trap.Rethrow();
  trap.Close();
  return FallBack(colors, stream, flags);
}

streams::Ref<ColorSpace> IccBasedStream::Parse(ColorContext& colors, const ObjectHandle& stream) {
  runtime::LibraryContext* context = colors.Context();
  if (colors.Document() == nullptr) runtime::ThrowRuntime(runtime::kMalformed);
  const ObjectHandle range = Dictionary::GetOptionalArray(stream, "Range");
  ContextArray<Fixed> ranges;
  if (!range.IsNull()) {
    const uint32_t count = runtime::Array::Count(range);
    ranges.Allocate(context, count);
    for (uint32_t i = 0; i < count; ++i) ranges[i] = runtime::Array::Get(range, i)->AsNumber();
  }
  auto source = streams::MakeRef<streams::StreamDataStore>(context, colors.Document()->OpenStream(stream));
  IccProfileRef profile = IccProfile::Parse(context, source);
  if (Dictionary::GetInteger(stream, "N") != profile->ComponentCount()) runtime::ThrowRuntime(runtime::kMalformed);
  if (!range.IsNull()) {
    if (ranges.Count() != 2 * static_cast<uint32_t>(profile->ComponentCount())) {
      runtime::ThrowRuntime(runtime::kMalformed);
    }
    profile->SetRange({ranges.Data(), ranges.Count()});
  }
  return profile;
}

}  // namespace color
