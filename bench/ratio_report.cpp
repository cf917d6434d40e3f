#include "ratio_report.h"

#include <algorithm>
#include <cstdio>

namespace velarion::bench {

namespace {
struct Ratio {
    std::string label, slow, fast;
};
std::vector<Ratio>& ratios() {
    static std::vector<Ratio> all;
    return all;
}
}  // namespace

void addRatio(std::string label, std::string slow, std::string fast) {
    ratios().push_back({std::move(label), std::move(slow), std::move(fast)});
}

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
            // Over repetitions the fastest counts: on a shared machine the
            // slower ones measure the neighbours.
            std::string name = run.benchmark_name();
            if (const auto repeats = name.find("/repeats:"); repeats != std::string::npos) {
                name.erase(repeats);
            }
            const auto [it, added] = nsPerIteration_.try_emplace(name, run.GetAdjustedRealTime());
            if (!added) {
                it->second = std::min(it->second, run.GetAdjustedRealTime());
            }
        }
    }
    ConsoleReporter::ReportRuns(runs);
}

void RatioReporter::printRatios() const {
    std::printf("\nRatios (same process, same run):\n");
    for (const Ratio& r : ratios()) {
        const auto slow = nsPerIteration_.find(r.slow);
        const auto fast = nsPerIteration_.find(r.fast);
        if (slow == nsPerIteration_.end() || fast == nsPerIteration_.end()) {
            continue;  // one of the pair was filtered out
        }
        std::printf("  %-58s %8.2f\n", r.label.c_str(), slow->second / fast->second);
    }
}

}  // namespace velarion::bench
