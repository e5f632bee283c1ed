// zandle-cli: loads Zandle.dll and calls its exports from the command line, so that an
// administrator can check a deployment from a console.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "framework/code_page.h"

namespace {

constexpr wchar_t kUsage[] =
    L"usage: zandle-cli [--dll PATH] [--server HOST[:PORT]] [--options N] [--narrow] [--by-ordinal]\n"
    L"                  COMMAND ARGS... [COMMAND ARGS...]...\n"
    L"commands (\"-\" passes a null text):\n"
    L"  setserver SERVER OPTIONS\n"
    L"  getappinfo UIN MODEL VERSION\n"
    L"  userenter UIN EXTRA\n"
    L"  userleave DETAIL-ID|last       (last: the id the previous userenter returned)\n"
    L"  writelog UIN LEVEL TEXT\n"
    L"  satisfaction UIN FUNCTION LINK\n"
    L"  pump SECONDS                   (runs the message loop, e.g. while a survey is up)\n"
    L"exit status: 0 when every call succeeded, 1 when one failed, 2 for usage errors\n";

struct Exports {
  void(__stdcall* SetServerA)(const char*, unsigned) = nullptr;
  void(__stdcall* SetServerW)(const wchar_t*, unsigned) = nullptr;
  const char*(__stdcall* getAppInfoA)(int, const char*, const char*) = nullptr;
  const wchar_t*(__stdcall* getAppInfoW)(int, const wchar_t*, const wchar_t*) = nullptr;
  int(__stdcall* UserEnterA)(int, const char*) = nullptr;
  int(__stdcall* UserEnterW)(int, const wchar_t*) = nullptr;
  int(__stdcall* UserLeave)(int) = nullptr;
  int(__stdcall* WriteLogA)(int, int, const char*) = nullptr;
  int(__stdcall* WriteLogW)(int, int, const wchar_t*) = nullptr;
  int(__stdcall* SatisfactionA)(int, const char*, const char*, int*) = nullptr;
  int(__stdcall* SatisfactionW)(int, const wchar_t*, const wchar_t*, int*) = nullptr;
};

template <typename Fn>
bool Bind(HMODULE module, const char* name, int ordinal, bool byOrdinal, Fn& fn) {
  FARPROC proc = ::GetProcAddress(module, byOrdinal ? MAKEINTRESOURCEA(ordinal) : name);
  fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
  return fn != nullptr;
}

bool BindAll(HMODULE m, bool byOrdinal, Exports& e) {
  return Bind(m, "SetServerA", 1, byOrdinal, e.SetServerA) && Bind(m, "SetServerW", 2, byOrdinal, e.SetServerW) &&
         Bind(m, "getAppInfoA", 3, byOrdinal, e.getAppInfoA) && Bind(m, "getAppInfoW", 4, byOrdinal, e.getAppInfoW) &&
         Bind(m, "UserEnterA", 5, byOrdinal, e.UserEnterA) && Bind(m, "UserEnterW", 6, byOrdinal, e.UserEnterW) &&
         Bind(m, "UserLeave", 7, byOrdinal, e.UserLeave) && Bind(m, "WriteLogA", 8, byOrdinal, e.WriteLogA) &&
         Bind(m, "WriteLogW", 9, byOrdinal, e.WriteLogW) && Bind(m, "SatisfactionA", 10, byOrdinal, e.SatisfactionA) &&
         Bind(m, "SatisfactionW", 11, byOrdinal, e.SatisfactionW);
}

// Console output as UTF-16; redirected output as UTF-8.
void Print(const std::wstring& text) {
  const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0, written = 0;
  if (::GetConsoleMode(out, &mode)) {
    ::WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), n, nullptr, nullptr);
  ::WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

std::string Ansi(const wchar_t* text) { return text ? zandle::fw::Narrow(text, CP_ACP) : std::string(); }

std::wstring Wide(const char* text) { return text ? zandle::fw::Widen(text, CP_ACP) : std::wstring(); }

const wchar_t* TextArg(const wchar_t* arg) { return std::wcscmp(arg, L"-") == 0 ? nullptr : arg; }

bool ParseInt(const wchar_t* text, long& value) {
  wchar_t* end = nullptr;
  value = std::wcstol(text, &end, 10);
  return end != text && *end == 0;
}

// Narrow texts live until the call returns.
struct NarrowArg {
  explicit NarrowArg(const wchar_t* w) : isNull(w == nullptr), text(Ansi(w)) {}
  const char* get() const { return isNull ? nullptr : text.c_str(); }
  bool isNull;
  std::string text;
};

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

class Runner {
 public:
  Runner(const Exports& e, bool narrow) : e_(e), narrow_(narrow) {}

  // Runs the command at args[i]; advances i past its arguments. False on usage errors.
  bool Run(const std::vector<const wchar_t*>& args, std::size_t& i) {
    const std::wstring command = args[i++];
    auto need = [&](std::size_t n) { return i + n <= args.size(); };
    long a = 0, b = 0;
    if (command == L"setserver" && need(2) && ParseInt(args[i + 1], a)) {
      const wchar_t* server = TextArg(args[i]);
      narrow_ ? e_.SetServerA(NarrowArg(server).get(), static_cast<unsigned>(a)) : e_.SetServerW(server, static_cast<unsigned>(a));
      Print(L"SetServer(" + Quote(server) + L", " + std::to_wstring(a) + L")\n");
      i += 2;
    } else if (command == L"getappinfo" && need(3) && ParseInt(args[i], a)) {
      const wchar_t* model = TextArg(args[i + 1]);
      const wchar_t* version = TextArg(args[i + 2]);
      std::wstring result;
      bool ok = false;
      if (narrow_) {
        const char* text = e_.getAppInfoA(static_cast<int>(a), NarrowArg(model).get(), NarrowArg(version).get());
        ok = text != nullptr;
        result = ok ? Quote(Wide(text).c_str()) : L"null";
      } else {
        const wchar_t* text = e_.getAppInfoW(static_cast<int>(a), model, version);
        ok = text != nullptr;
        result = Quote(text);
      }
      Report(L"getAppInfo", result, ok);
      i += 3;
    } else if (command == L"userenter" && need(2) && ParseInt(args[i], a)) {
      const wchar_t* extra = TextArg(args[i + 1]);
      lastDetailId_ = narrow_ ? e_.UserEnterA(static_cast<int>(a), NarrowArg(extra).get())
                              : e_.UserEnterW(static_cast<int>(a), extra);
      Report(L"UserEnter", std::to_wstring(lastDetailId_), lastDetailId_ != -1);
      i += 2;
    } else if (command == L"userleave" && need(1) &&
               (std::wcscmp(args[i], L"last") == 0 ? (a = lastDetailId_, true) : ParseInt(args[i], a))) {
      const int result = e_.UserLeave(static_cast<int>(a));
      Report(L"UserLeave", std::to_wstring(result), result == 1);
      i += 1;
    } else if (command == L"writelog" && need(3) && ParseInt(args[i], a) && ParseInt(args[i + 1], b)) {
      const wchar_t* text = TextArg(args[i + 2]);
      const int result = narrow_ ? e_.WriteLogA(static_cast<int>(a), static_cast<int>(b), NarrowArg(text).get())
                                 : e_.WriteLogW(static_cast<int>(a), static_cast<int>(b), text);
      Report(L"WriteLog", std::to_wstring(result) + (result == 1 ? L"" : L"   (filtered by the warning level, or not answered)"),
             true);
      allSucceeded_ = allSucceeded_ && result == 1;
      i += 3;
    } else if (command == L"satisfaction" && need(3) && ParseInt(args[i], a)) {
      const wchar_t* function = TextArg(args[i + 1]);
      const wchar_t* link = TextArg(args[i + 2]);
      const int result = narrow_ ? e_.SatisfactionA(static_cast<int>(a), NarrowArg(function).get(), NarrowArg(link).get(), &level_)
                                 : e_.SatisfactionW(static_cast<int>(a), function, link, &level_);
      Report(L"Satisfaction", std::to_wstring(result), true);
      i += 3;
    } else if (command == L"pump" && need(1) && ParseInt(args[i], a) && a >= 0) {
      PumpMessages(static_cast<DWORD>(a) * 1000);
      Print(L"picked level: " + std::to_wstring(level_) + L"\n");
      i += 1;
    } else {
      return false;
    }
    return true;
  }

  bool AllSucceeded() const { return allSucceeded_; }

 private:
  void Report(const wchar_t* name, const std::wstring& result, bool ok) {
    Print(std::wstring(name) + (narrow_ ? L"A" : (std::wcscmp(name, L"UserLeave") == 0 ? L"" : L"W")) + L" -> " +
          result + (ok ? L"\n" : L"   (failed)\n"));
    allSucceeded_ = allSucceeded_ && ok;
  }

  const Exports& e_;
  bool narrow_;
  int lastDetailId_ = -1;
  int level_ = 0;
  bool allSucceeded_ = true;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<const wchar_t*> args(argv + 1, argv + argc);
  std::wstring dllPath = L"Zandle.dll";
  const wchar_t* server = nullptr;
  long options = 0;
  bool narrow = false, byOrdinal = false;
  std::size_t i = 0;
  for (; i < args.size() && args[i][0] == L'-' && args[i][1] == L'-'; ++i) {
    const std::wstring flag = args[i];
    if (flag == L"--narrow") narrow = true;
    else if (flag == L"--by-ordinal") byOrdinal = true;
    else if (flag == L"--dll" && i + 1 < args.size()) dllPath = args[++i];
    else if (flag == L"--server" && i + 1 < args.size()) server = args[++i];
    else if (flag == L"--options" && i + 1 < args.size() && ParseInt(args[i + 1], options)) ++i;
    else { Print(kUsage); return 2; }
  }
  if (i >= args.size()) { Print(kUsage); return 2; }

  const HMODULE module = ::LoadLibraryW(dllPath.c_str());
  if (!module) {
    Print(L"cannot load " + dllPath + L" (error " + std::to_wstring(::GetLastError()) + L")\n");
    return 1;
  }
  Exports exports;
  if (!BindAll(module, byOrdinal, exports)) {
    Print(dllPath + L" lacks an export of Zandle.dll\n");
    return 1;
  }
  if (server || options) exports.SetServerW(server, static_cast<unsigned>(options));

  Runner runner(exports, narrow);
  while (i < args.size()) {
    const wchar_t* command = args[i];
    if (!runner.Run(args, i)) {
      Print(std::wstring(L"bad command or arguments: ") + command + L"\n" + kUsage);
      return 2;
    }
  }
  const int status = runner.AllSucceeded() ? 0 : 1;
  ::FreeLibrary(module);
  return status;
}
