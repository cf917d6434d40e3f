#pragma once

// Threads that share the levels of a run: each takes a fixed range of the
// segments, and they meet where a cell needs what another thread computed.

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace velarion {

class LevelTeam;

// A team of `parts` threads, or none when the system cannot start them:
// the run then goes on in the calling thread alone.
std::unique_ptr<LevelTeam> startTeam(int parts);

// The first segment of part `part` of `parts` sharing segments 0..M: the
// parts are as even as whole multiples of `grain` segments allow, none empty
// while there are no more parts than grains (8 keeps each
// part's vectors on whole cache lines; kEnergyBlock gives each part whole
// blocks of the energy sums).
int partStart(int part, int parts, int M, int grain = 8);

// The threads' meeting point. A thread spins for a while (some
// microseconds), since the others are usually about to arrive and waking a
// sleeper costs far more than a meeting; then yields its core a while to a
// thread that may need it to arrive; then sleeps on the generation, so the
// workers between runs cost nothing.
class SpinBarrier {
  public:
    explicit SpinBarrier(int parties) : parties_(parties) {}
    void arriveAndWait();

  private:
    const int parties_;
    std::atomic<int> arrived_{0};
    std::atomic<unsigned> generation_{0};
};

// parts - 1 threads that wait, asleep between runs, for the caller to hand
// them work. Throws std::system_error, with no thread left running, when
// one cannot be started. run(work) calls work(part) for every part, part 0 on the
// calling thread (so it alone may touch the window), and returns when all
// have returned. Inside work, sync() waits until every part has reached it:
// every part must call it equally often. Work must not throw.
class LevelTeam {
  public:
    explicit LevelTeam(int parts);
    ~LevelTeam();
    LevelTeam(const LevelTeam&) = delete;
    LevelTeam& operator=(const LevelTeam&) = delete;

    int parts() const { return parts_; }

    template <class Work>
    void run(Work& work) {
        task_ = [](void* context, int part) { (*static_cast<Work*>(context))(part); };
        context_ = &work;
        dispatch();
    }

    void sync() { barrier_.arriveAndWait(); }

  private:
    // Until every worker is started the workers wait on start_, not at the
    // barrier; when one cannot be started, the others are let go.
    enum class Start { Waiting, Go, Abandoned };

    void dispatch();
    void serve(int part);
    void release(Start how);

    int parts_;
    SpinBarrier barrier_;
    std::atomic<Start> start_{Start::Waiting};
    void (*task_)(void*, int) = nullptr;
    void* context_ = nullptr;
    bool stopping_ = false;
    std::vector<std::jthread> workers_;
};

}  // namespace velarion
