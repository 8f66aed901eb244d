#pragma once
// The decode-filter registries: filter names to factories. A stream's
// "Filter" names (with its "DecodeParms") become a chain of filters over
// its raw data, the first filter reading the raw bytes.
//
// Two registries hold the same names: the inline one (inline images:
// abbreviated names such as "AHx" are accepted, JBIG2 is refused) and the
// document one (stream objects). A factory reads its parameters, builds its
// filter over the stream that `chain` holds and replaces `chain` with the
// new filter; it may add a second stage (the predictor behind Flate and
// LZW).
#include <cstdint>
#include <span>

#include "streams/BlockSource.h"

namespace streams {

class DctScaling;
class FilterParameters;

// What a factory may hand back besides the chain.
struct FilterExtras {
  // Set by the DCT factory: the filter's reduced-size decoding.
  DctScaling* scaling = nullptr;
};

using FilterFactory = void (*)(LibraryContext* context, StreamRef& chain,
                               const FilterParameters* params, bool allowAbbreviations,
                               FilterExtras* extras);

struct FilterRow {
  const char* name;
  FilterFactory factory;
  uint32_t flags;
};

// Flag bit 0: an abbreviated name, accepted only where abbreviations are.
inline constexpr uint32_t kAbbreviatedName = 0x001;

class DecodeFilterRegistry {
 public:
  static const DecodeFilterRegistry& Inline();
  static const DecodeFilterRegistry& Document();

  explicit DecodeFilterRegistry(const FilterRow* rows) : rows_(rows) {}
  // The first row named `name`; abbreviated rows only when allowed. Null
  // when there is none.
  const FilterRow* Find(const char* name, bool allowAbbreviations) const;
  const FilterRow* Rows() const { return rows_; }

 private:
  // Ends with a row whose name is null.
  const FilterRow* rows_;
};

// One filter of a chain: its name and its parameters (null when absent).
struct FilterStep {
  const char* name;
  const FilterParameters* params;
};

// Applies the steps in order over `chain`. An unknown name throws
// (runtime, 5) before any filter is built.
void ApplyFilters(LibraryContext* context, StreamRef& chain, std::span<const FilterStep> steps,
                  const DecodeFilterRegistry& registry, bool allowAbbreviations,
                  FilterExtras* extras = nullptr);

// True for the ASCII filters, whose data may follow an inline image's "ID"
// without a white-space byte.
bool IsAsciiFilterName(const char* name);

}  // namespace streams
