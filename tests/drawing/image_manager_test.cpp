#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "drawing/alpha_blend.h"
#include "drawing/draw_helpers.h"
#include "drawing/entry_points.h"
#include "drawing/gdi_objects.h"
#include "drawing/image_manager.h"
#include "drawing/pixel_math.h"
#include "surface.h"

namespace zandle::drawing {
namespace {

using testing::GdiCounts;
using testing::MakeIcon;
using testing::MakeSolidArgbBitmap;
using testing::Surface;

// A manager released at the end of the test.
struct Manager {
  Manager() : m(new CImageManager) {}
  ~Manager() { m->InternalRelease(); }
  CImageManager* operator->() const { return m; }
  CImageManager* m;
};

// Premultiplied pixels of an image, read through a plain copy.
std::vector<std::uint32_t> PixelsOf(CImageManagerIconImage& image) {
  CImageManagerIconImage copy;
  if (!copy.CopyHandle(image) || !copy.PreMultiply()) return {};
  const SIZE e = copy.GetExtent();
  const auto* p = reinterpret_cast<const std::uint32_t*>(copy.PremultipliedBits());
  return std::vector<std::uint32_t>(p, p + e.cx * e.cy);  // bottom-up rows
}

TEST(PixelMath, PremultiplyTruncates) {
  std::uint8_t px[8] = {50, 100, 200, 128, 9, 9, 9, 0};
  EXPECT_TRUE(PremultiplyPixels(px, 2));
  EXPECT_EQ(px[0], 25);
  EXPECT_EQ(px[1], 50);
  EXPECT_EQ(px[2], 100);
  EXPECT_EQ(px[3], 128);
  EXPECT_EQ(px[4], 0);
  std::uint8_t none[4] = {1, 2, 3, 0};
  EXPECT_FALSE(PremultiplyPixels(none, 1));
}

TEST(PixelMath, GreyAndColourDisabledPixels) {
  // white, black, mid-grey opaque; pure red at half alpha (premultiplied); transparent
  std::uint8_t px[] = {255, 255, 255, 255, 0, 0, 0, 255, 128, 128, 128, 255, 0, 0, 128, 128, 0, 0, 0, 0};
  DisablePremultipliedPixels(px, 5, kNoColor, kNoColor);
  EXPECT_EQ(px[0], 255);
  EXPECT_EQ(px[4], 0);
  EXPECT_EQ(px[8], 180);
  EXPECT_EQ(px[10], 180);
  EXPECT_EQ(px[14], 69);  // grey 139 at alpha 128
  EXPECT_EQ(px[15], 128);
  EXPECT_EQ(px[19], 0);
  EXPECT_EQ(DisabledColor(128, 128, 128, RGB(255, 255, 255), RGB(0, 0, 128)), RGB(128, 128, 191));
  EXPECT_EQ(DisabledColor(255, 255, 255, RGB(250, 240, 230), RGB(0, 0, 128)), RGB(250, 240, 230));
  EXPECT_EQ(DisabledColor(0, 0, 0, RGB(250, 240, 230), RGB(0, 0, 128)), RGB(0, 0, 128));
}

TEST(PixelMath, EmulatedBlendRowSaturatesAndMirrors) {
  const std::uint8_t source[] = {100, 0, 0, 128, 0, 200, 0, 255};
  const std::uint8_t background[] = {255, 255, 255, 0, 10, 20, 30, 0};
  std::uint8_t out[8];
  BlendPremultipliedRow(source, false, background, false, out, 2);
  EXPECT_EQ(out[0], 255 * 127 / 255 + 100 > 255 ? 255 : 255 * 127 / 255 + 100);
  EXPECT_EQ(out[1], 127);
  EXPECT_EQ(out[5], 200);
  EXPECT_EQ(out[3], 0);
  BlendPremultipliedRow(source, true, background, false, out, 2);
  EXPECT_EQ(out[1], 200);  // first column from the source's right end
}

TEST(ImageManager, RegistrationRulesAndStateFallbacks) {
  Manager manager;
  const HICON normal = MakeIcon(16, 16, RGB(255, 0, 0), 0, false);
  const HICON hot = MakeIcon(16, 16, RGB(0, 255, 0), 0, false);
  CImageManagerIconImage normalImage(normal, true), hotImage(hot, true), empty;

  EXPECT_FALSE(manager->SetIcon(hotImage, 7, {16, 16}, kImageHot));
  EXPECT_EQ(manager->IconSetCount(), 0u);
  EXPECT_EQ(manager->ImageResourceCount(), 0u);
  EXPECT_FALSE(manager->SetIcon(empty, 7, {16, 16}, kImageNormal));

  ASSERT_TRUE(manager->SetIcon(normalImage, 7, {0, 0}, kImageNormal));
  ASSERT_TRUE(manager->SetIcon(hotImage, 7, {16, 16}, kImageHot));
  EXPECT_TRUE(manager->SetIcon(hotImage, 7, {16, 16}, 99));  // unknown states do nothing
  CImageManagerIcon* icon = manager->GetImage(7, 16);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(manager->GetIconSet(7)->IconCount(), 1u);
  EXPECT_NE(icon->GetHotIcon().GetSlot(), icon->GetIcon().GetSlot());
  EXPECT_EQ(&icon->GetCheckedIcon(), &icon->GetHotIcon());
  EXPECT_EQ(&icon->GetPressedIcon(), &icon->GetHotIcon());
  EXPECT_EQ(icon->GetID(), 7u);
  ::DestroyIcon(normal);
  ::DestroyIcon(hot);
}

TEST(ImageManager, LookupByWidth) {
  Manager manager;
  const HICON small = MakeIcon(16, 16, RGB(1, 1, 1), 0, false), large = MakeIcon(32, 32, RGB(2, 2, 2), 0, false);
  CImageManagerIconImage a(small, true), b(large, true);
  ASSERT_TRUE(manager->SetIcon(a, 3, {16, 16}, kImageNormal));
  ASSERT_TRUE(manager->SetIcon(b, 3, {32, 32}, kImageNormal));
  CImageManagerIconSet* set = manager->GetIconSet(3);
  EXPECT_EQ(set->GetIcon(0)->GetWidth(), 16);
  EXPECT_EQ(set->GetIcon(1)->GetWidth(), 32);
  EXPECT_EQ(set->GetIcon(24, false), nullptr);
  EXPECT_NE(set->GetIcon(24, true), nullptr);
  EXPECT_EQ(set->GetIcon(20, true)->GetWidth(), 16);
  EXPECT_EQ(manager->GetImage(3, 30)->GetWidth(), 32);
  EXPECT_EQ(manager->GetImage(4, 16), nullptr);
  ::DestroyIcon(small);
  ::DestroyIcon(large);
}

TEST(ImageManager, IconKeyedByRequestedWidthDrawsAtItsOwnExtent) {
  Manager manager;
  const HBITMAP picture = MakeSolidArgbBitmap(32, 32, 0xFF0000FF);
  CImageManagerIconImage image(picture);
  ASSERT_TRUE(manager->SetIcon(image, 5, {16, 16}, kImageNormal));
  CImageManagerIcon* icon = manager->GetIconSet(5)->GetIcon(16, false);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->GetWidth(), 32);
  EXPECT_EQ(icon->GetHeight(), 32);
  EXPECT_TRUE(icon->IsAlpha());
  Surface s(40, 40);
  icon->Draw(s.dc(), {0, 0}, {0, 0});
  EXPECT_EQ(s.Pixel(31, 31), RGB(0, 0, 255));
  EXPECT_EQ(s.Pixel(32, 32), RGB(255, 255, 255));
  ::DeleteObject(picture);
}

TEST(ImageManager, ProportionalHeightAndZeroWidthIcon) {
  const HBITMAP picture = MakeSolidArgbBitmap(32, 16, 0xFF00FF00);
  CImageManagerIconImage image(picture);
  CImageManagerIcon* icon = new CImageManagerIcon(1, 32, nullptr);
  ASSERT_TRUE(icon->SetIcon(image));
  Surface s(40, 40);
  icon->Draw(s.dc(), {0, 0}, {16, 0});
  EXPECT_EQ(s.Pixel(15, 7), RGB(0, 255, 0));
  EXPECT_EQ(s.Pixel(15, 8), RGB(255, 255, 255));
  EXPECT_EQ(s.Pixel(16, 0), RGB(255, 255, 255));
  icon->InternalRelease();
  CImageManagerIcon* blank = new CImageManagerIcon(2, 0, nullptr);
  blank->Draw(s.dc(), {0, 0}, {16, 0});  // no width to scale by: nothing, and no fault
  blank->InternalRelease();
  ::DeleteObject(picture);
}

TEST(ImageStrips, SlotsAreSharedReusedLastFreedFirstAndReleased) {
  Manager manager;
  const GdiCounts before = GdiCounts::Now();
  const HBITMAP picture = MakeSolidArgbBitmap(16, 16, 0x80FF0000);
  CImageManagerIconImage source(picture);
  CImageManagerIconImage a, b, c, d;
  for (CImageManagerIconImage* image : {&a, &b, &c, &d}) image->SetManager(manager.m);
  ASSERT_TRUE(a.CopyHandle(source));
  ASSERT_TRUE(b.CopyHandle(source));
  CImageManagerResource* strip = manager->GetImageResource(16, 16);
  EXPECT_EQ(strip->UsedWidth(), 32);
  EXPECT_TRUE(a.GetSlot()->alpha);
  a.Clear();
  EXPECT_EQ(strip->UsedWidth(), 32);
  EXPECT_EQ(strip->FreeSlotCount(), 1u);
  ASSERT_TRUE(c.CopyHandle(source));
  EXPECT_EQ(c.GetSlot()->rect.left, 0);
  EXPECT_EQ(strip->UsedWidth(), 32);
  ASSERT_TRUE(a.CopyHandle(source));
  ASSERT_TRUE(d.CopyHandle(source));  // slots at 32 and 48
  const LONG dLeft = d.GetSlot()->rect.left;
  c.Clear();
  d.Clear();
  ASSERT_TRUE(c.CopyHandle(source));
  EXPECT_EQ(c.GetSlot()->rect.left, dLeft);  // last freed, first reused
  for (CImageManagerIconImage* image : {&a, &b, &c, &d}) image->Clear();
  EXPECT_FALSE(strip->HasBitmaps());
  EXPECT_EQ(strip->UsedWidth(), 0);
  source.Clear();
  ::DeleteObject(picture);
  EXPECT_EQ(fw::UniqueBitmap::LiveCount(), before.bitmaps);
}

TEST(ImageStrips, ThousandIconsHoldOneStripPairAndOneContext) {
  const HICON icon = MakeIcon(16, 16, RGB(0, 0, 255), 0, true);
  const GdiCounts before = GdiCounts::Now();
  Manager manager;
  CImageManagerIconImage image(icon, true);
  for (UINT id = 1; id <= 1000; ++id) ASSERT_TRUE(manager->SetIcon(image, id, {16, 16}, kImageNormal)) << id;
  const GdiCounts filled = GdiCounts::Now();
  EXPECT_EQ(filled.bitmaps, before.bitmaps + 2);
  EXPECT_EQ(filled.memoryDCs, before.memoryDCs + 1);
  EXPECT_EQ(filled.icons, before.icons);
  EXPECT_EQ(manager->ImageResourceCount(), 1u);
  EXPECT_EQ(manager->GetImageResource(16, 16)->UsedWidth(), 16000);

  Surface s(32, 16, RGB(255, 255, 255));
  manager->GetImage(1000, 16)->Draw(s.dc(), {0, 0});
  EXPECT_EQ(s.Pixel(2, 2), RGB(0, 0, 255));
  EXPECT_EQ(s.Pixel(12, 2), RGB(255, 255, 255));  // masked half stays transparent

  CImageManagerResource* strip = manager->GetImageResource(16, 16);
  for (UINT id = 1; id <= 1000; ++id) manager->GetImage(id, 16)->GetIcon().Clear();
  EXPECT_FALSE(strip->HasBitmaps());
  EXPECT_EQ(fw::UniqueBitmap::LiveCount(), before.bitmaps);
  manager->RemoveAll();
  EXPECT_EQ(manager->ImageResourceCount(), 0u);
  EXPECT_EQ(GdiCounts::Now(), before);
  ::DestroyIcon(icon);
}

TEST(ImageStrips, IconAlphaDetectionFollowsCommonControlsVersion) {
  const HICON alphaIcon = MakeIcon(16, 16, RGB(0, 255, 0), 128, false);
  const HICON flatIcon = MakeIcon(16, 16, RGB(0, 255, 0), 0, false);
  Manager manager;
  CImageManagerIconImage withAlpha(alphaIcon, true), flat(flatIcon, true), target;
  target.SetManager(manager.m);
  {
    test::ScopedCommonControlsVersion v6(0x00060000);
    ASSERT_TRUE(target.CopyHandle(withAlpha));
    EXPECT_TRUE(target.IsAlpha());
    ASSERT_TRUE(target.CopyHandle(flat));
    EXPECT_FALSE(target.IsAlpha());
  }
  {
    // Wine's answer without a manifest; on Windows 5.8x icons never carry alpha.
    test::ScopedCommonControlsVersion v581(0x00050051);
    ASSERT_TRUE(target.CopyHandle(withAlpha));
    EXPECT_FALSE(target.IsAlpha());
  }
  ::DestroyIcon(alphaIcon);
  ::DestroyIcon(flatIcon);
}

TEST(ImageStrips, OnlyThirtyTwoBitBitmapsAreAlphaPictures) {
  const GdiCounts before = GdiCounts::Now();
  const HBITMAP mono = ::CreateBitmap(16, 16, 1, 1, nullptr);
  Manager manager;
  CImageManagerIconImage image(mono), target;
  EXPECT_EQ(image.PreMultiply(), nullptr);
  target.SetManager(manager.m);
  EXPECT_FALSE(target.CopyHandle(image));
  EXPECT_EQ(manager->ImageResourceCount(), 0u);
  EXPECT_FALSE(manager->SetIcon(image, 1, {16, 16}, kImageNormal));
  EXPECT_EQ(manager->IconSetCount(), 0u);
  Surface s(16, 16, RGB(9, 9, 9));
  image.Draw(s.dc(), {0, 0}, {16, 16});
  EXPECT_EQ(s.Pixel(3, 3), RGB(9, 9, 9));
  ::DeleteObject(mono);
  EXPECT_EQ(GdiCounts::Now(), before);
}

TEST(ImageDisabled, GreyModeOnAlphaPixels) {
  Manager manager;
  // Top-down rows: white, black, mid-grey, half-transparent red.
  std::vector<std::uint32_t> argb;
  for (std::uint32_t v : {0xFFFFFFFFu, 0xFF000000u, 0xFF808080u, 0x80FF0000u}) argb.insert(argb.end(), 4, v);
  const HBITMAP picture = testing::MakeArgbBitmap(4, 4, argb);
  CImageManagerIconImage image(picture);
  ASSERT_TRUE(manager->SetIcon(image, 1, {4, 4}, kImageNormal));
  CImageManagerIcon* icon = manager->GetImage(1, 4);
  CImageManagerIconImage& disabled = icon->GetDisabledIcon(true);
  ASSERT_FALSE(disabled.IsEmpty());
  EXPECT_NE(disabled.GetSlot(), nullptr);  // packed like any other picture
  const std::vector<std::uint32_t> px = PixelsOf(disabled);
  ASSERT_EQ(px.size(), 16u);
  EXPECT_EQ(px[12], 0xFFFFFFFFu);  // bottom-up: row 3 of memory is the top row
  EXPECT_EQ(px[8], 0xFF000000u);
  EXPECT_EQ(px[4], 0xFFB4B4B4u);
  EXPECT_EQ(px[0], 0x80454545u);
  EXPECT_EQ(&icon->GetDisabledIcon(true), &disabled);  // cached
  CImageManagerIconImage again(picture);
  ASSERT_TRUE(icon->SetHotIcon(again));
  EXPECT_TRUE(icon->GetDisabledIcon(false).IsEmpty());  // cleared by the change
  ::DeleteObject(picture);
}

TEST(ImageDisabled, ColourModeAndClassicIcons) {
  const HICON classic = MakeIcon(8, 8, RGB(128, 128, 128), 0, true);
  CImageManagerIcon* icon = new CImageManagerIcon(1, 8, nullptr);
  CImageManagerIconImage image(classic, true);
  ASSERT_TRUE(icon->SetIcon(image));
  ASSERT_TRUE(icon->CreateDisabledIcon(RGB(255, 255, 255), RGB(0, 0, 0)));
  Surface s(8, 8, RGB(255, 0, 0));
  icon->Draw(s.dc(), {0, 0}, icon->GetDisabledIcon(false), {8, 8});
  EXPECT_EQ(s.Pixel(1, 1), RGB(128, 128, 128));  // luminance 128/255 between black and white
  EXPECT_EQ(s.Pixel(6, 1), RGB(255, 0, 0));      // transparent part untouched
  icon->InternalRelease();

  CImageManagerIcon* grey = new CImageManagerIcon(2, 8, nullptr);
  ASSERT_TRUE(grey->SetIcon(image));
  s.Fill(RGB(255, 0, 0));
  grey->Draw(s.dc(), {0, 0}, grey->GetDisabledIcon(true), {8, 8});
  EXPECT_EQ(s.Pixel(1, 1), RGB(180, 180, 180));
  grey->InternalRelease();
  ::DestroyIcon(classic);
}

TEST(ImageDrawing, AlphaPictureAboveTheTopIsCut) {
  std::vector<std::uint32_t> argb;
  for (int row = 0; row < 8; ++row) argb.insert(argb.end(), 8, 0xFF000000u | static_cast<std::uint32_t>(row * 30));
  const HBITMAP picture = testing::MakeArgbBitmap(8, 8, argb);
  CImageManagerIconImage image(picture);
  Surface s(8, 8, RGB(255, 255, 255));
  image.Draw(s.dc(), {0, -5}, {8, 8});
  EXPECT_EQ(s.Pixel(0, 0), RGB(0, 0, 150));
  EXPECT_EQ(s.Pixel(0, 2), RGB(0, 0, 210));
  EXPECT_EQ(s.Pixel(0, 3), RGB(255, 255, 255));
  s.Fill(RGB(255, 255, 255));
  const std::uint32_t blank = s.Hash();
  image.Draw(s.dc(), {0, -8}, {8, 8});
  EXPECT_EQ(s.Hash(), blank);
  ::DeleteObject(picture);
}

TEST(ImageDrawing, RightToLeftContextsDrawIconsUnmirrored) {
  const HICON icon = MakeIcon(8, 8, RGB(0, 0, 255), 0, true);  // left half opaque
  CImageManagerIconImage image(icon, true);
  Surface s(20, 8, RGB(255, 255, 255));
  drawing::SetLayout(s.dc(), LAYOUT_RTL);
  image.Draw(s.dc(), {0, 0}, {8, 8});
  // Logical 0..8 is physical 12..20; the opaque half keeps to the logical left.
  int blue = 0;
  for (int x = 0; x < 20; ++x) blue += s.Pixel(x, 4) == RGB(0, 0, 255);
  EXPECT_EQ(blue, 4);
  EXPECT_EQ(s.Pixel(5, 4), RGB(255, 255, 255));
  ::DestroyIcon(icon);
}

// Both blend paths on the same premultiplied input agree within one unit.
TEST(AlphaBlending, PlatformAndEmulationAgree) {
  ASSERT_NE(GetDrawHelpers().AlphaBlendEntry(), nullptr);
  std::vector<std::uint32_t> argb;
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x) {
      const std::uint32_t a = static_cast<std::uint32_t>((x * 7 + y * 11) % 256);
      const std::uint32_t r = (x * 13) % 256 * a / 255, g = (y * 17) % 256 * a / 255, b = (x * y) % 256 * a / 255;
      argb.push_back((a << 24) | (r << 16) | (g << 8) | b);
    }
  const HBITMAP picture = testing::MakeArgbBitmap(37, 23, argb);
  const HDC source = ::CreateCompatibleDC(nullptr);
  const HGDIOBJ old = ::SelectObject(source, picture);
  auto paint = [&](Surface& s, const RECT& dest, const RECT& src) {
    const RECT all{0, 0, 40, 30};
    GetDrawHelpers().FillGradient(s.dc(), &all, RGB(250, 10, 90), RGB(5, 200, 255), true);
    BlendAlphaBitmap(s.dc(), dest, source, src);
  };
  for (const auto& [dest, src] : {std::pair<RECT, RECT>{{1, 2, 38, 25}, {0, 0, 37, 23}},
                                  std::pair<RECT, RECT>{{3, 3, 20, 13}, {5, 4, 22, 14}}}) {
    Surface platform(40, 30), emulated(40, 30);
    paint(platform, dest, src);
    {
      test::ScopedAbsentEntry noAlphaBlend(OptionalEntry::AlphaBlend);
      paint(emulated, dest, src);
    }
    int worst = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x)
        worst = std::max(worst, testing::MaxChannelDifference(platform.Pixel(x, y), emulated.Pixel(x, y)));
    EXPECT_LE(worst, 1);
    EXPECT_NE(platform.Pixel(20, 10), RGB(255, 255, 255));
  }
  // The emulation through temporary bitmaps (a clip of several rectangles) gives the
  // same pixels as the one straight through DIB memory.
  Surface throughMemory(40, 30, RGB(255, 255, 255), true), throughBitmaps(40, 30);
  ::ExcludeClipRect(throughBitmaps.dc(), 39, 29, 40, 30);
  for (Surface* s : {&throughMemory, &throughBitmaps}) {
    test::ScopedAbsentEntry noAlphaBlend(OptionalEntry::AlphaBlend);
    test::ScopedAbsentEntry noGradientFill(OptionalEntry::GradientFill);  // the same bands under either clip
    paint(*s, {1, 2, 38, 25}, {0, 0, 37, 23});
  }
  for (int y = 0; y < 29; ++y)
    for (int x = 0; x < 39; ++x) ASSERT_EQ(throughMemory.Row(y)[x], throughBitmaps.Row(y)[x]) << x << "," << y;
  // Before Windows 2000 an offset source goes to the emulation as well.
  Surface old2000(40, 30), reference(40, 30);
  {
    test::ScopedOsVersion nt4(2, 4, 0);
    paint(old2000, {3, 3, 20, 13}, {5, 4, 22, 14});
  }
  {
    test::ScopedAbsentEntry noAlphaBlend(OptionalEntry::AlphaBlend);
    paint(reference, {3, 3, 20, 13}, {5, 4, 22, 14});
  }
  EXPECT_EQ(old2000.Hash(), reference.Hash());
  // Windows 95/98 blend right-to-left destinations by emulation, mirrored row by row.
  Surface on9x(40, 30), emulatedRtl(40, 30);
  for (Surface* s : {&on9x, &emulatedRtl}) drawing::SetLayout(s->dc(), LAYOUT_RTL);
  {
    test::ScopedOsVersion windows98(1, 4, 10);
    paint(on9x, {1, 2, 38, 25}, {0, 0, 37, 23});
  }
  {
    test::ScopedAbsentEntry noAlphaBlend(OptionalEntry::AlphaBlend);
    test::ScopedAbsentEntry noGradientFill(OptionalEntry::GradientFill);  // the 9x background
    paint(emulatedRtl, {1, 2, 38, 25}, {0, 0, 37, 23});
  }
  EXPECT_EQ(on9x.Hash(), emulatedRtl.Hash());
  ::SelectObject(source, old);
  ::DeleteDC(source);
  ::DeleteObject(picture);
}

// Every GDI creation of an operation is made to fail in turn: the operation reports
// failure, the containers stay as they were and nothing is left behind.
TEST(FailurePaths, RegistrationAndGrowth) {
  const HBITMAP picture = MakeSolidArgbBitmap(16, 16, 0xFF112233);
  const HICON icon = MakeIcon(16, 16, RGB(5, 6, 7), 0, true);
  for (bool useIcon : {false, true}) {
    for (int failAt = 0;; ++failAt) {
      const GdiCounts before = GdiCounts::Now();
      bool done = false;
      {
        Manager manager;
        CImageManagerIconImage image = useIcon ? CImageManagerIconImage(icon, true) : CImageManagerIconImage(picture);
        ASSERT_TRUE(manager->SetIcon(image, 1, {16, 16}, kImageNormal));
        const GdiCounts oneIcon = GdiCounts::Now();
        test::ScopedGdiFailure failure(failAt);
        const bool added = manager->SetIcon(image, 2, {16, 16}, kImageNormal);
        done = failure.Attempts() <= failAt;
        if (!done) {
          EXPECT_FALSE(added) << failAt;
          EXPECT_EQ(manager->IconSetCount(), 1u);
          EXPECT_EQ(manager->GetImageResource(16, 16)->UsedWidth(), 16);
          EXPECT_EQ(GdiCounts::Now(), oneIcon);
        }
      }
      EXPECT_EQ(GdiCounts::Now(), before) << failAt;
      if (done) {
        EXPECT_GE(failAt, 2) << "growth makes a colour and a mask strip";
        break;
      }
    }
  }
  ::DeleteObject(picture);
  ::DestroyIcon(icon);
}

TEST(FailurePaths, FirstRegistrationCopiesAndConversions) {
  const HBITMAP picture = MakeSolidArgbBitmap(16, 16, 0x80112233);
  const HICON icon = MakeIcon(16, 16, RGB(5, 6, 7), 0, true);
  for (int failAt = 0;; ++failAt) {
    const GdiCounts before = GdiCounts::Now();
    bool done = true;
    {
      Manager manager;
      CImageManagerIconImage alpha(picture), classic(icon, true), plain, fromSlot;
      test::ScopedGdiFailure failure(failAt);
      const bool registered = manager->SetIcon(alpha, 1, {16, 16}, kImageNormal);
      if (!registered) {
        EXPECT_EQ(manager->IconSetCount(), 0u);
        EXPECT_EQ(manager->ImageResourceCount(), 0u);
      }
      const bool copied = plain.CopyHandle(classic);
      EXPECT_EQ(copied, !plain.IsEmpty());
      if (registered) {
        CImageManagerIcon* i = manager->GetImage(1, 16);
        const bool disabled = i->CreateDisabledIcon();
        EXPECT_EQ(disabled, !i->GetDisabledIcon(false).IsEmpty());
        const bool back = fromSlot.CopyHandle(i->GetIcon());
        EXPECT_EQ(back, !fromSlot.IsEmpty());
        Surface s(16, 16);
        i->Draw(s.dc(), {0, 0});
      }
      done = failure.Attempts() <= failAt;
    }
    EXPECT_EQ(GdiCounts::Now(), before) << failAt;
    if (done) {
      EXPECT_GE(failAt, 8);
      break;
    }
  }
  ::DeleteObject(picture);
  ::DestroyIcon(icon);
}

}  // namespace
}  // namespace zandle::drawing
