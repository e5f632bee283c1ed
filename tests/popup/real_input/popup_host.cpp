// A host for driving a real popup with real input (xdotool): a focused main window owns
// one survey popup configured from the command line and prints one line per event to
// stdout, each with the focus and the popup's style, so a script can check what happened.
//
// Lines: "main ...", "workarea L T R B", "state N", "popup L T R B" (first time shown),
// "click ID", "moved L T R B", "hover H alpha A", "rect L T R B" (window moved or
// resized after being shown), "stall MS", "msg ..." (with --trace), "end REASON".
// Each line ends with "fg=F act=A topmost=T tool=W" (1/0; "-" once the popup is gone).
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>

#include "popup/popup_control.h"
#include "popup/popup_item.h"
#include "survey/survey_layout.h"

namespace {

using zandle::popup::CPopupControl;
using zandle::popup::CPopupItem;

struct Options {
  int animation = 1;
  unsigned showDelay = 3000;
  unsigned animationDelay = 500;
  int transparency = 200;
  bool allowMove = false;
  SIZE size{zandle::survey::kSurveyWidth, zandle::survey::kSurveyHeight};
  unsigned deadlineMs = 30000;
  bool exitOnClose = false;
  bool trace = false;  // also a line per mouse message of the popup
  // Sleeps once, when the pointer is first seen over the popup, so that the input
  // sent meanwhile piles up as on a busy machine.
  unsigned stallMs = 0;
};

constexpr UINT_PTR kDeadlineTimer = 1;
constexpr UINT_PTR kRectTimer = 2;
constexpr UINT kRectPollMs = 25;

Options g_options;
HWND g_main = nullptr;
CPopupControl* g_popup = nullptr;
WNDPROC g_popupProc = nullptr;
bool g_shown = false;
int g_lastHover = 0;
RECT g_lastRect{};

HWND PopupWindow() { return g_popup ? g_popup->GetSafeHwnd() : nullptr; }

const char* StyleFlag(DWORD exStyle, DWORD bit, HWND popup) {
  if (!popup) return "-";
  return (exStyle & bit) ? "1" : "0";
}

// One line with the focus and style suffix, flushed so the script sees it at once.
void Emit(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  const HWND popup = PopupWindow();
  const DWORD ex = popup ? static_cast<DWORD>(::GetWindowLongW(popup, GWL_EXSTYLE)) : 0;
  std::printf("%s fg=%d act=%d topmost=%s tool=%s\n", text, ::GetForegroundWindow() == g_main ? 1 : 0,
              ::GetActiveWindow() == g_main ? 1 : 0, StyleFlag(ex, WS_EX_TOPMOST, popup),
              StyleFlag(ex, WS_EX_TOOLWINDOW, popup));
  std::fflush(stdout);
}

void EmitRect(const char* what, const RECT& r) { Emit("%s %ld %ld %ld %ld", what, r.left, r.top, r.right, r.bottom); }

int LayeredAlpha(HWND window) {
  BYTE alpha = 0;
  DWORD flags = 0;
  COLORREF key = 0;
  if (!::GetLayeredWindowAttributes(window, &key, &alpha, &flags) || !(flags & LWA_ALPHA)) return -1;
  return alpha;
}

// Hover changes are read right after the popup handled the message that made them.
void ReportHover() {
  const HWND popup = PopupWindow();
  if (!popup) return;
  const int hovered = g_popup->IsHovered() ? 1 : 0;
  if (hovered == g_lastHover) return;
  g_lastHover = hovered;
  Emit("hover %d alpha %d", hovered, LayeredAlpha(popup));
  if (hovered && g_options.stallMs) {
    Emit("stall %u", g_options.stallMs);
    ::Sleep(g_options.stallMs);
    g_options.stallMs = 0;
  }
}

const char* MouseMessageName(UINT message) {
  switch (message) {
    case WM_MOUSEMOVE: return "move";
    case WM_MOUSELEAVE: return "leave";
    case WM_LBUTTONDOWN: return "down";
    case WM_LBUTTONUP: return "up";
    case WM_CAPTURECHANGED: return "capture-changed";
    default: return nullptr;
  }
}

void Trace(UINT message, LPARAM lParam) {
  const char* name = MouseMessageName(message);
  if (!name) return;
  POINT cursor{};
  ::GetCursorPos(&cursor);
  Emit("msg %s %d %d cursor %ld %ld tick %lu", name, static_cast<short>(LOWORD(lParam)),
       static_cast<short>(HIWORD(lParam)), cursor.x, cursor.y, ::GetTickCount());
}

LRESULT CALLBACK PopupSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_options.trace) Trace(message, lParam);
  const LRESULT result = ::CallWindowProcW(g_popupProc, hwnd, message, wParam, lParam);
  ReportHover();
  return result;
}

void PollRect() {
  const HWND popup = PopupWindow();
  if (!g_shown || !popup) return;
  RECT r{};
  ::GetWindowRect(popup, &r);
  if (::EqualRect(&r, &g_lastRect)) return;
  g_lastRect = r;
  EmitRect("rect", r);
}

void Finish(const char* reason) {
  Emit("end %s", reason);
  ::DestroyWindow(g_main);
}

void OnPopupNotify(WPARAM code, LPARAM data) {
  switch (code) {
    case zandle::popup::ItemClicked:
      Emit("click %d", reinterpret_cast<CPopupItem*>(data)->id);
      break;
    case zandle::popup::StateChanged: {
      auto* popup = reinterpret_cast<CPopupControl*>(data);
      const int state = popup->GetPopupState();
      Emit("state %d", state);
      if (state == 2 && !g_shown) {
        g_shown = true;
        ::GetWindowRect(popup->GetSafeHwnd(), &g_lastRect);
        EmitRect("popup", g_lastRect);
      }
      if (state == 0) {
        // As the survey host does: the closed popup is destroyed inside its notification.
        delete popup;
        g_popup = nullptr;
        if (g_options.exitOnClose) ::PostMessageW(g_main, WM_CLOSE, 0, 0);
      }
      break;
    }
    case zandle::popup::PositionChanged: {
      RECT r{};
      ::GetWindowRect(reinterpret_cast<CPopupControl*>(data)->GetSafeHwnd(), &r);
      EmitRect("moved", r);
      break;
    }
    default:
      Emit("notify %u", static_cast<unsigned>(code));
  }
}

LRESULT CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case zandle::popup::PopupNotifyMessage:
      OnPopupNotify(wParam, lParam);
      return 0;
    case WM_TIMER:
      if (wParam == kRectTimer) PollRect();
      if (wParam == kDeadlineTimer) Finish("deadline");
      return 0;
    case WM_CLOSE:
      Finish("closed");
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    auto number = [&](auto& out) {
      if (!value) return false;
      out = static_cast<std::remove_reference_t<decltype(out)>>(std::strtol(value, nullptr, 10));
      ++i;
      return true;
    };
    bool ok = true;
    if (flag == "--anim") ok = number(options.animation);
    else if (flag == "--show-delay") ok = number(options.showDelay);
    else if (flag == "--anim-delay") ok = number(options.animationDelay);
    else if (flag == "--transparency") ok = number(options.transparency);
    else if (flag == "--deadline") ok = number(options.deadlineMs);
    else if (flag == "--stall-on-hover") ok = number(options.stallMs);
    else if (flag == "--move") {
      int move = 0;
      ok = number(move);
      options.allowMove = move != 0;
    } else if (flag == "--size") {
      ok = value && std::sscanf(value, "%ldx%ld", &options.size.cx, &options.size.cy) == 2;
      ++i;
    } else if (flag == "--exit-on-close") {
      options.exitOnClose = true;
    } else if (flag == "--trace") {
      options.trace = true;
    } else {
      ok = false;
    }
    if (!ok) {
      std::fprintf(stderr, "bad option %s\n", flag.c_str());
      return false;
    }
  }
  return true;
}

HWND CreateMainWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = MainProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"PopupRealHostWindow";
  if (!::RegisterClassW(&wc)) return nullptr;
  return ::CreateWindowExW(0, wc.lpszClassName, L"PopupRealHost", WS_OVERLAPPEDWINDOW, 100, 100, 400, 300, nullptr,
                           nullptr, wc.hInstance, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // plain \n lines for the script
  if (!ParseOptions(argc, argv, g_options)) return 2;
  g_main = CreateMainWindow();
  if (!g_main) return 3;
  ::ShowWindow(g_main, SW_SHOW);
  ::UpdateWindow(g_main);
  ::SetForegroundWindow(g_main);
  ::SetFocus(g_main);

  RECT area{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  RECT mainRect{};
  ::GetWindowRect(g_main, &mainRect);
  EmitRect("main", mainRect);
  EmitRect("workarea", area);

  g_popup = new CPopupControl;
  g_popup->SetAnimation(g_options.animation);
  g_popup->SetShowDelay(g_options.showDelay);
  g_popup->SetAnimationDelay(g_options.animationDelay);
  g_popup->SetTransparency(g_options.transparency);
  g_popup->SetPopupSize(g_options.size);
  g_popup->AllowMove(g_options.allowMove ? TRUE : FALSE);
  zandle::survey::LayoutSurvey(*g_popup, L"PopupRealHost-real input", L"about:blank");
  // Created first so that the hover watch sees the very first mouse message.
  if (!g_popup->Create(g_main)) return 4;
  g_popupProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
      g_popup->GetSafeHwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PopupSubclass)));
  if (!g_popup->Show(g_main)) return 5;

  ::SetTimer(g_main, kRectTimer, kRectPollMs, nullptr);
  ::SetTimer(g_main, kDeadlineTimer, g_options.deadlineMs, nullptr);
  MSG msg{};
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  delete g_popup;  // still open at the deadline: closed without notifying
  g_popup = nullptr;
  return 0;
}
