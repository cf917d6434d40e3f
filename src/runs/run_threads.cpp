// The thread count of every run: what was asked for, else the free cores on a
// row long enough to gain from them.
#include "run_threads.h"

#include "model/kernel.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <sched.h>

namespace velarion {

namespace {

// Below this many segments a thread, a decimal level is computed on fewer
// threads: its share would cost less than handing it over.
constexpr int kDecimalSegmentsPerThread = 1000;

// The programs running on the machine's cores this instant, this one
// included: the fourth field of /proc/loadavg, "running/total". 0 when it
// cannot be read.
int runningNow() {
    std::FILE* file = std::fopen("/proc/loadavg", "r");
    if (file == nullptr) {
        return 0;
    }
    double minute = 0, five = 0, fifteen = 0;
    int running = 0, total = 0;
    const int read =
        std::fscanf(file, "%lf %lf %lf %d/%d", &minute, &five, &fifteen, &running, &total);
    std::fclose(file);
    return read == 5 ? running : 0;
}

int allowedCores() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    return sched_getaffinity(0, sizeof allowed, &allowed) == 0
               ? CPU_COUNT(&allowed)
               : static_cast<int>(std::thread::hardware_concurrency());
}

// The most threads a run can give work to.
int mostParts(RunKind kind, int M) {
    const int segments = std::max(M, 0) + 1;
    switch (kind) {
        case RunKind::Girotondo:
            return energyBlockCount(std::max(M, 0));
        case RunKind::Double:
            return (segments + 7) / 8;
        case RunKind::Precision:
            return std::max(1, segments / kDecimalSegmentsPerThread);
    }
    return 1;
}

}  // namespace

int threadsFromEnvironment() {
    const char* text = std::getenv("VELARION_THREADS");
    return text == nullptr ? 0 : threadCountFrom(text);
}

int threadCountFrom(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    int count = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, count);
    if (text.empty() || error != std::errc() || stop != end || count < 1 || count > kMaxThreads) {
        return 0;
    }
    return count;
}

int requestedThreads(int given) {
    return given != 0 ? given : threadsFromEnvironment();
}

// The load average would count this program's own threads of a run that
// has just ended, and a minute of the past: the programs running now are
// counted instead, the fewest of three looks a tenth of a millisecond
// apart, so that one that is only passing through a core is not taken for
// one that keeps it.
int freeCores() {
    constexpr int kLooks = 3;
    constexpr auto kApart = std::chrono::microseconds(100);
    int others = kMaxThreads;
    for (int look = 0; look < kLooks; ++look) {
        if (look > 0) {
            std::this_thread::sleep_for(kApart);
        }
        others = std::min(others, std::max(runningNow() - 1, 0));
    }
    return std::clamp(allowedCores() - others, 1, kMaxThreads);
}

// team_bench's short rows measure these: both runs gained from a second
// thread on rows of 2048 segments (for the Girotondo run two blocks of the
// energy sums, the fewest two threads can share), the double run already
// on 1024 but by less.
int gainingRowLength(RunKind kind) {
    switch (kind) {
        case RunKind::Girotondo:
            return 2 * kEnergyBlock;
        case RunKind::Double:
            return 2048;
        case RunKind::Precision:
            return 2 * kDecimalSegmentsPerThread;
    }
    return 0;
}

int teamSize(RunKind kind, int requested, int M, int free) {
    const bool gains = M + 1 >= gainingRowLength(kind);
    const int wanted = requested > 0 ? requested : gains ? free : 1;
    return std::clamp(std::min(wanted, mostParts(kind, M)), 1, kMaxThreads);
}

std::unique_ptr<LevelTeam> startRunTeam(RunKind kind, int given, int M) {
    const int requested = requestedThreads(given);
    // The free cores are looked at only when they decide.
    const bool asked = requested > 0;
    const int parts =
        teamSize(kind, requested, M, asked || M + 1 < gainingRowLength(kind) ? 1 : freeCores());
    return parts > 1 ? startTeam(parts) : nullptr;
}

}  // namespace velarion
