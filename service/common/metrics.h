// Counters and histograms for /metrics, written in the Prometheus text format.
// Safe from any thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zandle::service {

class Histogram {
 public:
  // Upper bounds in seconds, ascending.
  explicit Histogram(std::vector<double> bounds);
  void observe(double seconds);
  // The _bucket, _sum and _count lines of `name`.
  void render(std::string& out, std::string_view name, std::string_view help) const;

 private:
  const std::vector<double> bounds_;
  mutable std::mutex mutex_;
  std::vector<std::uint64_t> counts_;  // one per bound, plus +Inf
  double sum_ = 0;
};

// Counts by a small set of label values (never raw client input).
class LabelledCounter {
 public:
  void add(const std::string& labels, std::uint64_t count = 1);
  void render(std::string& out, std::string_view name) const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::uint64_t> counts_;
};

// One line of a metric: `name{labels} value`.
void appendSample(std::string& out, std::string_view name, std::string_view labels, double value);
void appendHeader(std::string& out, std::string_view name, std::string_view type, std::string_view help);

}  // namespace zandle::service
