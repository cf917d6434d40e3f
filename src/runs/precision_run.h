#pragma once

#include "form_state.h"
#include "model/level_team.h"
#include "model/number_text.h"
#include "model/precision_number.h"
#include "output/run_log.h"
#include "run_control.h"
#include "window_ops.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace velarion {

struct PsiTextCells;

// The run of "GO (MathPrecision)!": the model of the double-precision run
// with every operation done by the arbitrary-precision number component,
// the positions kept in psiText. It touches no button, StopFlag, progress
// bar or elapsed time and never lets window events in; it cannot be stopped.
class PrecisionRun {
  public:
    PrecisionRun(WindowOps& ops, FormState& form, const NumberText& numbers,
                 QString logPath = QString::fromLatin1(RunLog::kFileName));
    ~PrecisionRun();

    // The most memory psiText may take. By default the machine's physical
    // memory: a matrix that cannot fit is refused rather than left to the
    // system's out-of-memory killer.
    void setMemoryLimit(std::size_t bytes) { memoryLimit_ = bytes; }
    RunOutcome run();

    // The threads the last run shared its levels between.
    int threads() const { return threads_; }

    // Component calls of the last run, for measuring their cost.
    std::int64_t componentCalls() const { return calls_; }

  private:
    void refuseBrokenLimits();
    void readStart();
    void computeDerived();
    void computeHammerFactors();
    void fillFirstRows();
    void stepLevels();
    void computeLevel(int J);
    PrecisionResult valveSegment(MathPrecision& m, const PrecisionResult& now,
                                 const PrecisionResult& before);
    struct SegmentFailure;
    void computeSegments(MathPrecision& m, int J, int first, int last, SegmentFailure& failure);
    void startTeam();
    void computeSegmentsInParallel(int J, int first, int last);
    void countCalls();
    void logLevel(int J);
    QString where() const;
    RunOutcome fail(const QString& reason);

    WindowOps& ops_;
    FormState& form_;
    const NumberText& numbers_;
    RunLog log_;
    std::size_t memoryLimit_;
    std::unique_ptr<PsiTextCells> prepared_;  // the new psiText, allocated before anything changes
    std::unique_ptr<DecimalPrecision> component_;
    // Threads that share the segments of a level, each with a component of
    // its own (part 0 uses component_). Each cell depends only on the two
    // levels before it, so the results are the same for any count.
    std::unique_ptr<LevelTeam> team_;
    std::vector<std::unique_ptr<DecimalPrecision>> helpers_;
    int threads_ = 1;
    struct Held;
    std::unique_ptr<Held> held_;  // the run's own A, F, B, L0 and C
    const char* step_ = nullptr;  // the start step under way, for messages
    int level_ = -1;
    int segment_ = -1;
    std::int64_t calls_ = 0;
};

}  // namespace velarion
