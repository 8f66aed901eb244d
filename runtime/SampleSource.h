#pragma once
// A source of three-word samples (the glyph-drawing code supplies one), and
// the combination of three samples that the painter uses.
#include <cstdint>

namespace runtime {

struct SampleTriple {
  int32_t words[3];
};

class SampleSource {
 public:
  virtual ~SampleSource() = default;
  virtual SampleTriple Sample() = 0;
};

// Samples three times and keeps word 0 of the first, word 1 of the third and
// word 2 of the second.
inline SampleTriple TripleSample(SampleSource* source) {
  const SampleTriple first = source->Sample();
  const SampleTriple second = source->Sample();
  const SampleTriple third = source->Sample();
  return {{first.words[0], third.words[1], second.words[2]}};
}

}  // namespace runtime
