#include "drawing/entry_points.h"

#include <iterator>

namespace zandle::drawing {
namespace {

constexpr const char* kVisualStylesEntryNames[] = {
    "OpenThemeData",    "CloseThemeData", "DrawThemeBackground", "GetThemeColor",
    "GetThemePartSize", "GetCurrentThemeName", "IsAppThemed",     "IsThemeActive",
};
static_assert(std::size(kVisualStylesEntryNames) == static_cast<size_t>(VisualStylesEntry::Count));

constexpr DWORD kCommonControlsUnreadable = 0x00040000;  // counts as 4.0
constexpr DWORD kWindows9xPlatform = 1;                   // VER_PLATFORM_WIN32_WINDOWS

struct EntryTable {
  bool forcedAbsent[static_cast<int>(OptionalEntry::Count)] = {};

  bool layoutLookedUp = false;
  GetLayoutFn getLayout = nullptr;
  SetLayoutFn setLayout = nullptr;

  bool visualStylesCreated = false;
  HMODULE visualStylesModule = nullptr;
  FARPROC visualStylesSlots[static_cast<int>(VisualStylesEntry::Count)] = {};
  bool visualStylesOverridden = false;
  HMODULE visualStylesOverride = nullptr;

  bool versionRead = false;
  OSVERSIONINFOW version{};
  DWORD commonControlsOverride = 0;
};

EntryTable& Table() noexcept {
  static EntryTable table;
  return table;
}

bool Forced(OptionalEntry entry) noexcept { return Table().forcedAbsent[static_cast<int>(entry)]; }

HMODULE FindVisualStylesModule() noexcept {
  EntryTable& t = Table();
  if (Forced(OptionalEntry::VisualStyles)) return nullptr;
  if (t.visualStylesOverridden) return t.visualStylesOverride;
  return ::GetModuleHandleA("UXTHEME.DLL");
}

EntryTable& VisualStylesTable() noexcept {
  EntryTable& t = Table();
  if (!t.visualStylesCreated) {
    t.visualStylesCreated = true;
    for (FARPROC& slot : t.visualStylesSlots) slot = nullptr;
    if (Forced(OptionalEntry::VisualStyles)) t.visualStylesModule = nullptr;
    else if (t.visualStylesOverridden) t.visualStylesModule = t.visualStylesOverride;
    else t.visualStylesModule = ::LoadLibraryW(L"UXTHEME.DLL");
  }
  return t;
}

template <typename Fn>
Fn Bind(HMODULE module, const char* name) noexcept {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

}  // namespace

ImageLibraryEntries LoadImageLibraryEntries() noexcept {
  ImageLibraryEntries entries;
  entries.module = ::LoadLibraryW(L"msimg32.dll");
  entries.gradientFill = Bind<GradientFillFn>(entries.module, "GradientFill");
  entries.alphaBlend = Bind<AlphaBlendFn>(entries.module, "AlphaBlend");
  return entries;
}

bool IsEntryForcedAbsent(OptionalEntry entry) noexcept { return Forced(entry); }

GetLayoutFn BoundGetLayout() noexcept {
  EntryTable& t = Table();
  if (!t.layoutLookedUp) {
    t.layoutLookedUp = true;
    const HMODULE gdi = ::GetModuleHandleA("GDI32.DLL");
    t.getLayout = Bind<GetLayoutFn>(gdi, "GetLayout");
    t.setLayout = Bind<SetLayoutFn>(gdi, "SetLayout");
  }
  return Forced(OptionalEntry::Layout) ? nullptr : t.getLayout;
}

SetLayoutFn BoundSetLayout() noexcept {
  BoundGetLayout();
  return Forced(OptionalEntry::Layout) ? nullptr : Table().setLayout;
}

SetLayeredWindowAttributesFn BoundSetLayeredWindowAttributes() noexcept {
  static const SetLayeredWindowAttributesFn bound =
      Bind<SetLayeredWindowAttributesFn>(::GetModuleHandleA("USER32"), "SetLayeredWindowAttributes");
  return Forced(OptionalEntry::LayeredWindows) ? nullptr : bound;
}

QueryUserNotificationStateFn BoundQueryUserNotificationState() noexcept {
  static const QueryUserNotificationStateFn bound =
      Bind<QueryUserNotificationStateFn>(::GetModuleHandleW(L"shell32.dll"), "SHQueryUserNotificationState");
  return Forced(OptionalEntry::NotificationState) ? nullptr : bound;
}

const WorkAreaEntries& BoundWorkAreaEntries() noexcept {
  static const WorkAreaEntries bound = [] {
    WorkAreaEntries e;
    const HMODULE user = ::GetModuleHandleA("User32.dll");
    e.getSystemMetrics = Bind<decltype(e.getSystemMetrics)>(user, "GetSystemMetrics");
    e.monitorFromWindow = Bind<decltype(e.monitorFromWindow)>(user, "MonitorFromWindow");
    e.monitorFromRect = Bind<decltype(e.monitorFromRect)>(user, "MonitorFromRect");
    e.monitorFromPoint = Bind<decltype(e.monitorFromPoint)>(user, "MonitorFromPoint");
    e.getMonitorInfo =
        Bind<decltype(e.getMonitorInfo)>(user, IsWindowsNT4OrLater() ? "GetMonitorInfoW" : "GetMonitorInfoA");
    if (!e.getSystemMetrics || !e.monitorFromWindow || !e.monitorFromRect || !e.monitorFromPoint ||
        !e.getMonitorInfo)
      e = WorkAreaEntries{};
    return e;
  }();
  static const WorkAreaEntries absent{};
  return Forced(OptionalEntry::MonitorFunctions) ? absent : bound;
}

const DpiEntries& BoundDpiEntries() noexcept {
  static const DpiEntries bound = [] {
    DpiEntries e;
    e.getDpiForWindow = Bind<decltype(e.getDpiForWindow)>(::GetModuleHandleA("User32.dll"), "GetDpiForWindow");
    e.getDpiForMonitor = Bind<decltype(e.getDpiForMonitor)>(::LoadLibraryW(L"shcore.dll"), "GetDpiForMonitor");
    return e;
  }();
  static const DpiEntries absent{};
  return Forced(OptionalEntry::DpiFunctions) ? absent : bound;
}

namespace {

struct AccessibilityEntries {
  LresultFromObjectFn lresultFromObject = nullptr;
  CreateStdAccessibleObjectFn createStdAccessibleObject = nullptr;
};

const AccessibilityEntries& BoundAccessibilityEntries() noexcept {
  static const AccessibilityEntries bound = [] {
    AccessibilityEntries e;
    const HMODULE oleacc = ::LoadLibraryW(L"oleacc.dll");
    e.lresultFromObject = Bind<LresultFromObjectFn>(oleacc, "LresultFromObject");
    e.createStdAccessibleObject = Bind<CreateStdAccessibleObjectFn>(oleacc, "CreateStdAccessibleObject");
    return e;
  }();
  static const AccessibilityEntries absent{};
  return Forced(OptionalEntry::Accessibility) ? absent : bound;
}

}  // namespace

LresultFromObjectFn BoundLresultFromObject() noexcept { return BoundAccessibilityEntries().lresultFromObject; }

CreateStdAccessibleObjectFn BoundCreateStdAccessibleObject() noexcept {
  return BoundAccessibilityEntries().createStdAccessibleObject;
}

void RecheckVisualStylesModule() noexcept {
  EntryTable& t = VisualStylesTable();
  const HMODULE current = FindVisualStylesModule();
  if (current != t.visualStylesModule) {
    t.visualStylesModule = current;
    for (FARPROC& slot : t.visualStylesSlots) slot = nullptr;
  }
}

FARPROC VisualStylesEntryPoint(VisualStylesEntry entry) noexcept {
  EntryTable& t = VisualStylesTable();
  if (Forced(OptionalEntry::VisualStyles)) return nullptr;
  FARPROC& slot = t.visualStylesSlots[static_cast<int>(entry)];
  if (t.visualStylesModule && !slot)
    slot = ::GetProcAddress(t.visualStylesModule, kVisualStylesEntryNames[static_cast<int>(entry)]);
  return slot;
}

HMODULE BoundVisualStylesModule() noexcept { return VisualStylesTable().visualStylesModule; }

// Wine answers 6.1 and Windows 8.1 and later 6.2 to a module without a compatibility
// manifest; only the platform id and majors 4 and 5 are ever tested, which every NT
// answer passes the same way.
const OSVERSIONINFOW& OsVersion() noexcept {
  EntryTable& t = Table();
  if (!t.versionRead) {
    t.versionRead = true;
    t.version.dwOSVersionInfoSize = sizeof(t.version);
    ::GetVersionExW(&t.version);
  }
  return t.version;
}

bool IsWindows9x() noexcept { return OsVersion().dwPlatformId == kWindows9xPlatform; }

bool IsWindowsNT4OrLater() noexcept { return OsVersion().dwPlatformId >= 2 && OsVersion().dwMajorVersion >= 4; }

DWORD CommonControlsVersion() noexcept {
  if (const DWORD forced = Table().commonControlsOverride) return forced;
  // Inside the module's activation context this finds common controls 6 on Windows;
  // without a manifest Windows gives 5.82 and Wine 5.81.
  struct DllVersionInfo {
    DWORD cbSize, dwMajorVersion, dwMinorVersion, dwBuildNumber, dwPlatformID;
  };
  using DllGetVersionFn = HRESULT(CALLBACK*)(DllVersionInfo*);
  // Found by name within the caller's activation context. Once loaded it stays, like
  // the other libraries bound here: a load and unload per call costs milliseconds.
  HMODULE module = ::GetModuleHandleW(L"comctl32.dll");
  if (!module) module = ::LoadLibraryW(L"comctl32.dll");
  if (!module) return kCommonControlsUnreadable;
  DWORD packed = kCommonControlsUnreadable;
  if (const auto getVersion = Bind<DllGetVersionFn>(module, "DllGetVersion")) {
    DllVersionInfo info{};
    info.cbSize = sizeof(info);
    if (SUCCEEDED(getVersion(&info))) packed = (info.dwMajorVersion << 16) | (info.dwMinorVersion & 0xFFFF);
  }
  return packed;
}

namespace test {

ScopedAbsentEntry::ScopedAbsentEntry(OptionalEntry entry) noexcept : entry_(entry), previous_(Forced(entry)) {
  Table().forcedAbsent[static_cast<int>(entry)] = true;
}
ScopedAbsentEntry::~ScopedAbsentEntry() { Table().forcedAbsent[static_cast<int>(entry_)] = previous_; }

ScopedVisualStylesModule::ScopedVisualStylesModule(HMODULE module) noexcept {
  Table().visualStylesOverridden = true;
  Table().visualStylesOverride = module;
}
ScopedVisualStylesModule::~ScopedVisualStylesModule() {
  Table().visualStylesOverridden = false;
  Table().visualStylesOverride = nullptr;
}

ScopedOsVersion::ScopedOsVersion(DWORD platformId, DWORD major, DWORD minor) noexcept : saved_(OsVersion()) {
  OSVERSIONINFOW& v = Table().version;
  v.dwPlatformId = platformId;
  v.dwMajorVersion = major;
  v.dwMinorVersion = minor;
}
ScopedOsVersion::~ScopedOsVersion() { Table().version = saved_; }

ScopedCommonControlsVersion::ScopedCommonControlsVersion(DWORD packedVersion) noexcept
    : saved_(Table().commonControlsOverride) {
  Table().commonControlsOverride = packedVersion;
}
ScopedCommonControlsVersion::~ScopedCommonControlsVersion() { Table().commonControlsOverride = saved_; }

}  // namespace test
}  // namespace zandle::drawing
