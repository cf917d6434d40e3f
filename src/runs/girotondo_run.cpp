#include "girotondo_run.h"

#include "model/initial_rows.h"
#include "model/parameter_boxes.h"
#include "model/run_failure.h"
#include "parameter_reader.h"
#include "run_log_steps.h"

#include <algorithm>
#include <exception>
#include <limits>

namespace velarion {

namespace {

constexpr int kStartToneHz = 990;
constexpr int kToneMs = 50;
constexpr int kToneGapMs = 30;
constexpr int kEndTonesHz[] = {790, 690, 990};
// Segments are counted in 16 bits, and the counter passes the last index
// once more after the last segment: 32766 is the largest index that works.
constexpr int kLastSegmentLimit = std::numeric_limits<std::int16_t>::max() - 1;

// The caller's share of a level's segments when two threads share it: the
// caller's energy terms come with its update, the worker sums its own in a
// second pass, which costs it more per segment. Set by girotondo_bench on an
// AMD EPYC (AVX-512).
constexpr double kCallerShare = 0.53;

QString segmentLimitReason(int M) {
    return QStringLiteral(
               "The box %1 holds %2: the segments are counted in 16 bits, so the "
               "last segment index can be at most %3.")
        .arg(describeBox(ctl::TINDICE_MATRICE2))
        .arg(M)
        .arg(kLastSegmentLimit);
}

}  // namespace

GirotondoRun::GirotondoRun(WindowOps& ops, FormState& form, const NumberText& numbers,
                           QString logPath)
    : ops_(ops),
      form_(form),
      numbers_(numbers),
      control_(ops, numbers, RunKind::Girotondo),
      log_(std::move(logPath)) {}

RunOutcome GirotondoRun::run() {
    return recordOutcome(form_, runSteps());
}

RunOutcome GirotondoRun::runSteps() {
    newest_ = nullptr;
    team_.reset();
    pairs_[0].open = pairs_[1].open = false;
    ops_.beep(kStartToneHz, kToneMs);
    control_.start();
    try {
        createArrays();
    } catch (const RunFailure& failure) {
        return control_.failed(failure.message());
    }
    // From here every failure takes the error path.
    try {
        readParameters();
        control_.working();
        fillInitialRows();
        if (!takeSnapshots()) {
            return stop();
        }
    } catch (const RunFailure& failure) {
        return fail(failure.message());
    } catch (const std::exception& error) {  // e.g. no memory for a box's text
        // The energy record may be what ran out of memory, and a worker may
        // have gone a level further than the books: no energy is recorded
        // past the failure.
        newest_ = nullptr;
        pairs_[0].open = pairs_[1].open = false;
        return fail(unexpectedFailure(error) + QLatin1Char('.'));
    }
    return complete();
}

// Converts the index boxes and creates the arrays. A failure here comes
// before the error path, so it is reported like a refused double run and the
// arrays of the previous run are kept.
void GirotondoRun::createArrays() {
    const ParameterReader reader(ops_, numbers_);
    reader.readIndexBounds(form_);
    const int rows = form_.IndiceMatrice1;
    const int M = form_.IndiceMatrice2;
    for (const auto& [box, bound] :
         {std::pair{ctl::TINDICE_MATRICE1, rows}, std::pair{ctl::TINDICE_MATRICE2, M}}) {
        if (bound < 0) {
            throw RunFailure(QStringLiteral("The box %1 holds %2: an index bound of psi cannot "
                                            "be negative.")
                                 .arg(describeBox(box))
                                 .arg(bound));
        }
    }
    const auto columns = static_cast<std::size_t>(M) + 1;
    // The rows sit at different offsets within a page, so that no store to
    // one row looks to the processor like a store to the cell being loaded
    // from another.
    Matrix giro0 = Matrix::tryCreate(1, columns, Matrix::spreadPageOffset(0, 3));
    Matrix giro1 = Matrix::tryCreate(1, columns, Matrix::spreadPageOffset(1, 3));
    Matrix giro2 = Matrix::tryCreate(1, columns, Matrix::spreadPageOffset(2, 3));
    Matrix psi = Matrix::tryCreate(static_cast<std::size_t>(rows) + 1, columns);
    if (giro0.empty() || giro1.empty() || giro2.empty() || psi.empty()) {
        throw RunFailure(
            QStringLiteral("There is not enough memory for psi(%1, %2).").arg(rows).arg(M));
    }
    form_.psiGiro0 = std::move(giro0);
    form_.psiGiro1 = std::move(giro1);
    form_.psiGiro2 = std::move(giro2);
    form_.psi = std::move(psi);
    form_.psiRows.reset();
    form_.girotondoEnergy = EnergyRecord();
    form_.girotondoEnvelope = Envelope();
}

void GirotondoRun::readParameters() {
    const ParameterReader reader(ops_, numbers_);
    reader.readPhysical(form_.parameters, true);
    const Parameters& p = form_.parameters;
    factors_ = KernelFactors::from(p.DeltaT, p.L0, p.Rho, p.B, p.P, form_.freeEnd);
}

void GirotondoRun::fillInitialRows() {
    M_ = form_.IndiceMatrice2;
    if (M_ > kLastSegmentLimit + 1) {
        throw RunFailure(segmentLimitReason(M_));
    }
    const Parameters& p = form_.parameters;
    double* giro0 = form_.psiGiro0.row(0);
    double* giro1 = form_.psiGiro1.row(0);
    layOutAtRest(form_.psi.row(0), M_, p.L0);
    std::copy_n(form_.psi.row(0), M_ + 1, giro0);
    if (M_ > kLastSegmentLimit) {
        throw RunFailure(segmentLimitReason(M_));
    }
    moveByInitialVelocity(giro0, giro1, M_, p.DeltaT, p.V0);
    refuseNonFiniteFirstRows(giro0, giro1, M_);
    form_.psiRows = PsiRows{RunKind::Girotondo, p, M_, 0, std::nullopt, factors_.freeEnd};
    level_ = 1;
    openLogIfTicked(ops_, log_);
    if (M_ < 1) {
        throw RunFailure(QStringLiteral("The box %1 holds %2: a level update reads segment 1, "
                                        "so the last segment index must be at least 1.")
                             .arg(describeBox(ctl::TINDICE_MATRICE2))
                             .arg(M_));
    }
    // Level 2 is the first update: factors it cannot use fail here, with
    // the boxes at fault named.
    ParameterReader(ops_, numbers_).refuseImpossibleUpdate(form_.parameters);
    startEnvelope();
    update(form_.psiGiro1, form_.psiGiro0, form_.psiGiro2);
    if (keepEnvelope_) {
        form_.girotondoEnvelope.add(form_.psiGiro2.row(0));
    }
    // The energy's sums run through the segments in rising order: one
    // worker can carry the caller's sums on a level later, while a third
    // thread would wait for the second's. So two threads at most.
    // Two threads only when asked for (--threads, VELARION_THREADS): on an
    // AMD EPYC with 2 idle cores the Girotondo run of 3e8 cells took 0.99 to
    // 1.12 times as long on two threads as on one.
    // The scaled energy of extreme time steps takes a pass of its own: one
    // thread.
    const int requested = requestedThreads(form_.threads);
    if (requested > 1 && std::min(chooseThreads(requested, M_), 2) > 1 &&
        fitsKernelEnergySums(form_.parameters)) {
        const int split = static_cast<int>((M_ + 1) * kCallerShare) / 8 * 8;
        split_ = std::min(std::max(split, 1), M_);
        team_ = startTeam(2);
    }
}

// Levels 0 and 1 into the envelope, when it is kept.
void GirotondoRun::startEnvelope() {
    if (!keepEnvelope_) {
        return;
    }
    Envelope& envelope = form_.girotondoEnvelope;
    if (!envelope.start(form_.psiGiro0.row(0), M_)) {
        throw RunFailure(QStringLiteral("There is not enough memory for the envelope of %1 "
                                        "segments.")
                             .arg(M_ + 1));
    }
    envelope.add(form_.psiGiro1.row(0));
}

bool GirotondoRun::takeSnapshots() {
    const int last = form_.parameters.nitertemp;
    std::int16_t& N = form_.parameters.N;
    for (int J = 1; J <= last; ++J) {
        const int lastK = N - 2;
        if (lastK < std::numeric_limits<std::int16_t>::min()) {
            throw RunFailure(QStringLiteral("N (box %1) is %2, so N - 2 is below -32768, outside "
                                            "the 16-bit range of the cycle counter.")
                                 .arg(describeBox(ctl::TN))
                                 .arg(N));
        }
        if (team_) {
            sharedCycles(lastK);
        } else {
            for (int K = 0; K <= lastK; ++K) {
                ops_.setText(ctl::TK, QString::number(K));
                cycle();
            }
        }
        storeSnapshot(J);
        if (J == 1) {
            if (N == std::numeric_limits<std::int16_t>::max()) {
                throw RunFailure(QStringLiteral("N (box %1) is 32767 and cannot grow by one "
                                                "after the first snapshot: it is a 16-bit "
                                                "integer.")
                                     .arg(describeBox(ctl::TN)));
            }
            ++N;
        }
        ops_.setText(ctl::TJ, QString::number(J));
        writePositionRecord(log_, numbers_, J, form_.psi.row(static_cast<std::size_t>(J)), M_);
        if (J % 10 == 0) {
            control_.progress(J);
            if (control_.pumpAndPoll()) {
                return false;
            }
        }
    }
    return true;
}

// Each step overwrites the row with the oldest of the three levels; the
// roles are fixed, so nothing is copied and no index is taken modulo 3.
// After the cycle the rows hold its three levels, which the envelope takes
// in one pass; a cycle that fails leaves it the levels it completed.
void GirotondoRun::cycle() {
    int done = 0;
    try {
        update(form_.psiGiro2, form_.psiGiro1, form_.psiGiro0);
        ++done;
        update(form_.psiGiro0, form_.psiGiro2, form_.psiGiro1);
        ++done;
        update(form_.psiGiro1, form_.psiGiro0, form_.psiGiro2);
    } catch (const RunFailure&) {
        if (keepEnvelope_) {
            const Matrix* completed[] = {&form_.psiGiro0, &form_.psiGiro1};
            for (int i = 0; i < done; ++i) {
                form_.girotondoEnvelope.add(completed[i]->row(0));
            }
        }
        throw;
    }
    if (keepEnvelope_) {
        form_.girotondoEnvelope.add3(form_.psiGiro0.row(0), form_.psiGiro1.row(0),
                                     form_.psiGiro2.row(0));
    }
}

// Cycles 0..lastK on two threads, each level split at split_. The worker
// first completes the energy sums of the pair the caller read a level
// before (its rows are this level's previous and target, untouched so far
// in the worker's segments), then updates its segments. After each level
// both threads see both finite flags and stop together; the caller keeps
// the books, as update() does. When the books fail (the window's side, no
// memory), the caller's flag of the next level says so, both stop there,
// and the failure goes on from here: the worker never waits for a level
// that does not come.
void GirotondoRun::sharedCycles(int lastK) {
    // (current, previous, target) of the three steps of a cycle, as in cycle().
    constexpr int kRoles[3][3] = {{2, 1, 0}, {0, 2, 1}, {1, 0, 2}};
    double* rows[3] = {form_.psiGiro0.row(0), form_.psiGiro1.row(0), form_.psiGiro2.row(0)};
    bool finite[2][2] = {};  // [parity of the level][part]
    const std::int64_t firstLevel = level_ + 1;
    int failedStep = -1;
    std::exception_ptr booksFailure;
    const auto keepBooks = [&booksFailure](auto&& books) {
        if (booksFailure) {
            return;
        }
        try {
            books();
        } catch (...) {
            booksFailure = std::current_exception();
        }
    };
    auto work = [&](int part) {
        for (int K = 0; K <= lastK; ++K) {
            if (part == 0) {
                keepBooks([&] { ops_.setText(ctl::TK, QString::number(K)); });
            }
            for (int step = 0; step < 3; ++step) {
                const std::int64_t level = firstLevel + 3 * static_cast<std::int64_t>(K) + step;
                const double* current = rows[kRoles[step][0]];
                const double* previous = rows[kRoles[step][1]];
                double* target = rows[kRoles[step][2]];
                PairSums& pair = pairs_[level & 1];
                PairSums& before = pairs_[(level - 1) & 1];
                if (part == 0) {
                    const bool computed = updateRangeWithEnergy(current, previous, target, M_, 0,
                                                                split_, factors_, pair.sums);
                    finite[level & 1][0] = computed && !booksFailure;
                    pair = PairSums{pair.sums, current, previous, current[0], previous[0], true};
                } else {
                    if (before.open) {
                        sumEnergyFrom(before.previous, before.current, split_, M_, factors_.L0,
                                      before.sums);
                    }
                    finite[level & 1][1] =
                        updateRange(current, previous, target, M_, split_, M_ + 1, factors_);
                }
                team_->sync();
                const bool ok = finite[level & 1][0] && finite[level & 1][1];
                if (part == 0) {
                    keepBooks([&] {
                        level_ = level;
                        if (before.open) {
                            form_.girotondoEnergy.add(energyFromSums(
                                before.sums, before.current0, before.previous0, form_.parameters));
                            before.open = false;
                            // The pair before has lost its previous row to
                            // this level: the growth is placed a level later.
                            form_.girotondoEnergy.placeGrowth(previous, current, M_,
                                                              form_.parameters);
                        }
                        if (ok) {
                            beforeNewest_ = current;
                            newest_ = target;
                        } else {
                            closeOpenEnergy();
                            newest_ = nullptr;  // no energy for a level that is not finite
                            failedStep = step;
                        }
                    });
                }
                if (!ok) {
                    return;
                }
            }
            if (keepEnvelope_) {
                // Each part its own segments; the pieces read one segment
                // beyond, which the next level overwrites, so all wait.
                form_.girotondoEnvelope.add3(rows[0], rows[1], rows[2], part == 0 ? 0 : split_,
                                             part == 0 ? split_ : M_ + 1);
                team_->sync();
            }
        }
    };
    team_->run(work);
    if (booksFailure) {
        std::rethrow_exception(booksFailure);
    }
    if (failedStep >= 0) {
        if (keepEnvelope_) {
            for (int i = 0; i < failedStep; ++i) {
                form_.girotondoEnvelope.add(rows[i]);
            }
        }
        throw RunFailure(nonFiniteReason(level_, firstNonFinite(rows[kRoles[failedStep][2]], M_)));
    }
}

// The update also gives the energy of the level it reads (current, paired
// with previous), so each level's energy is recorded one update later; the
// newest level's waits for recordNewestEnergy().
void GirotondoRun::update(const Matrix& current, const Matrix& previous, Matrix& target) {
    ++level_;
    const double* now = current.row(0);
    const double* before = previous.row(0);
    bool finite = false;
    if (fitsKernelEnergySums(form_.parameters)) {
        EnergySums sums;
        finite = updateRowWithEnergy(now, before, target.row(0), M_, factors_, sums);
        form_.girotondoEnergy.add(energyFromSums(sums, now[0], before[0], form_.parameters));
    } else {
        finite = updateRow(now, before, target.row(0), M_, factors_);
        form_.girotondoEnergy.add(energyBetween(before, now, M_, form_.parameters));
    }
    form_.girotondoEnergy.placeGrowth(before, now, M_, form_.parameters);
    if (!finite) {
        newest_ = nullptr;  // no energy for a level that is not finite
        throw RunFailure(nonFiniteReason(level_, firstNonFinite(target.row(0), M_)));
    }
    beforeNewest_ = current.row(0);
    newest_ = target.row(0);
}

// Completes and records the energy of a pair the worker has not finished:
// the rows of an open pair stay as they were until the next level.
void GirotondoRun::closeOpenEnergy() {
    for (PairSums& pair : pairs_) {
        if (pair.open) {
            sumEnergyFrom(pair.previous, pair.current, split_, M_, factors_.L0, pair.sums);
            form_.girotondoEnergy.add(
                energyFromSums(pair.sums, pair.current0, pair.previous0, form_.parameters));
            form_.girotondoEnergy.placeGrowth(pair.previous, pair.current, M_, form_.parameters);
            pair.open = false;
        }
    }
}

void GirotondoRun::recordNewestEnergy() {
    closeOpenEnergy();
    if (newest_ != nullptr) {
        form_.girotondoEnergy.add(energyBetween(beforeNewest_, newest_, M_, form_.parameters));
        form_.girotondoEnergy.placeGrowth(beforeNewest_, newest_, M_, form_.parameters);
        newest_ = nullptr;
    }
}

void GirotondoRun::storeSnapshot(int J) {
    if (J > form_.psi.lastRow()) {
        throw RunFailure(QStringLiteral("Snapshot %1 does not fit in psi, whose rows run from 0 "
                                        "to %2 (box %3); nitertemp is %4.")
                             .arg(J)
                             .arg(form_.psi.lastRow())
                             .arg(describeBox(ctl::TINDICE_MATRICE1))
                             .arg(form_.parameters.nitertemp));
    }
    std::copy_n(form_.psiGiro2.row(0), M_ + 1, form_.psi.row(static_cast<std::size_t>(J)));
    form_.psiRows->lastRow = J;
}

QString GirotondoRun::closeLog() {
    return log_.close() ? QString() : logWriteFailure(log_);
}

// The box says "Error" and nothing more; the reason goes in its details.
void GirotondoRun::showError(const QString& reason) {
    ops_.messageBox({QStringLiteral("Error"), QStringLiteral("Error"), MessageIcon::Critical,
                     MessageButtons::Ok, reason});
}

RunOutcome GirotondoRun::complete() {
    recordNewestEnergy();
    for (std::size_t i = 0; i < std::size(kEndTonesHz); ++i) {
        if (i > 0) {
            AttendiMs(ops_, kToneGapMs);
        }
        ops_.beep(kEndTonesHz[i], kToneMs);
    }
    const QString closeFailure = closeLog();
    if (!closeFailure.isEmpty()) {
        showError(closeFailure);
    }
    finish();
    return closeFailure.isEmpty() ? RunOutcome::Completed : RunOutcome::Failed;
}

// A failure while the file is closed after another one is not reported
// again: the user has already been told why the run failed.
RunOutcome GirotondoRun::fail(const QString& reason) {
    recordNewestEnergy();
    showError(reason);
    closeLog();
    finish();
    return RunOutcome::Failed;
}

RunOutcome GirotondoRun::stop() {
    recordNewestEnergy();
    control_.stopped();
    const QString closeFailure = closeLog();
    if (!closeFailure.isEmpty()) {
        showError(closeFailure);
        return RunOutcome::Failed;
    }
    return RunOutcome::Stopped;
}

void GirotondoRun::finish() {
    control_.finish(export_);
}

}  // namespace velarion
