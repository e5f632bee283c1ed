// A stand-in for UXTHEME.DLL with answers set by the test, and a module whose text
// resource differs from Zandle.dll's.
#include <windows.h>

#include <cwchar>

namespace {

struct FakeTheme {
  BOOL active = TRUE;
  HRESULT nameResult = S_OK;
  wchar_t fileName[260] = L"C:\\WINDOWS\\resources\\Themes\\Luna\\Luna.msstyles";
  wchar_t colorName[260] = L"NormalColor";
  LONG opened = 0;
  LONG closed = 0;
  LONG calls = 0;
  int themeToken = 0;
};
FakeTheme fake;

}  // namespace

extern "C" {

__declspec(dllexport) void __stdcall FakeThemeConfigure(BOOL active, HRESULT nameResult, const wchar_t* fileName,
                                                        const wchar_t* colorName) {
  fake.active = active;
  fake.nameResult = nameResult;
  std::wcsncpy(fake.fileName, fileName ? fileName : L"", 259);
  std::wcsncpy(fake.colorName, colorName ? colorName : L"", 259);
}

// Counters: 0 opened, 1 closed, 2 all calls.
__declspec(dllexport) LONG __stdcall FakeThemeCalls(int which) {
  return which == 0 ? fake.opened : which == 1 ? fake.closed : fake.calls;
}

__declspec(dllexport) HANDLE __stdcall OpenThemeData(HWND, LPCWSTR) {
  ++fake.calls;
  ++fake.opened;
  return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x1000 + ++fake.themeToken));
}

__declspec(dllexport) HRESULT __stdcall CloseThemeData(HANDLE) {
  ++fake.calls;
  ++fake.closed;
  return S_OK;
}

__declspec(dllexport) HRESULT __stdcall DrawThemeBackground(HANDLE, HDC, int, int, const RECT*, const RECT*) {
  ++fake.calls;
  return S_OK;
}

__declspec(dllexport) HRESULT __stdcall GetThemeColor(HANDLE theme, int, int, int, COLORREF* color) {
  ++fake.calls;
  if (color) *color = static_cast<COLORREF>(reinterpret_cast<INT_PTR>(theme));
  return S_OK;
}

__declspec(dllexport) HRESULT __stdcall GetThemePartSize(HANDLE, HDC, int, int, const RECT*, int, SIZE* size) {
  ++fake.calls;
  if (size) *size = {13, 13};
  return S_OK;
}

__declspec(dllexport) HRESULT __stdcall GetCurrentThemeName(LPWSTR file, int fileLength, LPWSTR color,
                                                            int colorLength, LPWSTR size, int sizeLength) {
  ++fake.calls;
  if (FAILED(fake.nameResult)) return fake.nameResult;
  if (file && fileLength > 0) std::wcsncpy(file, fake.fileName, fileLength);
  if (color && colorLength > 0) std::wcsncpy(color, fake.colorName, colorLength);
  if (size && sizeLength > 0) size[0] = L'\0';
  return S_OK;
}

__declspec(dllexport) BOOL __stdcall IsAppThemed() {
  ++fake.calls;
  return TRUE;
}

__declspec(dllexport) BOOL __stdcall IsThemeActive() {
  ++fake.calls;
  return fake.active;
}

}  // extern "C"
