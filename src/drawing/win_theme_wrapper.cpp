#include "drawing/win_theme_wrapper.h"

#include "drawing/entry_points.h"

namespace zandle::drawing {
namespace {

using OpenThemeDataFn = HANDLE(WINAPI*)(HWND, LPCWSTR);
using CloseThemeDataFn = HRESULT(WINAPI*)(HANDLE);
using DrawThemeBackgroundFn = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, const RECT*);
using GetThemeColorFn = HRESULT(WINAPI*)(HANDLE, int, int, int, COLORREF*);
using GetThemePartSizeFn = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, int, SIZE*);
using GetCurrentThemeNameFn = HRESULT(WINAPI*)(LPWSTR, int, LPWSTR, int, LPWSTR, int);
using BoolFn = BOOL(WINAPI*)();

template <typename Fn>
Fn Entry(VisualStylesEntry entry) noexcept {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(VisualStylesEntryPoint(entry)));
}

// The entry point, or `failure` when UXTHEME.DLL lacks it.
template <typename Result, typename Fn, typename... Args>
Result CallOr(Result failure, Fn fn, Args... args) noexcept {
  return fn ? fn(args...) : failure;
}

}  // namespace

void CloseVisualStyles(HANDLE theme) noexcept {
  CallOr<HRESULT>(E_FAIL, Entry<CloseThemeDataFn>(VisualStylesEntry::CloseThemeData), theme);
}

void CWinThemeWrapper::OpenThemeData(HWND window, const wchar_t* classList) noexcept {
  CloseThemeData();
  RecheckVisualStylesModule();
  const HANDLE theme = CallOr<HANDLE>(nullptr, Entry<OpenThemeDataFn>(VisualStylesEntry::OpenThemeData), window,
                                      classList);
  themeHandle_.reset(theme);
}

HRESULT CWinThemeWrapper::DrawThemeBackground(HDC hdc, int part, int state, const RECT* rect,
                                              const RECT* clipRect) noexcept {
  return CallOr<HRESULT>(E_FAIL, Entry<DrawThemeBackgroundFn>(VisualStylesEntry::DrawThemeBackground),
                         themeHandle_.get(), hdc, part, state, rect, clipRect);
}

HRESULT CWinThemeWrapper::GetThemeColor(int part, int state, int property, COLORREF* outColor) noexcept {
  return CallOr<HRESULT>(E_FAIL, Entry<GetThemeColorFn>(VisualStylesEntry::GetThemeColor), themeHandle_.get(),
                         part, state, property, outColor);
}

HRESULT CWinThemeWrapper::GetThemePartSize(HDC hdc, int part, int state, const RECT* rect, int sizeType,
                                           SIZE* outSize) noexcept {
  return CallOr<HRESULT>(E_FAIL, Entry<GetThemePartSizeFn>(VisualStylesEntry::GetThemePartSize),
                         themeHandle_.get(), hdc, part, state, rect, sizeType, outSize);
}

HRESULT CWinThemeWrapper::GetCurrentThemeName(wchar_t* fileName, int fileNameLength, wchar_t* colorName,
                                              int colorNameLength, wchar_t* sizeName, int sizeNameLength) noexcept {
  RecheckVisualStylesModule();
  return CallOr<HRESULT>(E_FAIL, Entry<GetCurrentThemeNameFn>(VisualStylesEntry::GetCurrentThemeName), fileName,
                         fileNameLength, colorName, colorNameLength, sizeName, sizeNameLength);
}

bool CWinThemeWrapper::IsAppThemed() noexcept {
  if (!themeHandle_) return false;
  return CallOr<BOOL>(FALSE, Entry<BoolFn>(VisualStylesEntry::IsAppThemed)) != FALSE;
}

bool CWinThemeWrapper::IsThemeActive() noexcept {
  if (!themeHandle_) RecheckVisualStylesModule();
  return CallOr<BOOL>(FALSE, Entry<BoolFn>(VisualStylesEntry::IsThemeActive)) != FALSE;
}

}  // namespace zandle::drawing
