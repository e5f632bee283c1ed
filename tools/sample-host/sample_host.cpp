// Zandle sample tool: how a desktop tool reports its usage through Zandle.dll.
//
// This is the integration example for tool vendors. It is an ordinary Win32 window with
// two buttons:
//   "Log"   sends an informational log line (WriteLogW, level 2);
//   "Print" does the tool's (pretend) work, then asks the user how satisfied they are
//           with it (SatisfactionW). The library shows a small survey popup in the
//           corner of the screen; the rating the user clicks arrives later, through
//           this program's own message loop, in the int we handed over.
// Starting the tool names it to the service (getAppInfoW) and opens a session
// (UserEnterW); closing the window ends the session (UserLeave).
//
// What you need in your own tool:
//   - include "zandle.h" and link the import library (libZandle.dll.a for mingw,
//     Zandle.lib for MSVC); ship Zandle.dll beside your .exe;
//   - call everything from your UI thread, which must run a message loop (the popup's
//     animation, timers and clicks are messages of that thread);
//   - keep the int for the rating alive until the popup has closed (a member of your
//     main window object, or a static, as here).
// Which functions ask for a rating is decided on the service (its /config or
// dashboard), not in the tool: SatisfactionW shows nothing for any other function.
//
// Command line (all optional):
//   --server HOST:PORT   statistics service (default 127.0.0.1:8080)
//   --model NAME         this tool's name on the service (default SampleTool)
//   --version TEXT       this tool's version (default 1.0)
//   --function NAME      function name reported by "Print" (default Print)
//   --link URL           the survey's "more information" link
//   --uin N              the user's login UIN (default 0: the library finds it)
//   --exit-after SECONDS close by itself (for scripts, so they can never hang)
// Each event is also printed as one line on stdout ("ready", "level 2", "closed", ...),
// which is how the tests and tools/demo.sh follow it; a real tool does not need that.
#include <windows.h>
#include <shellapi.h>  // CommandLineToArgvW

#include <cstdlib>
#include <string>

#include "sample_output.h"
#include "zandle.h"

namespace {

// ---- Settings from the command line ------------------------------------------------
struct Settings {
  std::wstring server = L"127.0.0.1:8080";
  std::wstring model = L"SampleTool";
  std::wstring version = L"1.0";
  std::wstring function = L"Print";
  std::wstring surveyLink = L"https://example.com/sample-tool/survey";
  int uin = 0;
  int exitAfterSeconds = 0;  // 0: run until the user closes the window
};

Settings ReadCommandLine() {
  Settings settings;
  int count = 0;
  LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  for (int i = 1; args && i + 1 < count; i += 2) {
    const std::wstring name = args[i];
    const wchar_t* value = args[i + 1];
    if (name == L"--server") settings.server = value;
    else if (name == L"--model") settings.model = value;
    else if (name == L"--version") settings.version = value;
    else if (name == L"--function") settings.function = value;
    else if (name == L"--link") settings.surveyLink = value;
    else if (name == L"--uin") settings.uin = static_cast<int>(std::wcstol(value, nullptr, 10));
    else if (name == L"--exit-after") settings.exitAfterSeconds = static_cast<int>(std::wcstol(value, nullptr, 10));
  }
  ::LocalFree(args);
  return settings;
}

// ---- The main window -----------------------------------------------------------------
enum : UINT_PTR { kLogButton = 101, kPrintButton = 102 };
enum : UINT_PTR { kRatingTimer = 1, kExitTimer = 2 };
constexpr UINT kRatingCheckMs = 100;
// The dashboard's levels: 0 error, 1 warning, 2 information, 3 debugging.
constexpr int kInfoLevel = 2;

struct SampleTool {
  Settings settings;
  int session = -1;     // UserEnterW's id, handed back to UserLeave
  int m_level = 0;      // written by Zandle.dll when the user clicks a rating (1 to 3)
  int printed = 0;      // pages "printed" so far
  HWND window = nullptr, status = nullptr, rating = nullptr;
};
SampleTool g_tool;  // lives as long as the program: the DLL may write m_level at any time

const wchar_t* LevelName(int level) {
  switch (level) {
    case 1: return L"satisfied";
    case 2: return L"so-so";
    case 3: return L"dissatisfied";
    default: return L"?";
  }
}

void SetText(HWND control, const std::wstring& text) { ::SetWindowTextW(control, text.c_str()); }

void OnLog() {
  // Information, not an error (level 0): sent when the tool's warning level is 2 or more.
  const int sent = WriteLogW(g_tool.settings.uin, kInfoLevel, L"Log button pressed in the sample tool");
  SetText(g_tool.status, sent ? L"Log line sent." : L"Log line not sent (service unreachable or filtered).");
  sample::Emit("log " + std::to_string(sent));
}

void OnPrint() {
  // The tool's real work would happen here.
  ++g_tool.printed;
  SetText(g_tool.status, L"Printed page " + std::to_wstring(g_tool.printed) + L".");
  // Then ask how it went. Returns at once; the popup lives on in our message loop and
  // the rating, if the user gives one, is written to m_level later.
  SatisfactionW(g_tool.settings.uin, g_tool.settings.function.c_str(), g_tool.settings.surveyLink.c_str(),
                &g_tool.m_level);
  sample::Emit("survey asked at " + std::to_string(sample::Elapsed()));
}

// Called from a timer: a rating, once given, shows up in m_level.
void CheckRating() {
  const int level = g_tool.m_level;
  if (level == 0) return;
  g_tool.m_level = 0;  // so that the next rating is noticed even when it is the same
  SetText(g_tool.rating,
          L"Your last rating: " + std::to_wstring(level) + L" (" + LevelName(level) + L"). Thank you!");
  sample::Emit("level " + std::to_string(level));
}

HWND AddControl(HWND parent, const wchar_t* kind, const wchar_t* text, DWORD style, int x, int y, int w, int h,
                UINT_PTR id) {
  const HWND control = ::CreateWindowExW(0, kind, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                                         reinterpret_cast<HMENU>(id), ::GetModuleHandleW(nullptr), nullptr);
  ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return control;
}

void OnCreate(HWND window) {
  g_tool.window = window;
  AddControl(window, L"STATIC", (L"Reports to " + g_tool.settings.server + L" as " + g_tool.settings.model).c_str(),
             0, 12, 10, 400, 18, 0);
  const HWND log = AddControl(window, L"BUTTON", L"Log", BS_PUSHBUTTON, 12, 36, 90, 28, kLogButton);
  const HWND print = AddControl(window, L"BUTTON", L"Print", BS_PUSHBUTTON, 112, 36, 90, 28, kPrintButton);
  g_tool.status = AddControl(window, L"STATIC", L"Ready.", 0, 12, 76, 400, 18, 0);
  g_tool.rating = AddControl(window, L"STATIC", L"No rating yet.", 0, 12, 100, 400, 18, 0);
  ::SetTimer(window, kRatingTimer, kRatingCheckMs, nullptr);
  if (g_tool.settings.exitAfterSeconds > 0)
    ::SetTimer(window, kExitTimer, static_cast<UINT>(g_tool.settings.exitAfterSeconds) * 1000, nullptr);
  sample::EmitWindowRect("button Log", log);
  sample::EmitWindowRect("button Print", print);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate(window);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kLogButton) OnLog();
      if (LOWORD(wParam) == kPrintButton) OnPrint();
      return 0;
    case WM_TIMER:
      if (wParam == kRatingTimer) CheckRating();
      if (wParam == kExitTimer) ::PostMessageW(window, WM_CLOSE, 0, 0);
      return 0;
    case WM_DESTROY:
      // End the session while the program is still whole.
      sample::Emit("leave " + std::to_string(UserLeave(g_tool.session)));
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
  g_tool.settings = ReadCommandLine();
  const Settings& s = g_tool.settings;

  // 1. Where to report to (option 0: no echo of the library's own requests).
  SetServerW(s.server.c_str(), 0);
  // 2. Name the tool; this also fetches its warning level and survey functions.
  const wchar_t* appInfo = getAppInfoW(s.uin, s.model.c_str(), s.version.c_str());
  sample::Emit(appInfo ? "appinfo " + sample::Utf8(appInfo) : std::string("appinfo failed"));
  // 3. The user starts working.
  g_tool.session = UserEnterW(s.uin, nullptr);
  sample::Emit("session " + std::to_string(g_tool.session));

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"ZandleSampleTool";
  ::RegisterClassExW(&windowClass);
  // Top left, away from the corner where the surveys appear.
  const HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"Zandle sample tool",
                                        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 40, 40, 440, 170,
                                        nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ::ShowWindow(window, show);
  ::UpdateWindow(window);
  sample::EmitWorkArea();
  sample::Emit("ready");
  sample::WatchPopups();

  // The message loop also runs the survey popups.
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  sample::Emit("closed");
  return 0;
}
