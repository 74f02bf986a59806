// A console reporter that also keeps the best rate each benchmark reached, so
// that a program can print ratios against its baseline measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

class BestRateReporter : public benchmark::ConsoleReporter {
public:
    // counter: the rate to keep, e.g. "items_per_second" or "bytes_per_second".
    explicit BestRateReporter(std::string counter) : counter_(std::move(counter)) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            auto it = run.counters.find(counter_);
            if (it != run.counters.end() && !run.error_occurred) {
                double& best = rates_[run.benchmark_name()];
                best = std::max(best, static_cast<double>(it->second));
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Best rate by benchmark name (with its arguments).
    const std::map<std::string, double>& rates() const { return rates_; }

private:
    std::string counter_;
    std::map<std::string, double> rates_;
};
