#include "level_team.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include <sched.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace velarion {

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

int freeCores() {
    // The cores this process may run on (taskset, cgroups), not the machine's.
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    const int cores = sched_getaffinity(0, sizeof allowed, &allowed) == 0
                          ? CPU_COUNT(&allowed)
                          : static_cast<int>(std::thread::hardware_concurrency());
    double load[1] = {0};
    const int idle =
        getloadavg(load, 1) == 1 ? cores - static_cast<int>(std::lround(load[0])) : cores;
    return std::clamp(idle, 1, kMaxThreads);
}

int chooseThreads(int requested, int M) {
    const int segments = std::max(M, 0) + 1;
    return std::clamp(std::min(requested, segments), 1, kMaxThreads);
}

int partStart(int part, int parts, int M) {
    if (part <= 0) {
        return 0;
    }
    if (part >= parts) {
        return M + 1;
    }
    const long long share = static_cast<long long>(M + 1) * part / parts;
    return std::min(static_cast<int>(share / 8 * 8), M + 1);
}

namespace {

void relax() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
}

constexpr int kSpins = 1000;
constexpr int kYields = 100;

}  // namespace

// The last to arrive resets the count and opens the next generation; its
// release makes every part's writes before the barrier visible to all.
void SpinBarrier::arriveAndWait() {
    const unsigned generation = generation_.load(std::memory_order_relaxed);
    if (arrived_.fetch_add(1, std::memory_order_acq_rel) == parties_ - 1) {
        arrived_.store(0, std::memory_order_relaxed);
        generation_.fetch_add(1, std::memory_order_release);
        generation_.notify_all();
        return;
    }
    for (int i = 0; i < kSpins + kYields; ++i) {
        if (generation_.load(std::memory_order_acquire) != generation) {
            return;
        }
        if (i < kSpins) {
            relax();
        } else {
            std::this_thread::yield();  // lets a thread that shares this core reach the barrier
        }
    }
    while (generation_.load(std::memory_order_acquire) == generation) {
        generation_.wait(generation, std::memory_order_acquire);
    }
}

LevelTeam::LevelTeam(int parts) : parts_(std::max(parts, 1)), barrier_(parts_) {
    workers_.reserve(static_cast<std::size_t>(parts_ - 1));
    try {
        for (int part = 1; part < parts_; ++part) {
            workers_.emplace_back([this, part] { serve(part); });
        }
    } catch (...) {
        // The workers started so far would wait at the barrier for the
        // missing ones: they are let go before they reach it, and joined.
        release(Start::Abandoned);
        workers_.clear();
        throw;
    }
    release(Start::Go);
}

void LevelTeam::release(Start how) {
    start_.store(how, std::memory_order_release);
    start_.notify_all();
}

std::unique_ptr<LevelTeam> startTeam(int parts) {
    try {
        return std::make_unique<LevelTeam>(parts);
    } catch (const std::system_error&) {
        return nullptr;
    }
}

LevelTeam::~LevelTeam() {
    stopping_ = true;
    if (parts_ > 1) {
        barrier_.arriveAndWait();
    }
}

// The barrier that starts a run publishes task_ and stopping_ to the
// workers; the one that ends it tells the caller that all parts are done.
void LevelTeam::dispatch() {
    if (parts_ > 1) {
        barrier_.arriveAndWait();
    }
    task_(context_, 0);
    if (parts_ > 1) {
        barrier_.arriveAndWait();
    }
}

void LevelTeam::serve(int part) {
    start_.wait(Start::Waiting, std::memory_order_acquire);
    if (start_.load(std::memory_order_acquire) == Start::Abandoned) {
        return;
    }
    for (;;) {
        barrier_.arriveAndWait();
        if (stopping_) {
            return;
        }
        task_(context_, part);
        barrier_.arriveAndWait();
    }
}

}  // namespace velarion
