// The exports of Zandle.dll, bound at run time so that any build of the DLL can be checked.
#pragma once

#include <windows.h>

#include "zandle.h"

namespace zandle::cli {

// The types come from the public header: a signature is written there and nowhere else.
struct Exports {
  decltype(&::SetServerA) SetServerA = nullptr;
  decltype(&::SetServerW) SetServerW = nullptr;
  decltype(&::getAppInfoA) getAppInfoA = nullptr;
  decltype(&::getAppInfoW) getAppInfoW = nullptr;
  decltype(&::UserEnterA) UserEnterA = nullptr;
  decltype(&::UserEnterW) UserEnterW = nullptr;
  decltype(&::UserLeave) UserLeave = nullptr;
  decltype(&::WriteLogA) WriteLogA = nullptr;
  decltype(&::WriteLogW) WriteLogW = nullptr;
  decltype(&::SatisfactionA) SatisfactionA = nullptr;
  decltype(&::SatisfactionW) SatisfactionW = nullptr;
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
