#include "girotondo_run.h"

#include "model/initial_rows.h"
#include "model/parameter_boxes.h"
#include "model/run_failure.h"
#include "parameter_reader.h"
#include "run_log_steps.h"
#include "run_threads.h"

#include <algorithm>
#include <array>
#include <exception>
#include <limits>
#include <new>

namespace velarion {

namespace {

constexpr int kStartToneHz = 990;
constexpr int kToneMs = 50;
constexpr int kToneGapMs = 30;
constexpr int kEndTonesHz[] = {790, 690, 990};
// Segments are counted in 16 bits, and the counter passes the last index
// once more after the last segment: 32766 is the largest index that works.
constexpr int kLastSegmentLimit = std::numeric_limits<std::int16_t>::max() - 1;

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
    tiles_.reset();
    flows_.reset();
    team_.reset();
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
        // The energy record may be what ran out of memory: no energy is
        // recorded past the failure.
        newest_ = nullptr;
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
    psiGiro0_ = std::move(giro0);
    psiGiro1_ = std::move(giro1);
    psiGiro2_ = std::move(giro2);
    form_.psi = std::move(psi);
    form_.psiRows.reset();
    form_.girotondoEnergy = EnergyRecord();
    form_.girotondoEnvelope = Envelope();
    form_.derived = DerivedFromPsi();
}

void GirotondoRun::readParameters() {
    const ParameterReader reader(ops_, numbers_);
    reader.readPhysical(form_.parameters, true);
    reader.refuseImpossibleHammer(form_.parameters, form_.hammer);
    const Parameters& p = form_.parameters;
    factors_ = KernelFactors::from(p.DeltaT, p.L0, p.Rho, p.B, p.P, form_.freeEnd, form_.hammer,
                                   p.V0, p.D);
    flows_.emplace(p, form_.freeEnd, form_.hammer);
}

void GirotondoRun::fillInitialRows() {
    M_ = form_.IndiceMatrice2;
    if (M_ > kLastSegmentLimit + 1) {
        throw RunFailure(segmentLimitReason(M_));
    }
    const Parameters& p = form_.parameters;
    double* giro0 = psiGiro0_.row(0);
    double* giro1 = psiGiro1_.row(0);
    layOutAtRest(form_.psi.row(0), M_, p.L0);
    std::copy_n(form_.psi.row(0), M_ + 1, giro0);
    if (M_ > kLastSegmentLimit) {
        throw RunFailure(segmentLimitReason(M_));
    }
    moveByInitialVelocity(giro0, giro1, M_, p.DeltaT, p.V0);
    holdClosedEnds(giro0, giro1, M_, factors_.firstEnd, factors_.freeEnd);
    refuseNonFiniteFirstRows(giro0, giro1, M_);
    form_.psiRows =
        PsiRows{RunKind::Girotondo, p, M_, 0, std::nullopt, factors_.freeEnd, form_.hammer};
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
    sums_.assign(static_cast<std::size_t>(energyBlockCount(M_)), EnergySums{});
    startEnvelope();
    update(psiGiro1_, psiGiro0_, psiGiro2_);
    if (keepEnvelope_) {
        form_.girotondoEnvelope.add(psiGiro2_.row(0));
    }
    startTiles();
}

// A team shares the cycles when one is chosen for the row. The scaled
// energy of extreme time steps takes a pass of its own: one thread. So do
// friction's loss and the valve's work, which read the whole rows of three
// levels in a row, and tiles keep no level whole. Tiles that find no memory
// leave the run on one thread too.
void GirotondoRun::startTiles() {
    if (!fitsKernelEnergySums(form_.parameters) || flows_->isActive()) {
        return;
    }
    team_ = startRunTeam(RunKind::Girotondo, form_.threads, M_);
    if (!team_) {
        return;
    }
    try {
        tiles_ = std::make_unique<RotatingTiles>(
            *team_, std::array{psiGiro0_.row(0), psiGiro1_.row(0), psiGiro2_.row(0)}, M_, factors_,
            tileDepth_, keepEnvelope_ ? &form_.girotondoEnvelope : nullptr);
    } catch (const std::bad_alloc&) {
        team_.reset();
    }
}

// Levels 0 and 1 into the envelope, when it is kept.
void GirotondoRun::startEnvelope() {
    if (!keepEnvelope_) {
        return;
    }
    Envelope& envelope = form_.girotondoEnvelope;
    if (!envelope.start(psiGiro0_.row(0), M_)) {
        throw RunFailure(QStringLiteral("There is not enough memory for the envelope of %1 "
                                        "segments.")
                             .arg(M_ + 1));
    }
    envelope.add(psiGiro1_.row(0));
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
        cycles(lastK);
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

// Cycles 0..lastK, each announced in TK before it is stepped.
void GirotondoRun::cycles(int lastK) {
    if (tiles_) {
        tiledCycles(lastK);
        return;
    }
    for (int K = 0; K <= lastK; ++K) {
        ops_.setText(ctl::TK, QString::number(K));
        cycle();
    }
}

// Each step overwrites the row with the oldest of the three levels; the
// roles are fixed, so nothing is copied and no index is taken modulo 3.
// After the cycle the rows hold its three levels, which the envelope takes
// in one pass; a cycle that fails leaves it the levels it completed.
void GirotondoRun::cycle() {
    int done = 0;
    try {
        update(psiGiro2_, psiGiro1_, psiGiro0_);
        ++done;
        update(psiGiro0_, psiGiro2_, psiGiro1_);
        ++done;
        update(psiGiro1_, psiGiro0_, psiGiro2_);
    } catch (const RunFailure&) {
        if (keepEnvelope_) {
            const Matrix* completed[] = {&psiGiro0_, &psiGiro1_};
            for (int i = 0; i < done; ++i) {
                form_.girotondoEnvelope.add(completed[i]->row(0));
            }
        }
        throw;
    }
    if (keepEnvelope_) {
        form_.girotondoEnvelope.add3(psiGiro0_.row(0), psiGiro1_.row(0), psiGiro2_.row(0));
    }
}

// Cycles 0..lastK in blocks of tiles. After each block the books follow as
// one thread keeps them, cycle by cycle: TK, then each level's energy. A
// block with a level that is not finite goes again on one thread, which
// fails where one thread fails.
void GirotondoRun::tiledCycles(int lastK) {
    for (int K = 0; K <= lastK;) {
        const int count = std::min(tiles_->cyclesPerBlock(), lastK - K + 1);
        tiles_->compute(level_ + 1, count);
        if (tiles_->failedLevel() != 0) {
            redoBlock(K, count);
        } else {
            keepBlockBooks(K, count);
        }
        K += count;
    }
}

void GirotondoRun::keepBlockBooks(int firstK, int count) {
    const std::int64_t first = level_ + 1;
    int cycle = 0;
    int levels = 0;  // of the cycle under way, when the books failed
    try {
        for (; cycle < count; ++cycle) {
            levels = 0;
            ops_.setText(ctl::TK, QString::number(firstK + cycle));
            for (int step = 0; step < 3; ++step) {
                const int i = 3 * cycle + step;
                level_ = first + i;
                levels = step + 1;
                form_.girotondoEnergy.add(energyFromSums(tiles_->sums(i), tiles_->current0(i),
                                                         tiles_->previous0(i), form_.parameters));
                if (form_.girotondoEnergy.needsGrowth()) {
                    placeGrowthInBlock(i);
                }
            }
        }
    } catch (...) {
        undoBlock(cycle, levels);
        throw;
    }
    newest_ = giroRow(level_);
    beforeNewest_ = giroRow(level_ - 1);
}

// One thread went on from where the block started: the rows, the envelope
// and level_ as that thread leaves them.
void GirotondoRun::redoBlock(int firstK, int count) {
    tiles_->restoreBlockStart();
    level_ = tiles_->first() - 1;
    for (int K = firstK; K < firstK + count; ++K) {
        ops_.setText(ctl::TK, QString::number(K));
        cycle();
    }
}

// The books failed after `cycles` whole cycles of the block and `levels`
// levels of the next: the rows, the envelope and level_ as one thread
// leaves them there.
void GirotondoRun::undoBlock(int cycles, int levels) {
    const std::int64_t first = tiles_->first();
    tiles_->restoreBlockStart();
    stepQuietly(first, 3 * cycles, keepEnvelope_);
    stepQuietly(first + 3 * cycles, levels, false);
    level_ = first - 1 + 3 * cycles + levels;
}

// The energy of level first + i - 1 has shown the instability: its growth
// is placed from that level's rows and the one before, which one thread
// steps to from the block's start. The tiles go on with their own rows.
void GirotondoRun::placeGrowthInBlock(int i) {
    const std::int64_t first = tiles_->first();
    tiles_->writeBlockStart();
    stepQuietly(first, i, false);
    form_.girotondoEnergy.placeGrowth(giroRow(first + i - 2), giroRow(first + i - 1), M_,
                                      form_.parameters);
}

// Levels from..from + count - 1 into the three rows with no books, which
// the tiles have kept; with `envelope`, each cycle into the envelope.
void GirotondoRun::stepQuietly(std::int64_t from, int count, bool envelope) {
    for (std::int64_t level = from; level < from + count; ++level) {
        updateRow(giroRow(level - 1), giroRow(level - 2), giroRow(level), M_, factors_);
        if (envelope && level % 3 == 2) {
            form_.girotondoEnvelope.add3(giroRow(level - 2), giroRow(level - 1), giroRow(level));
        }
    }
}

double* GirotondoRun::giroRow(std::int64_t level) {
    Matrix* rows[] = {&psiGiro0_, &psiGiro1_, &psiGiro2_};
    return rows[level % 3]->row(0);
}

// The update also gives the energy of the level it reads (current, paired
// with previous), so each level's energy is recorded one update later; the
// newest level's waits for recordNewestEnergy().
void GirotondoRun::update(const Matrix& current, const Matrix& previous, Matrix& target) {
    ++level_;
    const double* now = current.row(0);
    const double* before = previous.row(0);
    bool finite = false;
    LevelEnergy energy;
    if (fitsKernelEnergySums(form_.parameters)) {
        finite = updateRowWithEnergy(now, before, target.row(0), M_, factors_, sums_);
        energy = energyFromSums(sums_, now[0], before[0], form_.parameters);
    } else {
        finite = updateRow(now, before, target.row(0), M_, factors_);
        energy = energyBetween(before, now, M_, form_.parameters);
    }
    flows_->fill(energy);
    form_.girotondoEnergy.add(energy);
    form_.girotondoEnergy.placeGrowth(before, now, M_, form_.parameters);
    if (!finite) {
        newest_ = nullptr;  // no energy for a level that is not finite
        throw RunFailure(nonFiniteReason(level_, firstNonFinite(target.row(0), M_)));
    }
    flows_->add(before, now, target.row(0), M_);
    beforeNewest_ = current.row(0);
    newest_ = target.row(0);
}

// Every way out of the run comes here: the tiles hand their rows back first.
void GirotondoRun::recordNewestEnergy() {
    if (tiles_) {
        tiles_->settle();
    }
    if (newest_ != nullptr) {
        LevelEnergy energy = energyBetween(beforeNewest_, newest_, M_, form_.parameters);
        flows_->fill(energy);
        form_.girotondoEnergy.add(energy);
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
    double* into = form_.psi.row(static_cast<std::size_t>(J));
    if (tiles_ && tiles_->holdsRows()) {
        tiles_->copyLevel(level_, into);
    } else {
        std::copy_n(psiGiro2_.row(0), M_ + 1, into);
    }
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
