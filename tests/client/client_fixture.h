// A fresh library and a loopback service for each test.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "loopback_server.h"
#include "zandle_dll.h"

namespace zandle::test {

inline constexpr char kPathPrefix[] = "/WriteLogWeb/WriteLogWeb.asmx/";

// The first top-level window of this thread with the class name; other processes on
// the display (tests run side by side) have windows of the same classes.
struct WindowSearch {
  const wchar_t* className;
  HWND found;
};

inline BOOL CALLBACK MatchClass(HWND hwnd, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  wchar_t cls[64] = {};
  GetClassNameW(hwnd, cls, 64);
  if (std::wstring(cls) != search->className) return TRUE;
  search->found = hwnd;
  return FALSE;
}

inline HWND WindowOfThisThread(const wchar_t* className) {
  WindowSearch search{className, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchClass, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The survey popup of this thread, and a click on it as the user would make one.
inline HWND SurveyPopup() { return WindowOfThisThread(L"ZandlePopupWindow"); }

inline void ClickAt(HWND popup, int x, int y) {
  SendMessageW(popup, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  SendMessageW(popup, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageW(popup, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

class ClientTest : public ::testing::Test {
 protected:
  void SetUp() override { dll.SetServerW(server.Address().c_str(), 0); }

  // Names the tool without leaving a request behind.
  void NameTool(const char* model = "Tool", const char* version = "1.0", int uin = 7) {
    ASSERT_NE(dll.getAppInfoA(uin, model, version), nullptr);
    server.ClearRequests();
  }

  HttpRequest OnlyRequest() {
    const auto requests = server.Requests();
    EXPECT_EQ(requests.size(), 1u);
    return requests.empty() ? HttpRequest{} : requests.front();
  }

  LoopbackServer server;
  ZandleDll dll;
};

}  // namespace zandle::test
