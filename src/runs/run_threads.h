#pragma once

// The one place that decides how many threads a run shares its levels
// between.

#include "model/level_team.h"
#include "run_control.h"

#include <memory>
#include <string_view>

namespace velarion {

inline constexpr int kMaxThreads = 256;

// VELARION_THREADS as a thread count: 0 when unset, empty or not a whole
// number from 1 to kMaxThreads.
int threadsFromEnvironment();

// A thread count as --threads and VELARION_THREADS give it: a whole number
// from 1 to kMaxThreads, blanks around it allowed; 0 for any other text.
int threadCountFrom(std::string_view text);

// The thread count a run was given (--threads; the window gives 0), else
// VELARION_THREADS, else 0: none asked for, the run chooses.
int requestedThreads(int given);

// The cores this process may run on (taskset, cgroups) that no other
// program is running on now; at least 1.
int freeCores();

// The shortest row, in segments, on which a team of two threads finished a
// long run of `kind` sooner than one thread did.
int gainingRowLength(RunKind kind);

// The threads of a run of `kind` over segments 0..M when `requested` were
// asked for (0: none) and `free` cores are free: as many as asked for, else
// the free cores once the row reaches gainingRowLength(kind), else one;
// never more than the run can give work (whole blocks of the energy sums
// in the Girotondo run, 8 segments in the double run, 1000 decimal cells in
// the precision run).
int teamSize(RunKind kind, int requested, int M, int free);

// The team of a run of `kind` over segments 0..M, given the count of
// FormState::threads: none when it takes one thread, or when the threads
// cannot be started (the run then goes on alone).
std::unique_ptr<LevelTeam> startRunTeam(RunKind kind, int given, int M);

}  // namespace velarion
