// Inline SVG charts; the page loads nothing from elsewhere. Colours are
// written by this program or checked ("#rrggbb") before they get here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zandle::service {

struct ChartSeries {
  std::string name;
  std::string color;
  std::vector<double> values;
  bool dashed = false;  // lines only: the previous period
};

// Columns per label (side by side, stacked, or stacked to 100 %) with lines
// drawn over them. Labels thin out when they would collide; on a phone every
// other one more.
struct TimeChart {
  std::string title;
  std::vector<std::string> labels;
  std::vector<ChartSeries> columns;
  bool stacked = false;
  bool shares = false;  // each column shows its parts' shares of it
  std::vector<ChartSeries> lines;
  std::vector<std::string> notes;  // a second line under each label
  std::string unit;                // after the axis maximum, such as "min"
  // Dashed upright lines before a label's column, such as the release of a version.
  std::vector<std::pair<std::size_t, std::string>> markers;
  int width = 1280;  // a phone gets a 400 px drawing beside it
  int height = 240;
};

std::string timeChartSvg(const TimeChart& chart);

// A row of tiny 100 % columns, one per period, for a table cell.
std::string sharesSparkSvg(std::string_view title, const std::vector<std::vector<std::int64_t>>& parts,
                           const std::vector<std::string>& colors, const std::vector<std::string>& labels);

// True for "#rrggbb".
bool isChartColor(std::string_view color);

}  // namespace zandle::service
