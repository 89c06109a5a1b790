// The console table, and each benchmark's time per iteration kept (the fastest repetition when
// repeated, real or CPU time), so that a program can print ratios between the cases of one run.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  enum class Time { Real, Cpu };
  explicit RatioReporter(Time time = Time::Real) : time_(time) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool fastest = run.run_type == Run::RT_Aggregate && run.aggregate_name == "min";
      if ((run.run_type != Run::RT_Iteration || run.iterations == 0) && !fastest) continue;
      const double time = time_ == Time::Cpu ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
      auto known = times_.find(run.run_name.str());
      if (known == times_.end() || time < known->second) times_[run.run_name.str()] = time;
    }
  }
  // name's time over reference's, or 0 when either did not run.
  double ratio(const std::string& name, const std::string& reference) const {
    auto it = times_.find(name), ref = times_.find(reference);
    if (it == times_.end() || ref == times_.end() || ref->second <= 0) return 0;
    return it->second / ref->second;
  }
  void printRatio(const std::string& name, const std::string& reference) const {
    const double value = ratio(name, reference);
    if (value > 0) std::printf("ratio %-32s / %-18s = %6.2f\n", name.c_str(), reference.c_str(), value);
  }
  const std::map<std::string, double>& times() const { return times_; }

 private:
  Time time_;
  std::map<std::string, double> times_;  // by run name, without an aggregate's suffix
};

}  // namespace bench
