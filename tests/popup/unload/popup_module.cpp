// A module with its own copy of the popup code, for the unload test: it shows survey
// popups owned by the host's window and is then freed while they are on screen.
#include <windows.h>

#include <vector>

#include "popup/popup_control.h"
#include "survey/survey_layout.h"

namespace {

using zandle::popup::CPopupControl;

// Never deleted: the host unloads the module without asking, so the objects leak.
std::vector<CPopupControl*> popups;

constexpr int kFade = 1, kSlide = 2, kNone = 0;

// Four kinds in turn: the survey's preset, a fade that holds for a minute, a slide that
// holds for a minute, and one without animation that stays until closed.
void Configure(CPopupControl& popup, int index) {
  popup.SetPopupSize({zandle::survey::kSurveyWidth, zandle::survey::kSurveyHeight});
  popup.SetTransparency(200);
  switch (index % 4) {
    case 0:
      popup.SetAnimation(kFade);
      popup.SetAnimationDelay(500);
      popup.SetShowDelay(3000);
      break;
    case 1:
      popup.SetAnimation(kFade);
      popup.SetAnimationDelay(2000);
      popup.SetShowDelay(60000);
      break;
    case 2:
      popup.SetAnimation(kSlide);
      popup.SetAnimationDelay(2000);
      popup.SetShowDelay(60000);
      break;
    default:
      popup.SetAnimation(kNone);
      popup.SetShowDelay(0);
      break;
  }
  // A grid of corners, so that every popup has its own place on the screen.
  const LONG right = 40 + zandle::survey::kSurveyWidth * (1 + index % 3);
  const LONG bottom = 40 + zandle::survey::kSurveyHeight * (1 + index / 3 % 6);
  popup.SetPopupPos({right, bottom});
}

}  // namespace

extern "C" {

// Shows `count` popups owned by `owner`; returns how many are up.
__declspec(dllexport) int __stdcall ShowPopups(HWND owner, int count) {
  int shown = 0;
  for (int i = 0; i < count; ++i) {
    auto* popup = new CPopupControl;
    zandle::survey::LayoutSurvey(*popup, L"ZandleDemo-Unload", L"https://example.com/survey");
    Configure(*popup, static_cast<int>(popups.size()));
    popups.push_back(popup);
    if (popup->Show(owner)) ++shown;
  }
  return shown;
}

// Popups of this module whose window exists.
__declspec(dllexport) int __stdcall PopupCount() {
  int count = 0;
  for (CPopupControl* popup : popups)
    if (popup->GetSafeHwnd() && ::IsWindow(popup->GetSafeHwnd())) ++count;
  return count;
}

// State of popup `index` (0 closed, 1 expanding, 2 showing, 3 collapsing), -1 if none.
__declspec(dllexport) int __stdcall PopupState(int index) {
  return index >= 0 && index < static_cast<int>(popups.size()) ? popups[index]->GetPopupState() : -1;
}

}  // extern "C"
