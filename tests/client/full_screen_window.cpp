// Another process's full-screen window, as a presentation or a game shows one: covers
// the primary monitor, takes the foreground, and ends when it is closed.
#include <windows.h>

namespace {

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int main() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = Proc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = L"ZandleTestFullScreen";
  if (!::RegisterClassW(&windowClass)) return 1;
  const HWND window = ::CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName, L"Presentation",
                                        WS_POPUP | WS_VISIBLE, 0, 0, ::GetSystemMetrics(SM_CXSCREEN),
                                        ::GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, windowClass.hInstance,
                                        nullptr);
  if (!window) return 1;
  ::SetForegroundWindow(window);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  return 0;
}
