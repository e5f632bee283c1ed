#include "survey/zandle_demo_dlg.h"

#include <windows.h>
#include <commctrl.h>

#include "framework/module.h"
#include "survey/survey_client.h"

namespace zandle::survey {

bool CZandleDemoDlg::Create() noexcept {
  // The template holds a trackbar: its class must be registered first.
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  return CreateModeless(fw::ThisModule(), kHostDialogTemplate, nullptr);
}

void CZandleDemoDlg::ShowSurveyPopup(int* /*levelOut*/) noexcept {
  // The popup window arrives with the popup component; until then a survey is
  // decided and logged but not drawn.
  (void)client_;
}

}  // namespace zandle::survey
