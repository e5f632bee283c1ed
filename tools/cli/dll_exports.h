// The exports of Zandle.dll, bound at run time so that any build of the DLL can be checked.
#pragma once

#include <windows.h>

namespace zandle::cli {

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

inline bool BindAll(HMODULE m, bool byOrdinal, Exports& e) {
  return Bind(m, "SetServerA", 1, byOrdinal, e.SetServerA) && Bind(m, "SetServerW", 2, byOrdinal, e.SetServerW) &&
         Bind(m, "getAppInfoA", 3, byOrdinal, e.getAppInfoA) && Bind(m, "getAppInfoW", 4, byOrdinal, e.getAppInfoW) &&
         Bind(m, "UserEnterA", 5, byOrdinal, e.UserEnterA) && Bind(m, "UserEnterW", 6, byOrdinal, e.UserEnterW) &&
         Bind(m, "UserLeave", 7, byOrdinal, e.UserLeave) && Bind(m, "WriteLogA", 8, byOrdinal, e.WriteLogA) &&
         Bind(m, "WriteLogW", 9, byOrdinal, e.WriteLogW) && Bind(m, "SatisfactionA", 10, byOrdinal, e.SatisfactionA) &&
         Bind(m, "SatisfactionW", 11, byOrdinal, e.SatisfactionW);
}

}  // namespace zandle::cli
