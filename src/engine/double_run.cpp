#include "double_run.h"

#include "parameters.h"
#include "run_failure.h"
#include "run_log_steps.h"

namespace velarion {

DoubleRun::DoubleRun(WindowOps& ops, FormState& form, const NumberText& numbers, QString logPath)
    : ops_(ops), form_(form), numbers_(numbers), control_(ops, numbers), log_(std::move(logPath)) {}

RunOutcome DoubleRun::run() {
    control_.start();
    try {
        refuseBrokenLimits();
        readParameters();
        control_.working();
        fillFirstRows();
        openLogIfTicked(ops_, log_);
        if (!stepLevels()) {
            closeLog();
            return control_.stopped();
        }
        return complete();
    } catch (const RunFailure& failure) {
        log_.close();
        return control_.failed(failure.message());
    }
}

// Refuses, before anything is changed, bounds that the run cannot honour,
// and allocates the new matrix so that a lack of memory changes nothing
// either. A bound box that does not convert is left to the reading order,
// which reports it at its own step.
void DoubleRun::refuseBrokenLimits() {
    const ParameterReader reader(ops_, numbers_);
    const auto rows = reader.peekInt32(ctl::TINDICE_MATRICE1);
    const auto columns = reader.peekInt32(ctl::TINDICE_MATRICE2);
    const auto levels = reader.peekInt16(ctl::Tnitertemp);
    if (!rows || !columns) {
        return;
    }
    if (*columns < 1 || *columns > 32766) {
        throw RunFailure(QStringLiteral("The second index of psi (box %1) is %2; it must lie from "
                                        "1 to 32766.")
                             .arg(describeBox(ctl::TINDICE_MATRICE2))
                             .arg(*columns));
    }
    if (*rows < 1) {
        throw RunFailure(QStringLiteral("The first index of psi (box %1) is %2; it must be at "
                                        "least 1.")
                             .arg(describeBox(ctl::TINDICE_MATRICE1))
                             .arg(*rows));
    }
    const auto lastRow = cappedLastRow(*rows);
    if (!lastRow) {
        // psi is kept as the previous run left it.
        if (form_.psi.empty() || static_cast<int>(form_.psi.columns()) <= *columns) {
            throw RunFailure(QStringLiteral("The first index of psi is above 50000, so the matrix "
                                            "of the previous run is kept, but there is none with "
                                            "columns 0 to %1.")
                                 .arg(*columns));
        }
    }
    const int last = lastRow ? *lastRow : form_.psi.lastRow();
    if (levels && *levels > last) {
        throw RunFailure(QStringLiteral("nitertemp is %1, above the last row of psi (%2).")
                             .arg(*levels)
                             .arg(last));
    }
    if (lastRow) {
        prepared_ = Matrix::tryCreate(static_cast<std::size_t>(*lastRow) + 1,
                                      static_cast<std::size_t>(*columns) + 1);
        if (prepared_.empty()) {
            throw RunFailure(QStringLiteral("There is not enough memory for psi(%1, %2).")
                                 .arg(*lastRow)
                                 .arg(*columns));
        }
    }
}

void DoubleRun::readParameters() {
    const ParameterReader reader(ops_, numbers_);
    reader.readIndexBounds(form_);
    // The bounds converted, so refuseBrokenLimits() has checked them and
    // allocated the matrix; a nitertemp that converts has been checked too.
    if (cappedLastRow(form_.IndiceMatrice1)) {
        form_.psi = std::move(prepared_);
    }
    reader.readPhysical(form_.parameters, false);
    M_ = form_.IndiceMatrice2;
    const Parameters& p = form_.parameters;
    factors_ = KernelFactors::from(p.DeltaT, p.L0, p.Rho, p.B, p.P);
}

void DoubleRun::fillFirstRows() {
    const Parameters& p = form_.parameters;
    double* row0 = form_.psi.row(0);
    double* row1 = form_.psi.row(1);
    row0[0] = 0;
    for (int s = 1; s <= M_; ++s) {
        row0[s] = row0[s - 1] + p.L0;
    }
    const double shift = p.DeltaT * p.V0;
    for (int s = 0; s <= M_; ++s) {
        row1[s] = row0[s] - shift;
    }
    for (int level = 0; level <= 1; ++level) {
        if (const int s = firstNonFinite(form_.psi.row(level), M_); s >= 0) {
            throw RunFailure(nonFiniteReason(level, s));
        }
    }
}

bool DoubleRun::stepLevels() {
    const int last = form_.parameters.nitertemp;
    for (int J = 2; J <= last; ++J) {
        computeLevel(J);
        form_.J = static_cast<std::int16_t>(J);
        ops_.setText(ctl::TJ, QString::number(J));
        if (J % 10 == 0) {
            control_.progress(J);
        }
        if (J % 100 == 0 && control_.pumpAndPoll()) {
            return false;
        }
        writeRecord(J);
    }
    return true;
}

void DoubleRun::computeLevel(int J) {
    double* target = form_.psi.row(J);
    if (!updateRow(form_.psi.row(J - 1), form_.psi.row(J - 2), target, M_, factors_)) {
        throw RunFailure(nonFiniteReason(J, firstNonFinite(target, M_)));
    }
}

void DoubleRun::writeRecord(int J) {
    if (!log_.isOpen()) {
        return;
    }
    const auto level = static_cast<std::int16_t>(J);
    writeLogRecord(log_, logLine(level, numbers_.general(form_.psi(J, 0))));
}

void DoubleRun::closeLog() {
    if (!log_.close()) {
        throw RunFailure(logWriteFailure(log_));
    }
}

RunOutcome DoubleRun::complete() {
    closeLog();
    control_.showElapsed();
    control_.restoreButtons();
    if (ops_.isTicked(ctl::CLogFileExc) && export_) {
        export_();
    }
    return RunOutcome::Completed;
}

}  // namespace velarion
