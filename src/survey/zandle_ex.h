// A survey popup: the popup and where the chosen level goes.
#pragma once

#include "popup/popup_control.h"

namespace zandle::survey {

class CZandleEx : public popup::CPopupControl {
 public:
  // The caller's int that receives the chosen level (1 based); not owned; may be null.
  int* levelOut = nullptr;
};

}  // namespace zandle::survey
