// The small support objects of the page render: the render state's plain
// mode, the forwarding runner and the activation owner.
#include <gtest/gtest.h>

#include <vector>

#include "raster/ActivationOwner.h"
#include "raster/ForwardingRunner.h"
#include "raster/RenderState.h"
#include "runtime/ErrorTrap.h"
#include "runtime/LibraryContext.h"
#include "tests/support/CaughtError.h"

namespace {

using raster::RenderState;

TEST(RenderSupportTest, PlainModeNeedsModeTwoAndNoOverride) {
  const int overlay = 0;
  struct Case {
    const char* name;
    uint32_t mode;
    const void* override;
    bool plain;
  } cases[] = {
      {"plain", 2, nullptr, true},
      {"plain with an override", 2, &overlay, false},
      {"mode 0", 0, nullptr, false},
      {"mode 3", 3, nullptr, false},
      {"mode with the plain bit among others", 0x80000002u, nullptr, false},
  };
  for (const Case& c : cases) {
    const RenderState state{c.mode, c.override};
    EXPECT_EQ(RenderState::IsPlainMode(&state), c.plain) << c.name;
  }
  EXPECT_FALSE(RenderState::IsPlainMode(nullptr));
}

struct Recorder final : raster::Runnable {
  int64_t Run(uint32_t a, uint32_t b, uint32_t c) override {
    calls.push_back({a, b, c});
    return (int64_t{a} << 32) | (b + c);
  }
  std::vector<std::vector<uint32_t>> calls;
};

TEST(RenderSupportTest, RunnerForwardsToTheOwnersCurrentTarget) {
  Recorder first, second;
  raster::Runnable* current = nullptr;
  raster::ForwardingRunner runner(&current);
  EXPECT_EQ(runner.Run(1, 2, 3), 0);  // no target yet
  current = &first;
  EXPECT_EQ(runner.Run(0xffffffffu, 2, 3), (int64_t{0xffffffff} << 32) | 5);  // 64-bit answer
  current = &second;
  runner.Run(7, 8, 9);
  current = &runner;
  EXPECT_EQ(runner.Run(1, 1, 1), 0);  // never runs itself
  EXPECT_EQ(first.calls, (std::vector<std::vector<uint32_t>>{{0xffffffffu, 2, 3}}));
  EXPECT_EQ(second.calls, (std::vector<std::vector<uint32_t>>{{7, 8, 9}}));
  raster::ForwardingRunner orphan(nullptr);
  EXPECT_EQ(orphan.Run(1, 2, 3), 0);
}

struct Device final : raster::Activatable {
  void CloseActive(uint32_t a, uint32_t b) override { closes.push_back({a, b}); }
  std::vector<std::vector<uint32_t>> closes;
};

TEST(RenderSupportTest, ActivationOwnerClosesAnActiveObjectOnce) {
  runtime::LibraryContext context;
  struct Case {
    const char* name;
    bool active;
    size_t closes;
  } cases[] = {{"active", true, 1}, {"inactive", false, 0}};
  for (const Case& c : cases) {
    Device device;
    device.active = c.active;
    {
      raster::ActivationOwner owner(&context, &device);
      EXPECT_TRUE(owner.IsLinked()) << c.name;
      owner.Close(4, 5);
      EXPECT_FALSE(owner.IsLinked()) << c.name;
      owner.Close(6, 7);
    }
    EXPECT_FALSE(device.active) << c.name;
    ASSERT_EQ(device.closes.size(), c.closes) << c.name;
    if (c.closes != 0) {
      EXPECT_EQ(device.closes[0], (std::vector<uint32_t>{4, 5})) << c.name;
    }
  }

  // An error passing the owner closes the device through the cleanup chain.
  Device device;
  device.active = true;
  const auto error = testsupport::CaughtError(&context, [&] {
    raster::ActivationOwner owner(&context, &device);
    runtime::ThrowError(&context, runtime::ErrorRecord{runtime::kRuntimeDomain, runtime::kMalformed, 0});
  });
  ASSERT_TRUE(error.has_value());
  EXPECT_FALSE(device.active);
  EXPECT_EQ(device.closes.size(), 1u);
}

}  // namespace
