#include "color/EmbeddedProfiles.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstring>

namespace color {
namespace {

// The reference library reads both built-in profiles and agrees on what
// they are.
TEST(EmbeddedProfilesTest, ReferenceLibraryReadsThem) {
  EXPECT_EQ(GetEmbeddedRgbProfileSize(), 3144u);
  EXPECT_EQ(GetEmbeddedCmykProfileSize(), 5608u);
  cmsHPROFILE rgb = cmsOpenProfileFromMem(GetEmbeddedRgbProfile(), GetEmbeddedRgbProfileSize());
  ASSERT_NE(rgb, nullptr);
  EXPECT_EQ(cmsGetDeviceClass(rgb), cmsSigDisplayClass);
  EXPECT_EQ(cmsGetColorSpace(rgb), cmsSigRgbData);
  char text[64] = {};
  cmsGetProfileInfoASCII(rgb, cmsInfoDescription, "en", "US", text, sizeof text);
  EXPECT_STREQ(text, "sRGB IEC61966-2.1");
  cmsHPROFILE cmyk = cmsOpenProfileFromMem(GetEmbeddedCmykProfile(), GetEmbeddedCmykProfileSize());
  ASSERT_NE(cmyk, nullptr);
  EXPECT_EQ(cmsGetDeviceClass(cmyk), cmsSigOutputClass);
  EXPECT_EQ(cmsGetPCS(cmyk), cmsSigLabData);
  cmsGetProfileInfoASCII(cmyk, cmsInfoDescription, "en", "US", text, sizeof text);
  EXPECT_STREQ(text, "Pelorvantix CMYK");

  // The ink model is sensible: paper maps to white, full black to a dark
  // neutral, and the round trip through both tables stays close.
  cmsHTRANSFORM toRgb = cmsCreateTransform(cmyk, TYPE_CMYK_8, rgb, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
  ASSERT_NE(toRgb, nullptr);
  uint8_t paper[4] = {0, 0, 0, 0}, black[4] = {0, 0, 0, 255}, out[3];
  cmsDoTransform(toRgb, paper, out, 1);
  EXPECT_GT(out[0] + out[1] + out[2], 3 * 200);
  cmsDoTransform(toRgb, black, out, 1);
  EXPECT_LT(out[0] + out[1] + out[2], 3 * 80);
  cmsDeleteTransform(toRgb);
  cmsHTRANSFORM roundTrip = cmsCreateTransform(rgb, TYPE_RGB_8, cmyk, TYPE_CMYK_8, INTENT_PERCEPTUAL, 0);
  cmsHTRANSFORM back = cmsCreateTransform(cmyk, TYPE_CMYK_8, rgb, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
  ASSERT_NE(roundTrip, nullptr);
  ASSERT_NE(back, nullptr);
  uint8_t grey[3] = {128, 128, 128}, ink[4], again[3];
  cmsDoTransform(roundTrip, grey, ink, 1);
  cmsDoTransform(back, ink, again, 1);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(again[i], grey[i], 40);
  cmsDeleteTransform(roundTrip);
  cmsDeleteTransform(back);
  cmsCloseProfile(rgb);
  cmsCloseProfile(cmyk);
}

}  // namespace
}  // namespace color
