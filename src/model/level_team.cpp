#include "level_team.h"

#include <algorithm>
#include <system_error>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace velarion {

int partStart(int part, int parts, int M, int grain) {
    if (part <= 0) {
        return 0;
    }
    if (part >= parts) {
        return M + 1;
    }
    // Whole grains shared out evenly; the last grain may be short.
    const long long grains = (static_cast<long long>(M) + grain) / grain;
    const long long start = grains * part / parts * grain;
    return static_cast<int>(std::min<long long>(start, M + 1));
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
