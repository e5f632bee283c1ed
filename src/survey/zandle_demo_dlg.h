// The hidden host dialog that owns the survey popups.
#pragma once

#include "framework/dialog.h"

namespace zandle::survey {

class SurveyClient;

inline constexpr unsigned short kHostDialogTemplate = 102;

class CZandleDemoDlg : public fw::Dialog {
 public:
  explicit CZandleDemoDlg(SurveyClient& client) noexcept : client_(client) {}

  // Creates the (never shown) window from its template, with no parent.
  bool Create() noexcept;

  // Adds one survey popup and returns at once. `levelOut` receives the level the
  // user picks, after the survey export has returned.
  void ShowSurveyPopup(int* levelOut) noexcept;

 private:
  SurveyClient& client_;
};

}  // namespace zandle::survey
