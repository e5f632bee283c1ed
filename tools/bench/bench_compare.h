// Side-by-side timing for the benchmarks: both sides run in alternating rounds of one
// process, and the ratio of their medians is printed.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace zandle::bench {

inline constexpr int kRounds = 15;

inline double Now() {
  LARGE_INTEGER counter, frequency;
  ::QueryPerformanceCounter(&counter);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Runs each side `repeat` times per round, alternating sides, and reports the medians;
// returns candidate / baseline.
inline double Compare(const char* what, int repeat, const std::function<void()>& baseline, const char* baselineName,
                      const std::function<void()>& candidate, const char* candidateName) {
  std::vector<double> a, b;
  baseline();
  candidate();
  for (int round = 0; round < kRounds; ++round) {
    double t = Now();
    for (int i = 0; i < repeat; ++i) baseline();
    a.push_back((Now() - t) / repeat);
    t = Now();
    for (int i = 0; i < repeat; ++i) candidate();
    b.push_back((Now() - t) / repeat);
  }
  const double ma = Median(a), mb = Median(b);
  std::printf("%-44s %-14s %9.1f us   %-14s %9.1f us   ratio %.2f\n", what, baselineName, ma * 1e6, candidateName,
              mb * 1e6, mb / ma);
  return mb / ma;
}

}  // namespace zandle::bench
