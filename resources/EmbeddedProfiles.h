#pragma once
// The bytes of the built-in ICC profiles, generated at build time by
// resources/profiles/make_profiles.py (sources in resources/profiles/README.md).
#include <cstdint>

namespace resources {

extern const uint8_t kDisplayRgbProfile[3144];
extern const uint8_t kPrinterCmykProfile[5608];

}  // namespace resources
