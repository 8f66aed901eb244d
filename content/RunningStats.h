#pragma once
// Running statistics of a measure of a text block's lines (heights,
// lengths, gaps, edges): count, minimum, maximum, mean and a scaled sum of
// squared deviations, merged pairwise without overflow by rescaling.
#include <cstdint>

#include "content/OrientedBox.h"
#include "runtime/Fixed.h"

namespace content {

struct RunningStats {
  // Samples kept at most; beyond it merges are dropped.
  static constexpr int32_t kMaxCount = 32767;

  int32_t count = 0;
  Fixed minimum = runtime::kFixedMax;
  Fixed maximum = runtime::kFixedMin;
  Fixed mean = 0;
  // Sum of squared deviations, shifted right by `scale` (an even shift:
  // values enter the squares shifted right by scale / 2).
  int32_t squares = 0;
  int32_t scale = 0;

  static RunningStats Single(Fixed v) { return {1, v, v, v, 0, 0}; }
  bool IsEmpty() const { return count == 0; }

  // `into` becomes the statistics of both sample sets.
  static void Merge(RunningStats& into, const RunningStats& other);
  static Fixed StdDev(const RunningStats& stats);
  // The larger of |mean × b| / n² and a × the standard deviation; 0 for
  // empty statistics.
  static Fixed Tolerance(const RunningStats& stats, Fixed a, Fixed b);
  // Whether v lies within the tolerance of the mean.
  static bool Admits(const RunningStats& stats, Fixed v, Fixed a, Fixed b);
  // Whether the means lie within each other's tolerances.
  static bool Overlaps(const RunningStats& first, const RunningStats& second, Fixed a, Fixed b);
  // Adds the box's length to `lengths` and its height to `heights`.
  static void AddBoxExtents(RunningStats& lengths, RunningStats& heights, const OrientedBox& box);
};

// The scores that push a new line of a block towards a break.
struct BlockJoin {
  // From the last character of the block's last line and the first of
  // the new line: sentence ends and list marks push towards a break,
  // clause ends hold the lines together.
  static Fixed PunctuationScore(uint32_t previousLast, uint32_t nextFirst);
  // How far the gap to the new line lies from the block's usual gap, in
  // tolerances (±20 at most); 0 while the block has no gap statistics.
  static Fixed SpacingScore(const RunningStats& gaps, Fixed gap);
  // The line is a candidate for a break.
  static bool BreakScore(Fixed score, Fixed previousScore, Fixed punctuation);
};

}  // namespace content
