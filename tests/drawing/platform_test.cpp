#include <gtest/gtest.h>
#include <windows.h>

#include "drawing/color_manager.h"
#include "drawing/draw_helpers.h"
#include "drawing/entry_points.h"
#include "drawing/gdi_objects.h"
#include "drawing/offscreen_buffer.h"
#include "drawing/themed_button.h"
#include "drawing/win_theme_wrapper.h"
#include "surface.h"

namespace zandle::drawing {
namespace {

using testing::GdiCounts;
using testing::Surface;

TEST(DeviceContextScopes, BufferCopiesItsRectangleOnly) {
  const GdiCounts before = GdiCounts::Now();
  Surface target(20, 20, RGB(0, 0, 0));
  {
    CBufferDC buffer(target.dc(), {5, 5, 15, 15});
    ASSERT_NE(buffer.GetSafeHdc(), nullptr);
    FillSolidRect(buffer, {0, 0, 20, 20}, RGB(255, 0, 0));
    EXPECT_EQ(target.Pixel(10, 10), RGB(0, 0, 0));  // nothing reaches the target yet
  }
  EXPECT_EQ(target.Pixel(5, 5), RGB(255, 0, 0));
  EXPECT_EQ(target.Pixel(14, 14), RGB(255, 0, 0));
  EXPECT_EQ(target.Pixel(4, 10), RGB(0, 0, 0));
  EXPECT_EQ(target.Pixel(15, 10), RGB(0, 0, 0));
  EXPECT_EQ(GdiCounts::Now(), before);
}

TEST(DeviceContextScopes, KeptBufferIsReusedAndGrows) {
  Surface target(40, 30, RGB(0, 0, 0));
  const GdiCounts before = GdiCounts::Now();
  {
    COffscreenBuffer kept;
    HDC first = nullptr;
    {
      CBufferDC paint(target.dc(), {0, 0, 20, 10}, kept);
      first = paint.GetSafeHdc();
      ASSERT_NE(first, nullptr);
      FillSolidRect(paint, {0, 0, 20, 10}, RGB(0, 255, 0));
    }
    EXPECT_EQ(target.Pixel(19, 9), RGB(0, 255, 0));
    const GdiCounts held = GdiCounts::Now();
    EXPECT_EQ(held.memoryDCs, before.memoryDCs + 1);
    EXPECT_EQ(held.bitmaps, before.bitmaps + 1);
    {
      CBufferDC paint(target.dc(), {0, 0, 10, 5}, kept);  // smaller: the same buffer
      EXPECT_EQ(paint.GetSafeHdc(), first);
    }
    EXPECT_EQ(GdiCounts::Now(), held);
    {
      CBufferDC paint(target.dc(), {0, 0, 40, 30}, kept);  // larger: a new one, the old freed
      FillSolidRect(paint, {0, 0, 40, 30}, RGB(0, 0, 255));
    }
    EXPECT_EQ(target.Pixel(39, 29), RGB(0, 0, 255));
    EXPECT_EQ(GdiCounts::Now(), held);
  }
  EXPECT_EQ(GdiCounts::Now(), before);
}

TEST(DeviceContextScopes, BufferWithoutMemoryContextPaintsNothing) {
  Surface target(8, 8, RGB(3, 3, 3));
  const GdiCounts before = GdiCounts::Now();
  {
    test::ScopedGdiFailure failMemoryDC(0);
    CBufferDC buffer(target.dc(), {0, 0, 8, 8});
    EXPECT_EQ(buffer.GetSafeHdc(), nullptr);
    FillSolidRect(buffer, {0, 0, 8, 8}, RGB(255, 0, 0));
  }
  EXPECT_EQ(target.Pixel(4, 4), RGB(3, 3, 3));
  EXPECT_EQ(GdiCounts::Now(), before);
}

TEST(DeviceContextScopes, SelectionsAreRestoredAndObjectsDeleted) {
  Surface s(10, 10);
  const HGDIOBJ pen = ::GetCurrentObject(s.dc(), OBJ_PEN);
  const HGDIOBJ brush = ::GetCurrentObject(s.dc(), OBJ_BRUSH);
  const HGDIOBJ font = ::GetCurrentObject(s.dc(), OBJ_FONT);
  const GdiCounts before = GdiCounts::Now();
  {
    const fw::UniquePen ownPen(::CreatePen(PS_SOLID, 1, RGB(1, 2, 3)));
    const fw::UniqueBrush ownBrush(::CreateSolidBrush(RGB(4, 5, 6)));
    const fw::ScopedSelectObject penScope(s.dc(), ownPen.get());
    const fw::ScopedSelectObject brushScope(s.dc(), ownBrush.get());
    EXPECT_NE(::GetCurrentObject(s.dc(), OBJ_PEN), pen);
    EXPECT_NE(::GetCurrentObject(s.dc(), OBJ_BRUSH), brush);
    EXPECT_EQ(fw::UniquePen::LiveCount(), before.pens + 1);
  }
  EXPECT_EQ(::GetCurrentObject(s.dc(), OBJ_PEN), pen);
  EXPECT_EQ(::GetCurrentObject(s.dc(), OBJ_BRUSH), brush);
  EXPECT_EQ(GdiCounts::Now(), before);

  const HFONT other = static_cast<HFONT>(::GetStockObject(ANSI_FIXED_FONT));
  {
    const fw::ScopedSelectObject fontScope(s.dc(), other);
    EXPECT_EQ(::GetCurrentObject(s.dc(), OBJ_FONT), other);
  }
  EXPECT_EQ(::GetCurrentObject(s.dc(), OBJ_FONT), font);
  { const fw::ScopedSelectObject none(s.dc(), nullptr); }
  EXPECT_EQ(::GetCurrentObject(s.dc(), OBJ_FONT), font);

  const HBITMAP bitmap = testing::MakeSolidArgbBitmap(4, 4, 0xFF00FF00);
  {
    const fw::UniqueMemoryDC compatible = CreateMemoryDC(s.dc());
    const fw::ScopedSelectObject select(compatible.get(), bitmap);
    EXPECT_EQ(::GetCurrentObject(compatible.get(), OBJ_BITMAP), bitmap);
    ::BitBlt(s.dc(), 0, 0, 4, 4, compatible.get(), 0, 0, SRCCOPY);
  }
  EXPECT_EQ(s.Pixel(3, 3), RGB(0, 255, 0));
  EXPECT_EQ(GdiCounts::Now(), before);
  // No longer selected anywhere: a bitmap still selected would not be deleted.
  EXPECT_TRUE(::DeleteObject(bitmap));
}

TEST(WorkArea, AllFormsFallBackToThePrimaryWorkArea) {
  RECT primary{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &primary, 0);
  const POINT offScreen{-30000, -30000};
  EXPECT_TRUE(::EqualRect(&primary, &static_cast<const RECT&>(GetMonitorWorkArea(offScreen))));
  const RECT onPrimary = GetMonitorWorkArea(POINT{primary.left + 1, primary.top + 1});
  EXPECT_TRUE(::EqualRect(&primary, &onPrimary));
  const RECT fromNullWindow = GetMonitorWorkArea(static_cast<HWND>(nullptr));
  EXPECT_TRUE(::EqualRect(&primary, &fromNullWindow));
  test::ScopedAbsentEntry noMonitors(OptionalEntry::MonitorFunctions);
  EXPECT_EQ(BoundWorkAreaEntries().monitorFromPoint, nullptr);
  const RECT withoutMonitors = GetMonitorWorkArea(RECT{0, 0, 10, 10});
  EXPECT_TRUE(::EqualRect(&primary, &withoutMonitors));
}

TEST(WorkArea, SafeRectanglesOfDeadWindowsAreEmpty) {
  const RECT none = GetWindowRectSafe(nullptr);
  EXPECT_TRUE(::IsRectEmpty(&none));
  const RECT bogus = GetClientRectSafe(reinterpret_cast<HWND>(0x7FFF0));
  EXPECT_TRUE(::IsRectEmpty(&bogus));
}

// The fake UXTHEME of the test module, loaded per test.
class VisualStyles : public ::testing::Test {
 protected:
  using ConfigureFn = void(__stdcall*)(BOOL, HRESULT, const wchar_t*, const wchar_t*);
  using CallsFn = LONG(__stdcall*)(int);

  void SetUp() override {
    module_ = ::LoadLibraryW(L"drawing_test_module.dll");
    ASSERT_NE(module_, nullptr);
    configure_ = reinterpret_cast<ConfigureFn>(reinterpret_cast<void*>(::GetProcAddress(module_, "FakeThemeConfigure")));
    calls_ = reinterpret_cast<CallsFn>(reinterpret_cast<void*>(::GetProcAddress(module_, "FakeThemeCalls")));
    configure_(TRUE, S_OK, L"C:\\Windows\\Resources\\Themes\\Luna\\LUNA.MSSTYLES", L"NormalColor");
  }
  void TearDown() override {
    // A fresh lookup before the module goes, so that no slot points into it.
    CWinThemeWrapper().OpenThemeData(nullptr, L"BUTTON");
    ::FreeLibrary(module_);
  }
  HMODULE module_ = nullptr;
  ConfigureFn configure_ = nullptr;
  CallsFn calls_ = nullptr;
};

TEST_F(VisualStyles, ForcedAbsentLibraryFailsEverything) {
  test::ScopedAbsentEntry noStyles(OptionalEntry::VisualStyles);
  test::ScopedVisualStylesModule fake(module_);
  CWinThemeWrapper theme;
  theme.OpenThemeData(nullptr, L"BUTTON");
  EXPECT_EQ(theme.themeHandle(), nullptr);
  COLORREF color = 0;
  SIZE size{};
  wchar_t name[8];
  EXPECT_EQ(theme.GetThemeColor(1, 1, 3803, &color), E_FAIL);
  EXPECT_EQ(theme.DrawThemeBackground(nullptr, 1, 1, nullptr, nullptr), E_FAIL);
  EXPECT_EQ(theme.GetThemePartSize(nullptr, 1, 1, nullptr, 1, &size), E_FAIL);
  EXPECT_EQ(theme.GetCurrentThemeName(name, 8, name, 8, name, 8), E_FAIL);
  EXPECT_FALSE(theme.IsThemeActive());
  EXPECT_FALSE(theme.IsAppThemed());
  EXPECT_EQ(DetectLunaTheme(SystemColorEnvironment()), kLunaNone);
  EXPECT_EQ(calls_(2), 0);
}

TEST_F(VisualStyles, OpenCloseAndForwarding) {
  test::ScopedVisualStylesModule fake(module_);
  const int liveThemes = UniqueTheme::LiveCount();
  {
    CWinThemeWrapper theme;
    EXPECT_FALSE(theme.IsAppThemed());  // no theme open: the library is not asked
    EXPECT_EQ(calls_(2), 0);
    theme.OpenThemeData(nullptr, L"BUTTON");
    ASSERT_NE(theme.themeHandle(), nullptr);
    EXPECT_TRUE(theme.IsAppThemed());
    COLORREF color = 0;
    EXPECT_EQ(theme.GetThemeColor(1, 1, 3803, &color), S_OK);
    EXPECT_EQ(color, reinterpret_cast<UINT_PTR>(theme.themeHandle()));
    theme.OpenThemeData(nullptr, L"BUTTON");  // closes the first
    EXPECT_EQ(calls_(1), 1);
    theme.CloseThemeData();
    theme.CloseThemeData();
    EXPECT_EQ(theme.themeHandle(), nullptr);
    EXPECT_EQ(calls_(1), 2);
    theme.OpenThemeData(nullptr, L"BUTTON");
  }
  EXPECT_EQ(calls_(1), 3);  // the destructor closed the third
  EXPECT_EQ(UniqueTheme::LiveCount(), liveThemes);
}

TEST_F(VisualStyles, ALibraryAtAnotherAddressIsBoundAfresh) {
  CWinThemeWrapper theme;
  theme.OpenThemeData(nullptr, L"BUTTON");  // binds the system's UXTHEME.DLL
  const HMODULE system = BoundVisualStylesModule();
  EXPECT_EQ(calls_(0), 0);
  test::ScopedVisualStylesModule fake(module_);
  theme.OpenThemeData(nullptr, L"BUTTON");
  EXPECT_EQ(BoundVisualStylesModule(), module_);
  EXPECT_NE(system, module_);
  EXPECT_EQ(calls_(0), 1);
}

TEST_F(VisualStyles, ColourSchemeThroughTheBinding) {
  test::ScopedVisualStylesModule fake(module_);
  if (IsLowColorDisplay(nullptr)) GTEST_SKIP() << "low-colour screen";
  EXPECT_EQ(DetectLunaTheme(SystemColorEnvironment()), kLunaBlue);
  configure_(TRUE, S_OK, L"aero.msstyles", L"NormalColor");
  EXPECT_EQ(DetectLunaTheme(SystemColorEnvironment()), kLunaAero);
  configure_(TRUE, E_FAIL, L"aero.msstyles", L"NormalColor");
  EXPECT_EQ(DetectLunaTheme(SystemColorEnvironment()), kLunaNone);
  configure_(FALSE, S_OK, L"aero.msstyles", L"NormalColor");
  EXPECT_EQ(DetectLunaTheme(SystemColorEnvironment()), kLunaNone);
}

class ChangingEnvironment : public ColorEnvironment {
 public:
  Color SysColor(int index) const override { return index == kSysColorBtnFace ? face : RGB(128, 128, 128); }
  int ScreenBitsPerPixel() const override { return 32; }
  bool IsThemeActive() const override { return false; }
  bool CurrentThemeName(std::wstring&, std::wstring&) const override { return false; }
  Color face = RGB(212, 208, 200);
};

TEST(ThemedButton, RefreshesWhenBoundAndOnSystemColourChange) {
  const HWND host = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  ::CreateWindowExW(0, L"BUTTON", L"More", WS_CHILD | BS_PUSHBUTTON, 0, 0, 50, 20, host,
                    reinterpret_cast<HMENU>(1008), nullptr, nullptr);
  ChangingEnvironment env;
  CColorManager colors(env);
  {
    CThemedButton button(colors);
    EXPECT_FALSE(button.SubclassDlgItem(1009, host));
    ASSERT_TRUE(button.SubclassDlgItem(1008, host));
    EXPECT_EQ(button.Theme().refreshCount, 1);
    EXPECT_EQ(button.Theme().faceColor, RGB(212, 208, 200));
    env.face = RGB(10, 20, 30);
    ::SendMessageW(button.hwnd(), WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(button.Theme().refreshCount, 2);
    EXPECT_EQ(button.Theme().faceColor, RGB(10, 20, 30));
    EXPECT_EQ(colors.GetColor(kSysColorBtnFace), RGB(10, 20, 30));
  }
  ::DestroyWindow(host);
}

}  // namespace
}  // namespace zandle::drawing
