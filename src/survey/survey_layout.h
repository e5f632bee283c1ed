// The survey's items: title, request, the three level buttons, the link to further
// information and the close button, with the Office 2003 look (or Office 2007).
#pragma once

#include <string>
#include <string_view>

namespace zandle::popup {
class CPopupControl;
}

namespace zandle::survey {

inline constexpr int kSurveyWidth = 329;
inline constexpr int kSurveyHeight = 128;

// Model name, "-" and function name.
std::wstring SurveyTitle(std::wstring_view modelName, std::wstring_view functionName);

// Replaces the popup's items; `office2007` installs theme 4 after theme 2.
void LayoutSurvey(popup::CPopupControl& popup, const std::wstring& title, const std::wstring& link,
                  bool office2007 = false);

}  // namespace zandle::survey
