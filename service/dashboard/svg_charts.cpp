#include "dashboard/svg_charts.h"

#include <algorithm>
#include <cstdio>

#include "common/text_escape.h"

namespace zandle::service {
namespace {

constexpr int kChartWidth = 760;
constexpr int kColumnChartHeight = 220;
constexpr int kAxisMargin = 40;
constexpr int kLegendHeight = 22;
constexpr int kLabelRoom = 36;
constexpr int kMinPixelsPerLabel = 60;
constexpr int kRowHeight = 22;
constexpr int kRowLabelWidth = 260;
constexpr std::size_t kMaxRowLabelChars = 40;

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string openSvg(std::string_view title, int height) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"chart\" role=\"img\" width=\"" +
         std::to_string(kChartWidth) + "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " +
         std::to_string(kChartWidth) + " " + std::to_string(height) + "\" aria-label=\"" + escapeHtml(title) +
         "\"><title>" + escapeHtml(title) + "</title>";
}

std::string legend(const std::vector<ChartSeries>& series) {
  std::string out;
  int x = kAxisMargin;
  for (const auto& entry : series) {
    out += "<rect x=\"" + std::to_string(x) + "\" y=\"4\" width=\"12\" height=\"12\" fill=\"" + entry.color + "\"/>";
    out += "<text x=\"" + std::to_string(x + 16) + "\" y=\"15\" class=\"legend\">" + escapeHtml(entry.name) + "</text>";
    x += 30 + static_cast<int>(entry.name.size()) * 8;
  }
  return out;
}

std::int64_t largestValue(const std::vector<ChartSeries>& series, bool stacked, std::size_t count) {
  std::int64_t largest = 1;
  for (std::size_t i = 0; i < count; ++i) {
    std::int64_t total = 0;
    for (const auto& entry : series) {
      const std::int64_t value = i < entry.values.size() ? entry.values[i] : 0;
      total = stacked ? total + value : std::max(total, value);
    }
    largest = std::max(largest, total);
  }
  return largest;
}

// Cuts after whole code points so the label stays valid UTF-8.
std::string shortened(std::string_view label) {
  std::size_t chars = 0, end = 0;
  while (end < label.size() && chars < kMaxRowLabelChars) {
    ++end;
    while (end < label.size() && (static_cast<unsigned char>(label[end]) & 0xC0) == 0x80) ++end;
    ++chars;
  }
  return end < label.size() ? std::string(label.substr(0, end)) + "…" : std::string(label);
}

}  // namespace

std::string columnChartSvg(std::string_view title, const std::vector<std::string>& labels,
                           const std::vector<ChartSeries>& series) {
  std::string svg = openSvg(title, kColumnChartHeight) + legend(series);
  const int plotTop = kLegendHeight + 6;
  const int plotBottom = kColumnChartHeight - kLabelRoom;
  const double plotWidth = kChartWidth - kAxisMargin - 10;
  const std::int64_t largest = largestValue(series, false, labels.size());
  svg += "<text x=\"4\" y=\"" + std::to_string(plotTop + 10) + "\" class=\"axis\">" + std::to_string(largest) + "</text>";
  svg += "<line x1=\"" + std::to_string(kAxisMargin) + "\" y1=\"" + std::to_string(plotBottom) + "\" x2=\"" +
         std::to_string(kChartWidth - 10) + "\" y2=\"" + std::to_string(plotBottom) + "\" class=\"axis-line\"/>";
  if (labels.empty() || series.empty()) return svg + "</svg>";
  const double slot = plotWidth / static_cast<double>(labels.size());
  const double barWidth = std::max(1.0, slot * 0.8 / static_cast<double>(series.size()));
  const std::size_t labelEvery =
      std::max<std::size_t>(1, static_cast<std::size_t>(kMinPixelsPerLabel / std::max(slot, 1.0)) + 1);
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const double slotLeft = kAxisMargin + slot * static_cast<double>(i) + slot * 0.1;
    for (std::size_t s = 0; s < series.size(); ++s) {
      const std::int64_t value = i < series[s].values.size() ? series[s].values[i] : 0;
      const double height = (plotBottom - plotTop) * static_cast<double>(value) / static_cast<double>(largest);
      svg += "<rect x=\"" + number(slotLeft + barWidth * static_cast<double>(s)) + "\" y=\"" +
             number(plotBottom - height) + "\" width=\"" + number(barWidth) + "\" height=\"" + number(height) +
             "\" fill=\"" + series[s].color + "\"><title>" + escapeHtml(labels[i]) + " " +
             escapeHtml(series[s].name) + ": " + std::to_string(value) + "</title></rect>";
    }
    if (i % labelEvery == 0) {
      svg += "<text x=\"" + number(slotLeft) + "\" y=\"" + std::to_string(plotBottom + 16) + "\" class=\"axis\">" +
             escapeHtml(labels[i]) + "</text>";
    }
  }
  return svg + "</svg>";
}

std::string stackedBarChartSvg(std::string_view title, const std::vector<std::string>& labels,
                               const std::vector<ChartSeries>& series) {
  const int height = kLegendHeight + 10 + kRowHeight * static_cast<int>(std::max<std::size_t>(1, labels.size()));
  std::string svg = openSvg(title, height) + legend(series);
  const std::int64_t largest = largestValue(series, true, labels.size());
  const double plotWidth = kChartWidth - kRowLabelWidth - 60;
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const int y = kLegendHeight + 8 + kRowHeight * static_cast<int>(i);
    svg += "<text x=\"4\" y=\"" + std::to_string(y + 14) + "\" class=\"row-label\">" + escapeHtml(shortened(labels[i])) +
           "</text>";
    double x = kRowLabelWidth;
    std::int64_t total = 0;
    for (const auto& entry : series) {
      const std::int64_t value = i < entry.values.size() ? entry.values[i] : 0;
      total += value;
      const double width = plotWidth * static_cast<double>(value) / static_cast<double>(largest);
      svg += "<rect x=\"" + number(x) + "\" y=\"" + std::to_string(y + 2) + "\" width=\"" + number(width) +
             "\" height=\"" + std::to_string(kRowHeight - 6) + "\" fill=\"" + entry.color + "\"><title>" +
             escapeHtml(labels[i]) + " " + escapeHtml(entry.name) + ": " + std::to_string(value) + "</title></rect>";
      x += width;
    }
    svg += "<text x=\"" + number(x + 4) + "\" y=\"" + std::to_string(y + 14) + "\" class=\"axis\">" +
           std::to_string(total) + "</text>";
  }
  return svg + "</svg>";
}

}  // namespace zandle::service
