// Colour store of the Office 2007 look: key/value lines of an INI-style text resource
// of type "TEXTFILE" in a chosen module, read by section and key.
#pragma once

#include <windows.h>

#include <string>

#include "drawing/color_functions.h"
#include "framework/handles.h"

namespace zandle::drawing {

inline constexpr wchar_t kOffice2007BlueIni[] = L"OFFICE2007BLUE_INI";

class COffice2007Images {
 public:
  // Reads from the module that holds this code.
  COffice2007Images();
  COffice2007Images(const COffice2007Images&) = delete;
  COffice2007Images& operator=(const COffice2007Images&) = delete;
  virtual ~COffice2007Images() = default;

  // Chooses the module and its text; a null or empty name means "OFFICE2007BLUE_INI".
  // With `freeOnRelease` the store takes over one reference on the module.
  bool SetHandle(HMODULE module, const wchar_t* iniName, bool freeOnRelease);
  // The value in upper case, or empty.
  std::wstring GetImageValue(const std::wstring& section, const std::wstring& key) const;
  // Three integers red, green, blue ("%i"), or kNoColor when the value is empty.
  Color GetImageColor(const std::wstring& section, const std::wstring& key) const;

  bool HasText() const noexcept { return textStart_ != nullptr; }

 private:
  HMODULE module_ = nullptr;
  fw::UniqueModule ownedModule_;
  const char* textStart_ = nullptr;
  const char* textEnd_ = nullptr;
};

COffice2007Images& GetDefaultOffice2007Images();

}  // namespace zandle::drawing
