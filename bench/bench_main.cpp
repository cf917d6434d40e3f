// velarion-bench: the benchmarks of the model, the runs and the export,
// with the ratios between related cases printed after the usual table.
#include "ratio_report.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iostream>
#include <string>
#include <thread>

namespace {

// The processor's model and the load when the run starts, so that every
// figure printed names where it was measured.
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
              << " cores); load average: " << minute << " " << five << " " << fifteen << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    printMachine();
    velarion::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
