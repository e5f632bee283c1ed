// Which survey requests are shown, what they log, and the hidden host window.
#include "client_fixture.h"

#include <algorithm>
#include <string>
#include <vector>

namespace zandle::test {
namespace {

const std::string kShownLine = "\xE5\xBC\xB9\xE5\x87\xBA\xE6\xBB\xA1\xE6\x84\x8F\xE5\xBA\xA6\xE8\xB0\x83\xE6\x9F\xA5"
                               "\xE4\xBF\xA1\xE6\x81\xAF\xE6\xA1\x86";

HWND HostWindowOfThisThread() { return WindowOfThisThread(L"#32770"); }

class SurveyTest : public ClientTest {
 protected:
  void ConfigureFunctions(const std::string& names) {
    server.SetResponder([names](const HttpRequest& r) {
      HttpReply reply = LoopbackServer::DefaultReply(r);
      if (r.Method() == "GetAppInfo") reply.body = AppInfoReplyBody(-1, names);
      return reply;
    });
    NameTool("Tool", "1.0", 7);
    dll.SetServerW(nullptr, 1);  // echo shows each decision
  }
  std::vector<std::string> LogTexts() {
    std::vector<std::string> texts;
    for (const auto& r : server.Requests()) texts.push_back(r.body.substr(0, r.body.rfind("]&")).substr(r.body.find('[') + 1));
    return texts;
  }
};

TEST_F(SurveyTest, ShownOnlyForConfiguredFunctionsOrTheModelName) {
  ConfigureFunctions("Print,Save");
  int level = 0;
  EXPECT_EQ(dll.SatisfactionA(0, "Save", "http://x.invalid/", &level), 0);
  EXPECT_EQ(dll.SatisfactionA(0, "save", "", &level), 0);     // case matters
  EXPECT_EQ(dll.SatisfactionA(0, "Export", "", &level), 0);   // not configured
  EXPECT_EQ(dll.SatisfactionW(0, L"Tool", L"", &level), 0);   // the model name itself
  EXPECT_EQ(dll.SatisfactionW(0, L"Print", L"", nullptr), 0);
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{kShownLine, kShownLine, kShownLine}));
  EXPECT_EQ(level, 0);  // written only when the user picks a level
}

TEST_F(SurveyTest, AnEmptyFunNameElementConfiguresTheEmptyName) {
  ConfigureFunctions("");
  EXPECT_EQ(dll.SatisfactionA(0, "", "", nullptr), 0);
  EXPECT_EQ(dll.SatisfactionA(0, "Print", "", nullptr), 0);
  EXPECT_EQ(LogTexts(), std::vector<std::string>{kShownLine});
}

TEST_F(SurveyTest, TheHostWindowIsCreatedOnceHiddenAndRecreatedWhenGone) {
  ConfigureFunctions("Print");
  EXPECT_EQ(HostWindowOfThisThread(), nullptr);
  dll.SatisfactionA(0, "Print", "", nullptr);
  const HWND host = HostWindowOfThisThread();
  ASSERT_NE(host, nullptr);
  EXPECT_FALSE(IsWindowVisible(host));
  EXPECT_EQ(GetParent(host), nullptr);
  EXPECT_NE(GetDlgItem(host, 1006), nullptr);  // the template's trackbar

  dll.SatisfactionA(0, "Print", "", nullptr);
  EXPECT_EQ(HostWindowOfThisThread(), host);

  DestroyWindow(host);
  dll.SatisfactionA(0, "Print", "", nullptr);
  EXPECT_NE(HostWindowOfThisThread(), nullptr);
}

TEST_F(SurveyTest, AfterANetworkErrorNoSurveyIsShown) {
  ConfigureFunctions("Print");
  std::wstring dead;
  {
    LoopbackServer closed;
    dead = closed.Address();
  }
  dll.SetServerW(dead.c_str(), 1);
  EXPECT_EQ(dll.WriteLogA(7, 0, "x"), 0);  // sets the flag
  dll.SetServerW(server.Address().c_str(), 1);
  server.ClearRequests();
  int level = 0;
  EXPECT_EQ(dll.SatisfactionA(0, "Print", "", &level), 0);
  EXPECT_TRUE(server.Requests().empty());
}

TEST(SurveyUnload, UnloadingTheLibraryTakesItsHostWindowAlong) {
  LoopbackServer server;
  {
    ZandleDll dll;
    dll.SetServerW(server.Address().c_str(), 0);
    ASSERT_NE(dll.getAppInfoA(7, "Tool", "1.0"), nullptr);
    dll.SatisfactionA(0, "Print", "", nullptr);
    ASSERT_NE(HostWindowOfThisThread(), nullptr);
  }
  EXPECT_EQ(HostWindowOfThisThread(), nullptr);
}

void PumpFor(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  MSG msg;
  while (GetTickCount() - start < milliseconds) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(5);
  }
}

TEST_F(SurveyTest, ALevelClickReportsOnceAndWritesTheHostsInt) {
  ConfigureFunctions("Print");
  dll.SetServerW(nullptr, 0);
  int level = 0;
  EXPECT_EQ(dll.SatisfactionW(0, L"Print", L"", &level), 0);
  const HWND popup = SurveyPopup();
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(level, 0);  // nothing before the user picks
  server.ClearRequests();
  ClickAt(popup, 170, 82);  // the second level button
  EXPECT_EQ(level, 2);
  EXPECT_FALSE(IsWindow(popup));
  const HttpRequest report = OnlyRequest();
  EXPECT_EQ(report.Method(), "Satisfaction");
  EXPECT_NE(report.body.find("&nSatisLevel=2"), std::string::npos) << report.body;
}

TEST_F(SurveyTest, AFailedReportStillClosesThePopupAndWritesTheLevel) {
  ConfigureFunctions("Print");
  int level = 0;
  dll.SatisfactionW(0, L"Print", L"", &level);
  const HWND popup = SurveyPopup();
  ASSERT_NE(popup, nullptr);
  server.SetResponder([](const HttpRequest&) { return HttpReply{HttpReply::Kind::CloseWithoutAnswer}; });
  ClickAt(popup, 255, 82);
  EXPECT_EQ(level, 3);
  EXPECT_FALSE(IsWindow(popup));
}

TEST(SurveyUnload, UnloadingWithSurveysOnScreenLeavesNothingRunning) {
  LoopbackServer server;
  server.SetResponder([](const HttpRequest& r) {
    HttpReply reply = LoopbackServer::DefaultReply(r);
    if (r.Method() == "GetAppInfo") reply.body = AppInfoReplyBody(-1, "Print");
    return reply;
  });
  int level = 0;
  HINSTANCE unloaded = nullptr;
  {
    ZandleDll dll;
    unloaded = dll.module;
    dll.SetServerW(server.Address().c_str(), 0);
    ASSERT_NE(dll.getAppInfoA(7, "Tool", "1.0"), nullptr);
    dll.SatisfactionA(0, "Print", "", &level);
    dll.SatisfactionA(0, "Print", "", &level);
    PumpFor(100);  // mid-fade: timers running
    ASSERT_NE(SurveyPopup(), nullptr);
    WNDCLASSEXW info{sizeof(info)};
    ASSERT_TRUE(GetClassInfoExW(unloaded, L"ZandlePopupWindow", &info));
  }
  EXPECT_EQ(SurveyPopup(), nullptr);
  PumpFor(300);  // a timer left behind would call into the unloaded code here
  WNDCLASSEXW info{sizeof(info)};
  EXPECT_FALSE(GetClassInfoExW(unloaded, L"ZandlePopupWindow", &info));
  EXPECT_EQ(level, 0);
}


// A presentation of another process: the survey waits for the user.
class SurveyBusy : public SurveyTest {
 protected:
  void SetUp() override {
    if (!GetEnvironmentVariableW(L"ZANDLE_FULL_SCREEN", nullptr, 0)) GTEST_SKIP() << "runs alone: client_busy_user";
    SurveyTest::SetUp();
  }
  void TearDown() override {
    if (process_.hProcess) {
      TerminateProcess(process_.hProcess, 1);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
  }
  // Starts the full-screen window beside this program and waits until it is in front.
  HWND StartPresentation() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring command(path);
    command = L"\"" + command.substr(0, command.find_last_of(L"\\/") + 1) + L"full_screen_window.exe\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_))
      return nullptr;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(20)) {
      const HWND found = FindWindowW(L"ZandleTestFullScreen", nullptr);
      if (found && GetForegroundWindow() == found) return found;
    }
    return nullptr;
  }
  void EndPresentation(HWND window) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(process_.hProcess, 20000), WAIT_OBJECT_0);
  }
  PROCESS_INFORMATION process_{};
};

TEST_F(SurveyBusy, NoSurveyOverAFullScreenWindowOfAnotherProcessAndOneAfterItCloses) {
  ConfigureFunctions("Print");
  const HWND presentation = StartPresentation();
  ASSERT_NE(presentation, nullptr) << "the full-screen window never came to the front";
  DWORD owner = 0;
  GetWindowThreadProcessId(presentation, &owner);
  EXPECT_NE(owner, GetCurrentProcessId());

  int level = -5;
  EXPECT_EQ(dll.SatisfactionW(0, L"Print", L"http://x.invalid/", &level), 0);
  EXPECT_EQ(SurveyPopup(), nullptr);
  EXPECT_EQ(level, -5);
  // Only the echo line: why it was not shown ("全屏窗口在前台,不弹出满意度调查信息框").
  EXPECT_EQ(LogTexts(), std::vector<std::string>{"\xE5\x85\xA8\xE5\xB1\x8F\xE7\xAA\x97\xE5\x8F\xA3\xE5\x9C\xA8"
                                                "\xE5\x89\x8D\xE5\x8F\xB0,\xE4\xB8\x8D\xE5\xBC\xB9\xE5\x87\xBA"
                                                "\xE6\xBB\xA1\xE6\x84\x8F\xE5\xBA\xA6\xE8\xB0\x83\xE6\x9F\xA5"
                                                "\xE4\xBF\xA1\xE6\x81\xAF\xE6\xA1\x86"});
  // Echo off: nothing at all is sent.
  server.ClearRequests();
  dll.SetServerW(nullptr, 0);
  EXPECT_EQ(dll.SatisfactionW(0, L"Print", L"", nullptr), 0);
  EXPECT_EQ(SurveyPopup(), nullptr);
  EXPECT_TRUE(server.Requests().empty());

  EndPresentation(presentation);
  dll.SetServerW(nullptr, 1);
  EXPECT_EQ(dll.SatisfactionW(0, L"Print", L"", nullptr), 0);
  EXPECT_NE(SurveyPopup(), nullptr);
  EXPECT_EQ(LogTexts(), std::vector<std::string>{kShownLine});
}

BOOL CALLBACK CollectSurveyPopup(HWND w, LPARAM found) {
  wchar_t name[64] = {};
  GetClassNameW(w, name, 64);
  if (std::wstring(name) == L"ZandlePopupWindow") reinterpret_cast<std::vector<HWND>*>(found)->push_back(w);
  return TRUE;
}

// Every survey popup of this thread, oldest (lowest on the screen) first.
std::vector<HWND> SurveyPopupsOldestFirst() {
  std::vector<HWND> found;
  EnumThreadWindows(GetCurrentThreadId(), CollectSurveyPopup, reinterpret_cast<LPARAM>(&found));
  auto bottom = [](HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return r.bottom;
  };
  std::sort(found.begin(), found.end(), [&](HWND a, HWND b) { return bottom(a) > bottom(b); });
  return found;
}

TEST_F(SurveyTest, EachPopupsRatingIsStoredUnderItsOwnFunction) {
  ConfigureFunctions("Print,Save");
  dll.SetServerW(nullptr, 0);
  for (const bool olderFirst : {true, false}) {
    dll.SatisfactionA(0, "Print", "", nullptr);
    dll.SatisfactionA(0, "Save", "", nullptr);
    const std::vector<HWND> popups = SurveyPopupsOldestFirst();
    ASSERT_EQ(popups.size(), 2u);
    server.ClearRequests();
    ClickAt(popups[olderFirst ? 0 : 1], 85, 82);
    ClickAt(popups[olderFirst ? 1 : 0], 255, 82);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string print = "strLoginUIN=7&strModelNameVer=Tool-1.0,Print&nSatisLevel=",
                      save = "strLoginUIN=7&strModelNameVer=Tool-1.0,Save&nSatisLevel=";
    const std::string first = olderFirst ? print + "1" : save + "1";
    const std::string second = olderFirst ? save + "3" : print + "3";
    EXPECT_EQ(requests[0].body, first + "&strSatisInfo=NULL");
    EXPECT_EQ(requests[1].body, second + "&strSatisInfo=NULL");
    EXPECT_TRUE(SurveyPopupsOldestFirst().empty());
  }
}

// Refuses every dialog window of this thread while installed.
class NoDialogs {
 public:
  NoDialogs() : hook_(SetWindowsHookExW(WH_CBT, Refuse, nullptr, GetCurrentThreadId())) {}
  ~NoDialogs() { UnhookWindowsHookEx(hook_); }
  bool installed() const { return hook_ != nullptr; }

 private:
  static LRESULT CALLBACK Refuse(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
      wchar_t name[16] = {};
      GetClassNameW(reinterpret_cast<HWND>(wParam), name, 16);
      if (std::wstring(name) == L"#32770") return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  HHOOK hook_;
};

TEST_F(SurveyTest, NoHostWindowNoSurvey) {
  ConfigureFunctions("Print");
  int level = 0;
  {
    NoDialogs refuse;
    ASSERT_TRUE(refuse.installed());
    EXPECT_EQ(dll.SatisfactionA(0, "Print", "", &level), 0);
    EXPECT_EQ(HostWindowOfThisThread(), nullptr);
    EXPECT_EQ(SurveyPopup(), nullptr);
    EXPECT_TRUE(LogTexts().empty());  // as for an unlisted function: nothing logged
  }
  EXPECT_EQ(dll.SatisfactionA(0, "Print", "", &level), 0);  // the next one has its window
  EXPECT_NE(SurveyPopup(), nullptr);
  EXPECT_EQ(LogTexts(), std::vector<std::string>{kShownLine});
}

}  // namespace
}  // namespace zandle::test
