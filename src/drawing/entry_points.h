// Optional system entry points, bound by name at run time in this one table. Each has
// a fallback in its caller, and tests can force each one absent, or stand in for the
// platform's version answers where Wine and Windows differ.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace zandle::drawing {

enum class OptionalEntry {
  GradientFill,      // msimg32
  AlphaBlend,        // msimg32
  Layout,            // gdi32 GetLayout/SetLayout
  VisualStyles,      // UXTHEME.DLL, every function
  MonitorFunctions,  // user32 multi-monitor functions
  LayeredWindows,    // user32 SetLayeredWindowAttributes
  NotificationState, // shell32 SHQueryUserNotificationState
  DpiFunctions,      // user32 GetDpiForWindow, shcore GetDpiForMonitor
  Accessibility,     // oleacc LresultFromObject, CreateStdAccessibleObject
  Count
};

using GradientFillFn = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);
using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
using GetLayoutFn = DWORD(WINAPI*)(HDC);
using SetLayoutFn = DWORD(WINAPI*)(HDC, DWORD);

// "msimg32.dll", loaded once and never unloaded.
struct ImageLibraryEntries {
  HMODULE module = nullptr;
  GradientFillFn gradientFill = nullptr;
  AlphaBlendFn alphaBlend = nullptr;
};
ImageLibraryEntries LoadImageLibraryEntries() noexcept;

GetLayoutFn BoundGetLayout() noexcept;

// "SetLayeredWindowAttributes" of the already loaded user32; null before Windows 2000.
using SetLayeredWindowAttributesFn = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
SetLayeredWindowAttributesFn BoundSetLayeredWindowAttributes() noexcept;
SetLayoutFn BoundSetLayout() noexcept;

// "SHQueryUserNotificationState" of the already loaded shell32; null before Vista.
using QueryUserNotificationStateFn = HRESULT(WINAPI*)(int*);
QueryUserNotificationStateFn BoundQueryUserNotificationState() noexcept;

// The multi-monitor functions of user32; all null when any one is missing.
struct WorkAreaEntries {
  int(WINAPI* getSystemMetrics)(int) = nullptr;
  HMONITOR(WINAPI* monitorFromWindow)(HWND, DWORD) = nullptr;
  HMONITOR(WINAPI* monitorFromRect)(LPCRECT, DWORD) = nullptr;
  HMONITOR(WINAPI* monitorFromPoint)(POINT, DWORD) = nullptr;
  BOOL(WINAPI* getMonitorInfo)(HMONITOR, LPMONITORINFO) = nullptr;
};
const WorkAreaEntries& BoundWorkAreaEntries() noexcept;

// The per-monitor DPI functions: GetDpiForWindow (Windows 10) of user32 and
// GetDpiForMonitor (Windows 8.1) of "shcore.dll", loaded once and never unloaded.
// Each may be null; the caller falls back to the screen's LOGPIXELSY.
struct DpiEntries {
  UINT(WINAPI* getDpiForWindow)(HWND) = nullptr;
  HRESULT(WINAPI* getDpiForMonitor)(HMONITOR, int, UINT*, UINT*) = nullptr;
};
const DpiEntries& BoundDpiEntries() noexcept;

// "oleacc.dll", loaded once and never unloaded; without it the popup answers no
// screen reader, and the library still loads.
using LresultFromObjectFn = LRESULT(WINAPI*)(REFIID, WPARAM, IUnknown*);
using CreateStdAccessibleObjectFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
LresultFromObjectFn BoundLresultFromObject() noexcept;
CreateStdAccessibleObjectFn BoundCreateStdAccessibleObject() noexcept;

// UXTHEME.DLL: the module and one lazily filled slot per function.
enum class VisualStylesEntry {
  OpenThemeData,
  CloseThemeData,
  DrawThemeBackground,
  GetThemeColor,
  GetThemePartSize,
  GetCurrentThemeName,
  IsAppThemed,
  IsThemeActive,
  Count
};
// Rebinds when the library now found in the process differs from the bound one.
void RecheckVisualStylesModule() noexcept;
// The slot's entry, resolved now if it is empty; null without the library or entry.
FARPROC VisualStylesEntryPoint(VisualStylesEntry entry) noexcept;
HMODULE BoundVisualStylesModule() noexcept;

bool IsEntryForcedAbsent(OptionalEntry entry) noexcept;

// The operating-system version record, read once.
const OSVERSIONINFOW& OsVersion() noexcept;
bool IsWindows9x() noexcept;          // platform id 1
bool IsWindowsNT4OrLater() noexcept;  // platform id >= 2, major >= 4

// Common controls version as major * 65536 + minor; 4.0 when it cannot be read.
DWORD CommonControlsVersion() noexcept;

namespace test {

class ScopedAbsentEntry {
 public:
  explicit ScopedAbsentEntry(OptionalEntry entry) noexcept;
  ScopedAbsentEntry(const ScopedAbsentEntry&) = delete;
  ScopedAbsentEntry& operator=(const ScopedAbsentEntry&) = delete;
  ~ScopedAbsentEntry();

 private:
  OptionalEntry entry_;
  bool previous_;
};

// Makes the visual-styles lookup find `module` where it would find "UXTHEME.DLL".
class ScopedVisualStylesModule {
 public:
  explicit ScopedVisualStylesModule(HMODULE module) noexcept;
  ScopedVisualStylesModule(const ScopedVisualStylesModule&) = delete;
  ScopedVisualStylesModule& operator=(const ScopedVisualStylesModule&) = delete;
  ~ScopedVisualStylesModule();
};

class ScopedOsVersion {
 public:
  ScopedOsVersion(DWORD platformId, DWORD major, DWORD minor) noexcept;
  ScopedOsVersion(const ScopedOsVersion&) = delete;
  ScopedOsVersion& operator=(const ScopedOsVersion&) = delete;
  ~ScopedOsVersion();

 private:
  OSVERSIONINFOW saved_;
};

class ScopedCommonControlsVersion {
 public:
  explicit ScopedCommonControlsVersion(DWORD packedVersion) noexcept;
  ScopedCommonControlsVersion(const ScopedCommonControlsVersion&) = delete;
  ScopedCommonControlsVersion& operator=(const ScopedCommonControlsVersion&) = delete;
  ~ScopedCommonControlsVersion();

 private:
  DWORD saved_;
};

}  // namespace test
}  // namespace zandle::drawing
