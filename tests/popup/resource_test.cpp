#include <gtest/gtest.h>
#include <windows.h>

namespace {

// The pictures the survey layouts use, as Zandle.dll carries them.
TEST(ZandleResources, ImagesHaveTheirSizes) {
  const HMODULE dll = ::LoadLibraryExW(L"Zandle.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(dll, nullptr);
  const struct {
    int id, width, height;
  } bitmaps[] = {{141, 45, 14}, {145, 25, 25}, {147, 45, 18}, {150, 13, 13}, {160, 61, 16},
                 {161, 61, 16}, {162, 68, 15}, {300, 39, 13}, {301, 54, 18}};
  for (const auto& b : bitmaps) {
    const HBITMAP bitmap = ::LoadBitmapW(dll, MAKEINTRESOURCEW(b.id));
    ASSERT_NE(bitmap, nullptr) << b.id;
    BITMAP info{};
    ::GetObjectW(bitmap, sizeof(info), &info);
    EXPECT_EQ(info.bmWidth, b.width) << b.id;
    EXPECT_EQ(info.bmHeight, b.height) << b.id;
    ::DeleteObject(bitmap);
  }
  const struct {
    int id, size;
  } icons[] = {{140, 16}, {143, 16}, {144, 16}, {155, 32}, {156, 16}};
  for (const auto& i : icons) {
    const HICON icon = static_cast<HICON>(::LoadImageW(dll, MAKEINTRESOURCEW(i.id), IMAGE_ICON, i.size, i.size, 0));
    ASSERT_NE(icon, nullptr) << i.id;
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(icon, &info));
    BITMAP color{};
    ::GetObjectW(info.hbmColor, sizeof(color), &color);
    EXPECT_EQ(color.bmWidth, i.size) << i.id;
    EXPECT_EQ(color.bmHeight, i.size) << i.id;
    EXPECT_EQ(color.bmBitsPixel, 32) << i.id;
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    ::DestroyIcon(icon);
  }
  ::FreeLibrary(dll);
}

}  // namespace
