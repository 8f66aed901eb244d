#include "color/IccProfile.h"

#include <atomic>

#include "color/IccLutAtoB.h"
#include "color/IccReads.h"
#include "color/LutTable.h"
#include "runtime/ErrorTrap.h"
#include "streams/SubRangeStream.h"

namespace color {

namespace {

template <class T>
void FillOnce(streams::Ref<T>& slot, streams::Ref<T> value) {
  // A second entry for a tag already read is malformed.
  if (slot) runtime::ThrowMalformed();
  slot = std::move(value);
}

// Curves that are known to come from broken profile writers: their
// tables would render visibly wrong.
void RejectKnownBadCurve(uint32_t signature, const IccCurve& curve) {
  if (curve.kind != IccCurve::kSampled || curve.table.Count() != 256) return;
  const ContextArray<Fixed>& t = curve.table;
  if (signature == IccSig("rTRC") && t[8] == 0 && t[9] >= 1) runtime::ThrowMalformed();
  if (signature == IccSig("bTRC") && t[0] >= 65530 && t[1] >= 65530 && t[2] == 0) runtime::ThrowMalformed();
}

void ReadTag(runtime::LibraryContext* context, IccProfile& profile, streams::DataStream& stream,
             const streams::DataStoreRef& source, uint32_t signature, uint32_t size) {
  static constexpr uint32_t kLuts[] = {IccSig("A2B0"), IccSig("A2B1"), IccSig("A2B2"),
                                       IccSig("B2A0"), IccSig("B2A1"), IccSig("B2A2")};
  static constexpr uint32_t kColorants[] = {IccSig("rXYZ"), IccSig("gXYZ"), IccSig("bXYZ")};
  static constexpr uint32_t kCurves[] = {IccSig("rTRC"), IccSig("gTRC"), IccSig("bTRC"), IccSig("kTRC")};
  if (signature == IccSig("wtpt")) {
    FillOnce(profile.whitePoint, IccXyz::Read(context, stream, size));
    return;
  }
  for (int i = 0; i < 3; ++i) {
    if (signature == kColorants[i]) {
      FillOnce(profile.colorant[i], IccXyz::Read(context, stream, size));
      return;
    }
  }
  for (int i = 0; i < 4; ++i) {
    if (signature == kCurves[i]) {
      if (profile.trc[i]) runtime::ThrowMalformed();
      streams::Ref<IccCurve> curve = IccCurve::Read(context, stream);
      RejectKnownBadCurve(signature, *curve);
      profile.trc[i] = std::move(curve);
      return;
    }
  }
  for (int i = 0; i < 6; ++i) {
    if (signature == kLuts[i]) {
      streams::Ref<IccLutTag>& slot = i < 3 ? profile.aToB[i] : profile.bToA[i - 3];
      FillOnce(slot, IccProfile::ParseTagType(context, stream, source, profile.illuminant, size));
      return;
    }
  }
}

uint64_t NextProfileSerial() {
  static std::atomic<uint64_t> counter{0};
  return ++counter;
}

}  // namespace

IccProfile::IccProfile(runtime::LibraryContext* context) : ColorSpace(context, 0), serial_(NextProfileSerial()) {}

streams::Ref<IccLutTag> IccProfile::ParseTagType(runtime::LibraryContext* context, streams::DataStream& stream,
                                                 const streams::DataStoreRef& source, const Fixed illuminant[3],
                                                 uint32_t tagSize) {
  uint32_t type = ReadU32BE(stream);
  ReadU32BE(stream);  // reserved
  switch (type) {
    case IccSig("mAB "):
      return IccLutAtoB::Parse(context, stream, source, true, illuminant, tagSize);
    case IccSig("mBA "):
      return IccLutAtoB::Parse(context, stream, source, false, illuminant, tagSize);
    case IccSig("mft1"):
      return LutTable::Parse(context, stream, source, true, tagSize);
    case IccSig("mft2"):
      return LutTable::Parse(context, stream, source, false, tagSize);
    default:
      runtime::ThrowMalformed();
  }
}

streams::Ref<IccProfile> IccProfile::Parse(runtime::LibraryContext* context, const streams::DataStoreRef& source) {
  auto profile = streams::MakeRef<IccProfile>(context);
  {
    auto stream = streams::MakeRef<streams::SubRangeStream>(context, source, 0);
    uint32_t size = ReadU32BE(*stream);
    if (size < 128) runtime::ThrowMalformed();
    ReadU32BE(*stream);  // CMM type
    profile->version = ReadU32BE(*stream);
    profile->deviceClass = ReadU32BE(*stream);
    profile->dataSpace = ReadU32BE(*stream);
    profile->pcs = ReadU32BE(*stream);
    stream->Seek(36);  // past the date
    if (ReadU32BE(*stream) != IccSig("acsp")) runtime::ThrowMalformed();
    stream->Seek(68);  // past platform, flags, maker, model, attributes, intent
    for (Fixed& v : profile->illuminant) v = ReadS15Fixed16(*stream);
    stream->Seek(128);
    profile->SetComponentCount(IccSpaceChannelCount(profile->dataSpace));

    uint32_t count = ReadU32BE(*stream);
    if (count - 1 > kMaxTags - 1) runtime::ThrowMalformed();
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t signature = ReadU32BE(*stream);
      uint32_t offset = ReadU32BE(*stream);
      uint32_t tagSize = ReadU32BE(*stream);
      uint64_t resume = stream->Position();
      stream->Seek(offset);
      ReadTag(context, *profile, *stream, source, signature, tagSize);
      stream->Seek(resume);
    }
  }
  // The stream is gone. The caller holds one count of the source; when
  // anyone else holds it too (deferred tables, the document) the profile
  // keeps it in its account.
  if (source && source->RefCount() > 1) profile->source = source;
  return profile;
}

bool IccProfile::IsValidColorSpace(uint32_t signature, bool abstract) {
  switch (signature) {
    case IccSig("Lab "):
    case IccSig("XYZ "):
      return true;
    case IccSig("GRAY"):
    case IccSig("RGB "):
    case IccSig("CMYK"):
    case IccSig("YCbr"):
    case IccSig("2CLR"):
    case IccSig("3CLR"):
    case IccSig("4CLR"):
    case IccSig("5CLR"):
    case IccSig("6CLR"):
    case IccSig("7CLR"):
    case IccSig("8CLR"):
      return !abstract;
    default:
      return false;
  }
}

bool IccProfile::CanBeDestination(const IccProfile& profile) {
  switch (profile.deviceClass) {
    case IccSig("mntr"):
    case IccSig("prtr"):
    case IccSig("scnr"):
    case IccSig("spac"):
      if (profile.bToA[0] || profile.bToA[1] || profile.bToA[2]) return true;
      break;
    default:
      break;
  }
  if (profile.dataSpace == IccSig("RGB ") && profile.pcs == IccSig("XYZ ") && profile.colorant[0] &&
      profile.colorant[1] && profile.colorant[2] && profile.trc[kRed] && profile.trc[kGreen] && profile.trc[kBlue]) {
    return true;
  }
  return profile.dataSpace == IccSig("GRAY") && profile.trc[kGray];
}

void IccProfile::MediaWhite(const IccProfile& profile, Fixed white[3]) {
  if (profile.whitePoint && profile.deviceClass != IccSig("mntr")) {
    white[0] = profile.whitePoint->x;
    white[1] = profile.whitePoint->y;
    white[2] = profile.whitePoint->z;
    return;
  }
  for (int i = 0; i < 3; ++i) white[i] = profile.illuminant[i];
}

bool IccProfile::IsSubtractive() const { return dataSpace == IccSig("CMYK") || dataSpace == IccSig("CMY "); }

uint32_t IccProfile::MemorySize() const {
  uint32_t size = ColorSpace::MemorySize() + 560;
  if (lastTransform.transform) size += lastTransform.transform->MemorySize();
  for (const IccStageRef* chain : {&outputChain.pcsToDevice, &outputChain.outputCurves, &outputChain.inputCurves}) {
    if (*chain) size += (*chain)->MemorySize();
  }
  if (whitePoint) size += 16;
  for (const auto& xyz : colorant) size += xyz ? 16 : 0;
  for (const auto& curve : trc) size += curve ? curve->MemorySize() : 0;
  for (int intent = 0; intent < 3; ++intent) {
    if (aToB[intent]) size += aToB[intent]->MemorySize();
    if (bToA[intent] && bToA[intent].Get() != aToB[intent].Get()) size += bToA[intent]->MemorySize();
  }
  return size;
}

}  // namespace color
