#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace velarion::bench {

// Registers "slow / fast" pairs of benchmark names whose time ratio is
// printed at the end, so figures measured in one run can be compared even
// on a noisy machine. With repetitions the fastest repetition of each
// benchmark is used.
void addRatio(std::string label, std::string slow, std::string fast);

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override;
    void printRatios() const;

  private:
    std::map<std::string, double> nsPerIteration_;
};

}  // namespace velarion::bench
