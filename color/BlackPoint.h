#pragma once
// Black point estimation for black point compensation: where a profile's
// darkest colour lies, as L*/100 in the internal Lab encoding (0 .. 0.5).
// An estimate of 0 asks for no compensation on that side.
#include <cstdint>

#include "color/IccTransform.h"

namespace color {

// The darker of the device black and white of the first transform's source
// space, evaluated through the first transform and then the second (when
// given); L is limited to 0.5. `lab`, when given, receives the chosen Lab.
Fixed BlackFromTransforms(IccTransform& first, IccTransform* second, Fixed* lab);

// The black of a destination from its round trip Lab -> device -> Lab:
// the dark end of the L ramp fitted by a quadratic, whose root is the
// black. `initialLab` is the first guess (its L is returned when the round
// trip is linear enough in intent 1). Every degenerate case gives 0.
Fixed EstimateBlackByFit(IccTransform& labToDevice, IccTransform& deviceToLab, const Fixed initialLab[3],
                         int32_t intent);

}  // namespace color
