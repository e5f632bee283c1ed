// A host that loads a module, lets it show popups, and frees it on the same thread while
// they are on screen and animating: no popup window and no class of the freed module may
// remain, the host's message loop must go on as if nothing had been there, and windows
// of another module's class of the same name must stay.
// The popup objects themselves leak (the host never deleted them); that is accepted.
#include <gtest/gtest.h>
#include <windows.h>

#include <cwchar>
#include <vector>
#include "../popup_windows.h"

namespace {

using zandle::popup::testing::PopupWindowsOfThisProcess;

constexpr wchar_t kModule[] = L"popup_test_module.dll";
constexpr const wchar_t* kPopupClass = zandle::popup::testing::kPopupWindowClass;
constexpr UINT kPopupNotifyMessage = 0x274D;
constexpr int kPopups = 8;
constexpr UINT_PTR kTimerIds[] = {296, 297, 304};

using ShowPopupsFn = int(__stdcall*)(HWND, int);
using PopupCountFn = int(__stdcall*)();
using PopupStateFn = int(__stdcall*)(int);

template <typename Fn>
Fn Export(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// The host's window: owner of the popups, counting their notifications.
class Host {
 public:
  Host() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Host::Procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ZandleUnloadHost";
    ::RegisterClassW(&windowClass);
    window_ = ::CreateWindowExW(0, windowClass.lpszClassName, L"host", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
  }
  ~Host() { ::DestroyWindow(window_); }
  HWND window() const { return window_; }
  static int notifications;

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kPopupNotifyMessage) {
      ++notifications;
      return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }
  HWND window_ = nullptr;
};
int Host::notifications = 0;

struct PopupWindow {
  HWND window;
  RECT rect;
};

BOOL CALLBACK CollectPopup(HWND window, LPARAM list) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  if (std::wcscmp(name, kPopupClass) == 0) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    reinterpret_cast<std::vector<PopupWindow>*>(list)->push_back({window, rect});
  }
  return TRUE;
}

std::vector<PopupWindow> PopupWindowsOfThisThread() {
  std::vector<PopupWindow> windows;
  ::EnumThreadWindows(::GetCurrentThreadId(), &CollectPopup, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// Runs the message loop for `ms`; with `spots`, the cursor visits their centres in turn,
// so that any window still there would get mouse moves, leaves and timers.
void RunLoop(int ms, const std::vector<PopupWindow>& spots = {}) {
  const DWORD end = ::GetTickCount() + static_cast<DWORD>(ms);
  size_t next = 0;
  while (static_cast<int>(end - ::GetTickCount()) > 0) {
    if (!spots.empty()) {
      const RECT& r = spots[next++ % spots.size()].rect;
      ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

// A window of the host's own class of the same name, as a host with its own copy of the
// popup code would have.
class HostPopup {
 public:
  explicit HostPopup(HWND owner) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kPopupClass;
    ::RegisterClassW(&windowClass);
    window_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, kPopupClass, L"", WS_POPUP, 0, 0, 10, 10, owner, nullptr,
                                windowClass.hInstance, nullptr);
  }
  ~HostPopup() {
    ::DestroyWindow(window_);
    ::UnregisterClassW(kPopupClass, ::GetModuleHandleW(nullptr));
  }
  HWND window() const { return window_; }

 private:
  HWND window_ = nullptr;
};

TEST(PopupUnload, FreeingTheModuleLeavesOtherModulesPopupsOfTheSameName) {
  Host host;
  HostPopup own(host.window());
  ASSERT_TRUE(own.window());
  const HMODULE module = ::LoadLibraryW(kModule);
  ASSERT_TRUE(module);
  const auto show = Export<ShowPopupsFn>(module, "ShowPopups");
  ASSERT_TRUE(show);
  EXPECT_EQ(show(host.window(), 2), 2);
  ASSERT_TRUE(::FreeLibrary(module));
  EXPECT_TRUE(::IsWindow(own.window())) << "the freed module destroyed a window of the host's class";
  EXPECT_EQ(PopupWindowsOfThisThread().size(), 1u);
}

TEST(PopupUnload, FreeLibraryWithPopupsOnScreenLeavesNoWindowNorClass) {
  Host host;
  ASSERT_TRUE(host.window());
  ::SetCursorPos(1279, 0);  // away from the popups until the module is gone
  for (int round = 0; round < 2; ++round) {  // the second load must register the class anew
    SCOPED_TRACE(round == 0 ? "first load" : "reload");
    const HMODULE module = ::LoadLibraryW(kModule);
    ASSERT_TRUE(module);
    const auto show = Export<ShowPopupsFn>(module, "ShowPopups");
    const auto count = Export<PopupCountFn>(module, "PopupCount");
    const auto state = Export<PopupStateFn>(module, "PopupState");
    ASSERT_TRUE(show && count && state);

    ASSERT_EQ(show(host.window(), kPopups), kPopups);
    RunLoop(150);  // real timers: the fades and the slide are part way
    EXPECT_EQ(count(), kPopups);
    int animating = 0;
    for (int i = 0; i < kPopups; ++i) animating += state(i) == 1;  // a reloaded module starts a new list
    EXPECT_GE(animating, kPopups / 2) << "the long fades and slides are still expanding";
    const std::vector<PopupWindow> shown = PopupWindowsOfThisThread();
    EXPECT_EQ(static_cast<int>(shown.size()), kPopups);
    EXPECT_EQ(PopupWindowsOfThisProcess(), kPopups);
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    EXPECT_TRUE(::GetClassInfoExW(module, kPopupClass, &info));

    const int notificationsBefore = Host::notifications;
    ASSERT_TRUE(::FreeLibrary(module));
    ASSERT_EQ(::GetModuleHandleW(kModule), nullptr) << "the module must really be gone for this test";

    EXPECT_TRUE(PopupWindowsOfThisThread().empty());
    EXPECT_EQ(PopupWindowsOfThisProcess(), 0);
    info = WNDCLASSEXW{};
    info.cbSize = sizeof(info);
    EXPECT_FALSE(::GetClassInfoExW(module, kPopupClass, &info)) << "the freed module's class is still registered";
    for (const PopupWindow& popup : shown) {
      EXPECT_FALSE(::IsWindow(popup.window));
      // Straight to the old handles: must reach nothing.
      for (UINT_PTR id : kTimerIds) ::SendMessageW(popup.window, WM_TIMER, id, 0);
      ::SendMessageW(popup.window, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    }
    RunLoop(700, shown);  // past the preset fade and some of its show delay

    EXPECT_TRUE(::IsWindow(host.window()));
    EXPECT_EQ(::SendMessageW(host.window(), WM_NULL, 0, 0), 0);
    EXPECT_EQ(Host::notifications, notificationsBefore) << "a popup spoke after its module was freed";
    EXPECT_TRUE(PopupWindowsOfThisThread().empty());
    ::SetCursorPos(1279, 0);
  }
}

}  // namespace
