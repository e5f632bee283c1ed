// The survey as a screen reader sees it, through Active Accessibility as a client asks
// for it (AccessibleObjectFromWindow), with Zandle.dll and a loopback service. Handing
// out the object pins the library in the process, so each test runs in its own.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleacc.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "client_fixture.h"
#include "framework/com.h"

namespace zandle::test {
namespace {

using fw::ComPtr;
using fw::UniqueBstr;

// Level n (1 to 3) is child 3 + n; then the close button.
constexpr long kLinkChild = 3, kFirstLevelChild = 4, kCloseChild = 7;

VARIANT Child(long id) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

std::wstring Name(IAccessible* object, long child) {
  UniqueBstr name;
  if (object->get_accName(Child(child), name.put()) != S_OK || !name.get()) return L"<none>";
  return std::wstring(name.get(), name.length());
}

long Role(IAccessible* object, long child) {
  VARIANT role;
  ::VariantInit(&role);
  return object->get_accRole(Child(child), &role) == S_OK && role.vt == VT_I4 ? role.lVal : -1;
}

long State(IAccessible* object, long child) {
  VARIANT state;
  ::VariantInit(&state);
  return object->get_accState(Child(child), &state) == S_OK && state.vt == VT_I4 ? state.lVal : -1;
}

RECT Location(IAccessible* object, long child) {
  long left = 0, top = 0, width = 0, height = 0;
  if (object->accLocation(&left, &top, &width, &height, Child(child)) != S_OK) return {};
  return {left, top, left + width, top + height};
}

void PumpFor(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  MSG msg;
  while (GetTickCount() - start < milliseconds) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(5);
  }
}

template <typename Done>
bool PumpUntil(Done done, DWORD ms) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > ms) return false;
    PumpFor(10);
  }
  return true;
}

ComPtr<IAccessible> ObjectOf(HWND popup) {
  ComPtr<IAccessible> object;
  EXPECT_EQ(AccessibleObjectFromWindow(popup, OBJID_CLIENT, IID_IAccessible, object.put_void()), S_OK);
  return object;
}

std::string ReportBody(int level) {
  return "strLoginUIN=7&strModelNameVer=Tool-1.0,Print&nSatisLevel=" + std::to_string(level) +
         "&strSatisInfo=NULL";
}

class Accessibility : public ClientTest {
 protected:
  void SetUp() override {
    ClientTest::SetUp();
    server.SetResponder([](const HttpRequest& r) {
      HttpReply reply = LoopbackServer::DefaultReply(r);
      if (r.Method() == "GetAppInfo") reply.body = AppInfoReplyBody(-1, "Print");
      return reply;
    });
    NameTool("Tool", "1.0", 7);
  }
  // A survey for "Print", faded in.
  HWND ShowSurvey(int* level, const wchar_t* link = L"") {
    EXPECT_EQ(dll.SatisfactionW(0, L"Print", link, level), 0);
    const HWND popup = SurveyPopup();
    EXPECT_NE(popup, nullptr);
    server.ClearRequests();
    return popup;
  }
  void WaitShown(IAccessible* object) {
    EXPECT_TRUE(PumpUntil([&] { return !(State(object, CHILDID_SELF) & STATE_SYSTEM_INVISIBLE); }, 3000));
  }
  fw::ComInitScope com_{COINIT_APARTMENTTHREADED};
};

TEST_F(Accessibility, AnAlertNamedByItsTitleWithOneChildPerItem) {
  const HWND popup = ShowSurvey(nullptr, L"http://example.invalid/more");
  ComPtr<IAccessible> object = ObjectOf(popup);
  ASSERT_TRUE(object);
  // Fading in: there, but not yet to be read.
  EXPECT_TRUE(State(object.get(), CHILDID_SELF) & STATE_SYSTEM_INVISIBLE);
  EXPECT_TRUE(State(object.get(), kFirstLevelChild) & STATE_SYSTEM_INVISIBLE);
  WaitShown(object.get());

  EXPECT_EQ(Role(object.get(), CHILDID_SELF), ROLE_SYSTEM_ALERT);
  EXPECT_EQ(Name(object.get(), CHILDID_SELF), L"Tool-Print");
  long count = 0;
  ASSERT_EQ(object->get_accChildCount(&count), S_OK);
  ASSERT_EQ(count, 7);
  std::vector<VARIANT> children(7);
  LONG obtained = 0;
  ASSERT_EQ(AccessibleChildren(object.get(), 0, 7, children.data(), &obtained), S_OK);
  ASSERT_EQ(obtained, 7);
  for (LONG i = 0; i < obtained; ++i) {
    EXPECT_EQ(children[i].vt, VT_I4);
    EXPECT_EQ(children[i].lVal, i + 1);
  }

  // "Close" in the user's UI language: 关闭 in Chinese, else English.
  const std::wstring close = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE ? L"\u5173\u95ed" : L"Close";
  const std::vector<std::wstring> names = {L"Tool-Print", Name(object.get(), 2), L"[\u66f4\u591a\u4fe1\u606f\u2026\u2026]",
                                           L"\u6ee1\u610f", L"\u4e00\u822c", L"\u4e0d\u6ee1\u610f", close};
  const std::vector<long> roles = {ROLE_SYSTEM_STATICTEXT, ROLE_SYSTEM_STATICTEXT, ROLE_SYSTEM_LINK,
                                   ROLE_SYSTEM_PUSHBUTTON, ROLE_SYSTEM_PUSHBUTTON, ROLE_SYSTEM_PUSHBUTTON,
                                   ROLE_SYSTEM_PUSHBUTTON};
  for (long child = 1; child <= 7; ++child) {
    EXPECT_EQ(Name(object.get(), child), names[child - 1]) << "child " << child;
    EXPECT_EQ(Role(object.get(), child), roles[child - 1]) << "child " << child;
    EXPECT_FALSE(State(object.get(), child) & STATE_SYSTEM_INVISIBLE) << "child " << child;
  }
  // The request's two lines, opened by two ideographic spaces.
  EXPECT_EQ(Name(object.get(), 2).substr(0, 4), L"\u3000\u3000\u4e3a\u4e86");
  EXPECT_TRUE(State(object.get(), kLinkChild) & STATE_SYSTEM_LINKED);
  UniqueBstr action;
  ASSERT_EQ(object->get_accDefaultAction(Child(kFirstLevelChild + 1), action.put()), S_OK);
  EXPECT_EQ(std::wstring(action.get()), L"Press");
  UniqueBstr value;
  ASSERT_EQ(object->get_accValue(Child(kLinkChild), value.put()), S_OK);
  EXPECT_EQ(std::wstring(value.get()), L"http://example.invalid/more");

  // Item rectangles of the layout at 96 DPI, on screen.
  RECT window{};
  ASSERT_TRUE(GetWindowRect(popup, &window));
  EXPECT_EQ(Location(object.get(), CHILDID_SELF).right - window.left, 329);
  const RECT items[] = {{46, 12, 309, 38}, {46, 41, 306, 70}, {226, 105, 309, 129}, {50, 74, 121, 90},
                        {135, 74, 206, 90}, {220, 74, 291, 90}, {308, 14, 324, 30}};
  for (long child = 1; child <= 7; ++child) {
    RECT expected = items[child - 1];
    OffsetRect(&expected, window.left, window.top);
    const RECT found = Location(object.get(), child);
    EXPECT_TRUE(EqualRect(&expected, &found)) << "child " << child;
  }
  // The point in the middle of the second level finds it.
  VARIANT hit;
  VariantInit(&hit);
  ASSERT_EQ(object->accHitTest(window.left + 170, window.top + 82, &hit), S_OK);
  EXPECT_EQ(hit.lVal, kFirstLevelChild + 1);
  // The hot item is hot.
  SendMessageW(popup, WM_MOUSEMOVE, 0, MAKELPARAM(170, 82));
  EXPECT_TRUE(State(object.get(), kFirstLevelChild + 1) & STATE_SYSTEM_HOTTRACKED);
  EXPECT_FALSE(State(object.get(), kFirstLevelChild) & STATE_SYSTEM_HOTTRACKED);
  EXPECT_EQ(Name(object.get(), 8), L"<none>");
}

TEST_F(Accessibility, TheDefaultActionOfALevelIsExactlyAClick) {
  for (int n = 1; n <= 3; ++n) {
    int level = 0;
    const HWND popup = ShowSurvey(&level);
    ComPtr<IAccessible> object = ObjectOf(popup);
    ASSERT_TRUE(object);
    EXPECT_EQ(object->accDoDefaultAction(Child(kFirstLevelChild + n - 1)), S_OK);
    EXPECT_EQ(level, n);
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_EQ(OnlyRequest().body, ReportBody(n));
    EXPECT_EQ(OnlyRequest().Method(), "Satisfaction");
    // The popup is gone: the object answers, touching nothing.
    EXPECT_EQ(Name(object.get(), CHILDID_SELF), L"<none>");
    UniqueBstr name;
    EXPECT_EQ(object->get_accName(Child(CHILDID_SELF), name.put()), CO_E_OBJNOTCONNECTED);
    long count = 5;
    EXPECT_EQ(object->get_accChildCount(&count), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(object->accDoDefaultAction(Child(kFirstLevelChild)), CO_E_OBJNOTCONNECTED);
    long l = 1, t = 1, w = 1, h = 1;
    EXPECT_EQ(object->accLocation(&l, &t, &w, &h, Child(CHILDID_SELF)), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(level, n);
    EXPECT_EQ(server.Requests().size(), 1u);
  }
}

TEST_F(Accessibility, CloseAndLinkSendNothingAndTheLinkOpens) {
  int level = 0;
  HWND popup = ShowSurvey(&level);
  ComPtr<IAccessible> object = ObjectOf(popup);
  ASSERT_TRUE(object);
  EXPECT_EQ(object->accDoDefaultAction(Child(kCloseChild)), S_OK);
  EXPECT_FALSE(IsWindow(popup));

  const HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, L"ZandleTestLinkOpened");
  ASSERT_NE(opened, nullptr);
  popup = ShowSurvey(&level, BesideThisProgram(L"link_target.exe").c_str());
  object = ObjectOf(popup);
  ASSERT_TRUE(object);
  UniqueBstr action;
  ASSERT_EQ(object->get_accDefaultAction(Child(kLinkChild), action.put()), S_OK);
  EXPECT_EQ(std::wstring(action.get()), L"Jump");
  EXPECT_EQ(object->accDoDefaultAction(Child(kLinkChild)), S_OK);
  EXPECT_EQ(WaitForSingleObject(opened, 10000), WAIT_OBJECT_0) << "the link's target did not run";
  CloseHandle(opened);
  EXPECT_FALSE(IsWindow(popup));
  PumpFor(100);
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_EQ(level, 0);
  // Gone with its popup.
  EXPECT_EQ(object->accDoDefaultAction(Child(kLinkChild)), CO_E_OBJNOTCONNECTED);
}

TEST_F(Accessibility, NoActionOnTextAndBadChildrenAreRefused) {
  const HWND popup = ShowSurvey(nullptr);
  ComPtr<IAccessible> object = ObjectOf(popup);
  ASSERT_TRUE(object);
  EXPECT_EQ(object->accDoDefaultAction(Child(2)), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(object->accDoDefaultAction(Child(0)), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(object->accDoDefaultAction(Child(8)), E_INVALIDARG);
  EXPECT_EQ(object->accDoDefaultAction(Child(-3)), E_INVALIDARG);
  VARIANT text;
  VariantInit(&text);
  text.vt = VT_BSTR;
  text.bstrVal = nullptr;
  UniqueBstr name;
  EXPECT_EQ(object->get_accName(text, name.put()), E_INVALIDARG);
  EXPECT_TRUE(IsWindow(popup));
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(Accessibility, SelectWithTakeFocusGivesTheKeyboardToALevel) {
  int level = 0;
  const HWND popup = ShowSurvey(&level);
  ComPtr<IAccessible> object = ObjectOf(popup);
  ASSERT_TRUE(object);
  WaitShown(object.get());
  VARIANT focus;
  VariantInit(&focus);
  EXPECT_EQ(object->get_accFocus(&focus), S_FALSE);  // never takes the focus by itself
  ASSERT_EQ(object->accSelect(SELFLAG_TAKEFOCUS, Child(kFirstLevelChild + 2)), S_OK);
  ASSERT_EQ(object->get_accFocus(&focus), S_OK);
  EXPECT_EQ(focus.lVal, kFirstLevelChild + 2);
  EXPECT_TRUE(State(object.get(), kFirstLevelChild + 2) & STATE_SYSTEM_FOCUSED);
  // Shift+Tab back to "一般", Space presses it.
  SendMessageW(popup, WM_KEYDOWN, VK_LEFT, 0);
  ASSERT_EQ(object->get_accFocus(&focus), S_OK);
  EXPECT_EQ(focus.lVal, kFirstLevelChild + 1);
  EXPECT_FALSE(State(object.get(), kFirstLevelChild + 2) & STATE_SYSTEM_FOCUSED);
  SendMessageW(popup, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ(level, 2);
  EXPECT_EQ(OnlyRequest().body, ReportBody(2));
  EXPECT_FALSE(IsWindow(popup));
}

TEST_F(Accessibility, FreeLibraryWhileAClientHoldsTheObject) {
  const HWND popup = ShowSurvey(nullptr);
  ComPtr<IAccessible> object = ObjectOf(popup);
  ASSERT_TRUE(object);
  const HMODULE module = dll.module;
  ASSERT_TRUE(FreeLibrary(module));  // the host's own FreeLibrary; the fixture's comes on top
  // The object's code stays mapped while anyone may call it: the library stays loaded.
  EXPECT_EQ(GetModuleHandleW(L"Zandle.dll"), module);
  EXPECT_EQ(Name(object.get(), kFirstLevelChild + 1), L"\u4e00\u822c");
  // Closed: calls fail cleanly, and the last release is safe.
  EXPECT_EQ(object->accDoDefaultAction(Child(kCloseChild)), S_OK);
  EXPECT_FALSE(IsWindow(popup));
  UniqueBstr name;
  EXPECT_EQ(object->get_accName(Child(CHILDID_SELF), name.put()), CO_E_OBJNOTCONNECTED);
  object.reset();
  PumpFor(100);
  EXPECT_TRUE(server.Requests().empty());
}

struct WinEvent {
  DWORD event;
  HWND window;
  LONG object;
  LONG child;
  friend bool operator==(const WinEvent&, const WinEvent&) = default;
};
std::vector<WinEvent> g_events;

void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
  if (object == OBJID_CLIENT) g_events.push_back({event, window, object, child});
}

TEST_F(Accessibility, AnnouncedWhenItAppearsAndFocusEventsFollowTheKeyboard) {
  const HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_OBJECT_FOCUS, nullptr, OnWinEvent,
                                             GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  const HWND popup = ShowSurvey(nullptr);
  EXPECT_TRUE(PumpUntil([&] { return !g_events.empty(); }, 3000));
  ASSERT_FALSE(g_events.empty());
  EXPECT_EQ(g_events.front(), (WinEvent{EVENT_SYSTEM_ALERT, popup, OBJID_CLIENT, CHILDID_SELF}));
  g_events.clear();
  ComPtr<IAccessible> object = ObjectOf(popup);
  ASSERT_TRUE(object);
  ASSERT_EQ(object->accSelect(SELFLAG_TAKEFOCUS, Child(kFirstLevelChild + 1)), S_OK);
  SendMessageW(popup, WM_KEYDOWN, VK_TAB, 0);
  PumpFor(200);
  std::vector<WinEvent> focus;
  for (const WinEvent& e : g_events)
    if (e.event == EVENT_OBJECT_FOCUS && e.window == popup) focus.push_back(e);
  EXPECT_EQ(focus, (std::vector<WinEvent>{{EVENT_OBJECT_FOCUS, popup, OBJID_CLIENT, kFirstLevelChild + 1},
                                          {EVENT_OBJECT_FOCUS, popup, OBJID_CLIENT, kFirstLevelChild + 2}}));
  UnhookWinEvent(hook);
}

// Starts xdotool with `arguments`; Wine starts a Unix program as it is, and its
// handle does not tell when it has ended: the test waits for what it does instead.
bool StartXdotool(const std::string& arguments) {
  std::wstring command = L"/usr/bin/xdotool " + std::wstring(arguments.begin(), arguments.end());
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

long Focused(IAccessible* object) {
  VARIANT focus;
  VariantInit(&focus);
  return object->get_accFocus(&focus) == S_OK && focus.vt == VT_I4 ? focus.lVal : -1;
}

class AccessibilityKeyboard : public Accessibility {
 protected:
  void SetUp() override {
    const char* enabled = std::getenv("ZANDLE_REAL_INPUT");
    if (!enabled || std::string(enabled) != "1") GTEST_SKIP() << "types on the display: run serially";
    Accessibility::SetUp();
  }
  // A click on the body, left of the title, with the display's pointer.
  void ClickBody(HWND popup) {
    RECT window{};
    GetWindowRect(popup, &window);
    ASSERT_TRUE(StartXdotool("mousemove " + std::to_string(window.left + 20) + " " +
                             std::to_string(window.top + 60) + " click 1"));
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == popup; }, 5000)) << "a click on the body gives it the keyboard";
  }
  // Presses `key` and waits for the focus to move.
  long PressAndFocus(IAccessible* object, const std::string& key) {
    const long before = Focused(object);
    EXPECT_TRUE(StartXdotool("key " + key));
    PumpUntil([&] { return Focused(object) != before; }, 5000);
    return Focused(object);
  }
};

TEST_F(AccessibilityKeyboard, TabOrderThenEnterOnTheSecondLevelReportsIt) {
  int level = 0;
  const HWND popup = ShowSurvey(&level);
  ComPtr<IAccessible> object = ObjectOf(popup);
  ASSERT_TRUE(object);
  WaitShown(object.get());
  EXPECT_EQ(Focused(object.get()), -1);
  ClickBody(popup);
  // Levels, link, close, round again; Shift+Tab back; an arrow on.
  std::vector<long> order = {Focused(object.get())};
  for (int i = 0; i < 5; ++i) order.push_back(PressAndFocus(object.get(), "Tab"));
  order.push_back(PressAndFocus(object.get(), "shift+Tab"));
  order.push_back(PressAndFocus(object.get(), "Right"));
  order.push_back(PressAndFocus(object.get(), "Tab"));
  EXPECT_EQ(order, (std::vector<long>{4, 5, 6, 3, 7, 4, 7, 4, 5}));
  ASSERT_EQ(Focused(object.get()), kFirstLevelChild + 1);  // "一般"
  // Held up while it has the keyboard, past its show delay of 3 s.
  PumpFor(3500);
  ASSERT_TRUE(IsWindow(popup));
  ASSERT_TRUE(StartXdotool("key Return"));
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(popup); }, 5000));
  EXPECT_EQ(level, 2);
  EXPECT_EQ(OnlyRequest().body, ReportBody(2));
}

TEST_F(AccessibilityKeyboard, EscapeClosesWithoutAReport) {
  int level = 0;
  const HWND popup = ShowSurvey(&level);
  PumpFor(700);
  ClickBody(popup);
  ASSERT_TRUE(StartXdotool("key Escape"));
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(popup); }, 5000));
  PumpFor(200);
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_EQ(level, 0);
}

}  // namespace
}  // namespace zandle::test
