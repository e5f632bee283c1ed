#include "zandle_dll.h"

#include <stdexcept>

#include "framework/code_page.h"

namespace zandle::test {
namespace {

template <typename Fn>
void Bind(HMODULE module, const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
  if (!fn) throw std::runtime_error(std::string("missing export ") + name);
}

}  // namespace

std::wstring BesideThisProgram(const wchar_t* fileName) {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path);
  dir.erase(dir.find_last_of(L"\\/") + 1);
  return dir + fileName;
}

ZandleDll::ZandleDll() {
  module = ::LoadLibraryW(BesideThisProgram(L"Zandle.dll").c_str());
  if (!module) throw std::runtime_error("Zandle.dll did not load");
  Bind(module, "SetServerA", SetServerA);
  Bind(module, "SetServerW", SetServerW);
  Bind(module, "getAppInfoA", getAppInfoA);
  Bind(module, "getAppInfoW", getAppInfoW);
  Bind(module, "UserEnterA", UserEnterA);
  Bind(module, "UserEnterW", UserEnterW);
  Bind(module, "UserLeave", UserLeave);
  Bind(module, "WriteLogA", WriteLogA);
  Bind(module, "WriteLogW", WriteLogW);
  Bind(module, "SatisfactionA", SatisfactionA);
  Bind(module, "SatisfactionW", SatisfactionW);
}

ZandleDll::~ZandleDll() {
  if (module) ::FreeLibrary(module);
}

std::string Ansi(const std::wstring& text) { return fw::Narrow(text, CP_ACP); }

std::string Utf8(const std::wstring& text) { return fw::Narrow(text, CP_UTF8); }

}  // namespace zandle::test
