#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "runtime/CheckedCast.h"
#include "runtime/CheckedSize.h"
#include "runtime/EntryTable.h"
#include "runtime/LibraryContext.h"
#include "tests/support/CaughtError.h"

namespace runtime {
namespace {

using testsupport::CaughtError;
using testsupport::RuntimeCodeOf;

constexpr long kFine = -1;

// The rounding routines in the shape of the two-operand ones, for one table.
uint32_t Round4(LibraryContext* context, uint32_t n, uint32_t) {
  return RoundUpSize4Checked(context, n);
}
uint32_t Round8(LibraryContext* context, uint32_t n, uint32_t) {
  return RoundUpSize8Checked(context, n);
}

TEST(CheckedSizeTest, RoundingAndMultiplicationResultsAndOverflow) {
  LibraryContext context;
  struct Case {
    const char* name;
    uint32_t (*routine)(LibraryContext*, uint32_t, uint32_t);
    uint32_t a, b;
    long code;  // kFine or the runtime code thrown
    uint32_t result;
  } cases[] = {
      {"round4 0", &Round4, 0, 0, kFine, 0},
      {"round4 5", &Round4, 5, 0, kFine, 8},
      {"round4 largest", &Round4, 0xFFFFFFFB, 0, kFine, 0xFFFFFFFC},
      {"round4 limit", &Round4, 0xFFFFFFFC, 0, kOverflow, 0},
      {"round4 max", &Round4, 0xFFFFFFFF, 0, kOverflow, 0},
      {"round8 largest", &Round8, 0xFFFFFFF1, 0, kFine, 0xFFFFFFF8},
      {"round8 wraps", &Round8, 0xFFFFFFF9, 0, kOverflow, 0},
      {"multiply zero a", &MultiplySizeChecked, 0, 0xFFFFFFFF, kFine, 0},
      {"multiply zero b", &MultiplySizeChecked, 7, 0, kFine, 0},
      {"multiply fits", &MultiplySizeChecked, 0x10000, 0xFFFF, kFine, 0xFFFF0000},
      {"multiply 2 x 2^31", &MultiplySizeChecked, 2, 0x80000000, kOverflow, 0},
      {"multiply just over", &MultiplySizeChecked, 0x10001, 0x10000, kOverflow, 0},
      {"add fits", &AddSizeChecked, 0xFFFFFFF0, 0xF, kFine, 0xFFFFFFFF},
      {"add wraps", &AddSizeChecked, 0xFFFFFFF0, 0x10, kOverflow, 0},
  };
  for (const Case& c : cases) {
    uint32_t result = 0;
    std::optional<ErrorRecord> error =
        CaughtError(&context, [&] { result = c.routine(&context, c.a, c.b); });
    if (c.code == kFine) {
      EXPECT_FALSE(error) << c.name;
      EXPECT_EQ(result, c.result) << c.name;
    } else {
      ASSERT_TRUE(error) << c.name;
      EXPECT_TRUE(error->IsRuntime(static_cast<uint32_t>(c.code))) << c.name;
      EXPECT_EQ(error->flag, 0) << c.name;
    }
  }
}

TEST(CheckedSizeTest, CastsAndTableAccessReportBadValues) {
  LibraryContext context;
  EXPECT_EQ(CheckedCast::Int32ToInt64(std::numeric_limits<int32_t>::min()), -2147483648LL);
  EXPECT_EQ(RuntimeCodeOf(&context, [] { CheckedCast::Convert<int32_t>(int64_t{1} << 31); }),
            kOverflow);
  EXPECT_EQ(RuntimeCodeOf(&context, [] { CheckedCast::Convert<uint32_t>(-1); }), kOverflow);
  EXPECT_EQ(CheckedCast::Convert<uint16_t>(65535u), 65535);

  int first = 1, third = 3;
  int* entries[] = {&first, nullptr, &third};
  EntryTable<int> table{std::span<int* const>(entries)};
  EXPECT_EQ(table.AtNonNull(2), 3);
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { table.AtNonNull(1); }), kMalformed);
  EXPECT_EQ(RuntimeCodeOf(&context, [&] { table.AtNonNull(3); }), kMalformed);
}

}  // namespace
}  // namespace runtime
