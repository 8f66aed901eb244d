#include "fonts/DecimalText.h"

#include <gtest/gtest.h>

#include "runtime/LibraryContext.h"
#include "tests/support/CaughtError.h"

namespace {

TEST(DecimalText, FixedConversions) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"-0.5", -32767},  // one unit above -0.5: the fraction table is truncated
      {"0.5", 32767},
      {"1.1234567", 65536 + static_cast<int32_t>((12345ull * 42949) >> 16)},
      {"12", 12 * 65536},
      {"x-3", -3 * 65536},
      {".25", 16383},
      {"99999999", runtime::kFixedMax},  // saturates
      {"-99999999.5", runtime::kFixedMin},
  };
  for (const auto& c : cases) EXPECT_EQ(fonts::DecimalToFixed(c.text), c.value) << c.text;
  EXPECT_EQ(fonts::DecimalToInt("-42 "), -42);
  EXPECT_EQ(fonts::DecimalToInt("99999999999"), INT32_MAX);
}

TEST(DecimalText, NumberArrays) {
  runtime::LibraryContext context;
  fonts::Fixed out[4] = {};
  EXPECT_EQ(fonts::ReadNumberArray("[1 2 3]", out, 2), 2u);
  EXPECT_EQ(out[1], 2 * 65536);
  EXPECT_EQ(fonts::ReadNumberArray("[ ]", out, 2), 0u);
  EXPECT_EQ(fonts::ReadNumberArray("{-1.5 4}", out, 4), 2u);
  EXPECT_EQ(out[0], -(65536 + 32767));
  EXPECT_EQ(testsupport::RuntimeCodeOf(&context, [&] { fonts::ReadNumberArray("(1 2)", out, 2); }), 2);
}

}  // namespace
