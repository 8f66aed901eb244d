#include "streams/DecodeFilterRegistry.h"

#include <array>
#include <cstring>

#include "runtime/ErrorTrap.h"
#include "streams/FilterFactories.h"

namespace streams {
namespace {

// The two registries differ only in their JBIG2 factory. The second flag
// (0x100) marks the filters that take parameters or decode in bulk;
// nothing reads it.
constexpr std::array<FilterRow, 16> MakeRows(FilterFactory jbig2) {
  return {{
      {"ASCIIHexDecode", &CreateAsciiHexFilter, 0x000},
      {"AHx", &CreateAsciiHexFilter, 0x001},
      {"ASCII85Decode", &CreateAscii85Filter, 0x000},
      {"A85", &CreateAscii85Filter, 0x001},
      {"DCTDecode", &CreateDctFilter, 0x000},
      {"DCT", &CreateDctFilter, 0x001},
      {"CCITTFaxDecode", &CreateCcittFaxFilter, 0x100},
      {"CCF", &CreateCcittFaxFilter, 0x101},
      {"LZWDecode", &CreateLzwFilter, 0x100},
      {"LZW", &CreateLzwFilter, 0x101},
      {"FlateDecode", &CreateFlateFilter, 0x100},
      {"Fl", &CreateFlateFilter, 0x101},
      {"RunLengthDecode", &CreateRunLengthFilter, 0x100},
      {"RL", &CreateRunLengthFilter, 0x101},
      {"JBIG2Decode", jbig2, 0x100},
      {nullptr, nullptr, 0},
  }};
}

constexpr std::array<FilterRow, 16> kInlineRows = MakeRows(&RefuseJbig2Filter);
constexpr std::array<FilterRow, 16> kDocumentRows = MakeRows(&CreateJbig2Filter);

}  // namespace

const DecodeFilterRegistry& DecodeFilterRegistry::Inline() {
  static const DecodeFilterRegistry registry(kInlineRows.data());
  return registry;
}

const DecodeFilterRegistry& DecodeFilterRegistry::Document() {
  static const DecodeFilterRegistry registry(kDocumentRows.data());
  return registry;
}

const FilterRow* DecodeFilterRegistry::Find(const char* name, bool allowAbbreviations) const {
  if (name == nullptr) return nullptr;
  for (const FilterRow* row = rows_; row->name != nullptr; ++row) {
    if ((row->flags & kAbbreviatedName) != 0 && !allowAbbreviations) continue;
    if (std::strcmp(row->name, name) == 0) return row;
  }
  return nullptr;
}

void ApplyFilters(LibraryContext* context, StreamRef& chain, std::span<const FilterStep> steps,
                  const DecodeFilterRegistry& registry, bool allowAbbreviations,
                  FilterExtras* extras) {
  for (const FilterStep& step : steps) {
    if (registry.Find(step.name, allowAbbreviations) == nullptr) {
      runtime::ThrowRuntime(runtime::kUnsupported);
    }
  }
  for (const FilterStep& step : steps) {
    const FilterRow* row = registry.Find(step.name, allowAbbreviations);
    row->factory(context, chain, step.params, allowAbbreviations, extras);
  }
}

bool IsAsciiFilterName(const char* name) {
  if (name == nullptr) return false;
  for (const char* ascii : {"ASCIIHexDecode", "AHx", "ASCII85Decode", "A85"}) {
    if (std::strcmp(name, ascii) == 0) return true;
  }
  return false;
}

}  // namespace streams
