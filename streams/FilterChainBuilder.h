#pragma once
// Turns a stream's (or inline image's) "Filter" and "DecodeParms" into a
// chain of decode filters over its raw data.
#include "runtime/ObjectHandle.h"
#include "streams/DecodeFilterRegistry.h"
#include "streams/FilterParameters.h"

namespace streams {

// Opens a stream-valued parameter ("JBIG2Globals") as decoded data; the
// document layer implements it.
class StreamOpener {
 public:
  virtual ~StreamOpener() = default;
  virtual StreamRef OpenStream(const runtime::ObjectHandle& stream) = 0;
};

// A "DecodeParms" dictionary read through the object layer: references are
// resolved through the handle's owner, absent and null keys are absent,
// and a value of the wrong type is (runtime, 2).
class DictionaryFilterParameters final : public FilterParameters {
 public:
  DictionaryFilterParameters() = default;
  DictionaryFilterParameters(const runtime::ObjectHandle& dictionary, StreamOpener* opener)
      : dictionary_(dictionary), opener_(opener) {}

  bool GetInteger(const char* key, int32_t* value) const override;
  bool GetBoolean(const char* key, bool* value) const override;
  StreamRef OpenStream(const char* key) const override;

 private:
  runtime::ObjectHandle dictionary_;
  StreamOpener* opener_ = nullptr;
};

// Longer chains than this are refused as malformed.
inline constexpr uint32_t kMaxFilters = 16;

// Reads "Filter" and "DecodeParms" (for inline images also "F" and "DP")
// from `dictionary` and puts the filters on `chain` in array order. No
// filter leaves the chain as it is; an unknown name is (runtime, 5); a
// "Filter" that is neither a name nor an array of names, a "DecodeParms"
// array of another length, and parameters that are not dictionaries are
// (runtime, 2).
void BuildFilterChain(LibraryContext* context, StreamRef& chain,
                      const runtime::ObjectHandle& dictionary, const DecodeFilterRegistry& registry,
                      bool inlineImage, StreamOpener* opener = nullptr,
                      FilterExtras* extras = nullptr);

}  // namespace streams
