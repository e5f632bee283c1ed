// What the survey host needs from the statistics client: the texts a survey shows
// and the way a picked level is reported.
#pragma once

#include <string>

namespace zandle::survey {

class SurveyClient {
 public:
  virtual ~SurveyClient() = default;
  // As the host gave them (a wide export's text, or the local-code-page text widened).
  virtual const std::wstring& ModelName() const noexcept = 0;
  virtual const std::wstring& SatisfactionFunctionName() const noexcept = 0;
  virtual const std::wstring& SatisfactionLink() const noexcept = 0;
  // Sends the level for `functionName` to the service; 1 when it answered, else 0.
  virtual int ReportSatisfaction(int level, const std::wstring& functionName) = 0;
};

}  // namespace zandle::survey
