#include "content/RunningStats.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "content/CharClass.h"

namespace content {

namespace {

constexpr Fixed kTwenty = 20 * runtime::kFixedOne;

int32_t ShiftRight(int32_t value, int32_t shift) {
  if (shift >= 32) return value < 0 ? -1 : 0;
  return value >> shift;
}

// Marks that open a list item or an aside.
constexpr uint16_t kListMarks[] = {0x002A, 0x2020, 0x2021, 0x2022, 0x2023, 0x2024, 0x2025, 0x2026};
constexpr uint16_t kSentenceEnds[] = {0x0021, 0x002E, 0x003F, 0x2026, 0x3002, 0xFE52,
                                      0xFE56, 0xFE57, 0xFF01, 0xFF0E, 0xFF1F, 0xFF61};
constexpr uint16_t kClauseEnds[] = {0x002C, 0x003B, 0x3001, 0xFE50, 0xFE51, 0xFE54, 0xFF0C, 0xFF1B, 0xFF64};
// Inverted marks and list marks that may follow a clause end.
constexpr uint16_t kOpeners[] = {0x00A1, 0x00BF, 0x2020, 0x2021, 0x2022, 0x2023, 0x2024, 0x2025, 0x2026};

template <size_t N>
bool InList(const uint16_t (&list)[N], uint32_t code) {
  return SortedList16::Contains(std::begin(list), std::end(list), code);
}

}  // namespace

void RunningStats::Merge(RunningStats& into, const RunningStats& other) {
  if (other.count == 0 || into.count + other.count > kMaxCount) return;
  if (into.count == 0) {
    into = other;
    return;
  }
  RunningStats b = other;
  const int64_t total = static_cast<int64_t>(into.count) + b.count;
  into.minimum = std::min(into.minimum, b.minimum);
  into.maximum = std::max(into.maximum, b.maximum);
  const int64_t difference = static_cast<int64_t>(b.mean) - into.mean;
  const Fixed weight = static_cast<Fixed>((static_cast<int64_t>(b.count) << 16) / total);
  const Fixed oldMean = into.mean;
  into.mean = static_cast<Fixed>(
      std::clamp<int64_t>(oldMean + ((difference * weight) >> 16), runtime::kFixedMin, runtime::kFixedMax));
  const int64_t w = ((static_cast<int64_t>(into.count) * b.count) << 16) / total;
  // a. Both at the larger scale.
  int32_t scale = std::max(into.scale, b.scale);
  int32_t squaresA = ShiftRight(into.squares, scale - into.scale);
  int32_t squaresB = ShiftRight(b.squares, scale - b.scale);
  // b. The mean difference in range for its square.
  int64_t d = std::llabs(difference);
  d = scale / 2 >= 63 ? 0 : d >> (scale / 2);
  while (d >= runtime::kFixedNinety) {
    d >>= 1;
    scale += 2;
    squaresA >>= 2;
    squaresB >>= 2;
  }
  int64_t q = (d * d) >> 16;
  // c. Its weighted square in 32 bits.
  while (w > runtime::kFixedOne && ((q * w) >> 16) > 0x7FFFFFFF) {
    scale += 2;
    squaresA >>= 2;
    squaresB >>= 2;
    q >>= 2;
  }
  // d. The sum, rescaled while it overflows.
  int64_t weighted = (q * w) >> 16;
  int64_t sum = static_cast<int64_t>(squaresB) + weighted + squaresA;
  while (sum > 0x7FFFFFFF) {
    weighted >>= 2;
    squaresA >>= 2;
    squaresB >>= 2;
    scale += 2;
    sum = static_cast<int64_t>(squaresB) + weighted + squaresA;
  }
  into.squares = static_cast<int32_t>(sum);
  into.scale = scale;
  into.count = static_cast<int32_t>(total);
}

Fixed RunningStats::StdDev(const RunningStats& stats) {
  if (stats.minimum == stats.maximum || stats.count < 2) return 0;
  const Fixed variance = stats.squares / (stats.count - 1);
  if (variance <= 0) return 0;
  const int64_t root = runtime::FixedSqrt(variance);
  const int32_t shift = stats.scale / 2;
  if (shift >= 32) return 0;
  return static_cast<Fixed>(std::min<int64_t>(root << shift, runtime::kFixedMax));
}

Fixed RunningStats::Tolerance(const RunningStats& stats, Fixed a, Fixed b) {
  // Empty statistics admit nothing: their tolerance is 0 rather than a
  // division by a count of zero.
  if (stats.count == 0) return 0;
  const int64_t n = stats.count;
  const int64_t byMean = std::llabs((static_cast<int64_t>(stats.mean) * b) >> 16) / (n * n);
  const int64_t bySpread = (static_cast<int64_t>(a) * StdDev(stats)) >> 16;
  return static_cast<Fixed>(std::min<int64_t>(std::max(byMean, bySpread), runtime::kFixedMax));
}

bool RunningStats::Admits(const RunningStats& stats, Fixed v, Fixed a, Fixed b) {
  if (stats.count == 0) return false;
  if (v == stats.mean) return true;
  const int64_t t = Tolerance(stats, a, b);
  if (v < stats.mean) return v > stats.mean - t;
  return v < stats.mean + t;
}

bool RunningStats::Overlaps(const RunningStats& first, const RunningStats& second, Fixed a, Fixed b) {
  if (first.count == 0) return false;
  if (first.mean == second.mean) return true;
  const bool firstLower = first.mean < second.mean;
  const RunningStats& lower = firstLower ? first : second;
  const RunningStats& higher = firstLower ? second : first;
  return static_cast<int64_t>(lower.mean) + Tolerance(lower, a, b) >=
         static_cast<int64_t>(higher.mean) - Tolerance(higher, a, b);
}

void RunningStats::AddBoxExtents(RunningStats& lengths, RunningStats& heights, const OrientedBox& box) {
  Merge(lengths, Single(box.Length()));
  Merge(heights, Single(box.Height()));
}

Fixed BlockJoin::PunctuationScore(uint32_t previousLast, uint32_t nextFirst) {
  if (InList(kListMarks, nextFirst)) return 72089;   // 1.1
  if (InList(kSentenceEnds, previousLast)) return 49152;  // 0.75
  if (InList(kClauseEnds, previousLast)) return InList(kOpeners, nextFirst) ? -19660 : -52428;  // -0.3, -0.8
  return InList(kOpeners, nextFirst) ? 32768 : 0;  // 0.5
}

Fixed BlockJoin::SpacingScore(const RunningStats& gaps, Fixed gap) {
  const Fixed tolerance = RunningStats::Tolerance(gaps, runtime::kFixedOne, 6553);
  // Without a tolerance (no gaps yet, or all gaps zero) the spacing says
  // nothing either way.
  if (tolerance == 0) return 0;
  const int64_t off = static_cast<int64_t>(gap) - gaps.mean;
  if (20 * static_cast<int64_t>(tolerance) >= std::llabs(off)) {
    return static_cast<Fixed>((off << 16) / tolerance);
  }
  return gaps.mean < gap ? kTwenty : -kTwenty;
}

bool BlockJoin::BreakScore(Fixed score, Fixed previousScore, Fixed punctuation) {
  const int64_t sum = std::max<int64_t>(0, score / 6) + std::max<int64_t>(0, -static_cast<int64_t>(previousScore) / 6) +
                      punctuation;
  return sum > runtime::kFixedOne;
}

}  // namespace content
