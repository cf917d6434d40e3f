#pragma once

#include "form_state.h"
#include "model/kernel.h"
#include "model/level_team.h"
#include "model/number_text.h"
#include "output/run_log.h"
#include "run_control.h"
#include "window_ops.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace velarion {

// The run of "GO Girotondo!": the column advances through three rows used
// in rotation, and after every N cycles of three levels the newest row is
// kept in psi as a snapshot, so psi holds nitertemp + 1 rows whatever the
// number of levels.
class GirotondoRun {
  public:
    GirotondoRun(WindowOps& ops, FormState& form, const NumberText& numbers,
                 QString logPath = QString::fromLatin1(RunLog::kFileName));

    // Called at the end of the run (completed or failed) when CLogFileExc is ticked.
    void setExport(std::function<void()> saveFileExcel) { export_ = std::move(saveFileExcel); }
    // Whether to keep the envelope of every level in the form state. Off by
    // default: it costs a pass over the three rows for every cycle.
    void setEnvelope(bool keep) { keepEnvelope_ = keep; }

    RunOutcome run();

  private:
    RunOutcome runSteps();
    void createArrays();
    void readParameters();
    void fillInitialRows();
    bool takeSnapshots();  // false when stopped
    void cycle();
    void sharedCycles(int lastK);
    void update(const Matrix& current, const Matrix& previous, Matrix& target);
    void startEnvelope();
    void recordNewestEnergy();
    void closeOpenEnergy();
    void storeSnapshot(int J);
    QString closeLog();  // the reason when the file could not be closed
    void showError(const QString& reason);
    RunOutcome complete();
    RunOutcome fail(const QString& reason);
    RunOutcome stop();
    void finish();

    WindowOps& ops_;
    FormState& form_;
    const NumberText& numbers_;
    RunControl control_;
    RunLog log_;
    KernelFactors factors_;
    int M_ = 0;
    std::int64_t level_ = 0;  // the newest level computed
    std::function<void()> export_;
    bool keepEnvelope_ = false;
    // The two newest finite levels, whose energy is still to be recorded:
    // an update records the energy of the level it reads, not of the one
    // it writes.
    const double* newest_ = nullptr;
    const double* beforeNewest_ = nullptr;

    // With two threads, the caller updates segments 0..split_-1 and sums
    // their energy terms; the worker carries those sums on through the
    // rest of the row a level later, then updates its own segments. An
    // open pair's sums still lack the worker's part.
    struct PairSums {
        EnergySums sums;
        const double* current = nullptr;
        const double* previous = nullptr;
        double current0 = 0;   // the rows' segment 0, for the work, kept
        double previous0 = 0;  // since the worker's update overwrites one
        bool open = false;
    };
    std::unique_ptr<LevelTeam> team_;
    int split_ = 0;
    PairSums pairs_[2];  // by the parity of the level that read the pair
};

}  // namespace velarion
