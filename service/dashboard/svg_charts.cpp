#include "dashboard/svg_charts.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "common/text_escape.h"

namespace zandle::service {
namespace {

constexpr int kLeftMargin = 48;
constexpr int kRightMargin = 10;
constexpr int kLegendHeight = 24;
constexpr int kLabelRoom = 34;
constexpr int kNarrowWidth = 400;

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

// Up to three significant digits, so that the half of a small maximum still differs from it.
std::string axisNumber(double value) {
  char text[32];
  if (value >= 100 || value == std::floor(value)) {
    std::snprintf(text, sizeof text, "%.0f", value);
  } else {
    std::snprintf(text, sizeof text, "%.3g", value);
  }
  return text;
}

std::string openSvg(std::string_view title, int width, int height) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"chart\" role=\"img\" width=\"" + std::to_string(width) +
         "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) + " " +
         std::to_string(height) + "\" style=\"max-width:" + std::to_string(width) + "px\" aria-label=\"" +
         escapeHtml(title) + "\"><title>" + escapeHtml(title) + "</title>";
}

// Pixels a label takes at the chart's 11 px: wide characters count double.
double textWidth(std::string_view text) {
  double width = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) == 0x80) continue;
    width += byte < 0x80 ? 6.5 : 11.5;
  }
  return width;
}

// Entries wrap onto more rows when the chart is narrow; `height` gets the rows' height.
std::string legend(const TimeChart& chart, int width, int& height) {
  std::string out;
  double x = kLeftMargin;
  int y = 0;
  const auto entry = [&](const ChartSeries& series, bool line) {
    const double entryWidth = 24 + textWidth(series.name) + 14;
    if (x + entryWidth > width && x > kLeftMargin) {
      x = kLeftMargin;
      y += 17;
    }
    out += line ? "<line x1=\"" + number(x) + "\" y1=\"" + std::to_string(y + 10) + "\" x2=\"" + number(x + 14) +
                      "\" y2=\"" + std::to_string(y + 10) + "\" stroke=\"" + series.color + "\" stroke-width=\"2.5\"" +
                      (series.dashed ? " stroke-dasharray=\"4 3\"" : "") + "/>"
                : "<rect x=\"" + number(x) + "\" y=\"" + std::to_string(y + 4) + "\" width=\"12\" height=\"12\" fill=\"" +
                      series.color + "\"/>";
    out += "<text x=\"" + number(x + 18) + "\" y=\"" + std::to_string(y + 15) + "\" class=\"legend\">" +
           escapeHtml(series.name) + "</text>";
    x += entryWidth;
  };
  for (const auto& series : chart.columns) entry(series, false);
  for (const auto& series : chart.lines) entry(series, true);
  height = y + kLegendHeight;
  return out;
}

double largestValue(const TimeChart& chart) {
  if (chart.shares) return 100;
  double largest = 0;
  for (std::size_t i = 0; i < chart.labels.size(); ++i) {
    double columns = 0;
    for (const auto& series : chart.columns) {
      const double value = i < series.values.size() ? series.values[i] : 0;
      columns = chart.stacked ? columns + value : std::max(columns, value);
    }
    largest = std::max(largest, columns);
    for (const auto& series : chart.lines) {
      if (i < series.values.size()) largest = std::max(largest, series.values[i]);
    }
  }
  // A round maximum reads better on the axis.
  if (largest <= 0) return 1;
  const double magnitude = std::pow(10.0, std::floor(std::log10(largest)));
  for (double step : {1.0, 2.0, 2.5, 5.0, 10.0}) {
    if (largest <= step * magnitude) return step * magnitude;
  }
  return largest;
}

// A line stops where a value is missing (NaN); a value standing alone gets a dot, which a
// polyline of one point would not draw.
template <typename YOf>
std::string lineSvg(const TimeChart& chart, const ChartSeries& series, double slot, const YOf& yOf) {
  std::string svg;
  const std::string stroke = "\" stroke=\"" + series.color + "\"";
  const std::string title = "<title>" + escapeHtml(series.name) + "</title>";
  const std::size_t count = std::min(chart.labels.size(), series.values.size());
  const auto x = [&](std::size_t i) { return number(kLeftMargin + slot * (static_cast<double>(i) + 0.5)); };
  for (std::size_t start = 0; start < count;) {
    if (std::isnan(series.values[start])) {
      ++start;
      continue;
    }
    std::size_t end = start;
    while (end < count && !std::isnan(series.values[end])) ++end;
    if (end - start == 1) {
      svg += "<circle cx=\"" + x(start) + "\" cy=\"" + number(yOf(series.values[start])) + "\" r=\"3.5\" fill=\"" +
             (series.dashed ? "#ffffff" : series.color) + stroke + " stroke-width=\"1.5\">" + title + "</circle>";
    } else {
      std::string points;
      for (std::size_t i = start; i < end; ++i) points += x(i) + "," + number(yOf(series.values[i])) + " ";
      points.pop_back();
      svg += "<polyline fill=\"none\"" + stroke + " stroke-width=\"2.5\"" +
             (series.dashed ? " stroke-dasharray=\"5 4\"" : "") + " points=\"" + points + "\">" + title +
             "</polyline>";
    }
    start = end;
  }
  return svg;
}

std::string chartAtWidth(const TimeChart& chart, int width) {
  int legendHeight = 0;
  const std::string legendSvg = legend(chart, width, legendHeight);
  const int height = chart.height + legendHeight - kLegendHeight;
  std::string svg = openSvg(chart.title, width, height) + legendSvg;
  const int plotTop = legendHeight + 8;
  const int plotBottom = height - kLabelRoom - (chart.notes.empty() ? 0 : 12);
  const double plotWidth = width - kLeftMargin - kRightMargin;
  const double plotHeight = plotBottom - plotTop;
  const double largest = largestValue(chart);
  const std::string top = axisNumber(largest) + (chart.shares ? " %" : chart.unit.empty() ? "" : " " + chart.unit);
  svg += "<text x=\"4\" y=\"" + std::to_string(plotTop + 10) + "\" class=\"axis\">" + escapeHtml(top) + "</text>";
  const int middle = (plotTop + plotBottom) / 2;
  svg += "<text x=\"4\" y=\"" + std::to_string(middle + 4) + "\" class=\"axis\">" + axisNumber(largest / 2) + "</text>";
  for (int y : {plotTop, middle}) {
    svg += "<line x1=\"" + std::to_string(kLeftMargin) + "\" y1=\"" + std::to_string(y) + "\" x2=\"" +
           std::to_string(width - kRightMargin) + "\" y2=\"" + std::to_string(y) + "\" class=\"grid-line\"/>";
  }
  svg += "<line x1=\"" + std::to_string(kLeftMargin) + "\" y1=\"" + std::to_string(plotBottom) + "\" x2=\"" +
         std::to_string(width - kRightMargin) + "\" y2=\"" + std::to_string(plotBottom) + "\" class=\"axis-line\"/>";
  if (chart.labels.empty()) return svg + "</svg>";
  const double slot = plotWidth / static_cast<double>(chart.labels.size());
  const std::size_t groups = chart.stacked || chart.shares ? 1 : std::max<std::size_t>(1, chart.columns.size());
  const double barWidth = std::max(1.0, slot * 0.8 / static_cast<double>(groups));
  double labelWidth = 0;
  for (const auto& label : chart.labels) labelWidth = std::max(labelWidth, textWidth(label) + 10);
  for (const auto& note : chart.notes) labelWidth = std::max(labelWidth, textWidth(note) + 10);
  const std::size_t labelEvery =
      std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(labelWidth / std::max(slot, 1.0))));
  const auto yOf = [&](double value) { return plotBottom - plotHeight * std::min(value, largest) / largest; };
  for (std::size_t i = 0; i < chart.labels.size(); ++i) {
    const double slotLeft = kLeftMargin + slot * static_cast<double>(i) + slot * 0.1;
    double total = 0;
    for (const auto& series : chart.columns) total += i < series.values.size() ? series.values[i] : 0;
    double stackedBase = 0;
    for (std::size_t s = 0; s < chart.columns.size(); ++s) {
      const double value = i < chart.columns[s].values.size() ? chart.columns[s].values[i] : 0;
      const double shown = chart.shares ? (total > 0 ? 100 * value / total : 0) : value;
      const double x = slotLeft + (groups > 1 ? barWidth * static_cast<double>(s) : 0);
      const double y = yOf(stackedBase + shown);
      const double height = yOf(stackedBase) - y;
      if (chart.stacked || chart.shares) stackedBase += shown;
      if (height <= 0) continue;
      svg += "<rect x=\"" + number(x) + "\" y=\"" + number(y) + "\" width=\"" + number(barWidth) + "\" height=\"" +
             number(height) + "\" fill=\"" + chart.columns[s].color + "\"><title>" + escapeHtml(chart.labels[i]) + " " +
             escapeHtml(chart.columns[s].name) + ": " + axisNumber(value) +
             (chart.shares ? " (" + axisNumber(shown) + " %)" : "") + "</title></rect>";
    }
    if (i % labelEvery == 0) {
      svg += "<text x=\"" + number(slotLeft) + "\" y=\"" + std::to_string(plotBottom + 15) + "\" class=\"axis\">" +
             escapeHtml(chart.labels[i]) + "</text>";
      if (i < chart.notes.size()) {
        svg += "<text x=\"" + number(slotLeft) + "\" y=\"" + std::to_string(plotBottom + 29) + "\" class=\"note\">" +
               escapeHtml(chart.notes[i]) + "</text>";
      }
    }
  }
  for (const auto& [index, label] : chart.markers) {
    if (index >= chart.labels.size()) continue;
    const double x = kLeftMargin + slot * static_cast<double>(index);
    svg += "<line x1=\"" + number(x) + "\" y1=\"" + std::to_string(plotTop) + "\" x2=\"" + number(x) + "\" y2=\"" +
           std::to_string(plotBottom) + "\" class=\"marker\"/><text x=\"" + number(x + 3) + "\" y=\"" +
           std::to_string(plotTop + 11) + "\" class=\"marker-label\">" + escapeHtml(label) + "</text>";
  }
  for (const auto& series : chart.lines) svg += lineSvg(chart, series, slot, yOf);
  return svg + "</svg>";
}

}  // namespace

bool isChartColor(std::string_view color) {
  return color.size() == 7 && color[0] == '#' &&
         std::all_of(color.begin() + 1, color.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

std::string timeChartSvg(const TimeChart& chart) {
  if (chart.width <= kNarrowWidth) return chartAtWidth(chart, chart.width);
  // A phone gets a drawing of its own: the wide one shrunk would have unreadable text.
  return "<div class=\"wide-only\">" + chartAtWidth(chart, chart.width) + "</div><div class=\"narrow-only\">" +
         chartAtWidth(chart, kNarrowWidth) + "</div>";
}

std::string sharesSparkSvg(std::string_view title, const std::vector<std::vector<std::int64_t>>& parts,
                           const std::vector<std::string>& colors, const std::vector<std::string>& labels) {
  constexpr int kHeight = 26, kColumn = 9, kGap = 2;
  const int width = std::max<int>(1, static_cast<int>(parts.size()) * (kColumn + kGap));
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"spark\" width=\"" + std::to_string(width) +
                    "\" height=\"" + std::to_string(kHeight) + "\" role=\"img\" aria-label=\"" + escapeHtml(title) +
                    "\"><title>" + escapeHtml(title) + "</title>";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::int64_t total = 0;
    for (std::int64_t value : parts[i]) total += value;
    const int x = static_cast<int>(i) * (kColumn + kGap);
    std::string tip = i < labels.size() ? labels[i] + ":" : "";
    for (std::int64_t value : parts[i]) tip += " " + std::to_string(value);
    if (total == 0) {
      svg += "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(kHeight - 2) + "\" width=\"" +
             std::to_string(kColumn) + "\" height=\"2\" fill=\"#d5dbe2\"><title>" + escapeHtml(tip) +
             " (none)</title></rect>";
      continue;
    }
    double y = kHeight;
    for (std::size_t p = 0; p < parts[i].size() && p < colors.size(); ++p) {
      const double height = kHeight * static_cast<double>(parts[i][p]) / static_cast<double>(total);
      y -= height;
      if (height <= 0) continue;
      svg += "<rect x=\"" + std::to_string(x) + "\" y=\"" + number(y) + "\" width=\"" + std::to_string(kColumn) +
             "\" height=\"" + number(height) + "\" fill=\"" + colors[p] + "\"><title>" + escapeHtml(tip) +
             "</title></rect>";
    }
  }
  return svg + "</svg>";
}

}  // namespace zandle::service
