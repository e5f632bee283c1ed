// Every function Zandle.dll may import, by module: each is exported by that module on
// Windows XP SP3 (comctl32 in version 6, which the library's manifest binds). An import
// that is not listed here has to be checked against XP SP3 before it is added.
#pragma once

#include <map>
#include <set>
#include <string>

namespace zandle::test {

inline const std::map<std::string, std::set<std::string>>& WindowsXpImports() {
  static const std::map<std::string, std::set<std::string>> imports = {
    {"comctl32.dll", {"DefSubclassProc", "ImageList_AddMasked", "ImageList_Create", "ImageList_Destroy",
      "ImageList_GetIcon", "InitCommonControlsEx", "RemoveWindowSubclass", "SetWindowSubclass"}},
    {"gdi32.dll", {"BitBlt", "CreateBitmap", "CreateCompatibleBitmap", "CreateCompatibleDC",
      "CreateDIBSection", "CreateFontIndirectW", "CreatePen", "CreateSolidBrush", "DeleteDC", "DeleteObject",
      "ExtTextOutW", "GdiFlush", "GetBkColor", "GetBkMode", "GetClipBox", "GetCurrentObject", "GetDIBits",
      "GetDeviceCaps", "GetGraphicsMode", "GetMapMode", "GetObjectType", "GetObjectW", "GetPixel",
      "GetTextColor", "GetViewportOrgEx", "GetWindowOrgEx", "Polygon", "SelectObject", "SetBkColor",
      "SetBkMode", "SetPixel", "SetPixelV", "SetStretchBltMode", "SetTextColor", "StretchBlt"}},
    {"kernel32.dll", {"ActivateActCtx", "AddVectoredExceptionHandler", "CloseHandle", "CreateActCtxW",
      "CreateEventA", "CreateSemaphoreA", "DeactivateActCtx", "DeleteCriticalSection", "DuplicateHandle",
      "EnterCriticalSection", "EnumResourceNamesW", "FindResourceW", "FreeLibrary", "GetACP",
      "GetCurrentProcess", "GetCurrentProcessId", "GetCurrentThread", "GetCurrentThreadId",
      "GetHandleInformation", "GetLastError", "GetModuleFileNameW", "GetModuleHandleA", "GetModuleHandleExW", "GetModuleHandleW",
      "GetProcAddress", "GetProcessAffinityMask", "GetSystemTimeAsFileTime", "GetThreadContext",
      "GetThreadPriority", "GetTickCount", "GetVersionExW", "InitializeCriticalSection", "IsDBCSLeadByte",
      "IsDBCSLeadByteEx", "IsDebuggerPresent", "LeaveCriticalSection", "LoadLibraryA", "LoadLibraryW",
      "LoadResource", "LockResource", "MultiByteToWideChar", "OpenProcess", "OutputDebugStringA",
      "RaiseException", "ReleaseActCtx", "ReleaseSemaphore", "RemoveVectoredExceptionHandler", "ResetEvent",
      "ResumeThread", "SetEvent", "SetLastError", "SetProcessAffinityMask", "SetThreadContext",
      "SetThreadPriority", "SizeofResource", "Sleep", "SuspendThread", "TlsAlloc", "TlsGetValue",
      "TlsSetValue", "TryEnterCriticalSection", "VirtualProtect", "VirtualQuery", "WaitForMultipleObjects",
      "WaitForSingleObject", "WideCharToMultiByte"}},
    {"msvcrt.dll", {"__mb_cur_max", "__setusermatherr", "_amsg_exit", "_beginthreadex", "_close",
      "_endthreadex", "_errno", "_initterm", "_iob", "_lock", "_read", "_setjmp3", "_strdup", "_ultoa",
      "_unlock", "abort", "atoi", "calloc", "exit", "fgetwc", "fprintf", "fputc", "fputs", "free", "fwrite",
      "iswctype", "iswspace", "localeconv", "longjmp", "malloc", "memchr", "memcmp", "memcpy", "memmove",
      "memset", "printf", "realloc", "setlocale", "strchr", "strcmp", "strerror", "strlen", "strncmp",
      "towlower", "towupper", "ungetwc", "vfprintf", "wcslen", "wcstol", "wcstoul"}},
    {"ole32.dll", {"CoCreateInstance", "CoInitializeEx", "CoUninitialize", "OleRun"}},
    {"oleaut32.dll", {"SysAllocStringLen", "SysFreeString", "SysStringLen", "VariantInit"}},
    {"shell32.dll", {"SHAppBarMessage", "ShellExecuteW"}},
    {"user32.dll", {"AppendMenuW", "BeginPaint", "CheckDlgButton", "CopyIcon", "CreateDialogParamW",
      "CreateIconIndirect", "CreateWindowExW", "DefWindowProcW", "DestroyIcon", "DestroyMenu", "DestroyWindow",
      "DispatchMessageW", "DrawIcon", "DrawIconEx", "DrawStateW", "DrawTextW", "EnableWindow", "EndPaint",
      "EnumThreadWindows", "EqualRect", "GetCapture", "GetClassLongW", "GetClassNameW", "GetClientRect", "GetDC", "GetDesktopWindow",
      "GetDlgCtrlID", "GetDlgItem", "GetDlgItemInt", "GetFocus", "GetForegroundWindow", "GetIconInfo", "GetMessagePos", "GetMessageW",
      "GetParent", "GetShellWindow", "GetSubMenu",
      "GetKeyState", "GetSysColor", "GetSystemMenu", "GetSystemMetrics", "GetWindow", "GetWindowLongW", "GetWindowRect",
      "GetWindowThreadProcessId", "InflateRect", "IntersectRect", "InvalidateRect", "IsDlgButtonChecked",
      "IsIconic", "IsWindow", "IsWindowEnabled", "IsWindowVisible", "KillTimer", "LoadBitmapW", "LoadCursorW", "LoadIconW", "LoadImageW",
      "LoadMenuW", "LoadStringW", "MoveWindow", "NotifyWinEvent", "OffsetRect", "PeekMessageW", "PostQuitMessage", "PtInRect",
      "RegisterClassExW", "ReleaseCapture", "ReleaseDC", "SendDlgItemMessageW", "SendMessageW", "SetCapture",
      "SetDlgItemInt", "SetFocus", "SetForegroundWindow", "SetTimer", "SetWindowLongW", "SetWindowPos", "SetWindowRgn", "SystemParametersInfoW",
      "TrackMouseEvent", "TrackPopupMenu", "TranslateMessage", "UnionRect", "UnregisterClassW", "UpdateWindow"}},
    {"wininet.dll", {"HttpOpenRequestW", "HttpQueryInfoW", "HttpSendRequestW", "InternetCloseHandle",
      "InternetConnectW", "InternetOpenW", "InternetQueryDataAvailable", "InternetReadFile",
      "InternetSetOptionW"}},
  };
  return imports;
}

}  // namespace zandle::test
