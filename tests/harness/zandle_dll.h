// Loads a fresh Zandle.dll for one test and binds its exports by name; unloading it
// at the end of the test discards all of the library's process-wide state.
#pragma once

#include <windows.h>

#include <string>

#include "zandle.h"

namespace zandle::test {

struct ZandleDll {
  // The types come from the public header: a signature is written there and nowhere else.
  using SetServerAFn = decltype(&::SetServerA);
  using SetServerWFn = decltype(&::SetServerW);
  using GetAppInfoAFn = decltype(&::getAppInfoA);
  using GetAppInfoWFn = decltype(&::getAppInfoW);
  using UserEnterAFn = decltype(&::UserEnterA);
  using UserEnterWFn = decltype(&::UserEnterW);
  using UserLeaveFn = decltype(&::UserLeave);
  using WriteLogAFn = decltype(&::WriteLogA);
  using WriteLogWFn = decltype(&::WriteLogW);
  using SatisfactionAFn = decltype(&::SatisfactionA);
  using SatisfactionWFn = decltype(&::SatisfactionW);

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
