#pragma once

#include "form_state.h"
#include "model/kernel.h"
#include "model/number_text.h"
#include "output/run_log.h"
#include "run_control.h"
#include "window_ops.h"

#include <QString>

#include <cstdint>
#include <functional>

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

    RunOutcome run();

  private:
    RunOutcome runSteps();
    void createArrays();
    void readParameters();
    void fillInitialRows();
    bool takeSnapshots();  // false when stopped
    void cycle();
    void update(const Matrix& current, const Matrix& previous, Matrix& target);
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
};

}  // namespace velarion
