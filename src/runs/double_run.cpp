#include "double_run.h"

#include "model/initial_rows.h"
#include "model/run_failure.h"
#include "parameter_reader.h"
#include "run_log_steps.h"
#include "run_threads.h"

#include <algorithm>
#include <new>

namespace velarion {

DoubleRun::DoubleRun(WindowOps& ops, FormState& form, const NumberText& numbers, QString logPath)
    : ops_(ops),
      form_(form),
      numbers_(numbers),
      control_(ops, numbers, RunKind::Double),
      log_(std::move(logPath)) {}

RunOutcome DoubleRun::run() {
    return recordOutcome(form_, runSteps());
}

RunOutcome DoubleRun::runSteps() {
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
    } catch (const std::exception& error) {  // e.g. no memory for a box's text
        log_.close();
        return control_.failed(unexpectedFailure(error) + QLatin1Char('.'));
    }
}

// Refuses, before anything is changed, bounds that the run cannot honour,
// and allocates the new matrix so that a lack of memory changes nothing
// either. A bound box that does not convert is left to the reading order,
// which reports it at its own step.
void DoubleRun::refuseBrokenLimits() {
    const ParameterReader reader(ops_, numbers_);
    const auto bounds = reader.peekBounds("psi");
    if (!bounds) {
        return;
    }
    const auto lastRow = cappedLastRow(bounds->rows);
    if (!lastRow) {
        refuseKeptMatrix(bounds->columns);
    }
    const int last = lastRow ? *lastRow : form_.psi.lastRow();
    reader.refuseLevelsBeyond(*bounds, last, "psi");
    if (lastRow) {
        prepared_ = Matrix::tryCreate(static_cast<std::size_t>(*lastRow) + 1,
                                      static_cast<std::size_t>(bounds->columns) + 1);
        if (prepared_.empty()) {
            throw RunFailure(QStringLiteral("There is not enough memory for psi(%1, %2).")
                                 .arg(*lastRow)
                                 .arg(bounds->columns));
        }
    }
}

// With a first index above 50000 psi is kept as the previous run left it;
// the run still writes rows 0 and 1 and the columns up to the second index.
void DoubleRun::refuseKeptMatrix(int columns) const {
    const Matrix& psi = form_.psi;
    if (!psi.empty() && psi.lastRow() >= 1 && static_cast<int>(psi.columns()) > columns) {
        return;
    }
    const QString kept = psi.empty() ? QStringLiteral("there is none")
                                     : QStringLiteral("it has rows 0 to %1 and columns 0 to %2")
                                           .arg(psi.lastRow())
                                           .arg(psi.columns() - 1);
    throw RunFailure(QStringLiteral("The first index of psi is above 50000 (%1), so the matrix of "
                                    "the previous run is kept, but %2; this run needs rows 0 and "
                                    "1 and columns 0 to %3.")
                         .arg(describeBoxHolding(ops_, ctl::TINDICE_MATRICE1), kept)
                         .arg(columns));
}

void DoubleRun::readParameters() {
    const ParameterReader reader(ops_, numbers_);
    reader.readIndexBounds(form_);
    // The bounds converted, so refuseBrokenLimits() has checked them and
    // allocated the matrix; a nitertemp that converts has been checked too.
    freshPsi_ = cappedLastRow(form_.IndiceMatrice1).has_value();
    if (freshPsi_) {
        form_.psi = std::move(prepared_);
        form_.psiRows.reset();
        form_.girotondoEnergy = EnergyRecord();
        form_.girotondoEnvelope = Envelope();
    }
    reader.readPhysical(form_.parameters, false);
    reader.refuseImpossibleUpdate(form_.parameters);
    reader.refuseImpossibleHammer(form_.parameters, form_.hammer);
    M_ = form_.IndiceMatrice2;
    const Parameters& p = form_.parameters;
    factors_ = KernelFactors::from(p.DeltaT, p.L0, p.Rho, p.B, p.P, form_.freeEnd, form_.hammer,
                                   p.V0, p.D);
}

void DoubleRun::fillFirstRows() {
    const Parameters& p = form_.parameters;
    layOutAtRest(form_.psi.row(0), M_, p.L0);
    moveByInitialVelocity(form_.psi.row(0), form_.psi.row(1), M_, p.DeltaT, p.V0);
    holdClosedEnds(form_.psi.row(0), form_.psi.row(1), M_, factors_.firstEnd, factors_.freeEnd);
    refuseNonFiniteFirstRows(form_.psi.row(0), form_.psi.row(1), M_);
    form_.psiRows =
        PsiRows{RunKind::Double, p, M_, 1, std::nullopt, factors_.freeEnd, form_.hammer};
    form_.derived = DerivedFromPsi();
}

// A team shares the levels when one is chosen for the row. A kept matrix
// holds an earlier run's rows past the level where this one may fail or
// stop, and the tiles compute some of those ahead of the books: one thread
// keeps them. Tiles that find no memory leave the run on one thread too.
void DoubleRun::startTiles(int last) {
    tiles_.reset();
    team_.reset();
    computed_ = 1;
    failed_ = 0;
    if (!freshPsi_ || last < 3) {
        return;
    }
    team_ = startRunTeam(RunKind::Double, form_.threads, M_);
    if (!team_) {
        return;
    }
    try {
        tiles_ = std::make_unique<PsiTiles>(*team_, form_.psi, M_, factors_, tileDepth_);
    } catch (const std::bad_alloc&) {
        team_.reset();
    }
}

bool DoubleRun::stepLevels() {
    const int last = form_.parameters.nitertemp;
    startTiles(last);
    for (int J = 2; J <= last; ++J) {
        computeLevel(J, last);
        try {
            if (!keepLevelBooks(J)) {
                return false;
            }
        } catch (...) {
            clearRowsPast(J);
            throw;
        }
    }
    return true;
}

// With tiles, a block of levels at a time, ending at the next pump point so
// that a stop finds no row computed past it; its failure is reported when
// the books reach it.
void DoubleRun::computeLevel(int J, int last) {
    if (tiles_) {
        if (J > computed_) {
            const int pumpPoint = (J + 99) / 100 * 100;
            computed_ = std::min({last, pumpPoint, J + tiles_->depth() - 1});
            failed_ = tiles_->compute(J, computed_);
        }
        if (J == failed_) {
            clearRowsPast(J);
            throw RunFailure(nonFiniteReason(J, firstNonFinite(form_.psi.row(J), M_)));
        }
        return;
    }
    double* target = form_.psi.row(J);
    if (!updateRow(form_.psi.row(J - 1), form_.psi.row(J - 2), target, M_, factors_)) {
        throw RunFailure(nonFiniteReason(J, firstNonFinite(target, M_)));
    }
}

bool DoubleRun::keepLevelBooks(int J) {
    form_.psiRows->lastRow = J;
    ops_.setText(ctl::TJ, QString::number(J));
    if (J % 10 == 0) {
        control_.progress(J);
    }
    if (J % 100 == 0 && control_.pumpAndPoll()) {
        return false;
    }
    writePositionRecord(log_, numbers_, J, form_.psi.row(J));
    return true;
}

// The rows the tiles computed past level J, where the run ends, go back to
// 0.0, as one thread leaves them.
void DoubleRun::clearRowsPast(int J) {
    for (int row = J + 1; row <= computed_; ++row) {
        std::fill_n(form_.psi.row(static_cast<std::size_t>(row)), M_ + 1, 0.0);
    }
    computed_ = std::min(computed_, J);
}

void DoubleRun::closeLog() {
    if (!log_.close()) {
        throw RunFailure(logWriteFailure(log_));
    }
}

RunOutcome DoubleRun::complete() {
    closeLog();
    control_.finish(export_);
    return RunOutcome::Completed;
}

}  // namespace velarion
