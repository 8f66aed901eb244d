#pragma once
// A filter's "DecodeParms" dictionary as the filter factories read it. The
// PDF layer implements it over its dictionaries: over an inline image's
// dictionary value, or over a stream object's dictionary whose values are
// resolved through the document. Every Get answers false when the key is
// absent and throws (runtime, 2) when the value has the wrong type.
#include <cstdint>

#include "streams/BlockSource.h"

namespace streams {

class FilterParameters {
 public:
  virtual ~FilterParameters() = default;
  virtual bool GetInteger(const char* key, int32_t* value) const = 0;
  virtual bool GetBoolean(const char* key, bool* value) const = 0;
  // The decoded data of a stream-valued key ("JBIG2Globals"); a null
  // reference when absent.
  virtual StreamRef OpenStream(const char* key) const = 0;
};

// Parameters held in plain fields, for tests, tools and built-in data.
class PlainFilterParameters final : public FilterParameters {
 public:
  struct Entry {
    const char* key;
    int32_t value;
    bool isBoolean;
  };

  PlainFilterParameters& Set(const char* key, int32_t value);
  PlainFilterParameters& SetBoolean(const char* key, bool value);

  bool GetInteger(const char* key, int32_t* value) const override;
  bool GetBoolean(const char* key, bool* value) const override;
  StreamRef OpenStream(const char*) const override { return {}; }

 private:
  static constexpr int kMaxEntries = 16;
  const Entry* Find(const char* key) const;
  Entry entries_[kMaxEntries] = {};
  int count_ = 0;
};

}  // namespace streams
