// Inline SVG charts; the page loads nothing from elsewhere.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zandle::service {

struct ChartSeries {
  std::string name;
  std::string color;  // a CSS colour written by this program, never user input
  std::vector<std::int64_t> values;
};

// One column per label, series side by side. Labels thin out when they would collide.
std::string columnChartSvg(std::string_view title, const std::vector<std::string>& labels,
                           const std::vector<ChartSeries>& series);

// One row per label, series stacked left to right.
std::string stackedBarChartSvg(std::string_view title, const std::vector<std::string>& labels,
                               const std::vector<ChartSeries>& series);

}  // namespace zandle::service
