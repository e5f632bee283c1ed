// "zandle-cli check": GetAppInfo and one level-0 log line through Zandle.dll, each with a
// one-line verdict; a failed call is explained by a probe of the same server.
#pragma once

#include <string>

#include "dll_exports.h"

namespace zandle::cli {

struct CheckSettings {
  std::wstring server;  // as given to SetServer; already known to parse
  bool narrow = false;  // the A exports instead of the W ones
  int uin = 0;
  std::wstring model = L"zandle-cli";
  std::wstring version = L"check";
};

// Exit status: 0 when both calls did what they should, 1 when one failed.
int RunCheck(const Exports& dll, const CheckSettings& settings);

}  // namespace zandle::cli
