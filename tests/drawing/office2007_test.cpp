#include <gtest/gtest.h>
#include <windows.h>

#include "drawing/office2007_images.h"

namespace zandle::drawing {
namespace {

TEST(Office2007Images, PopupControlColoursOfZandleDll) {
  const HMODULE zandle = ::LoadLibraryW(L"Zandle.dll");
  ASSERT_NE(zandle, nullptr);
  COffice2007Images store;
  ASSERT_TRUE(store.SetHandle(zandle, nullptr, true));
  const struct {
    const wchar_t* key;
    Color color;
  } expected[] = {
      {L"FrameBorder", RGB(55, 100, 160)},   {L"BackgroundLight", RGB(214, 231, 252)},
      {L"BackgroundDark", RGB(168, 198, 238)}, {L"CaptionLight", RGB(227, 239, 255)},
      {L"CaptionDark", RGB(180, 213, 255)},  {L"NormalText", RGB(0, 0, 0)},
      {L"ButtonSelected", RGB(255, 231, 162)}, {L"ButtonPressed", RGB(251, 140, 60)},
      {L"ButtonBorder", RGB(255, 189, 105)},
  };
  for (const auto& e : expected) EXPECT_EQ(store.GetImageColor(L"PopupControl", e.key), e.color) << e.key;
  EXPECT_EQ(store.GetImageColor(L"popupcontrol", L"frameborder"), RGB(55, 100, 160));
  EXPECT_EQ(store.GetImageValue(L"PopupControl", L"FrameBorder"), L"55 100 160");
  EXPECT_EQ(store.GetImageColor(L"PopupControl", L"NoSuchKey"), kNoColor);
  EXPECT_EQ(store.GetImageColor(L"NoSuchSection", L"FrameBorder"), kNoColor);

  ::LoadLibraryW(L"Zandle.dll");  // the store below takes this reference
  ASSERT_TRUE(store.SetHandle(zandle, L"OFFICE2007BLUE.INI", true));
  EXPECT_EQ(store.GetImageColor(L"PopupControl", L"ButtonBorder"), RGB(255, 189, 105));
}

class TestModuleText : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = ::LoadLibraryW(L"drawing_test_module.dll");
    ASSERT_NE(module_, nullptr);
    ASSERT_TRUE(store_.SetHandle(module_, L"OTHER_COLORS", false));
  }
  void TearDown() override { ::FreeLibrary(module_); }
  HMODULE module_ = nullptr;
  COffice2007Images store_;
};

TEST_F(TestModuleText, GrammarOfTheReader) {
  EXPECT_EQ(store_.GetImageColor(L"PopupControl", L"FrameBorder"), RGB(1, 2, 0));  // first entry wins
  EXPECT_EQ(store_.GetImageColor(L"PopupControl", L"Octal"), RGB(16, 8, 16));
  EXPECT_EQ(store_.GetImageValue(L"PopupControl", L"Octal"), L"0X10 010 16");
  EXPECT_EQ(store_.GetImageColor(L"PopupControl", L"Indented"), RGB(7, 8, 9));
  EXPECT_EQ(store_.GetImageColor(L"PopupControl", L"Before"), kNoColor);
  EXPECT_EQ(store_.GetImageColor(L"PopupControl", L"LaterKey"), kNoColor);
  EXPECT_EQ(store_.GetImageColor(L"Later", L"LaterKey"), RGB(3, 3, 3));
  EXPECT_EQ(store_.GetImageColor(L"PopupControl", L"AfterPassed"), kNoColor);  // section already passed
  EXPECT_EQ(store_.GetImageColor(L"Tail", L"Tail"), kNoColor);  // no carriage return after it
}

TEST_F(TestModuleText, ChoosingTheText) {
  COffice2007Images store;
  EXPECT_TRUE(store.SetHandle(module_, nullptr, false));  // falls back to the first TEXTFILE
  EXPECT_EQ(store.GetImageColor(L"PopupControl", L"FrameBorder"), RGB(1, 2, 0));
  EXPECT_FALSE(store.SetHandle(module_, L"", false));  // a name was given: no fallback
  EXPECT_FALSE(store.HasText());
  EXPECT_EQ(store.GetImageColor(L"PopupControl", L"FrameBorder"), kNoColor);
  EXPECT_FALSE(store.SetHandle(nullptr, nullptr, false));
  EXPECT_EQ(store.GetImageValue(L"PopupControl", L"FrameBorder"), L"");
}

TEST(Office2007Images, StoreReleasesAModuleHeldForRelease) {
  const HMODULE module = ::LoadLibraryW(L"drawing_test_module.dll");
  ASSERT_NE(module, nullptr);
  {
    COffice2007Images store;
    EXPECT_TRUE(store.SetHandle(module, L"OTHER.COLORS", true));
    EXPECT_EQ(store.GetImageColor(L"Later", L"LaterKey"), RGB(3, 3, 3));
  }
  EXPECT_EQ(::GetModuleHandleW(L"drawing_test_module.dll"), nullptr);
}

TEST(Office2007Images, DefaultStoreReadsTheModuleHoldingTheCode) {
  // This test program carries no colour text of its own, so the store stays empty.
  EXPECT_EQ(GetDefaultOffice2007Images().GetImageColor(L"PopupControl", L"FrameBorder"), kNoColor);
}

}  // namespace
}  // namespace zandle::drawing
