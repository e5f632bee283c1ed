#include "common/metrics.h"

#include <algorithm>
#include <cstdio>

namespace zandle::service {

void appendHeader(std::string& out, std::string_view name, std::string_view type, std::string_view help) {
  out.append("# HELP ").append(name).append(" ").append(help).append("\n");
  out.append("# TYPE ").append(name).append(" ").append(type).append("\n");
}

void appendSample(std::string& out, std::string_view name, std::string_view labels, double value) {
  char number[40];
  std::snprintf(number, sizeof number, "%.17g", value);
  out.append(name);
  if (!labels.empty()) out.append("{").append(labels).append("}");
  out.append(" ").append(number).append("\n");
}

Histogram::Histogram(std::vector<double> bounds) : bounds_(std::move(bounds)), counts_(bounds_.size() + 1, 0) {}

void Histogram::observe(double seconds) {
  const std::size_t bucket = std::lower_bound(bounds_.begin(), bounds_.end(), seconds) - bounds_.begin();
  std::lock_guard lock(mutex_);
  ++counts_[bucket];
  sum_ += seconds;
}

void Histogram::render(std::string& out, std::string_view name, std::string_view help) const {
  std::vector<std::uint64_t> counts;
  double sum = 0;
  {
    std::lock_guard lock(mutex_);
    counts = counts_;
    sum = sum_;
  }
  appendHeader(out, name, "histogram", help);
  const std::string bucket = std::string(name) + "_bucket";
  std::uint64_t cumulative = 0;
  for (std::size_t i = 0; i < counts.size(); ++i) {
    cumulative += counts[i];
    char bound[40];
    if (i < bounds_.size()) {
      std::snprintf(bound, sizeof bound, "le=\"%g\"", bounds_[i]);
    } else {
      std::snprintf(bound, sizeof bound, "le=\"+Inf\"");
    }
    appendSample(out, bucket, bound, static_cast<double>(cumulative));
  }
  appendSample(out, std::string(name) + "_sum", "", sum);
  appendSample(out, std::string(name) + "_count", "", static_cast<double>(cumulative));
}

void LabelledCounter::add(const std::string& labels, std::uint64_t count) {
  std::lock_guard lock(mutex_);
  counts_[labels] += count;
}

void LabelledCounter::render(std::string& out, std::string_view name) const {
  std::lock_guard lock(mutex_);
  for (const auto& [labels, count] : counts_) appendSample(out, name, labels, static_cast<double>(count));
}

}  // namespace zandle::service
