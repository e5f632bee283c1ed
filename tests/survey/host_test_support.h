// The survey host's surroundings in its tests: a client that records the reports, a host
// that records the links it would open, and a 1280 x 1024 screen with a 30-pixel taskbar
// at the bottom.
#pragma once

#include <string>
#include <vector>

#include "popup/popup_screen.h"
#include "survey/survey_client.h"
#include "survey/zandle_demo_dlg.h"

namespace zandle::survey::testing {

class FakeClient : public SurveyClient {
 public:
  const std::wstring& ModelName() const noexcept override { return model; }
  const std::wstring& SatisfactionFunctionName() const noexcept override { return function; }
  const std::wstring& SatisfactionLink() const noexcept override { return link; }
  int ReportSatisfaction(int level, const std::wstring& functionName) noexcept override {
    reported.push_back(level);
    reportedFunctions.push_back(functionName);
    return 1;
  }
  std::wstring model = L"Bridge", function = L"Print";
  std::wstring link = L"https://example.com/survey";
  std::vector<int> reported;
  std::vector<std::wstring> reportedFunctions;
};

// The host with the shell's link opening recorded instead of carried out.
class RecordingHost : public CZandleDemoDlg {
 public:
  using CZandleDemoDlg::CZandleDemoDlg;
  std::vector<std::wstring> opened;

 protected:
  void OpenLink(const std::wstring& link) noexcept override { opened.push_back(link); }
};

struct Screen : popup::ScreenQueries {
  bool TaskbarRect(popup::Rect& out) override {
    out = {0, 994, 1280, 1024};
    return true;
  }
  popup::Rect WorkAreaFromRect(const popup::Rect&) override { return {0, 0, 1280, 994}; }
  popup::Rect PrimaryWorkArea() override { return {0, 0, 1280, 994}; }
};

}  // namespace zandle::survey::testing
