// Login UIN lookup through the reference identity provider, registered with regsvr32.
#include <objbase.h>

#include <thread>

#include "client_fixture.h"

namespace zandle::test {
namespace {

constexpr wchar_t kAccountKey[] = L"Software\\Zandle\\Identity";

void SetAccount(const wchar_t* account) {
  if (!account) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kAccountKey, L"Account");
    return;
  }
  RegSetKeyValueW(HKEY_CURRENT_USER, kAccountKey, L"Account", REG_SZ, account,
                  static_cast<DWORD>((wcslen(account) + 1) * sizeof(wchar_t)));
}

DWORD RunAndWait(std::wstring commandLine) {
  STARTUPINFOW startup{sizeof(startup)};
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return ~0u;
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = ~0u;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

class IdentityTest : public ClientTest {
 protected:
  static void SetUpTestSuite() {
    const std::wstring provider = BesideThisProgram(L"ZandleIdentity.dll");
    ASSERT_EQ(RunAndWait(L"regsvr32.exe /s \"" + provider + L"\""), 0u);
  }
  void TearDown() override { SetAccount(nullptr); }

  std::string UinSent() {
    const auto requests = server.Requests();
    if (requests.empty()) return "<none>";
    const std::string& body = requests.back().body;
    const auto start = body.find("strLoginUIN=") + 12;
    return body.substr(start, body.find('&', start) - start);
  }
};

TEST_F(IdentityTest, AccountNumberBeforeTheBackslashIsTheUin) {
  SetAccount(L"12345\\alice");
  EXPECT_EQ(dll.UserEnterA(0, nullptr), 1);
  EXPECT_EQ(UinSent(), "12345");
  SetAccount(L"999");  // cached now: the provider is not asked again
  EXPECT_EQ(dll.WriteLogA(0, 0, "x"), 1);
  EXPECT_EQ(UinSent(), "12345");
}

TEST_F(IdentityTest, DigitsOnlyAccount) {
  SetAccount(L"987");
  ASSERT_NE(dll.getAppInfoA(0, "Tool", "1.0"), nullptr);
  EXPECT_EQ(UinSent(), "987");
}

TEST_F(IdentityTest, AnAccountWithoutANumberGivesZeroAndIsAskedAgain) {
  SetAccount(L"alice\\12345");
  EXPECT_EQ(dll.UserEnterA(0, nullptr), 1);
  EXPECT_EQ(UinSent(), "0");
  SetAccount(L"55\\bob");
  EXPECT_EQ(dll.WriteLogA(0, 0, "x"), 1);
  EXPECT_EQ(UinSent(), "55");
}

TEST_F(IdentityTest, MissingAccountOrOverlongAccountGivesZeroWithoutHarm) {
  SetAccount(nullptr);
  EXPECT_EQ(dll.UserEnterA(0, nullptr), 1);
  EXPECT_EQ(UinSent(), "0");
  const std::wstring overlong = L"4321\\" + std::wstring(2000, L'x');
  SetAccount(overlong.c_str());
  EXPECT_EQ(dll.UserEnterA(0, nullptr), 1);
  EXPECT_EQ(UinSent(), "4321");
}

TEST_F(IdentityTest, AUinFromTheHostIsUsedAndTheProviderNeverAsked) {
  SetAccount(L"111");
  EXPECT_EQ(dll.UserEnterA(77, nullptr), 1);
  EXPECT_EQ(dll.WriteLogA(0, 0, "x"), 1);
  EXPECT_EQ(UinSent(), "77");
}

// Runs `body` on a new thread that first enters `apartment` (or none when 0).
template <typename Body>
void OnThread(DWORD apartment, Body body) {
  std::thread([&] {
    const bool entered = apartment != 0 && SUCCEEDED(CoInitializeEx(nullptr, apartment));
    body();
    if (entered) CoUninitialize();
  }).join();
}

TEST_F(IdentityTest, TheHostsApartmentSurvivesTheLookup) {
  SetAccount(L"31");
  HRESULT after = E_FAIL;
  OnThread(COINIT_APARTMENTTHREADED, [&] {
    EXPECT_EQ(dll.WriteLogA(0, 0, "x"), 1);
    // Still single-threaded and still initialised: S_FALSE, not S_OK or RPC_E_CHANGED_MODE.
    after = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(after)) CoUninitialize();
  });
  EXPECT_EQ(after, S_FALSE);
  EXPECT_EQ(UinSent(), "31");
}

TEST_F(IdentityTest, TheLookupLeavesAnUninitialisedThreadUninitialised) {
  SetAccount(L"32");
  HRESULT after = E_FAIL;
  OnThread(0, [&] {
    EXPECT_EQ(dll.WriteLogA(0, 0, "x"), 1);
    after = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(after)) CoUninitialize();
  });
  EXPECT_EQ(after, S_OK);
  EXPECT_EQ(UinSent(), "32");
}

}  // namespace
}  // namespace zandle::test
