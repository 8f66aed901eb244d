#include "runtime/FeatureMask.h"

namespace runtime {
namespace {

// Codes by kind 1..4 (rows) and variant 0..3 (columns).
constexpr uint8_t kCodes[4][4] = {
    {7, 9, 10, 8},
    {0, 1, 2, 0},
    {3, 4, 5, 6},
    {11, 12, 13, 14},
};

}  // namespace

uint32_t FeatureMask::CodeFor(uint32_t flag, uint32_t kind, uint32_t variant) {
  if (flag != 0 || kind < 1 || kind > 4 || variant > 3) return 0;
  return kCodes[kind - 1][variant];
}

uint32_t FeatureMask::Note(uint32_t flag, uint32_t kind, uint32_t variant) {
  const uint32_t code = CodeFor(flag, kind, variant);
  seen |= 1u << code;
  return code;
}

}  // namespace runtime
