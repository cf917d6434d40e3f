#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace velarion::bench {

// The processor's model and the load when the run starts, so that every
// figure printed names where it was measured.
void printMachine();

// Registers "slow / fast" pairs of benchmark names whose time ratio is
// printed at the end, so figures measured in one run can be compared even
// on a noisy machine. They use processor time; with repetitions the median
// when the run reports aggregates, else the fastest repetition.
void addRatio(std::string label, std::string slow, std::string fast);

// A benchmark shown under a short name.
struct Shown {
    std::string label, name;
};

// Registers a line of nanoseconds per cell: the reference benchmark and
// each variant, with the ratio reference / variant.
void addPerCell(std::string label, Shown reference, std::vector<Shown> variants,
                double cellsPerIteration);

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override;
    void printRatios() const;

  private:
    const double* nsOf(const std::string& name) const;
    std::map<std::string, double> fastest_;
    std::map<std::string, double> median_;
};

}  // namespace velarion::bench
