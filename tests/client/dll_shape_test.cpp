// What a host's loader sees of Zandle.dll: the eleven exports, and imports that every
// Windows back to XP SP3 has, with the optional libraries left to run time.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "xp_imports.h"
#include "zandle_dll.h"

namespace zandle::test {
namespace {

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

TEST(DllShape, ElevenExportsByNameAndOrdinal) {
  ZandleDll dll;
  const char* names[] = {"SetServerA", "SetServerW", "getAppInfoA", "getAppInfoW", "UserEnterA", "UserEnterW",
                         "UserLeave",  "WriteLogA",  "WriteLogW",   "SatisfactionA", "SatisfactionW"};
  for (int ordinal = 1; ordinal <= 11; ++ordinal) {
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(dll.module, names[ordinal - 1])),
              reinterpret_cast<void*>(GetProcAddress(dll.module, MAKEINTRESOURCEA(ordinal))))
        << names[ordinal - 1];
  }
  auto* base = reinterpret_cast<const BYTE*>(dll.module);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
  const auto& exportDir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + exportDir.VirtualAddress);
  EXPECT_EQ(exports->Base, 1u);
  EXPECT_EQ(exports->NumberOfFunctions, 11u);
  EXPECT_EQ(exports->NumberOfNames, 11u);
}

TEST(DllShape, EveryImportExistsOnWindowsXpAndOptionalLibrariesAreNotImported) {
  ZandleDll dll;
  auto* base = reinterpret_cast<const BYTE*>(dll.module);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const auto& importDir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  const auto& allowed = WindowsXpImports();
  int functions = 0;
  for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + importDir.VirtualAddress); d->Name; ++d) {
    const std::string module = Lower(reinterpret_cast<const char*>(base + d->Name));
    // Bound at run time with a fallback each: importing them would fail the load where
    // they are missing (msimg32 before Windows 98/2000, uxtheme before XP).
    EXPECT_NE(module, "msimg32.dll");
    EXPECT_NE(module, "uxtheme.dll");
    const auto listed = allowed.find(module);
    EXPECT_NE(listed, allowed.end()) << "import of " << module;
    const DWORD thunks = d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk;
    for (auto* t = reinterpret_cast<const IMAGE_THUNK_DATA32*>(base + thunks); t->u1.AddressOfData; ++t) {
      ++functions;
      if (IMAGE_SNAP_BY_ORDINAL32(t->u1.Ordinal)) {
        ADD_FAILURE() << module << " imported by ordinal " << IMAGE_ORDINAL32(t->u1.Ordinal);
        continue;
      }
      const std::string name =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + t->u1.AddressOfData)->Name;
      if (listed != allowed.end())
        EXPECT_TRUE(listed->second.count(name)) << module << "!" << name << " is not known to exist on XP SP3";
    }
  }
  EXPECT_GT(functions, 100);
}

}  // namespace
}  // namespace zandle::test
