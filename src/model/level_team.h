#pragma once

// Threads that share the levels of a run: each level's segments are split
// between them, and they wait for one another before the next level, since
// every cell reads its neighbours at the level before.

#include <atomic>
#include <memory>
#include <string_view>
#include <thread>
#include <vector>

namespace velarion {

// How many threads a run of M + 1 segments uses when `requested` were asked
// for (--threads, VELARION_THREADS): at most one a segment, at least one.
// The double and Girotondo runs take one thread unless more are asked for:
// on an AMD EPYC with 2 cores a second thread gained nothing (the double
// run's time goes to the first touch of psi; the Girotondo run's energy
// sums run in segment order), and on cores busy with other programs a
// thread that waits for one that is not running loses far more (1.1 to 6.7
// times as long at a load of 3). 1 always runs the single-threaded code.
int chooseThreads(int requested, int M);

// The cores this process may run on less the load average of the last
// minute, rounded; at least 1.
int freeCores();

// The thread count a run was given (--threads), else VELARION_THREADS, else
// 0: none asked for.
int requestedThreads(int given);

// VELARION_THREADS as a thread count: 0 when unset, empty or not a whole
// number from 1 to kMaxThreads.
int threadsFromEnvironment();

// A thread count as --threads and VELARION_THREADS give it: a whole number
// from 1 to kMaxThreads, blanks around it allowed; 0 for any other text.
int threadCountFrom(std::string_view text);

constexpr int kMaxThreads = 256;

class LevelTeam;

// A team of `parts` threads, or none when the system cannot start them:
// the run then goes on in the calling thread alone.
std::unique_ptr<LevelTeam> startTeam(int parts);

// The first segment of part `part` of `parts` sharing segments 0..M: the
// parts are as even as multiples of 8 segments allow, so that each part's
// energy terms fall on the same entries of the sums as in a whole row.
int partStart(int part, int parts, int M);

// The threads' meeting point. A level takes about a microsecond, and
// std::barrier, which puts the waiting threads to sleep, took 7 to 9
// microseconds a meeting on an AMD EPYC (2 cores), this one 0.1 to 0.2. A
// thread spins for a while (some microseconds), then yields its core a while
// to a thread that may need it to arrive, then sleeps on
// the generation, so the workers between runs cost nothing.
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
