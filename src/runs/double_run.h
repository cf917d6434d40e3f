#pragma once

#include "form_state.h"
#include "model/kernel.h"
#include "model/level_team.h"
#include "model/number_text.h"
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

    RunOutcome run();

  private:
    RunOutcome runSteps();
    void refuseBrokenLimits();
    void refuseKeptMatrix(int columns) const;
    void readParameters();
    void fillFirstRows();
    bool stepLevels();  // false when stopped
    void computeLevel(int J);
    void computeShared(int J);
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
    std::unique_ptr<LevelTeam> team_;  // when more than one thread shares each level
};

}  // namespace velarion
