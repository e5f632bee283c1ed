// Loads a fresh Zandle.dll for one test and binds its exports by name; unloading it
// at the end of the test discards all of the library's process-wide state.
#pragma once

#include <windows.h>

#include <string>

namespace zandle::test {

struct ZandleDll {
  using SetServerAFn = void(__stdcall*)(const char*, unsigned int);
  using SetServerWFn = void(__stdcall*)(const wchar_t*, unsigned int);
  using GetAppInfoAFn = const char*(__stdcall*)(int, const char*, const char*);
  using GetAppInfoWFn = const wchar_t*(__stdcall*)(int, const wchar_t*, const wchar_t*);
  using UserEnterAFn = int(__stdcall*)(int, const char*);
  using UserEnterWFn = int(__stdcall*)(int, const wchar_t*);
  using UserLeaveFn = int(__stdcall*)(int);
  using WriteLogAFn = int(__stdcall*)(int, int, const char*);
  using WriteLogWFn = int(__stdcall*)(int, int, const wchar_t*);
  using SatisfactionAFn = int(__stdcall*)(int, const char*, const char*, int*);
  using SatisfactionWFn = int(__stdcall*)(int, const wchar_t*, const wchar_t*, int*);

  ZandleDll();
  ~ZandleDll();
  ZandleDll(const ZandleDll&) = delete;
  ZandleDll& operator=(const ZandleDll&) = delete;

  HMODULE module = nullptr;
  SetServerAFn SetServerA = nullptr;
  SetServerWFn SetServerW = nullptr;
  GetAppInfoAFn getAppInfoA = nullptr;
  GetAppInfoWFn getAppInfoW = nullptr;
  UserEnterAFn UserEnterA = nullptr;
  UserEnterWFn UserEnterW = nullptr;
  UserLeaveFn UserLeave = nullptr;
  WriteLogAFn WriteLogA = nullptr;
  WriteLogWFn WriteLogW = nullptr;
  SatisfactionAFn SatisfactionA = nullptr;
  SatisfactionWFn SatisfactionW = nullptr;
};

// Path of a file beside the running test program.
std::wstring BesideThisProgram(const wchar_t* fileName);

// Text in the process code page, from UTF-16 (for the "A" exports).
std::string Ansi(const std::wstring& text);
// UTF-8 bytes of a UTF-16 text.
std::string Utf8(const std::wstring& text);

}  // namespace zandle::test
