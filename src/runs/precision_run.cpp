#include "precision_run.h"

#include "model/precision_number.h"
#include "model/psi_text_cells.h"
#include "model/run_failure.h"
#include "parameter_reader.h"
#include "run_log_steps.h"
#include "run_threads.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <new>
#include <optional>
#include <thread>
#include <vector>

#include <unistd.h>

namespace velarion {

namespace {

constexpr std::int16_t kZero = 0;
constexpr std::int16_t kTwo = 2;
constexpr std::int16_t kFour = 4;

std::size_t physicalMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) {
        return static_cast<std::size_t>(-1);
    }
    return static_cast<std::size_t>(pages) * static_cast<std::size_t>(pageSize);
}

// The stretch of the last piece as the free end feels it: the seed's
// (psi(J-1, n) - psi(J-1, n-1)) - L0, or the restoring end's
// (psi(J-1, n-1) - psi(J-1, n)) + L0, its negation.
PrecisionResult freeEndStretch(MathPrecision& m, const PrecisionResult* up1, int n,
                               const PrecisionResult& L0, FreeEnd freeEnd) {
    if (freeEnd == FreeEnd::Restoring) {
        return m.Add(result(m.Subtract(result(up1[n - 1]), result(up1[n]))), result(L0));
    }
    return m.Subtract(result(m.Subtract(result(up1[n]), result(up1[n - 1]))), result(L0));
}

// The cell `moved` less its friction, KF (d |d|), d = now - before.
PrecisionResult lessFriction(MathPrecision& m, const PrecisionResult& moved,
                             const PrecisionResult& now, const PrecisionResult& before,
                             const PrecisionResult& KF) {
    const auto d = m.Subtract(result(now), result(before));
    const auto magnitude = d.value < 0 ? m.Subtract(kZero, result(d)) : d;
    const auto loss = m.Multiply(result(KF), result(m.Multiply(result(d), result(magnitude))));
    return m.Subtract(result(moved), result(loss));
}

bool sameSign(const Decimal& a, const Decimal& b) {
    return (a > 0 && b > 0) || (a < 0 && b < 0);
}

}  // namespace

struct PrecisionRun::Held {
    PrecisionResult A, F, B, L0;
    std::optional<PrecisionResult> C;  // formed at its first use, once per run
    // A closing valve's KV = (DeltaT DeltaT) V0 / TC and the friction's KF =
    // f / (2 D), D as typed in TD; each only when the model has it.
    std::optional<PrecisionResult> KV, KF;
};

struct PrecisionRun::SegmentFailure {
    int segment = -1;  // -1: none
    QString message;
};

PrecisionRun::PrecisionRun(WindowOps& ops, FormState& form, const NumberText& numbers,
                           QString logPath)
    : ops_(ops),
      form_(form),
      numbers_(numbers),
      log_(std::move(logPath)),
      memoryLimit_(physicalMemory()),
      held_(std::make_unique<Held>()) {}

PrecisionRun::~PrecisionRun() = default;

RunOutcome PrecisionRun::run() {
    calls_ = 0;
    try {
        refuseBrokenLimits();
        readStart();
        RunControl(ops_, numbers_, RunKind::Precision).working();
        fillFirstRows();
        openLogIfTicked(ops_, log_);
        stepLevels();
        if (!log_.close()) {
            throw RunFailure(logWriteFailure(log_));
        }
    } catch (const PrecisionError& error) {
        return fail(error.message() + where());
    } catch (const RunFailure& failure) {
        return fail(failure.message());
    } catch (const std::exception& error) {  // e.g. no memory for the log box's text
        return fail(unexpectedFailure(error) + where());
    }
    countCalls();
    return RunOutcome::Completed;
}

// The bounds are checked, and psiText allocated, before anything changes.
// A bound that does not convert is left to the reading order, which
// reports it at its own step.
void PrecisionRun::refuseBrokenLimits() {
    const ParameterReader reader(ops_, numbers_);
    const auto bounds = reader.peekBounds("psiText");
    if (!bounds) {
        return;
    }
    reader.refuseLevelsBeyond(*bounds, bounds->rows, "psiText");
    // No row after max(1, nitertemp) is ever written.
    const int written = std::max(1, bounds->levels ? static_cast<int>(*bounds->levels) : 1);
    prepared_ = PsiTextCells::tryCreate(bounds->rows, bounds->columns, written + 1,
                                        numbers_.decimalSeparator(), memoryLimit_);
    if (!prepared_) {
        throw RunFailure(
            QStringLiteral("There is not enough memory for psiText(%1, %2) up to row %3.")
                .arg(bounds->rows)
                .arg(bounds->columns)
                .arg(written));
    }
}

void PrecisionRun::readStart() {
    const ParameterReader reader(ops_, numbers_);
    reader.readIndexBounds(form_);
    form_.psiText = PsiText(std::move(prepared_));
    Parameters& p = form_.parameters;
    p.Rho = reader.GiveMeDouble(ctl::TRho);
    p.VFase = reader.GiveMeDouble(ctl::TVFase);
    p.V0 = reader.GiveMeDouble(ctl::TV0);
    p.DeltaT = reader.GiveMeDouble(ctl::TDeltaT);
    p.nitertemp = reader.toInt16(ctl::Tnitertemp);
    computeDerived();
}

// A, F, B and L0 are the component's results, held by the run and shown
// as their texts; the form-level Doubles of those names stay as they are.
void PrecisionRun::computeDerived() {
    const ParameterReader reader(ops_, numbers_);
    Parameters& p = form_.parameters;
    Held& h = *held_;
    component_ = std::make_unique<DecimalPrecision>(numbers_.locale());
    MathPrecision& m = *component_;

    step_ = "pi";
    const QString piText = m.text(m.Pi());
    step_ = "DD";
    const QString DD = m.text(
        m.Multiply(BoxText{ops_.text(ctl::TD), ctl::TD}, BoxText{ops_.text(ctl::TD), ctl::TD}));
    step_ = "A";
    h.A = m.Divide(result(m.Multiply(heldText(piText), heldText(DD))), kFour);
    ops_.setText(ctl::TA, m.text(h.A));

    step_ = nullptr;
    p.P = reader.GiveMeDouble(ctl::TP) * 10000;
    step_ = "F";
    h.F = m.Multiply(formDouble(p.P), result(h.A));
    ops_.setText(ctl::TF, m.text(h.F));

    step_ = nullptr;
    const double levels = reader.GiveMeDouble(ctl::Tnitertemp);
    p.tot = levels * reader.GiveMeDouble(ctl::TDeltaT);
    if (!std::isfinite(p.tot)) {
        throw RunFailure(QStringLiteral("tot is not a finite number (overflow)."));
    }
    ops_.setText(ctl::Ttot, numbers_.general(p.tot));

    step_ = "B";
    h.B =
        m.Multiply(result(m.Multiply(formDouble(p.VFase), formDouble(p.VFase))), formDouble(p.Rho));
    ops_.setText(ctl::TB, m.text(h.B));
    step_ = "L0";
    h.L0 = m.Divide(BoxText{ops_.text(ctl::Tltot), ctl::Tltot}, 10000.0);
    ops_.setText(ctl::TL0, m.text(h.L0));
    step_ = nullptr;
    reader.refuseImpossibleHammer(p, form_.hammer);
    computeHammerFactors();
}

void PrecisionRun::computeHammerFactors() {
    const Parameters& p = form_.parameters;
    const WaterHammer& hammer = form_.hammer;
    Held& h = *held_;
    MathPrecision& m = *component_;
    h.KV.reset();
    h.KF.reset();
    if (hammer.firstEnd == FirstEnd::Valve) {
        step_ = "the valve's step";
        h.KV = m.Divide(
            result(m.Multiply(result(m.Multiply(formDouble(p.DeltaT), formDouble(p.DeltaT))),
                              formDouble(p.V0))),
            hammer.closingTime);
    }
    if (hammer.hasFriction()) {
        step_ = "the friction factor";
        h.KF = m.Divide(hammer.friction,
                        result(m.Multiply(kTwo, BoxText{ops_.text(ctl::TD), ctl::TD})));
    }
    step_ = nullptr;
}

void PrecisionRun::fillFirstRows() {
    PsiTextCells& c = *form_.psiText.cells();
    MathPrecision& m = *component_;
    const Parameters& p = form_.parameters;
    const Held& h = *held_;
    const int n = c.lastColumn;

    level_ = 0;
    segment_ = 0;
    const PrecisionResult* row0 = c.row(0);
    new (c.slot(0, 0)) PrecisionResult{Decimal(0)};  // the origin, the literal "0"
    c.filled[0] = 1;
    for (int k = 1; k <= n; ++k) {
        segment_ = k;
        new (c.slot(0, k)) PrecisionResult(m.Add(result(h.L0), result(row0[k - 1])));
        c.filled[0] = k + 1;
    }

    level_ = 1;
    // V0 x DeltaT is the same product for every segment: formed once.
    const PrecisionResult shift = m.Multiply(formDouble(p.V0), formDouble(p.DeltaT));
    for (int k = 0; k <= n; ++k) {
        segment_ = k;
        // A closed end keeps its level-0 position.
        const bool held = (k == 0 && form_.hammer.firstEnd == FirstEnd::Closed) ||
                          (k == n && form_.freeEnd == FreeEnd::Closed);
        new (c.slot(1, k))
            PrecisionResult(held ? row0[k] : m.Subtract(result(row0[k]), result(shift)));
        c.filled[1] = k + 1;
    }
}

void PrecisionRun::stepLevels() {
    const int last = form_.parameters.nitertemp;
    if (last >= 2) {
        startTeam();
    }
    for (int J = 2; J <= last; ++J) {
        computeLevel(J);
        ops_.setText(ctl::TJ, QString::number(J));
        logLevel(J);
    }
}

// One level: segment 0, the end pushed by the counter pressure, here; the
// others in computeSegments.
void PrecisionRun::computeLevel(int J) {
    PsiTextCells& c = *form_.psiText.cells();
    MathPrecision& m = *component_;
    const Parameters& p = form_.parameters;
    Held& h = *held_;
    const PrecisionResult* up1 = c.row(J - 1);
    const PrecisionResult* up2 = c.row(J - 2);

    level_ = J;
    segment_ = 0;
    if (form_.hammer.hasValve()) {
        new (c.slot(J, 0)) PrecisionResult(valveSegment(m, up1[0], up2[0]));
        c.filled[J] = 1;
        if (!h.C) {
            segment_ = 1;
            const auto q = m.Divide(formDouble(p.DeltaT), result(h.L0));
            const auto Q2 = m.Multiply(result(q), result(q));
            h.C = m.Multiply(result(m.Divide(result(h.B), formDouble(p.Rho))), result(Q2));
        }
        computeSegmentsInParallel(J, 1, c.lastColumn);
        return;
    }
    const auto Y = m.Subtract(result(m.Multiply(kTwo, result(up1[0]))), result(up2[0]));
    const auto R = m.Reciprocal(formDouble(p.Rho));
    const auto q = m.Divide(formDouble(p.DeltaT), result(h.L0));
    const auto Q2 = m.Multiply(result(q), result(q));
    const auto PL = m.Multiply(formDouble(p.P), result(h.L0));
    const auto E = m.Subtract(result(m.Subtract(result(up1[1]), result(up1[0]))), result(h.L0));
    const auto force = m.Add(result(PL), result(m.Multiply(result(h.B), result(E))));
    const auto step = m.Multiply(result(m.Multiply(result(R), result(Q2))), result(force));
    const auto pushed = m.Add(result(Y), result(step));
    new (c.slot(J, 0))
        PrecisionResult(h.KF ? lessFriction(m, pushed, up1[0], up2[0], *h.KF) : pushed);
    c.filled[J] = 1;

    if (!h.C) {
        segment_ = 1;
        h.C = m.Multiply(result(m.Divide(result(h.B), formDouble(p.Rho))), result(Q2));
    }
    computeSegmentsInParallel(J, 1, c.lastColumn);
}

// Segment 0 held by a valve: shut, it stays where it is; closing, its step
// shrinks by KV each level until it would cross zero.
PrecisionResult PrecisionRun::valveSegment(MathPrecision& m, const PrecisionResult& now,
                                           const PrecisionResult& before) {
    if (!held_->KV) {
        return now;
    }
    const auto d = m.Subtract(result(now), result(before));
    const auto next = m.Add(result(d), result(*held_->KV));
    return sameSign(next.value, d.value) ? m.Add(result(now), result(next)) : now;
}

// Segments first to last of level J; the last segment of the row is the
// free end. A failed call ends the stretch and is reported in `failure`.
void PrecisionRun::computeSegments(MathPrecision& m, int J, int first, int last,
                                   SegmentFailure& failure) {
    PsiTextCells& c = *form_.psiText.cells();
    const PrecisionResult& C = *held_->C;
    const PrecisionResult& L0 = held_->L0;
    const int n = c.lastColumn;
    const FreeEnd freeEnd = form_.freeEnd;
    const std::optional<PrecisionResult>& KF = held_->KF;
    const PrecisionResult* up1 = c.row(J - 1);
    const PrecisionResult* up2 = c.row(J - 2);
    int i = first;
    try {
        for (; i <= last; ++i) {
            if (i == n && freeEnd == FreeEnd::Closed) {
                new (c.slot(J, i)) PrecisionResult(up1[i]);  // a dead end stays put
                continue;
            }
            // 2 psi(J-1, i) enters both terms; it is formed once per cell.
            const auto twice = m.Multiply(kTwo, result(up1[i]));
            const auto Y = m.Subtract(result(twice), result(up2[i]));
            const auto stretch = i < n
                                     ? m.Add(result(m.Subtract(result(up1[i + 1]), result(twice))),
                                             result(up1[i - 1]))
                                     : freeEndStretch(m, up1, n, L0, freeEnd);
            const auto moved = m.Add(result(Y), result(m.Multiply(result(C), result(stretch))));
            new (c.slot(J, i))
                PrecisionResult(KF ? lessFriction(m, moved, up1[i], up2[i], *KF) : moved);
        }
    } catch (const PrecisionError& error) {
        failure = {i, error.message()};
    } catch (const std::exception& error) {  // e.g. no memory for a text
        failure = {i, QStringLiteral("The arithmetic failed (%1)").arg(error.what())};
    }
}

// The team, and a component for each of its threads, once for the run.
void PrecisionRun::startTeam() {
    team_ = startRunTeam(RunKind::Precision, form_.threads, form_.psiText.cells()->lastColumn);
    threads_ = team_ ? team_->parts() : 1;
    helpers_.clear();
    if (team_) {
        helpers_.reserve(static_cast<std::size_t>(team_->parts() - 1));
        for (int part = 1; part < team_->parts(); ++part) {
            helpers_.push_back(std::make_unique<DecimalPrecision>(numbers_.locale()));
        }
    }
}

// Each cell reads only the two levels before it, so the stretches can be
// computed at the same time, each thread with its own component.
void PrecisionRun::computeSegmentsInParallel(int J, int first, int last) {
    const int count = last - first + 1;
    const int parts = team_ ? team_->parts() : 1;
    SegmentFailure failures[kMaxThreads];
    auto work = [&](int part) {
        const int from = first + count * part / parts;
        const int to = first + count * (part + 1) / parts - 1;
        MathPrecision& m = part == 0 ? *component_ : *helpers_[static_cast<std::size_t>(part - 1)];
        computeSegments(m, J, from, to, failures[part]);
    };
    if (team_) {
        team_->run(work);
    } else {
        work(0);
    }
    PsiTextCells& c = *form_.psiText.cells();
    for (int part = 0; part < parts; ++part) {
        const SegmentFailure& failure = failures[part];
        if (failure.segment >= 0) {
            c.filled[J] = failure.segment;
            segment_ = failure.segment;
            throw RunFailure(failure.message + where());
        }
    }
    c.filled[J] = last + 1;
}

// The component calls of the run's components, which end with it.
void PrecisionRun::countCalls() {
    if (component_) {
        calls_ += component_->calls();
        component_.reset();
    }
    for (const auto& helper : helpers_) {
        calls_ += helper->calls();
    }
    helpers_.clear();
    team_.reset();
}

void PrecisionRun::logLevel(int J) {
    const QString line = logLine(static_cast<std::int16_t>(J), form_.psiText.text(J, 0));
    ops_.setText(ctl::TLog, ops_.text(ctl::TLog) + line);
    writeLogRecord(log_, line);
}

QString PrecisionRun::where() const {
    if (step_ != nullptr) {
        return QStringLiteral(" while computing %1").arg(QString::fromLatin1(step_));
    }
    if (level_ < 0) {
        return {};
    }
    return QStringLiteral(" at level %1, segment %2").arg(level_).arg(segment_);
}

// The run ends where it failed: what was computed stays in psiText, the
// log is closed and the window stays usable; no button was touched.
RunOutcome PrecisionRun::fail(const QString& reason) {
    log_.close();
    countCalls();
    ops_.setStatus(QStringLiteral("Error!"));
    ops_.messageBox(
        {reason, QStringLiteral("Error"), MessageIcon::Critical, MessageButtons::Ok, {}});
    return RunOutcome::Failed;
}

}  // namespace velarion
