// zandle-cli: loads Zandle.dll and calls its exports from the command line, so that an
// administrator can check a deployment from a console.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "check.h"
#include "client/core/server_address.h"
#include "commands.h"
#include "console.h"
#include "dll_exports.h"
#include "framework/code_page.h"

namespace zandle::cli {
namespace {

constexpr wchar_t kUsage[] =
    L"usage: zandle-cli [--dll PATH] [--server HOST[:PORT]] [--options N] [--narrow] [--by-ordinal]\n"
    L"                  COMMAND ARGS... [COMMAND ARGS...]...\n"
    L"       zandle-cli check --server HOST[:PORT] [--model NAME] [--model-version VERSION] [--uin N]\n"
    L"check: calls GetAppInfo and sends one level-0 log line through Zandle.dll, prints a verdict\n"
    L"  per call and overall with its time; when a call fails, probes the server (and WinINet's\n"
    L"  configured proxy) itself to say why. It runs alone. The tool name defaults to zandle-cli.\n"
    L"commands (\"-\" passes a null text):\n"
    L"  setserver SERVER OPTIONS\n"
    L"  getappinfo UIN MODEL VERSION\n"
    L"  userenter UIN EXTRA\n"
    L"  userleave DETAIL-ID|last       (last: the id the previous userenter returned)\n"
    L"  writelog UIN LEVEL TEXT\n"
    L"  satisfaction UIN FUNCTION LINK\n"
    L"  pump SECONDS                   (runs the message loop, e.g. while a survey is up)\n"
    L"exit status: 0 when every call did what it should (a log line held back by the warning\n"
    L"  level included), 1 when a call failed, 2 for usage errors\n";

struct Settings {
  std::wstring dll = L"Zandle.dll";
  const wchar_t* server = nullptr;
  long options = 0;
  bool narrow = false, byOrdinal = false, help = false;
  const wchar_t* model = nullptr;
  const wchar_t* modelVersion = nullptr;
  const wchar_t* uin = nullptr;
};

bool ToInt(const wchar_t* text, long& value) {
  wchar_t* end = nullptr;
  value = std::wcstol(text, &end, 10);
  return end != text && *end == 0;
}

// Options may stand wherever a command could start.
bool ParseOption(const std::vector<const wchar_t*>& args, std::size_t& i, Settings& s, std::wstring& error) {
  const std::wstring flag = args[i++];
  if (flag == L"--help" || flag == L"-h") return s.help = true;
  if (flag == L"--narrow") return s.narrow = true;
  if (flag == L"--by-ordinal") return s.byOrdinal = true;
  if (flag != L"--dll" && flag != L"--server" && flag != L"--options" && flag != L"--model" &&
      flag != L"--model-version" && flag != L"--uin") {
    error = L"unknown option \"" + flag + L"\"";
    return false;
  }
  if (i >= args.size()) {
    error = flag + L" needs a value";
    return false;
  }
  const wchar_t* value = args[i++];
  long number = 0;
  if ((flag == L"--options" || flag == L"--uin") && !ToInt(value, number)) {
    error = flag + L" must be a number, not \"" + value + L"\"";
    return false;
  }
  if (flag == L"--dll") s.dll = value;
  else if (flag == L"--server") s.server = value;
  else if (flag == L"--options") s.options = number;
  else if (flag == L"--model") s.model = value;
  else if (flag == L"--model-version") s.modelVersion = value;
  else s.uin = value;
  return true;
}

bool Parse(const std::vector<const wchar_t*>& args, Settings& s, std::vector<Command>& commands, std::wstring& error) {
  for (std::size_t i = 0; i < args.size();) {
    const bool isOption = args[i][0] == L'-' && args[i][1] != 0;
    Command command;
    if (isOption ? !ParseOption(args, i, s, error) : !ParseCommand(args, i, command, error)) return false;
    if (s.help) return true;
    if (!isOption) commands.push_back(command);
  }
  if (commands.empty()) {
    error = L"no command given";
    return false;
  }
  bool check = false;
  for (const Command& c : commands) check = check || c.name == L"check";
  if (check && commands.size() > 1) {
    // Another call could trip the DLL's sticky failure flag and spoil the verdicts.
    error = L"check runs alone, not with \"" + (commands[0].name == L"check" ? commands[1].name : commands[0].name) + L"\"";
    return false;
  }
  if (!check && (s.model || s.modelVersion || s.uin)) {
    error = L"--model, --model-version and --uin belong to check";
    return false;
  }
  ServerAddress address;
  if (check && !s.server) error = L"check needs --server HOST[:PORT]";
  else if (check && !ParseServerAddress(fw::AsU16(s.server), address)) {
    error = L"--server \"" + std::wstring(s.server) + L"\" is not HOST, HOST:PORT or [IPV6]:PORT (port 1 to 65535)";
  }
  return error.empty();
}

int Main(const std::vector<const wchar_t*>& args) {
  Settings settings;
  std::vector<Command> commands;
  std::wstring error;
  if (!Parse(args, settings, commands, error)) {
    PrintError(L"zandle-cli: " + error + L"; see zandle-cli --help\n");
    return 2;
  }
  if (settings.help) {
    Print(kUsage);
    return 0;
  }

  const HMODULE module = ::LoadLibraryW(settings.dll.c_str());
  if (!module) {
    Print(L"cannot load " + settings.dll + L" (error " + std::to_wstring(::GetLastError()) + L")\n");
    return 1;
  }
  Exports exports;
  if (!BindAll(module, settings.byOrdinal, exports)) {
    Print(settings.dll + L" lacks an export of Zandle.dll\n");
    return 1;
  }
  if (settings.server || settings.options) exports.SetServerW(settings.server, static_cast<unsigned>(settings.options));

  int status = 0;
  if (commands[0].name == L"check") {
    CheckSettings check;
    check.server = settings.server;
    check.narrow = settings.narrow;
    long uin = 0;
    if (settings.uin) ToInt(settings.uin, uin);
    check.uin = static_cast<int>(uin);
    if (settings.model) check.model = settings.model;
    if (settings.modelVersion) check.version = settings.modelVersion;
    status = RunCheck(exports, check);
  } else {
    Runner runner(exports, settings.narrow);
    for (const Command& command : commands) runner.Run(command);
    status = runner.AllSucceeded() ? 0 : 1;
  }
  ::FreeLibrary(module);
  return status;
}

}  // namespace
}  // namespace zandle::cli

int wmain(int argc, wchar_t** argv) { return zandle::cli::Main(std::vector<const wchar_t*>(argv + 1, argv + argc)); }
