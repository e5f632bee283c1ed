// A survey popup: the popup and where the chosen level goes.
#pragma once

#include <string>

#include "popup/popup_control.h"

namespace zandle::survey {

class CZandleEx : public popup::CPopupControl {
 public:
  // The caller's int that receives the chosen level (1 based); not owned; may be null.
  int* levelOut = nullptr;
  // The function the survey asks about, kept per popup: a rating in an older popup still
  // open is reported under its own function, whatever the later surveys asked about.
  std::wstring functionName;
};

}  // namespace zandle::survey
