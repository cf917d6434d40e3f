#pragma once

#include "form_state.h"
#include "model/kernel.h"
#include "model/level_team.h"
#include "model/number_text.h"
#include "model/rotating_tiles.h"
#include "output/run_log.h"
#include "run_control.h"
#include "window_ops.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

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
    // The most levels a team of threads computes between two meetings
    // (whole cycles; a snapshot ends a block too).
    void setTileDepth(int levels) { tileDepth_ = levels; }

    static constexpr int kDefaultTileDepth = 128;

    RunOutcome run();

    // The threads the last run shared its cycles between.
    int threads() const { return team_ ? team_->parts() : 1; }
    // Rotating row 0, 1 or 2 as the last run left it.
    const Matrix& rotatingRow(int i) const {
        return i == 0 ? psiGiro0_ : (i == 1 ? psiGiro1_ : psiGiro2_);
    }

  private:
    RunOutcome runSteps();
    void createArrays();
    void readParameters();
    void fillInitialRows();
    void startTiles();
    bool takeSnapshots();  // false when stopped
    void cycles(int lastK);
    void cycle();
    void tiledCycles(int lastK);
    void keepBlockBooks(int firstK, int cycles);
    void redoBlock(int firstK, int cycles);
    void undoBlock(int cycles, int levels);
    void placeGrowthInBlock(int i);
    void stepQuietly(std::int64_t from, int count, bool envelope);
    double* giroRow(std::int64_t level);
    void update(const Matrix& current, const Matrix& previous, Matrix& target);
    void startEnvelope();
    void recordNewestEnergy();
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
    // The three rotating rows (one row each), allocated with psi.
    Matrix psiGiro0_;
    Matrix psiGiro1_;
    Matrix psiGiro2_;
    int M_ = 0;
    std::int64_t level_ = 0;  // the newest level computed
    std::function<void()> export_;
    bool keepEnvelope_ = false;
    // The two newest finite levels, whose energy is still to be recorded:
    // an update records the energy of the level it reads, not of the one
    // it writes.
    const double* newest_ = nullptr;
    const double* beforeNewest_ = nullptr;
    std::vector<EnergySums> sums_;  // the energy sums of a level, block by block
    // Friction's loss and the valve's work up to the newest level, when the
    // pipe has either (one thread then).
    std::optional<EnergyFlows> flows_;

    int tileDepth_ = kDefaultTileDepth;
    std::unique_ptr<LevelTeam> team_;
    // The levels in tiles when a team shares them; the rows then live in
    // the tiles between snapshots, and come back to psiGiro0-2 at the end.
    std::unique_ptr<RotatingTiles> tiles_;
};

}  // namespace velarion
