#pragma once
// A thrown error: a domain, a code within it and one flag byte. Errors carry
// no message text; handlers decide on domain and code alone.
#include <cstdint>
#include <cstring>

namespace runtime {

inline constexpr const char* kRuntimeDomain = "pelorvantix_runtime";
inline constexpr const char* kDataIoDomain = "pelorvantix_dataio";
inline constexpr const char* kViewerDomain = "PDFViewer";
inline constexpr const char* kTextExtractDomain = "TextExtract";

// Codes of the runtime domain.
enum RuntimeCode : uint32_t {
  kOutOfMemory = 0,
  kOverflow = 1,       // size or arithmetic overflow, out of range, I/O failure
  kMalformed = 2,      // malformed data, wrong object type, operator out of state
  kCancelled = 3,      // the current cooperative thread was killed
  kStackExhausted = 4, // under the low-stack threshold of a cooperative thread
  kUnsupported = 5,    // unsupported feature
  kBeyondLimit = 6,    // a value beyond a fixed limit of the computation
};

struct ErrorRecord {
  const char* domain = kRuntimeDomain;
  uint32_t code = 0;
  uint8_t flag = 0;

  bool Is(const char* otherDomain, uint32_t otherCode) const {
    return code == otherCode && std::strcmp(domain, otherDomain) == 0;
  }
  bool IsRuntime(uint32_t otherCode) const { return Is(kRuntimeDomain, otherCode); }
};

// True for cancellation (runtime, 3) and for data not available (dataio, 0):
// callers pass both on.
inline bool IsCancelOrNoDataError(const ErrorRecord& record) {
  return record.Is(kRuntimeDomain, kCancelled) || record.Is(kDataIoDomain, 0);
}

}  // namespace runtime
