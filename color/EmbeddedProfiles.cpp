#include "color/EmbeddedProfiles.h"

#include "resources/EmbeddedProfiles.h"

namespace color {

const uint8_t* GetEmbeddedCmykProfile() { return resources::kPrinterCmykProfile; }
uint32_t GetEmbeddedCmykProfileSize() { return sizeof(resources::kPrinterCmykProfile); }
const uint8_t* GetEmbeddedRgbProfile() { return resources::kDisplayRgbProfile; }
uint32_t GetEmbeddedRgbProfileSize() { return sizeof(resources::kDisplayRgbProfile); }

}  // namespace color
