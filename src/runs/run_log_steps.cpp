#include "run_log_steps.h"

#include "model/run_failure.h"

namespace velarion {

void openLogIfTicked(const WindowOps& ops, RunLog& log) {
    if (!ops.isTicked(ctl::CLogFile)) {
        return;
    }
    if (!log.open()) {
        throw RunFailure(QStringLiteral("The log file %1 cannot be created: %2")
                             .arg(log.fileName(), log.errorString()));
    }
}

void writeLogRecord(RunLog& log, const QString& line) {
    if (log.isOpen() && !log.writeRecord(line)) {
        throw RunFailure(logWriteFailure(log));
    }
}

void writePositionRecord(RunLog& log, const NumberText& numbers, int J, const double* row,
                         std::optional<int> lastSegment) {
    if (!log.isOpen()) {
        return;
    }
    const auto level = static_cast<std::int16_t>(J);
    const QString first = numbers.general(row[0]);
    writeLogRecord(log, lastSegment ? logLine(level, first, numbers.general(row[*lastSegment]))
                                    : logLine(level, first));
}

QString logWriteFailure(const RunLog& log) {
    return QStringLiteral("The log file %1 cannot be written: %2")
        .arg(log.fileName(), log.errorString());
}

}  // namespace velarion
