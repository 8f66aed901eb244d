#pragma once
// An inline image (`BI` ... `ID` data `EI`) recorded as an object: its
// description and its decoded rows, held in the recording arena so that
// every playback paints from memory.
#include <cstdint>

#include "content/ColorSpaceOperands.h"
#include "content/GraphicsState.h"
#include "content/ImageInfo.h"
#include "content/RecordedObject.h"
#include "runtime/ObjectHandle.h"
#include "streams/DataStream.h"

namespace content {

class ContentMachine;

class InlineImage final : public RecordedObject {
 public:
  // Decoded samples beyond this many bytes are refused (runtime, 6): the
  // size comes from the file, and an inline image is meant to be small.
  static constexpr uint64_t kMaxSampleBytes = uint64_t{8} << 20;
  // Decoded output drained after the rows, at most, so that a filter
  // reaches the end of its data (and the content stream the "EI").
  static constexpr uint32_t kMaxDrainBlocks = 256;

  // Reads the image whose parameters `parameters` holds (read up to and
  // including "ID"; `content` stands just after it): the data through the
  // filters the parameters name, then the image's end up to and including
  // "EI". Unless the last filter is an ASCII one, exactly one white-space
  // byte must follow "ID". Returns the record, in the machine's arena, or
  // null when the image is skipped: a filter or colour space that cannot be
  // decoded (runtime, 5), or data that fail to decode while the image's
  // "EI" can still be found. (runtime, 2) for a bad separator, a bad
  // description or a missing "EI"; (runtime, 6) for an image too large.
  static InlineImage* Create(ContentMachine& machine, const runtime::ObjectHandle& parameters,
                             const streams::DataStreamRef& content);

  // Hands the image to the handler's PaintImage.
  void Play(ContentHandler& handler, uint32_t option) override;
  uint32_t Kind() const override { return kInlineImageKind; }

  int32_t width = 0;
  int32_t height = 0;
  int32_t bitsPerComponent = 1;
  uint32_t components = 1;
  bool imageMask = false;
  // The colour space is Indexed; Decode pairs then map palette indices.
  bool indexed = false;
  // Every decode pair is [1 0] (image masks: the coverage pair).
  bool inverted = false;
  // The "Decode" pairs (image masks: coverage pairs), 2 x components in
  // the recording arena; none when they are the default.
  const runtime::Fixed* decode = nullptr;
  // A device space named directly (or through the resources) has its kind
  // here; any other space is kNamed and read through `colorSpace`.
  ColorSpaceKind deviceKind = ColorSpaceKind::kDeviceGray;
  ColorSpaceOperands* colorSpace = nullptr;
  // `height` rows of `rowBytes` bytes each, one after another.
  const uint8_t* samples = nullptr;
  uint32_t rowBytes = 0;

  uint64_t SampleBytes() const { return uint64_t{rowBytes} * static_cast<uint32_t>(height); }
};

}  // namespace content
