#include "sample_output.h"

#include <vector>

namespace sample {
namespace {

const ULONGLONG g_start = ::GetTickCount64();
constexpr UINT kWatchMs = 20;  // finer than a fade step of 16 ms would need, coarse enough to stay quiet
constexpr wchar_t kPopupClass[] = L"ZandlePopupWindow";

struct Watched {
  HWND window;
  int number;
  RECT rect;
  int alpha;
  bool seen;
};
std::vector<Watched> g_watched;
int g_nextNumber = 1;

int LayeredAlpha(HWND window) {
  BYTE alpha = 0;
  DWORD flags = 0;
  COLORREF key = 0;
  if (!::GetLayeredWindowAttributes(window, &key, &alpha, &flags) || !(flags & LWA_ALPHA)) return -1;
  return alpha;
}

std::string RectText(const RECT& r) {
  return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
         std::to_string(r.bottom);
}

BOOL CALLBACK MarkPopup(HWND window, LPARAM) {
  wchar_t name[64] = {};
  if (!::GetClassNameW(window, name, 64) || std::wstring(name) != kPopupClass || !::IsWindowVisible(window))
    return TRUE;
  RECT rect{};
  ::GetWindowRect(window, &rect);
  const int alpha = LayeredAlpha(window);
  Watched* entry = nullptr;
  for (Watched& w : g_watched)
    if (w.window == window) entry = &w;
  if (!entry) {
    g_watched.push_back({window, g_nextNumber++, rect, alpha, true});
    entry = &g_watched.back();
  } else {
    entry->seen = true;
    if (::EqualRect(&entry->rect, &rect) && entry->alpha == alpha) return TRUE;
    entry->rect = rect;
    entry->alpha = alpha;
  }
  Emit("popup " + std::to_string(entry->number) + " rect " + RectText(rect) + " alpha " + std::to_string(alpha) +
       " at " + std::to_string(Elapsed()));
  return TRUE;
}

void CALLBACK Watch(HWND, UINT, UINT_PTR, DWORD) {
  for (Watched& w : g_watched) w.seen = false;
  ::EnumThreadWindows(::GetCurrentThreadId(), MarkPopup, 0);
  for (auto it = g_watched.begin(); it != g_watched.end();) {
    if (it->seen) {
      ++it;
      continue;
    }
    Emit("popup " + std::to_string(it->number) + " gone at " + std::to_string(Elapsed()));
    it = g_watched.erase(it);
  }
}

}  // namespace

std::string Utf8(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size, nullptr,
                          nullptr);
  return out;
}

unsigned long long Elapsed() { return ::GetTickCount64() - g_start; }

void Emit(const std::string& line) {
  // Straight to the handle: a GUI program's C runtime may have no stdout.
  const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (!out || out == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void EmitWindowRect(const char* what, HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  Emit(std::string(what) + " " + RectText(rect));
}

void EmitWorkArea() {
  RECT area{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  Emit("workarea " + RectText(area));
}

void WatchPopups() { ::SetTimer(nullptr, 0, kWatchMs, Watch); }

}  // namespace sample
