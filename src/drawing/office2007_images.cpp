#include "drawing/office2007_images.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include "framework/module.h"

namespace zandle::drawing {
namespace {

constexpr wchar_t kTextResourceType[] = L"TEXTFILE";
constexpr wchar_t kCommentMark = L';';
constexpr wchar_t kSectionMark = L'[';
constexpr wchar_t kValueMark = L'=';

bool IsBlank(wchar_t c) { return std::iswspace(c) != 0; }

std::wstring TrimLeft(const std::wstring& s) {
  const auto first = std::find_if_not(s.begin(), s.end(), IsBlank);
  return std::wstring(first, s.end());
}

std::wstring TrimRight(const std::wstring& s) {
  const auto last = std::find_if_not(s.rbegin(), s.rend(), IsBlank);
  return std::wstring(s.begin(), last.base());
}

std::wstring Upper(std::wstring s) {
  std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return std::towupper(c); });
  return s;
}

std::wstring FromAnsi(const char* begin, const char* end) {
  const int length = static_cast<int>(end - begin);
  if (length <= 0) return {};
  const int wide = ::MultiByteToWideChar(CP_ACP, 0, begin, length, nullptr, 0);
  std::wstring text(static_cast<size_t>(std::max(wide, 0)), L'\0');
  if (wide > 0) ::MultiByteToWideChar(CP_ACP, 0, begin, length, text.data(), wide);
  return text;
}

struct FirstTextResource {
  HMODULE module;
  HRSRC found = nullptr;
};

BOOL CALLBACK FindFirstText(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR context) noexcept {
  auto* search = reinterpret_cast<FirstTextResource*>(context);
  search->found = ::FindResourceW(module, name, type);
  return FALSE;  // the first name reported is the one used
}

}  // namespace

COffice2007Images::COffice2007Images() { SetHandle(fw::ThisModule(), nullptr, false); }

bool COffice2007Images::SetHandle(HMODULE module, const wchar_t* iniName, bool freeOnRelease) {
  ownedModule_.reset();
  std::wstring name = iniName && *iniName ? iniName : kOffice2007BlueIni;
  std::replace(name.begin(), name.end(), L'.', L'_');
  module_ = module;
  if (freeOnRelease) ownedModule_.reset(module);
  textStart_ = textEnd_ = nullptr;
  if (!module) return false;

  HRSRC resource = name.empty() ? nullptr : ::FindResourceW(module, name.c_str(), kTextResourceType);
  if (!resource && !iniName) {
    FirstTextResource search{module};
    ::EnumResourceNamesW(module, kTextResourceType, &FindFirstText, reinterpret_cast<LONG_PTR>(&search));
    resource = search.found;
  }
  if (!resource) return false;
  const HGLOBAL loaded = ::LoadResource(module, resource);
  const char* text = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
  if (!text) return false;
  textStart_ = text;
  textEnd_ = text + ::SizeofResource(module, resource);
  return true;
}

std::wstring COffice2007Images::GetImageValue(const std::wstring& section, const std::wstring& key) const {
  if (!textStart_) return {};
  const std::wstring wantedSection = Upper(section), wantedKey = Upper(key);
  bool inSection = false;
  const char* cursor = textStart_;
  while (cursor < textEnd_) {
    const char* lineEnd = std::find(cursor, textEnd_, '\r');
    if (lineEnd == textEnd_) break;  // bytes after the last carriage return are not read
    std::wstring line = TrimLeft(FromAnsi(cursor, lineEnd));
    cursor = lineEnd + 1;
    if (cursor < textEnd_ && *cursor == '\n') ++cursor;

    if (line.empty() || line.front() == kCommentMark) continue;
    if (const auto comment = line.find(kCommentMark); comment != std::wstring::npos) line.erase(comment);
    if (line.empty()) continue;
    line = Upper(line);

    if (line.front() == kSectionMark) {
      if (inSection) return {};
      if (line.size() >= 2 && line.substr(1, line.size() - 2) == wantedSection) inSection = true;
      continue;
    }
    const auto equals = line.find(kValueMark);
    if (!inSection || equals == std::wstring::npos || equals == 0) continue;
    if (TrimRight(line.substr(0, equals)) == wantedKey) return TrimRight(TrimLeft(line.substr(equals + 1)));
  }
  return {};
}

Color COffice2007Images::GetImageColor(const std::wstring& section, const std::wstring& key) const {
  const std::wstring value = GetImageValue(section, key);
  if (value.empty()) return kNoColor;
  int red = 0, green = 0, blue = 0;
  std::swscanf(value.c_str(), L"%i %i %i", &red, &green, &blue);
  return MakeColor(red, green, blue);
}

COffice2007Images& GetDefaultOffice2007Images() {
  static COffice2007Images store;
  return store;
}

}  // namespace zandle::drawing
