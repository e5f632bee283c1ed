// Real input and programs of the display for the survey's tests: Unix programs started
// through Wine (xdotool moves the display's one pointer, ImageMagick photographs it) and
// a message pump that waits for what they cause.
#pragma once

#include <windows.h>

#include <string>

namespace zandle::survey::testing {

// Starts the Unix program named by `command` (an absolute path, then its arguments); Wine
// runs it as it is. The program ends by itself: callers wait for what it does.
inline bool StartUnixProgram(const std::string& command) {
  std::wstring line(command.begin(), command.end());
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

inline bool StartXdotool(const std::string& arguments) { return StartUnixProgram("/usr/bin/xdotool " + arguments); }

// Dispatches this thread's messages until `done` or `ms` have passed.
template <typename Done>
bool PumpUntil(Done done, DWORD ms) {
  const DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start > ms) return false;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::Sleep(10);
  }
  return true;
}

}  // namespace zandle::survey::testing
