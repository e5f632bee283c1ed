#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>

#include "drawing/byte_archive.h"
#include "drawing/color_functions.h"
#include "drawing/color_manager.h"
#include "drawing/paint_manager_color.h"

namespace zandle::drawing {
namespace {

TEST(ColorFunctions, BlendUsesPercentBelowHundredAndPerMilleFromHundred) {
  const Color a = RGB(200, 100, 0), b = RGB(0, 0, 200);
  EXPECT_EQ(BlendColors(a, b, 30), RGB(60, 30, 140));
  EXPECT_EQ(BlendColors(a, b, 50), RGB(100, 50, 100));
  EXPECT_EQ(BlendColors(a, b, 165), RGB(33, 17, 167));
  EXPECT_EQ(BlendColors(a, b, 215), RGB(43, 22, 157));
  // A weight past the whole must not spill into the neighbouring channel.
  EXPECT_EQ(BlendColors(RGB(255, 0, 0), RGB(0, 0, 0), 2000), RGB(255, 0, 0));
}

TEST(ColorFunctions, MixTruncatesAndCaps) {
  EXPECT_EQ(MixColors(RGB(255, 0, 100), RGB(0, 255, 0), 0.75), RGB(191, 63, 75));
  EXPECT_EQ(MixColors(RGB(10, 20, 30), RGB(200, 100, 0), 1.0), RGB(10, 20, 30));
  EXPECT_EQ(MixColors(RGB(255, 255, 255), RGB(255, 255, 255), 1.5), RGB(255, 255, 255));
}

TEST(ColorFunctions, WeightedDistanceAndThreshold) {
  EXPECT_NEAR(ColorDistance(RGB(255, 255, 255), 0), 440.85f, 0.01f);
  EXPECT_FLOAT_EQ(ColorDistanceSquared(RGB(255, 0, 0), 0), 195.0f * 195.0f);
  EXPECT_FLOAT_EQ(ContrastThreshold(RGB(0, 0, 0), 50.9f), 100.0f);          // dark: doubled, r truncated
  EXPECT_FLOAT_EQ(ContrastThreshold(RGB(255, 255, 255), 50.0f), 50.0f);     // bright: unchanged
  EXPECT_FLOAT_EQ(ContrastThreshold(RGB(255, 0, 0), 100.0f), 200.0f - 195.0f / 220.0f * 100.0f);
}

TEST(ColorFunctions, ContrastIsStrictlyGreater) {
  EXPECT_FALSE(HasContrast(RGB(90, 90, 90), RGB(90, 90, 90), 0));  // distance equals threshold
  EXPECT_TRUE(HasContrast(RGB(90, 90, 90), RGB(90, 91, 90), 0));
  EXPECT_FALSE(HasContrast(RGB(255, 255, 255), RGB(250, 250, 250), 50));
}

TEST(ColorFunctions, PushAndPullLandAtTheThreshold) {
  const Color face = RGB(212, 208, 200);
  const Color pushed = PushToContrast(face, RGB(200, 200, 220), 50);
  EXPECT_NEAR(ColorDistance(face, pushed), ContrastThreshold(face, 50), 1.5f);
  const Color pulled = PullToDistance(face, RGB(255, 255, 255), 35);
  EXPECT_NEAR(ColorDistance(face, pulled), ContrastThreshold(face, 35), 1.5f);
  EXPECT_EQ(PullToDistance(face, face, 35), face);
  // A ray that never comes within the threshold ends at its nearest point, black,
  // rather than at the cast of a NaN.
  EXPECT_EQ(PushToContrast(RGB(0, 255, 0), RGB(0, 0, 255), 50), RGB(0, 0, 0));
}

TEST(PaintManagerColor, EffectiveValueAndSerializedLayout) {
  CPaintManagerColorGradient g;
  EXPECT_EQ(g.startColor.Effective(), kNoColor);
  EXPECT_FLOAT_EQ(g.middleWeight, 0.5f);
  g.SetStandardColors(RGB(1, 2, 3), RGB(4, 5, 6), 0.75f);
  g.endColor.userValue = RGB(9, 9, 9);
  CPaintManagerColorGradient copy;
  copy.CopyStandardFrom(g);
  EXPECT_EQ(copy.endColor.standardValue, RGB(9, 9, 9));
  EXPECT_FLOAT_EQ(copy.middleWeight, 0.75f);

  ByteArchive out;
  g.Serialize(out);
  ASSERT_EQ(out.Bytes().size(), 20u);
  EXPECT_EQ(out.Bytes()[0], 1);
  EXPECT_EQ(out.Bytes()[4], 0xFF);  // start's userValue, −1
  EXPECT_EQ(out.Bytes()[12], 9);    // end's userValue
  ByteArchive in(out.Bytes());
  CPaintManagerColorGradient loaded;
  loaded.Serialize(in);
  EXPECT_EQ(loaded.startColor.standardValue, RGB(1, 2, 3));
  EXPECT_EQ(loaded.endColor.Effective(), RGB(9, 9, 9));
  EXPECT_FLOAT_EQ(loaded.middleWeight, 0.75f);

  std::vector<std::uint8_t> truncated(out.Bytes().begin(), out.Bytes().end() - 1);
  ByteArchive shortIn(truncated);
  CPaintManagerColorGradient untouched;
  untouched.Serialize(shortIn);
  EXPECT_TRUE(shortIn.Failed());
  EXPECT_EQ(untouched.startColor.standardValue, kNoColor);
  EXPECT_FLOAT_EQ(untouched.middleWeight, 0.5f);
}

class FakeEnvironment : public ColorEnvironment {
 public:
  FakeEnvironment() {
    for (Color& c : colors) c = RGB(128, 128, 128);
    colors[kSysColorBtnFace] = RGB(212, 208, 200);
    colors[kSysColorWindow] = RGB(255, 255, 255);
    colors[kSysColorHighlight] = RGB(10, 36, 106);
    colors[kSysColorBtnShadow] = RGB(128, 128, 128);
    colors[kSysColorBtnText] = RGB(0, 0, 0);
  }
  Color SysColor(int index) const override { return colors[index]; }
  int ScreenBitsPerPixel() const override { return bits; }
  bool IsThemeActive() const override { return active; }
  bool CurrentThemeName(std::wstring& file, std::wstring& color) const override {
    file = fileName;
    color = colorName;
    return nameAvailable;
  }
  Color colors[31] = {};
  int bits = 32;
  bool active = false;
  bool nameAvailable = true;
  std::wstring fileName, colorName;
};

TEST(ColorManager, ClassicColoursAreDerivedAndContrastCorrected) {
  FakeEnvironment env;
  CColorManager m(env);
  EXPECT_EQ(m.GetLunaTheme(), kLunaNone);
  EXPECT_EQ(m.GetColor(0), RGB(0, 0, 0));
  EXPECT_EQ(m.GetColor(kSysColorWindow), RGB(255, 255, 255));
  EXPECT_EQ(m.GetColor(63), 63u);
  EXPECT_EQ(m.GetColor(1000), 1000u);
  const Color face = env.colors[kSysColorBtnFace];
  const Color soft = m.GetColor(EXT_COLOR_SOFT_FACE);
  EXPECT_EQ(soft, BlendColors(RGB(255, 255, 255), face, 165));  // close enough to stay
  EXPECT_FALSE(HasContrast(face, soft, 35));
  EXPECT_TRUE(HasContrast(soft, m.GetColor(EXT_COLOR_SOFT_HIGHLIGHT), 49));
  EXPECT_EQ(m.GetColor(EXT_COLOR_HIGHLIGHT_BORDER), env.colors[kSysColorHighlight]);
  EXPECT_EQ(m.GetColor(EXT_COLOR_THEME_FRAME), RGB(128, 128, 128));
  EXPECT_EQ(m.themeFaceGradient.startColor.Effective(), face);
  EXPECT_EQ(m.themeFaceGradient.endColor.Effective(), BlendColors(face, RGB(255, 255, 255), 215));
  EXPECT_EQ(m.themeCaptionGradient.endColor.Effective(), RGB(128, 128, 128));
  m.userColors[5] = RGB(1, 1, 1);
  EXPECT_EQ(m.GetColor(5), RGB(1, 1, 1));
}

TEST(ColorManager, HighContrastKeepsHighlightAndText) {
  FakeEnvironment env;
  env.colors[kSysColorBtnFace] = RGB(0, 0, 0);
  env.colors[kSysColorBtnText] = RGB(255, 255, 255);
  env.colors[kSysColorHighlight] = RGB(0, 255, 255);
  CColorManager m(env);
  EXPECT_EQ(m.GetColor(EXT_COLOR_SOFT_FACE), RGB(0, 0, 0));
  EXPECT_EQ(m.GetColor(EXT_COLOR_SOFT_HIGHLIGHT), RGB(0, 255, 255));
  EXPECT_EQ(m.GetColor(EXT_COLOR_HIGHLIGHT_BORDER), RGB(255, 255, 255));
}

TEST(ColorManager, LowColourDisplayKeepsBaseValuesAndSolidFace) {
  FakeEnvironment env;
  env.bits = 8;
  env.active = true;
  env.fileName = L"luna.msstyles";
  env.colorName = L"NormalColor";
  CColorManager m(env);
  EXPECT_EQ(m.GetLunaTheme(), kLunaNone);
  EXPECT_EQ(m.GetColor(EXT_COLOR_SOFT_FACE), env.colors[kSysColorBtnFace]);
  EXPECT_EQ(m.GetColor(EXT_COLOR_SOFT_HIGHLIGHT), env.colors[kSysColorWindow]);
  EXPECT_EQ(m.GetColor(EXT_COLOR_HALF_HIGHLIGHT), env.colors[kSysColorHighlight]);
  EXPECT_EQ(m.themeFaceGradient.startColor.Effective(), env.colors[kSysColorBtnFace]);
  EXPECT_EQ(m.themeFaceGradient.endColor.Effective(), env.colors[kSysColorBtnFace]);
}

TEST(ColorManager, DesktopSchemes) {
  struct Case {
    bool active;
    const wchar_t* file;
    const wchar_t* color;
    int scheme;
  } cases[] = {
      {true, L"C:\\Windows\\Resources\\Themes\\Luna\\LUNA.MSSTYLES", L"NORMALCOLOR", kLunaBlue},
      {true, L"luna.msstyles", L"HomeStead", kLunaOlive},
      {true, L"luna.msstyles", L"Metallic", kLunaSilver},
      {true, L"luna.msstyles", L"Zune", kLunaNone},
      {true, L"Royale.msstyles", L"NormalColor", kLunaRoyale},
      {true, L"aero.msstyles", L"NormalColor", kLunaAero},
      {true, L"light.msstyles", L"Blue", kLunaNone},
      {false, L"luna.msstyles", L"NormalColor", kLunaNone},
  };
  for (const Case& c : cases) {
    FakeEnvironment env;
    env.active = c.active;
    env.fileName = c.file;
    env.colorName = c.color;
    EXPECT_EQ(DetectLunaTheme(env), c.scheme) << c.file << L" " << c.color;
  }
  FakeEnvironment failing;
  failing.active = true;
  failing.fileName = L"luna.msstyles";
  failing.colorName = L"NormalColor";
  failing.nameAvailable = false;
  EXPECT_EQ(DetectLunaTheme(failing), kLunaNone);
}

TEST(ColorManager, SchemeGradientsAndFrame) {
  FakeEnvironment env;
  env.active = true;
  env.fileName = L"luna.msstyles";
  env.colorName = L"HomeStead";
  CColorManager m(env);
  EXPECT_EQ(m.GetLunaTheme(), kLunaOlive);
  EXPECT_EQ(m.themeFaceGradient.startColor.Effective(), RGB(217, 217, 167));
  EXPECT_EQ(m.themeCaptionGradient.endColor.Effective(), RGB(73, 91, 67));
  EXPECT_EQ(m.GetColor(EXT_COLOR_THEME_FRAME), RGB(96, 128, 88));
  env.colorName = L"Metallic";
  m.RefreshColors();
  EXPECT_EQ(m.GetColor(EXT_COLOR_THEME_FRAME), RGB(124, 124, 148));
  EXPECT_EQ(m.themeFaceGradient.endColor.Effective(), RGB(243, 243, 247));
  env.fileName = L"aero.msstyles";
  m.RefreshColors();
  EXPECT_EQ(m.GetLunaTheme(), kLunaAero);
  EXPECT_EQ(m.themeCaptionGradient.startColor.Effective(), RGB(89, 135, 214));
  EXPECT_EQ(m.GetColor(EXT_COLOR_THEME_FRAME), RGB(0, 45, 150));
}

}  // namespace
}  // namespace zandle::drawing
