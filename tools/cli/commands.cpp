#include "commands.h"

#include <windows.h>

#include <cwchar>

#include "client/core/app_info.h"
#include "console.h"
#include "framework/code_page.h"

namespace zandle::cli {
namespace {

enum class Arg { kInt, kText, kDetailId, kSeconds };

struct Syntax {
  const wchar_t* name;
  std::vector<std::pair<const wchar_t*, Arg>> args;
};

const std::vector<Syntax>& Syntaxes() {
  static const std::vector<Syntax> syntaxes = {
      {L"setserver", {{L"SERVER", Arg::kText}, {L"OPTIONS", Arg::kInt}}},
      {L"getappinfo", {{L"UIN", Arg::kInt}, {L"MODEL", Arg::kText}, {L"VERSION", Arg::kText}}},
      {L"userenter", {{L"UIN", Arg::kInt}, {L"EXTRA", Arg::kText}}},
      {L"userleave", {{L"DETAIL-ID", Arg::kDetailId}}},
      {L"writelog", {{L"UIN", Arg::kInt}, {L"LEVEL", Arg::kInt}, {L"TEXT", Arg::kText}}},
      {L"satisfaction", {{L"UIN", Arg::kInt}, {L"FUNCTION", Arg::kText}, {L"LINK", Arg::kText}}},
      {L"pump", {{L"SECONDS", Arg::kSeconds}}},
      {L"check", {}},
  };
  return syntaxes;
}

bool ToInt(const wchar_t* text, long& value) {
  wchar_t* end = nullptr;
  value = std::wcstol(text, &end, 10);
  return end != text && *end == 0;
}

int IntArg(const wchar_t* text) {
  long value = 0;
  ToInt(text, value);
  return static_cast<int>(value);
}

const wchar_t* TextArg(const wchar_t* arg) { return std::wcscmp(arg, L"-") == 0 ? nullptr : arg; }

std::wstring Quote(const wchar_t* text) { return text ? L"\"" + std::wstring(text) + L"\"" : L"null"; }

void PumpMessages(DWORD milliseconds) {
  const ULONGLONG end = ::GetTickCount64() + milliseconds;
  for (ULONGLONG now = ::GetTickCount64(); now < end; now = ::GetTickCount64()) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

std::wstring HeldBackReason(int level, int warningLevel) {
  if (level >= 0 && warningLevel >= 0) {
    return L"level " + std::to_wstring(level) + L" > " + std::to_wstring(warningLevel);
  }
  return L"level " + std::to_wstring(level) + L" is above warning level " + std::to_wstring(warningLevel) +
         L" when both are read as unsigned numbers";
}

}  // namespace

bool IsCommandName(const std::wstring& name) {
  for (const Syntax& syntax : Syntaxes()) {
    if (name == syntax.name) return true;
  }
  return false;
}

bool ParseCommand(const std::vector<const wchar_t*>& args, std::size_t& i, Command& command, std::wstring& error) {
  const std::wstring name = args[i];
  const Syntax* syntax = nullptr;
  for (const Syntax& s : Syntaxes()) {
    if (name == s.name) syntax = &s;
  }
  if (!syntax) {
    error = L"unknown command \"" + name + L"\"";
    return false;
  }
  if (i + 1 + syntax->args.size() > args.size()) {
    error = name + L" needs";
    for (const auto& arg : syntax->args) error += std::wstring(L" ") + arg.first;
    return false;
  }
  command = {name, {}};
  for (std::size_t k = 0; k < syntax->args.size(); ++k) {
    const wchar_t* value = args[i + 1 + k];
    const auto& [argName, kind] = syntax->args[k];
    long number = 0;
    const bool fits = kind == Arg::kText || (kind == Arg::kDetailId && std::wcscmp(value, L"last") == 0) ||
                      (ToInt(value, number) && (kind != Arg::kSeconds || number >= 0));
    if (!fits) {
      error = name + L": " + argName + L" must be " +
              (kind == Arg::kSeconds ? L"a number of seconds" : kind == Arg::kDetailId ? L"a number or \"last\"" : L"a number") +
              L", not \"" + value + L"\"";
      return false;
    }
    command.args.push_back(value);
  }
  i += 1 + syntax->args.size();
  return true;
}

void Runner::Run(const Command& c) {
  const auto& a = c.args;
  if (c.name == L"setserver") {
    const wchar_t* server = TextArg(a[0]);
    const auto options = static_cast<unsigned>(IntArg(a[1]));
    narrow_ ? e_.SetServerA(NarrowArg(server).get(), options) : e_.SetServerW(server, options);
    Print(L"SetServer(" + Quote(server) + L", " + std::to_wstring(IntArg(a[1])) + L")\n");
  } else if (c.name == L"getappinfo") {
    const wchar_t* model = TextArg(a[1]);
    const wchar_t* version = TextArg(a[2]);
    std::wstring text;
    bool ok = false;
    if (narrow_) {
      const char* reply = e_.getAppInfoA(IntArg(a[0]), NarrowArg(model).get(), NarrowArg(version).get());
      ok = reply != nullptr;
      text = Wide(reply);
    } else {
      const wchar_t* reply = e_.getAppInfoW(IntArg(a[0]), model, version);
      ok = reply != nullptr;
      if (ok) text = reply;
    }
    if (ok) {
      FunctionNameSet names;
      ApplyAppInfo(fw::AsU16(text), warningLevel_, names);
    }
    Report(L"getAppInfo", ok ? Quote(text.c_str()) : L"null", ok);
  } else if (c.name == L"userenter") {
    const wchar_t* extra = TextArg(a[1]);
    lastDetailId_ = narrow_ ? e_.UserEnterA(IntArg(a[0]), NarrowArg(extra).get()) : e_.UserEnterW(IntArg(a[0]), extra);
    Report(L"UserEnter", std::to_wstring(lastDetailId_), lastDetailId_ != -1);
  } else if (c.name == L"userleave") {
    const int id = std::wcscmp(a[0], L"last") == 0 ? lastDetailId_ : IntArg(a[0]);
    const int result = e_.UserLeave(id);
    Report(L"UserLeave", std::to_wstring(result), result == 1);
  } else if (c.name == L"writelog") {
    const int level = IntArg(a[1]);
    const wchar_t* text = TextArg(a[2]);
    const int result = narrow_ ? e_.WriteLogA(IntArg(a[0]), level, NarrowArg(text).get())
                               : e_.WriteLogW(IntArg(a[0]), level, text);
    if (result == 0 && !PassesLogFilter(warningLevel_, level)) {
      const std::wstring note = L"   (held back by the warning level: " + HeldBackReason(level, warningLevel_) +
                                L"; not sent)";
      Report(L"WriteLog", L"0", true, note.c_str());
    } else {
      Report(L"WriteLog", std::to_wstring(result), result == 1);
    }
  } else if (c.name == L"satisfaction") {
    const wchar_t* function = TextArg(a[1]);
    const wchar_t* link = TextArg(a[2]);
    const int result = narrow_ ? e_.SatisfactionA(IntArg(a[0]), NarrowArg(function).get(), NarrowArg(link).get(), &level_)
                               : e_.SatisfactionW(IntArg(a[0]), function, link, &level_);
    Report(L"Satisfaction", std::to_wstring(result), true);
  } else if (c.name == L"pump") {
    PumpMessages(static_cast<DWORD>(IntArg(a[0])) * 1000);
    Print(L"picked level: " + std::to_wstring(level_) + L"\n");
  }
}

void Runner::Report(const wchar_t* name, const std::wstring& result, bool ok, const wchar_t* note) {
  const wchar_t* suffix = narrow_ ? L"A" : (std::wcscmp(name, L"UserLeave") == 0 ? L"" : L"W");
  Print(std::wstring(name) + suffix + L" -> " + result + (note ? note : ok ? L"" : L"   (failed)") + L"\n");
  allSucceeded_ = allSucceeded_ && ok;
}

}  // namespace zandle::cli
