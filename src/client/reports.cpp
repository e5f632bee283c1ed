#include "client/reports.h"

#include <windows.h>

#include <cstring>
#include <memory>

#include "client/core/form_body.h"
#include "text/utf8.h"
#include "client/core/wire_protocol.h"
#include "client/identity_lookup.h"
#include "client/web_service.h"
#include "client/zandle_app.h"
#include "framework/code_page.h"
#include "popup/desktop_settings.h"
#include "survey/survey_client.h"
#include "survey/zandle_demo_dlg.h"

namespace zandle::client {
namespace {

char g_utf8Scratch[3][kUtf8ScratchBytes];
unsigned g_utf8ScratchIndex = 0;

// The echoed status lines of the survey trigger are the library's own texts, sent as
// UTF-8 whatever the local code page can represent.
constexpr char kSurveyShownLine[] = "\xE5\xBC\xB9\xE5\x87\xBA\xE6\xBB\xA1\xE6\x84\x8F\xE5\xBA\xA6\xE8\xB0\x83"
                                    "\xE6\x9F\xA5\xE4\xBF\xA1\xE6\x81\xAF\xE6\xA1\x86";  // 弹出满意度调查信息框
constexpr char kSurveyBlockedLine[] =
    "\xE7\xBD\x91\xE7\xBB\x9C\xE6\x9C\x89\xE9\x94\x99,\xE4\xB8\x8D\xE8\x83\xBD\xE5\xBC\xB9\xE5\x87\xBA\xE6\xBB"
    "\xA1\xE6\x84\x8F\xE5\xBA\xA6\xE8\xB0\x83\xE6\x9F\xA5\xE4\xBF\xA1\xE6\x81\xAF\xE6\xA1\x86";  // 网络有错,不能弹出满意度调查信息框

// Why a survey was not shown to a busy user.
const char* BusyLine(popup::BusyReason reason) noexcept {
  switch (reason) {
    case popup::BusyReason::Away:
      return "\xE7\x94\xA8\xE6\x88\xB7\xE4\xB8\x8D\xE5\x9C\xA8(\xE5\xB7\xB2\xE9\x94\x81\xE5\xB1\x8F\xE6\x88\x96\xE5\xB1\x8F\xE5\xB9\x95\xE4\xBF\x9D\xE6\x8A\xA4),\xE4\xB8\x8D\xE5\xBC\xB9\xE5\x87\xBA\xE6\xBB\xA1\xE6\x84\x8F\xE5\xBA\xA6\xE8\xB0\x83\xE6\x9F\xA5\xE4\xBF\xA1\xE6\x81\xAF\xE6\xA1\x86";  // 用户不在(已锁屏或屏幕保护),不弹出满意度调查信息框
    case popup::BusyReason::FullScreen:
      return "\xE5\x85\xA8\xE5\xB1\x8F\xE7\xAA\x97\xE5\x8F\xA3\xE5\x9C\xA8\xE5\x89\x8D\xE5\x8F\xB0,\xE4\xB8\x8D\xE5\xBC\xB9\xE5\x87\xBA\xE6\xBB\xA1\xE6\x84\x8F\xE5\xBA\xA6\xE8\xB0\x83\xE6\x9F\xA5\xE4\xBF\xA1\xE6\x81\xAF\xE6\xA1\x86";  // 全屏窗口在前台,不弹出满意度调查信息框
    case popup::BusyReason::Direct3D:
      return "\xE5\x85\xA8\xE5\xB1\x8F\xE6\xB8\xB8\xE6\x88\x8F\xE5\x9C\xA8\xE8\xBF\x90\xE8\xA1\x8C,\xE4\xB8\x8D\xE5\xBC\xB9\xE5\x87\xBA\xE6\xBB\xA1\xE6\x84\x8F\xE5\xBA\xA6\xE8\xB0\x83\xE6\x9F\xA5\xE4\xBF\xA1\xE6\x81\xAF\xE6\xA1\x86";  // 全屏游戏在运行,不弹出满意度调查信息框
    case popup::BusyReason::Presenting:
      return "\xE7\x94\xA8\xE6\x88\xB7\xE6\xAD\xA3\xE5\x9C\xA8\xE6\xBC\x94\xE7\xA4\xBA,\xE4\xB8\x8D\xE5\xBC\xB9\xE5\x87\xBA\xE6\xBB\xA1\xE6\x84\x8F\xE5\xBA\xA6\xE8\xB0\x83\xE6\x9F\xA5\xE4\xBF\xA1\xE6\x81\xAF\xE6\xA1\x86";  // 用户正在演示,不弹出满意度调查信息框
    case popup::BusyReason::QuietTime:
      return "\xE5\x8B\xBF\xE6\x89\xB0\xE6\x97\xB6\xE6\xAE\xB5,\xE4\xB8\x8D\xE5\xBC\xB9\xE5\x87\xBA\xE6\xBB\xA1\xE6\x84\x8F\xE5\xBA\xA6\xE8\xB0\x83\xE6\x9F\xA5\xE4\xBF\xA1\xE6\x81\xAF\xE6\xA1\x86";  // 勿扰时段,不弹出满意度调查信息框
    case popup::BusyReason::App:
      return "\xE5\x85\xA8\xE5\xB1\x8F\xE5\xBA\x94\xE7\x94\xA8\xE5\x9C\xA8\xE5\x89\x8D\xE5\x8F\xB0,\xE4\xB8\x8D\xE5\xBC\xB9\xE5\x87\xBA\xE6\xBB\xA1\xE6\x84\x8F\xE5\xBA\xA6\xE8\xB0\x83\xE6\x9F\xA5\xE4\xBF\xA1\xE6\x81\xAF\xE6\xA1\x86";  // 全屏应用在前台,不弹出满意度调查信息框
    case popup::BusyReason::None:
      break;
  }
  return "";
}

FormText Utf8Value(const char* utf8) { return FormText{utf8, Utf8CharLength}; }
FormText LocalValue(const char* text) { return FormText{text, fw::AnsiCharLength}; }

std::string Utf8Of(const char* text) {
  if (!text || !*text) return {};
  std::string utf8 = EncodeUtf8(fw::AsU16(fw::Widen(text, CP_ACP)));
  utf8.resize(FitPrefix(utf8, kUtf8ValueMaxBytes, Utf8CharLength));
  return utf8;
}

std::string Utf8OfWide(std::wstring_view text) {
  std::string utf8 = EncodeUtf8(fw::AsU16(text));
  utf8.resize(FitPrefix(utf8, kUtf8ValueMaxBytes, Utf8CharLength));
  return utf8;
}

// The part of a wide name that fits where its narrowed form is kept.
std::wstring KeptName(const wchar_t* name) {
  const std::wstring_view whole(name);
  return std::wstring(whole.substr(0, fw::FitWideToAnsi(whole, ContentOf(kNarrowFieldBytes))));
}

std::string ModelUtf8() { return Utf8OfWide(theApp.m_strModelNameW); }

std::int32_t WriteLogUtf8(std::int32_t loginUin, std::int32_t logLevel, std::string_view textUtf8) {
  if (!PassesLogFilter(theApp.m_nWarningLevel, logLevel)) return 0;
  loginUin = ResolveLoginUin(loginUin);
  const std::string model = ModelUtf8();
  const std::string body = BuildWriteLogBody(loginUin, Utf8Value(model.c_str()), LocalValue(theApp.m_szModelVer),
                                             {textUtf8, Utf8CharLength}, logLevel);
  std::int32_t ignored = 0;
  return CallIntMethod(wire::kMethodWriteLog, body, ignored) ? 1 : 0;
}

void Echo(std::int32_t loginUin, std::string_view textUtf8) {
  if (EchoEnabled()) WriteLogUtf8(loginUin, 0, textUtf8);
}

// The model version is sent in the local code page; the echoed copy of a body carries
// it in UTF-8 like the rest of the log line.
std::string VersionUtf8() { return Utf8Of(theApp.m_szModelVer); }

class ClientForSurvey final : public survey::SurveyClient {
 public:
  const std::wstring& ModelName() const noexcept override { return theApp.m_strModelNameW; }
  const std::wstring& SatisfactionFunctionName() const noexcept override { return theApp.m_strSatisFunNameW; }
  const std::wstring& SatisfactionLink() const noexcept override { return theApp.m_strSatisLink; }
  int ReportSatisfaction(int level, const std::wstring& functionName) override {
    return ReportSatisfactionFor(level, functionName);
  }
};

std::unique_ptr<survey::CZandleDemoDlg>& SurveyHostSlot() {
  // Constructed on the first survey, destroyed at unload before the state it reads.
  static ClientForSurvey client;
  static std::unique_ptr<survey::CZandleDemoDlg> host;
  if (!host) host = std::make_unique<survey::CZandleDemoDlg>(client);
  return host;
}

const char* IntoScratch(const std::string& utf8) {
  char* buffer = g_utf8Scratch[g_utf8ScratchIndex];
  g_utf8ScratchIndex = (g_utf8ScratchIndex + 1) % 3;
  std::memset(buffer, 0, kUtf8ScratchBytes);
  std::memcpy(buffer, utf8.data(), utf8.size());
  return buffer;
}

}  // namespace

const char* ToUtf8(const char* text) { return IntoScratch(Utf8Of(text)); }

const char* WideToUtf8(const wchar_t* text) {
  if (!text) return IntoScratch({});
  const std::wstring_view whole(text);
  return IntoScratch(Utf8OfWide(whole.substr(0, fw::FitWideToAnsi(whole, ContentOf(kExportBufferBytes)))));
}

const wchar_t* DoGetAppInfo(const char* modelName, const char* modelVersion, std::int32_t loginUin,
                            const wchar_t* modelNameW) {
  loginUin = ResolveLoginUin(loginUin);
  fw::CopyAnsiTruncated(theApp.m_szModelName, kNarrowFieldBytes, modelName ? modelName : "");
  fw::CopyAnsiTruncated(theApp.m_szModelVer, kNarrowFieldBytes, modelVersion ? modelVersion : "");
  theApp.m_strModelNameW = modelNameW ? KeptName(modelNameW) : fw::Widen(theApp.m_szModelName, CP_ACP);
  if (theApp.m_szAppInfo[0] != 0) return theApp.m_szAppInfo;

  const std::string model = ModelUtf8();
  const std::string body =
      BuildGetAppInfoBody(loginUin, Utf8Value(model.c_str()), Utf8Value(ToUtf8(theApp.m_szModelVer)));
  Echo(loginUin, body);

  std::u16string text;
  if (!CallGetAppInfo(body, text)) return nullptr;

  const std::size_t kept = FitPrefix(text, kAppInfoMaxChars);
  std::memset(theApp.m_szAppInfo, 0, sizeof(theApp.m_szAppInfo));
  std::memcpy(theApp.m_szAppInfo, text.data(), kept * sizeof(char16_t));

  std::string echoed = EncodeUtf8(text);
  echoed.resize(FitPrefix(echoed, kUtf8ValueMaxBytes, Utf8CharLength));
  Echo(loginUin, echoed);

  ApplyAppInfo(fw::AsU16(theApp.m_szAppInfo), theApp.m_nWarningLevel, theApp.m_mapFunName);
  return theApp.m_szAppInfo;
}

std::int32_t DoUserEnter(std::int32_t loginUin, const char* extraUtf8) {
  loginUin = ResolveLoginUin(loginUin);
  const std::string model = ModelUtf8();
  const FormText extraValue = Utf8Value(extraUtf8 ? extraUtf8 : "");
  const FormText* extraPtr = extraUtf8 ? &extraValue : nullptr;
  const std::string body =
      BuildUserEnterBody(loginUin, Utf8Value(model.c_str()), extraPtr, LocalValue(theApp.m_szModelVer));
  const std::string version = VersionUtf8();
  Echo(loginUin, BuildUserEnterBody(loginUin, Utf8Value(model.c_str()), extraPtr, Utf8Value(version.c_str())));

  std::int32_t detailId = -1;
  return CallIntMethod(wire::kMethodUserEnter, body, detailId) ? detailId : -1;
}

std::int32_t DoUserLeave(std::int32_t loginDetailId) {
  const std::string body = BuildUserLeaveBody(loginDetailId);
  Echo(theApp.m_nLoginUIN, body);
  std::int32_t ignored = 0;
  return CallIntMethod(wire::kMethodUserLeave, body, ignored) ? 1 : 0;
}

std::int32_t DoWriteLog(std::int32_t loginUin, std::int32_t logLevel, const char* textUtf8) {
  return WriteLogUtf8(loginUin, logLevel, textUtf8 ? textUtf8 : "");
}

std::int32_t DoSatisfaction(std::int32_t loginUin, const char* functionName, const wchar_t* functionNameW,
                            const std::wstring& surveyLink, int* levelOut) {
  if (!functionName) return 0;
  if (functionNameW) {
    // The name as given: one the local code page lacks still matches its configuration.
    const std::wstring_view whole(functionNameW);
    const std::wstring_view name = whole.substr(0, fw::FitWideToAnsi(whole, ContentOf(kExportBufferBytes)));
    if (!theApp.m_mapFunName.contains(std::u16string(fw::AsU16(name))) && name != theApp.m_strModelNameW) return 0;
  } else {
    const std::u16string wideName(fw::AsU16(fw::Widen(functionName, CP_THREAD_ACP)));
    if (!theApp.m_mapFunName.contains(wideName) && std::strcmp(functionName, theApp.m_szModelName) != 0) return 0;
  }

  loginUin = ResolveLoginUin(loginUin);
  // A presentation, a game or quiet hours: as if the function were not listed.
  if (const popup::BusyReason busy = popup::UserBusyReason(); busy != popup::BusyReason::None) {
    Echo(loginUin, BusyLine(busy));
    return 0;
  }
  fw::CopyAnsiTruncated(theApp.m_szSatisFunName, kNarrowFieldBytes, functionName);
  theApp.m_strSatisFunNameW =
      functionNameW ? KeptName(functionNameW) : fw::Widen(theApp.m_szSatisFunName, CP_ACP);
  theApp.m_strSatisLink = surveyLink;

  survey::CZandleDemoDlg& host = *SurveyHostSlot();
  // Without its host window a survey could be neither shown nor answered.
  if (!host.HasWindow() && !host.Create()) return 0;

  if (!g_bNetError) {
    Echo(loginUin, kSurveyShownLine);
    host.ShowSurveyPopup(levelOut);
  } else {
    Echo(loginUin, kSurveyBlockedLine);
  }
  return 0;
}

std::int32_t ReportSatisfaction(std::int32_t level) { return ReportSatisfactionFor(level, theApp.m_strSatisFunNameW); }

std::int32_t ReportSatisfactionFor(std::int32_t level, const std::wstring& functionName) {
  const std::string model = ModelUtf8();
  const std::string function = Utf8OfWide(functionName);
  const std::string body = BuildSatisfactionBody(theApp.m_nLoginUIN, Utf8Value(model.c_str()),
                                                 LocalValue(theApp.m_szModelVer), Utf8Value(function.c_str()), level);
  std::int32_t ignored = 0;
  return CallIntMethod(wire::kMethodSatisfaction, body, ignored) ? 1 : 0;
}

}  // namespace zandle::client
