#pragma once
// The two ICC profiles built into the library: the display RGB profile
// (the default target of page rendering) and the printer CMYK profile (the
// default DeviceCMYK space). Their bytes are generated at build time by
// resources/profiles/make_profiles.py.
#include <cstdint>

namespace color {

const uint8_t* GetEmbeddedCmykProfile();
uint32_t GetEmbeddedCmykProfileSize();  // 5608
const uint8_t* GetEmbeddedRgbProfile();
uint32_t GetEmbeddedRgbProfileSize();  // 3144

}  // namespace color
