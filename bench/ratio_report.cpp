#include "ratio_report.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <thread>

namespace velarion::bench {

namespace {
struct Ratio {
    std::string label, slow, fast;
};
struct PerCell {
    std::string label;
    Shown reference;
    std::vector<Shown> variants;
    double cells;
};
std::vector<Ratio>& ratios() {
    static std::vector<Ratio> all;
    return all;
}
std::vector<PerCell>& perCellLines() {
    static std::vector<PerCell> all;
    return all;
}

std::string withoutRepeats(std::string name) {
    if (const auto repeats = name.find("/repeats:"); repeats != std::string::npos) {
        name.erase(repeats);
    }
    return name;
}
}  // namespace

void printMachine() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line, model = "unknown";
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    }
    std::ifstream loadavg("/proc/loadavg");
    std::string minute, five, fifteen;
    loadavg >> minute >> five >> fifteen;
    std::cout << "Processor: " << model << " (" << std::thread::hardware_concurrency()
              << " cores); load average: " << minute << " " << five << " " << fifteen << std::endl;
}

void addRatio(std::string label, std::string slow, std::string fast) {
    ratios().push_back({std::move(label), std::move(slow), std::move(fast)});
}

void addPerCell(std::string label, Shown reference, std::vector<Shown> variants,
                double cellsPerIteration) {
    perCellLines().push_back(
        {std::move(label), std::move(reference), std::move(variants), cellsPerIteration});
}

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.error_occurred) {
            continue;
        }
        const std::string name = withoutRepeats(run.run_name.str());
        // Processor time: on a machine shared with other work the wall time
        // also counts the time this process waited for a core. Benchmarks
        // of threads that share the work ask for the elapsed time.
        const double ns = run.run_name.time_type == "real_time" ? run.GetAdjustedRealTime()
                                                                : run.GetAdjustedCPUTime();
        if (run.run_type == Run::RT_Iteration) {
            // The fastest repetition: on a shared machine the slower ones
            // measure the neighbours.
            const auto [it, added] = fastest_.try_emplace(name, ns);
            if (!added) {
                it->second = std::min(it->second, ns);
            }
        } else if (run.aggregate_name == "median") {
            median_[name] = ns;
        }
    }
    ConsoleReporter::ReportRuns(runs);
}

const double* RatioReporter::nsOf(const std::string& name) const {
    if (const auto it = median_.find(name); it != median_.end()) {
        return &it->second;
    }
    const auto it = fastest_.find(name);
    return it == fastest_.end() ? nullptr : &it->second;
}

void RatioReporter::printRatios() const {
    std::printf(
        "\nRatios of processor time, or of elapsed time for names ending in real_time "
        "(same process, same run; medians where repeated with aggregates):\n");
    for (const Ratio& r : ratios()) {
        const double* slow = nsOf(r.slow);
        const double* fast = nsOf(r.fast);
        if (slow != nullptr && fast != nullptr) {  // else one of the pair was filtered out
            std::printf("  %-58s %8.2f\n", r.label.c_str(), *slow / *fast);
        }
    }
    for (const PerCell& line : perCellLines()) {
        const double* reference = nsOf(line.reference.name);
        if (reference == nullptr) {
            continue;
        }
        std::printf("  %-24s ns/cell: %s %.3f", line.label.c_str(), line.reference.label.c_str(),
                    *reference / line.cells);
        for (const Shown& variant : line.variants) {
            if (const double* ns = nsOf(variant.name)) {
                std::printf(" | %s %.3f (%.2fx)", variant.label.c_str(), *ns / line.cells,
                            *reference / *ns);
            }
        }
        std::printf("\n");
    }
}

}  // namespace velarion::bench
