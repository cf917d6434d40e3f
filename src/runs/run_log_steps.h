#pragma once

#include "model/number_text.h"
#include "output/run_log.h"
#include "window_ops.h"

#include <QString>

#include <optional>

namespace velarion {

// The run log as the runs use it; a fault of the file fails the run.
//
// Whether to log is decided once, when the run opens the file: ticking or
// unticking CLogFile during a run takes effect at the next run. So no
// record goes to a file that is not open, and the file is always closed.
void openLogIfTicked(const WindowOps& ops, RunLog& log);
// Writes the record when the log is open.
void writeLogRecord(RunLog& log, const QString& line);
// Writes, when the log is open, the record of level J with the positions
// of its row: the first segment's, and the last one's when `lastSegment`
// is given.
void writePositionRecord(RunLog& log, const NumberText& numbers, int J, const double* row,
                         std::optional<int> lastSegment = std::nullopt);
// The message for a log file that could not be written or closed.
QString logWriteFailure(const RunLog& log);

}  // namespace velarion
