#include "console.h"

#include <windows.h>

#include "framework/code_page.h"

namespace zandle::cli {
namespace {

// Console output as UTF-16; redirected output as UTF-8.
void Write(DWORD which, const std::wstring& text) {
  const HANDLE out = ::GetStdHandle(which);
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

std::int64_t Ticks() {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return now.QuadPart;
}

}  // namespace

void Print(const std::wstring& text) { Write(STD_OUTPUT_HANDLE, text); }
void PrintError(const std::wstring& text) { Write(STD_ERROR_HANDLE, text); }

std::string Ansi(const wchar_t* text) { return text ? fw::Narrow(text, CP_ACP) : std::string(); }
std::wstring Wide(const char* text) { return text ? fw::Widen(text, CP_ACP) : std::wstring(); }

Stopwatch::Stopwatch() : start_(Ticks()) {}

std::int64_t Stopwatch::Ms() const {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return (Ticks() - start_) * 1000 / frequency.QuadPart;
}

}  // namespace zandle::cli
