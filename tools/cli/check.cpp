#include "check.h"

#include <cstdint>

#include "client/core/app_info.h"
#include "client/core/form_body.h"
#include "client/core/server_address.h"
#include "client/core/wire_protocol.h"
#include "console.h"
#include "framework/code_page.h"
#include "probe.h"

namespace zandle::cli {
namespace {

// Marked, so that the dashboard does not count it as an error; ASCII, so the same in every code page.
std::wstring LogLine() { return {wire::kHealthCheckLogText.begin(), wire::kHealthCheckLogText.end()}; }

std::wstring Ms(std::int64_t ms) { return std::to_wstring(ms) + L" ms"; }

// What the AppInfo text configures, in the DLL's reading of it.
std::wstring DescribeAppInfo(const std::wstring& text, std::int32_t& warningLevel) {
  FunctionNameSet names;
  ApplyAppInfo(fw::AsU16(text), warningLevel, names);
  const auto appInfo = text.find(L"<AppInfo>");
  if (appInfo == std::wstring::npos) {
    return L", but the reply holds no <AppInfo>: warning level " + std::to_wstring(warningLevel) +
           L" and no survey functions apply";
  }
  std::wstring level = L"warning level " + std::to_wstring(warningLevel);
  if (warningLevel == -1) level += L", so every line is sent";
  const auto funName = text.find(L"<FunName>", appInfo);
  if (funName == std::wstring::npos) return L" (" + level + L", no survey functions)";
  const std::wstring list = text.substr(funName + 9, text.find(L"</", funName) - funName - 9);
  return L" (" + level + L", survey functions " + (list.empty() ? L"\"\"" : list) + L")";
}

std::wstring Failure(const wchar_t* call, const ProbeResult& probe, std::int64_t ms) {
  if (probe.outcome == ProbeOutcome::kServiceReply) {
    return std::wstring(call) + L": failed in " + Ms(ms) + L", yet a probe right after got the service's reply from " +
           probe.hop + L" (a passing fault, or one in this machine's WinINet)";
  }
  return std::wstring(call) + L": failed: " + probe.cause + L" in " + Ms(ms);
}

std::string Utf8(const std::wstring& text) { return fw::Narrow(text, 65001 /* CP_UTF8 */); }

class Check {
 public:
  Check(const Exports& dll, const CheckSettings& s) : dll_(dll), s_(s) {
    ServerAddress address;
    ParseServerAddress(fw::AsU16(s.server), address);
    host_ = std::wstring(fw::AsWide(address.host));
    port_ = address.port;
    route_ = FindRoute(host_, port_);
  }

  int Run() {
    Print(L"Server: " + HostPort(host_, port_) +
          (route_.viaProxy ? L", through proxy " + route_.proxyName + L" (WinINet's configured proxy)"
                           : std::wstring(L", direct (no proxy in WinINet's settings for it)")) +
          L"\n");
    GetAppInfo();
    WriteLog();
    if (firstFailure_.empty()) {
      Print(L"Overall: ok: Zandle.dll reaches the service at " + HostPort(host_, port_) +
            (heldBack_ ? L"; the log line was held back, as the warning level says\n" : L"\n"));
      return 0;
    }
    Print(L"Overall: failed: " + firstFailure_ + L"\n");
    return 1;
  }

 private:
  void GetAppInfo() {
    const Stopwatch watch;
    std::wstring text;
    bool ok = false;
    if (s_.narrow) {
      const char* reply = dll_.getAppInfoA(s_.uin, Ansi(s_.model.c_str()).c_str(), Ansi(s_.version.c_str()).c_str());
      ok = reply != nullptr;
      text = Wide(reply);
    } else {
      const wchar_t* reply = dll_.getAppInfoW(s_.uin, s_.model.c_str(), s_.version.c_str());
      ok = reply != nullptr;
      if (ok) text = reply;
    }
    const std::int64_t ms = watch.Ms();
    if (ok) {
      Print(L"GetAppInfo: ok in " + Ms(ms) + DescribeAppInfo(text, warningLevel_) + L"\n");
      return;
    }
    const std::string model = Utf8(s_.model), version = Utf8(s_.version);
    const ProbeResult probe = Probe({host_, port_, "GetAppInfo", BuildGetAppInfoBody(s_.uin, {model}, {version}), true},
                                    route_);
    networkFailure_ = probe.outcome == ProbeOutcome::kNetworkFault;
    Fail(L"GetAppInfo", probe, ms);
  }

  void WriteLog() {
    const Stopwatch watch;
    const std::wstring line = LogLine();
    const int result =
        s_.narrow ? dll_.WriteLogA(s_.uin, 0, Ansi(line.c_str()).c_str()) : dll_.WriteLogW(s_.uin, 0, line.c_str());
    const std::int64_t ms = watch.Ms();
    if (result == 1) {
      Print(L"WriteLog: ok in " + Ms(ms) + L" (a level-0 line was sent and answered)\n");
    } else if (!PassesLogFilter(warningLevel_, 0)) {
      heldBack_ = true;
      Print(L"WriteLog: held back by the warning level (level 0 > " + std::to_wstring(warningLevel_) + L"): not sent\n");
    } else if (networkFailure_) {
      // The DLL's failure flag is sticky: nothing more leaves the process.
      Print(L"WriteLog: not sent: after GetAppInfo's network failure Zandle.dll sends nothing more in this process"
            L" (failed at once, in " + Ms(ms) + L")\n");
      if (firstFailure_.empty()) firstFailure_ = L"WriteLog: not sent after a network failure";
    } else {
      const std::string model = Utf8(s_.model), version = Utf8(s_.version), text = Utf8(line);
      const std::string body = BuildWriteLogBody(s_.uin, {model}, {version}, {text}, 0);
      Fail(L"WriteLog", Probe({host_, port_, "WriteLog", body, false}, route_), ms);
    }
  }

  void Fail(const wchar_t* call, const ProbeResult& probe, std::int64_t ms) {
    Print(Failure(call, probe, ms) + L"\n");
    if (!firstFailure_.empty()) return;
    firstFailure_ = std::wstring(call) + L": " +
                    (probe.outcome == ProbeOutcome::kServiceReply ? L"failed, though a probe got the service's reply"
                                                                  : probe.cause);
  }

  const Exports& dll_;
  const CheckSettings& s_;
  std::wstring host_;
  std::uint16_t port_ = 80;
  Route route_;
  std::int32_t warningLevel_ = 0;  // the DLL's until a GetAppInfo reply says otherwise
  bool networkFailure_ = false;
  bool heldBack_ = false;
  std::wstring firstFailure_;
};

}  // namespace

int RunCheck(const Exports& dll, const CheckSettings& settings) { return Check(dll, settings).Run(); }

}  // namespace zandle::cli
