#pragma once

#include "form_state.h"
#include "model/kernel.h"
#include "model/level_team.h"
#include "model/number_text.h"
#include "model/psi_tiles.h"
#include "output/run_log.h"
#include "run_control.h"
#include "window_ops.h"

#include <QString>

#include <functional>
#include <memory>

namespace velarion {

// The run of "GO (double)!": every time level in double precision, each
// stored in its own row of psi.
class DoubleRun {
  public:
    DoubleRun(WindowOps& ops, FormState& form, const NumberText& numbers,
              QString logPath = QString::fromLatin1(RunLog::kFileName));

    // Called at the end of a completed run when CLogFileExc is ticked.
    void setExport(std::function<void()> saveFileExcel) { export_ = std::move(saveFileExcel); }

    // The most levels a team of threads computes between two meetings (a
    // pump point ends a block too).
    void setTileDepth(int levels) { tileDepth_ = levels; }

    static constexpr int kDefaultTileDepth = 100;

    RunOutcome run();

    // The threads the last run shared its levels between.
    int threads() const { return team_ ? team_->parts() : 1; }

  private:
    RunOutcome runSteps();
    void refuseBrokenLimits();
    void refuseKeptMatrix(int columns) const;
    void readParameters();
    void fillFirstRows();
    void startTiles(int last);
    bool stepLevels();  // false when stopped
    void computeLevel(int J, int last);
    bool keepLevelBooks(int J);  // false when stopped
    void clearRowsPast(int J);
    void closeLog();
    RunOutcome complete();

    WindowOps& ops_;
    FormState& form_;
    const NumberText& numbers_;
    RunControl control_;
    RunLog log_;
    Matrix prepared_;  // the new psi, allocated before anything changes
    KernelFactors factors_;
    int M_ = 0;
    std::function<void()> export_;
    bool freshPsi_ = false;  // psi was created for this run, 0.0 in every cell
    int tileDepth_ = kDefaultTileDepth;
    std::unique_ptr<LevelTeam> team_;  // when threads share the levels
    std::unique_ptr<PsiTiles> tiles_;
    int computed_ = 0;  // the last row the tiles have computed
    int failed_ = 0;    // the first of them that is not finite, or 0
};

}  // namespace velarion
