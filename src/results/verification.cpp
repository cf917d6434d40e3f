// The double-precision model against the exact solution of the finite
// column, and the grid convergence index of two peaks.
#include "verification.h"

#include "model/energy.h"
#include "model/envelope.h"
#include "model/initial_rows.h"
#include "model/matrix.h"
#include "model/stability.h"
#include "stability_verdict.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

namespace velarion {

namespace {

constexpr int kRefinements = 2;
constexpr double kSafetyFactor = 1.25;

// The exact displacement from the rigid motion at `distance` from the
// loaded face, `elapsed` seconds after the counter pressure set in, in a
// column of length `length` whose far face is free (or not yet reached):
// the step wave from the loaded face and its reflections (the method of
// images), each a ramp `speed` (m/s) times the time since it arrived. A
// free face reflects the wave with the displacement's sign kept; at the
// loaded face, whose stress stays P, each reflection keeps it too.
double exactDisplacement(double distance, double elapsed, double length, double c, double speed) {
    double ramps = 0;
    for (std::int64_t n = 0;; ++n) {
        const double direct = (2 * static_cast<double>(n) * length + distance) / c;
        if (!(direct < elapsed)) {
            break;
        }
        ramps += elapsed - direct;
        const double reflected = (2 * static_cast<double>(n + 1) * length - distance) / c;
        if (reflected < elapsed) {
            ramps += elapsed - reflected;
        }
    }
    return speed * ramps;
}

// The exact stress, positive in compression, at `distance` from the loaded
// face: P behind each wave that left the loaded face, back to 0 behind each
// reflection from the free face.
double exactStress(double distance, double elapsed, double length, double c, double P) {
    int waves = 0;
    for (std::int64_t n = 0;; ++n) {
        if (!((2 * static_cast<double>(n) * length + distance) / c < elapsed)) {
            break;
        }
        ++waves;
        if ((2 * static_cast<double>(n + 1) * length - distance) / c < elapsed) {
            --waves;
        }
    }
    return P * waves;
}

// An exact solution of the column at level J of a grid: the displacement
// from the rigid motion at segment s, the same at the last segment, and the
// stress at the first piece's centre.
class ExactColumn {
  public:
    virtual ~ExactColumn() = default;
    virtual double deviation(int s, std::int64_t J) const = 0;
    virtual double lastDeviation(std::int64_t J) const = 0;
    virtual double firstPieceStress(std::int64_t J) const = 0;
};

// The column pushed by the counter pressure with a free far face. Segment
// s is the centre of its piece, half a piece from the loaded face at
// -L0/2; level 1 is the rigid start, so the counter pressure acts from half
// a step on (the first level it moves is level 2).
class PressedColumn : public ExactColumn {
  public:
    PressedColumn(const Parameters& p, int M)
        : p_(p),
          c_(std::abs(p.VFase)),
          length_(static_cast<double>(M + 1) * p.L0),
          speed_(p.P * c_ / p.B) {}

    double deviation(int s, std::int64_t J) const override {
        return exactDisplacement((s + 0.5) * p_.L0, elapsed(J), length_, c_, speed_);
    }
    double lastDeviation(std::int64_t J) const override {
        return exactDisplacement(length_ - 0.5 * p_.L0, elapsed(J), length_, c_, speed_);
    }
    // The first piece's centre lies a piece from the loaded face.
    double firstPieceStress(std::int64_t J) const override {
        return exactStress(p_.L0, elapsed(J), length_, c_, p_.P);
    }

  private:
    double elapsed(std::int64_t J) const { return (static_cast<double>(J) - 0.5) * p_.DeltaT; }

    const Parameters& p_;
    double c_;
    double length_;
    double speed_;
};

// The column that a valve stops at x = 0, where segment 0 is, with a
// reservoir (u_x = 0) or a dead end (u = 0) at x = L, by characteristics:
// u is the displacement from rest, g(t) the valve's, and every segment
// moves at -V0 at t = 0.
// - Reservoir: u = -V0 t + sum over n of (-1)^n (h(t - (2nL + x)/c) +
//   h(t - (2(n+1)L - x)/c)), h(t) = g(t) + V0 t for t > 0, 0 before: each
//   wave leaves the valve, is inverted by the reservoir and comes back.
// - Dead end: u = (Phi(x + ct) - Phi(x - ct)) / 2c, Phi(s) = -V0 min(s mod
//   2L, 2L - s mod 2L) (d'Alembert for the odd periodic initial velocity),
//   plus sum over n of g(t - (2nL + x)/c) - g(t - (2(n+1)L - x)/c).
// A shut valve has g = 0. A closing valve moves with the column until t0 =
// DeltaT / 2, then its velocity falls linearly to 0 over the closing time:
// level 1 is the rigid start, the update that makes level 2 is the first
// whose step shrinks, and every step is the valve's velocity at the middle
// of that step times DeltaT, so the discrete valve follows g exactly.
class ValveColumn : public ExactColumn {
  public:
    ValveColumn(const Parameters& p, int M, FreeEnd farEnd, const WaterHammer& hammer)
        : p_(p),
          c_(std::abs(p.VFase)),
          length_(columnLength(M, p.L0, farEnd, hammer)),
          reservoir_(farEnd != FreeEnd::Closed),
          closing_(hammer.firstEnd == FirstEnd::Valve ? hammer.closingTime : 0),
          start_(hammer.firstEnd == FirstEnd::Valve ? 0.5 * p.DeltaT : 0),
          M_(M) {}

    double deviation(int s, std::int64_t J) const override {
        const double t = time(J);
        return displacement(s * p_.L0, t) + p_.V0 * t;
    }
    double lastDeviation(std::int64_t J) const override { return deviation(M_, J); }
    double firstPieceStress(std::int64_t J) const override { return stress(0.5 * p_.L0, time(J)); }

  private:
    double time(std::int64_t J) const { return static_cast<double>(J) * p_.DeltaT; }

    // The valve's displacement and velocity; 0 before t = 0.
    double valve(double t) const {
        if (!(t > 0) || (closing_ == 0)) {
            return 0;
        }
        if (t <= start_) {
            return -p_.V0 * t;
        }
        const double tau = std::min(t - start_, closing_);
        return -p_.V0 * (start_ + tau - tau * tau / (2 * closing_));
    }
    double valveVelocity(double t) const {
        if (!(t > 0) || closing_ == 0 || t >= start_ + closing_) {
            return 0;
        }
        return t <= start_ ? -p_.V0 : -p_.V0 * (1 - (t - start_) / closing_);
    }
    // h and h' of the reservoir's images: the valve's motion less the rigid one.
    double relative(double t) const { return t > 0 ? valve(t) + p_.V0 * t : 0; }
    double relativeVelocity(double t) const { return t > 0 ? valveVelocity(t) + p_.V0 : 0; }
    // min(s mod 2L, 2L - s mod 2L) and its slope.
    double triangle(double s) const {
        const double m = std::fmod(std::fmod(s, 2 * length_) + 2 * length_, 2 * length_);
        return std::min(m, 2 * length_ - m);
    }
    double triangleSlope(double s) const {
        const double m = std::fmod(std::fmod(s, 2 * length_) + 2 * length_, 2 * length_);
        return m < length_ ? 1 : -1;
    }

    double displacement(double x, double t) const {
        if (!reservoir_ && x >= length_) {
            return 0;  // the dead end holds
        }
        double u = reservoir_ ? -p_.V0 * t
                              : -p_.V0 * (triangle(x + c_ * t) - triangle(x - c_ * t)) / (2 * c_);
        for (std::int64_t n = 0;; ++n) {
            const double outward = t - (2 * static_cast<double>(n) * length_ + x) / c_;
            if (!(outward > 0)) {
                break;
            }
            const double back = t - (2 * static_cast<double>(n + 1) * length_ - x) / c_;
            if (reservoir_) {
                u += (n % 2 == 0 ? 1 : -1) * (relative(outward) + relative(back));
            } else {
                u += valve(outward) - valve(back);
            }
        }
        return u;
    }
    // -B u_x, positive in compression.
    double stress(double x, double t) const {
        const double impedance = p_.B / c_;
        double sigma =
            reservoir_
                ? 0
                : p_.B * p_.V0 * (triangleSlope(x + c_ * t) - triangleSlope(x - c_ * t)) / (2 * c_);
        for (std::int64_t n = 0;; ++n) {
            const double outward = t - (2 * static_cast<double>(n) * length_ + x) / c_;
            if (!(outward > 0)) {
                break;
            }
            const double back = t - (2 * static_cast<double>(n + 1) * length_ - x) / c_;
            if (reservoir_) {
                sigma += (n % 2 == 0 ? 1 : -1) * impedance *
                         (relativeVelocity(outward) - relativeVelocity(back));
            } else {
                sigma += impedance * (valveVelocity(outward) + valveVelocity(back));
            }
        }
        return sigma;
    }

    const Parameters& p_;
    double c_;
    double length_;
    bool reservoir_;
    double closing_;  // 0: shut from the start
    double start_;
    int M_;
};

// The errors of one grid against the exact solution, summed level by level.
class ExactComparison {
  public:
    ExactComparison(const Parameters& p, int M, const ExactColumn& exact)
        : p_(p), M_(M), exact_(exact) {}

    // Level J against the exact solution.
    void add(std::int64_t J, const double* row, const double* rest) {
        const double rigid = static_cast<double>(J) * (p_.DeltaT * p_.V0);
        for (int s = 0; s <= M_; ++s) {
            const double computed = (row[s] - rest[s]) + rigid;
            const double exact = exact_.deviation(s, J);
            const double error = computed - exact;
            largestExact_ = std::max(largestExact_, std::abs(exact));
            largestError_ = std::max(largestError_, std::abs(error));
            squares_ += error * error;
            ++count_;
        }
        peakStress_ = std::max(peakStress_, exact_.firstPieceStress(J));
        const double shift = exact_.lastDeviation(J) - static_cast<double>(J) * p_.DeltaT * p_.V0;
        lowestDisplacement_ = std::min(lowestDisplacement_, shift);
        highestDisplacement_ = std::max(highestDisplacement_, shift);
    }
    double peakStress() const { return peakStress_; }
    // The exact extreme of the last segment's displacement on the side of
    // `computed`: a column that swings as far either way has two peaks.
    double peakDisplacement(double computed) const {
        return computed < 0 ? lowestDisplacement_ : highestDisplacement_;
    }
    double largest() const { return largestError_ / largestExact_; }
    double rms() const { return std::sqrt(squares_ / static_cast<double>(count_)) / largestExact_; }

  private:
    const Parameters& p_;
    int M_;
    const ExactColumn& exact_;
    double largestExact_ = 0;
    double largestError_ = 0;
    double squares_ = 0;
    std::int64_t count_ = 0;
    double peakStress_ = 0;  // level 0's, the column at rest
    double lowestDisplacement_ = 0;
    double highestDisplacement_ = 0;
};

// The last level before the exact wave reaches segment M, where the seed's
// free end starts to matter. From the counter pressure's face:
// (J - 1/2) DeltaT VFase < (M + 1/2) L0; from a valve at segment 0, which
// starts to close at t0: J DeltaT < t0 + M L0 / VFase.
std::int64_t levelsBeforeFreeEnd(const Parameters& p, int M, const WaterHammer& hammer) {
    const double start = hammer.firstEnd == FirstEnd::Valve ? 0.5 * p.DeltaT : 0;
    const double reach = hammer.hasValve() ? (M * p.L0 / std::abs(p.VFase) + start) / p.DeltaT
                                           : (M + 0.5) * p.L0 / std::abs(p.VFase * p.DeltaT) + 0.5;
    return static_cast<std::int64_t>(std::ceil(reach)) - 1;
}

QString gridName(int refinement, int segments) {
    const QString name = refinement == 0 ? QStringLiteral("the case")
                                         : QStringLiteral("refinement %1").arg(refinement);
    return QStringLiteral("%1 (%2 segments)").arg(name).arg(segments);
}

// The exact solution of a grid's column, when there is one.
std::unique_ptr<ExactColumn> exactColumnOf(const Parameters& p, int M, FreeEnd freeEnd,
                                           const WaterHammer& hammer) {
    if (hammer.hasValve()) {
        return std::make_unique<ValveColumn>(p, M, freeEnd, hammer);
    }
    return std::make_unique<PressedColumn>(p, M);
}

// r^k as a double, exactly.
double power(int r, int k) {
    double value = 1;
    for (int i = 0; i < k; ++i) {
        value *= r;
    }
    return value;
}

// One grid stepped on three rotating rows, with its energy, envelope and
// errors taken level by level. `failure` says why it could not be
// finished, or that its energy says it is unstable.
class GridRun {
  public:
    // Refinement k divides L0 and DeltaT by ratio^k; the column keeps its
    // length (M + halfPieces / 2) L0, so it has ratio^k M + halfPieces
    // (ratio^k - 1) / 2 + 1 segments, and the last level keeps its time.
    GridRun(const Parameters& base, int M, std::int64_t levels, FreeEnd freeEnd,
            const WaterHammer& hammer, int refinement, int ratio)
        : p_(refined(base, refinement, ratio)),
          freeEnd_(freeEnd),
          hammer_(hammer),
          flows_(p_, freeEnd, hammer),
          refinement_(refinement) {
        const int factor = static_cast<int>(power(ratio, refinement));
        M_ = factor * M + halfPiecesBeyond(freeEnd, hammer) * (factor - 1) / 2;
        grid_.segments = M_ + 1;
        grid_.DeltaT = p_.DeltaT;
        grid_.levels = levels * factor;
    }

    // Runs the grid, comparing levels 1 to `compared` with the exact
    // solution (none for 0).
    bool run(std::int64_t compared, QString& failure) {
        if (!createRows()) {
            failure = QStringLiteral("%1 needs more memory than there is")
                          .arg(gridName(refinement_, grid_.segments));
            return false;
        }
        const std::unique_ptr<ExactColumn> column = exactColumnOf(p_, M_, freeEnd_, hammer_);
        ExactComparison exact(p_, M_, *column);
        grid_.comparedLevels = compared;
        if (!stepLevels(exact, failure)) {
            return false;
        }
        if (const auto verdict = judgeStability(p_, freeEnd_, M_, energy_)) {
            failure = QStringLiteral("%1 is unstable from level %2: %3")
                          .arg(gridName(refinement_, grid_.segments))
                          .arg(verdict->level)
                          .arg(instabilityReason(*verdict, NumberText(QLocale::c())));
            return false;
        }
        if (compared > 0) {
            grid_.largestError = exact.largest();
            grid_.rmsError = exact.rms();
        }
        grid_.peakStress = envelope_.maxStress(0, p_);
        const double low = envelope_.minDisplacement(M_);
        const double high = envelope_.maxDisplacement(M_);
        grid_.peakDisplacement = std::abs(low) > std::abs(high) ? low : high;
        if (compared > 0) {
            grid_.exactPeakStress = exact.peakStress();
            grid_.exactPeakDisplacement = exact.peakDisplacement(grid_.peakDisplacement);
        }
        return true;
    }

    const VerificationGrid& grid() const { return grid_; }
    const Parameters& parameters() const { return p_; }
    int lastSegment() const { return M_; }

  private:
    static Parameters refined(const Parameters& base, int refinement, int ratio) {
        Parameters p = base;
        if (ratio == 2) {
            p.L0 = std::ldexp(base.L0, -refinement);
            p.DeltaT = std::ldexp(base.DeltaT, -refinement);
        } else {
            const double factor = power(ratio, refinement);
            p.L0 = base.L0 / factor;
            p.DeltaT = base.DeltaT / factor;
        }
        return p;
    }

    bool createRows() {
        const auto columns = static_cast<std::size_t>(M_) + 1;
        for (std::size_t i = 0; i < 4; ++i) {
            rows_[i] = Matrix::tryCreate(1, columns, Matrix::spreadPageOffset(i, 4));
            if (rows_[i].empty()) {
                return false;
            }
        }
        return envelopeStarted();
    }

    bool envelopeStarted() {
        double* rest = rows_[3].row(0);
        layOutAtRest(rest, M_, p_.L0);
        return envelope_.start(rest, M_);
    }

    // Level `J` of the energy record, from the rows it pairs.
    void recordEnergy(const double* previous, const double* current) {
        recordEnergy(previous, current, energyBetween(previous, current, M_, p_));
    }
    void recordEnergy(const double* previous, const double* current, LevelEnergy energy) {
        flows_.fill(energy);
        energy_.add(energy);
        energy_.placeGrowth(previous, current, M_, p_);
    }

    bool stepLevels(ExactComparison& exact, QString& failure) {
        const double* rest = rows_[3].row(0);
        double* previous = rows_[0].row(0);
        double* current = rows_[1].row(0);
        double* target = rows_[2].row(0);
        std::copy_n(rest, M_ + 1, previous);
        moveByInitialVelocity(previous, current, M_, p_.DeltaT, p_.V0);
        holdClosedEnds(previous, current, M_, hammer_.firstEnd, freeEnd_);
        envelope_.add(current);
        if (grid_.comparedLevels >= 1) {
            exact.add(1, current, rest);
        }
        const KernelFactors f = KernelFactors::from(p_.DeltaT, p_.L0, p_.Rho, p_.B, p_.P, freeEnd_,
                                                    hammer_, p_.V0, p_.D);
        const bool fused = fitsKernelEnergySums(p_);
        std::vector<EnergySums> sums(static_cast<std::size_t>(energyBlockCount(M_)));
        for (std::int64_t J = 2; J <= grid_.levels; ++J) {
            // The energy of level J - 1 comes with the update that reads it.
            const bool finite = fused ? updateRowWithEnergy(current, previous, target, M_, f, sums)
                                      : updateRow(current, previous, target, M_, f);
            if (fused) {
                recordEnergy(previous, current, energyFromSums(sums, current[0], previous[0], p_));
            } else {
                recordEnergy(previous, current);
            }
            if (!finite) {
                failure = QStringLiteral(
                              "%1 failed at level %2: a position is not a finite "
                              "number")
                              .arg(gridName(refinement_, grid_.segments))
                              .arg(J);
                return false;
            }
            flows_.add(previous, current, target, M_);
            envelope_.add(target);
            if (J <= grid_.comparedLevels) {
                exact.add(J, target, rest);
            }
            previous = std::exchange(current, std::exchange(target, previous));
        }
        recordEnergy(previous, current);
        return true;
    }

    Parameters p_;
    FreeEnd freeEnd_;
    WaterHammer hammer_;
    EnergyFlows flows_;  // after p_, which it copies
    int refinement_;
    int M_ = 0;
    VerificationGrid grid_;
    Matrix rows_[4];  // three rotating rows and level 0
    EnergyRecord energy_;
    Envelope envelope_;
};

// Why the exact comparison does not apply to a case with a valve, or empty.
QString exactRefusalWithValve(const Parameters& p, int M, const WaterHammer& hammer,
                              FreeEnd freeEnd) {
    if (p.V0 == 0) {
        return QStringLiteral(
            "V0 is 0: the column is at rest and stays so, and there is no wave to compare");
    }
    if (p.VFase == 0) {
        return QStringLiteral("VFase is 0: no wave runs along the column");
    }
    if (freeEnd == FreeEnd::Seed && levelsBeforeFreeEnd(p, M, hammer) < 2) {
        return QStringLiteral(
            "with the seed's free end the exact solution holds only until the wave reaches "
            "segment M, which it does before level 2 here; --last-end restoring or closed has "
            "one for all times");
    }
    return {};
}

// Why the exact comparison does not apply to the case, or empty.
QString exactRefusal(const Parameters& p, int M, std::int64_t levels, FreeEnd freeEnd,
                     const WaterHammer& hammer) {
    if (hammer.hasFriction()) {
        return QStringLiteral(
            "with friction there is no exact solution: the grid convergence index alone tells "
            "the error");
    }
    if (hammer.hasValve()) {
        return exactRefusalWithValve(p, M, hammer, freeEnd);
    }
    if (freeEnd == FreeEnd::Closed) {
        return QStringLiteral(
            "the counter pressure against a closed last end has no exact solution here; a "
            "closed or closing valve at the first end has one");
    }
    if (p.P == 0) {
        return QStringLiteral(
            "P is 0: the column moves rigidly, the exact solution is that motion itself, and "
            "there is no wave to compare");
    }
    if (p.VFase == 0) {
        return QStringLiteral("VFase is 0: no wave runs along the column");
    }
    // The exact wave reaches segment 0, half a piece from the loaded face,
    // half a step after the start plus L0 / (2 VFase).
    if (!((static_cast<double>(levels) - 0.5) * std::abs(courantNumber(p)) > 0.5)) {
        return QStringLiteral(
            "the wave has not reached segment 0 by the last level, so there is "
            "nothing to compare yet");
    }
    if (freeEnd == FreeEnd::Seed && levelsBeforeFreeEnd(p, M, hammer) < 2) {
        return QStringLiteral(
            "with the seed's free end the exact solution holds only until the wave reaches "
            "segment M, which it does before level 2 here; --free-end restoring has one for all "
            "times");
    }
    return {};
}

// The logarithm of coarser / finer to the base `ratio`.
double logRatio(double coarser, double finer, int ratio) {
    return ratio == 2 ? std::log2(coarser / finer) : std::log(coarser / finer) / std::log(ratio);
}

}  // namespace

ConvergenceIndex convergenceIndex(double coarse, double medium, double fine, double noise,
                                  int ratio) {
    ConvergenceIndex index;
    index.values[0] = coarse;
    index.values[1] = medium;
    index.values[2] = fine;
    index.extrapolated = fine;
    const double e32 = medium - coarse;
    const double e21 = fine - medium;
    if (std::abs(e21) <= noise && std::abs(e32) <= noise) {
        index.why = QStringLiteral("the same on the three grids to rounding");
        index.sameOnEveryGrid = true;
        return index;
    }
    if (std::abs(e21) <= noise || std::abs(e32) <= noise) {
        index.why =
            QStringLiteral("two of the grids agree to rounding and the third not: no order");
        return index;
    }
    if (e32 / e21 < 0) {
        index.why = QStringLiteral("the values oscillate from grid to grid: no order");
        return index;
    }
    index.order = logRatio(e32, e21, ratio);
    if (!(index.order > 0)) {
        index.why = QStringLiteral("the differences do not shrink with refinement: no order");
        return index;
    }
    const double gain = (ratio == 2 ? std::exp2(index.order) : std::pow(ratio, index.order)) - 1;
    index.extrapolated = fine + e21 / gain;
    index.gci = kSafetyFactor * std::abs(e21 / fine) / gain;
    return index;
}

int halfPiecesBeyond(FreeEnd freeEnd, const WaterHammer& hammer) {
    return (hammer.hasValve() ? 0 : 1) + (freeEnd == FreeEnd::Closed ? 0 : 1);
}

double columnLength(int M, double L0, FreeEnd freeEnd, const WaterHammer& hammer) {
    return (M + 0.5 * halfPiecesBeyond(freeEnd, hammer)) * L0;
}

int refinementRatio(FreeEnd freeEnd, const WaterHammer& hammer) {
    return halfPiecesBeyond(freeEnd, hammer) == 1 ? 3 : 2;
}

Verification verifyColumn(const Parameters& p, int M, std::int64_t levels, FreeEnd freeEnd,
                          const WaterHammer& hammer) {
    Verification v;
    v.ratio = refinementRatio(freeEnd, hammer);
    if (isBeyondCourantLimit(courantNumber(p))) {
        v.refusal = courantWarning(p, NumberText(QLocale::c()));
        return v;
    }
    if (levels < 2) {
        v.refusal =
            QStringLiteral("the case computes no level past level 1 (nitertemp is %1)").arg(levels);
        return v;
    }
    v.exactRefusal = exactRefusal(p, M, levels, freeEnd, hammer);
    for (int refinement = 0; refinement <= kRefinements; ++refinement) {
        GridRun grid(p, M, levels, freeEnd, hammer, refinement, v.ratio);
        std::int64_t compared = 0;
        if (v.exactRefusal.isEmpty()) {
            compared = grid.grid().levels;
            if (freeEnd == FreeEnd::Seed) {
                compared = std::min(
                    compared, levelsBeforeFreeEnd(grid.parameters(), grid.lastSegment(), hammer));
            }
        }
        if (!grid.run(compared, v.refusal)) {
            v.grids.clear();
            return v;
        }
        v.grids.push_back(grid.grid());
    }
    if (v.exactRefusal.isEmpty()) {
        const VerificationGrid& medium = v.grids[1];
        const VerificationGrid& fine = v.grids[2];
        v.largestOrder = logRatio(medium.largestError, fine.largestError, v.ratio);
        v.rmsOrder = logRatio(medium.rmsError, fine.rmsError, v.ratio);
        if (v.grids[0].comparedLevels < levels) {
            v.exactNote = QStringLiteral(
                              "with the seed's free end the exact solution holds only until the "
                              "wave reaches segment M: levels 1 to %1 of %2 are compared, and "
                              "the same time on the refinements")
                              .arg(v.grids[0].comparedLevels)
                              .arg(levels);
        }
    }
    // Differences below these are rounding: the stress against the counter
    // pressure and Joukowsky's rho c V0, the displacement against itself.
    const double stressScale = std::abs(p.P) + std::abs(p.Rho * p.VFase * p.V0);
    const auto peaks = [&v](double VerificationGrid::*peak) {
        return std::array<double, 3>{v.grids[0].*peak, v.grids[1].*peak, v.grids[2].*peak};
    };
    const auto stress = peaks(&VerificationGrid::peakStress);
    v.stress = convergenceIndex(stress[0], stress[1], stress[2], 1e-9 * stressScale, v.ratio);
    const bool stepped = p.P != 0 || (hammer.firstEnd == FirstEnd::Closed && p.V0 != 0);
    if (stepped && v.stress.sameOnEveryGrid) {
        v.stress.why = QStringLiteral(
            "the same on the three grids: at a fixed Courant number the overshoot behind the "
            "front of the pressure step keeps its size, so the grids give no error bar for it");
    }
    const auto shift = peaks(&VerificationGrid::peakDisplacement);
    const double shiftScale =
        std::max({std::abs(shift[0]), std::abs(shift[1]), std::abs(shift[2])});
    v.displacement =
        convergenceIndex(shift[0], shift[1], shift[2],
                         1e-9 * shiftScale + 1e-12 * (M + 1) * std::abs(p.L0), v.ratio);
    if (v.exactRefusal.isEmpty() && v.grids[2].comparedLevels == v.grids[2].levels) {
        v.stress.exact = v.grids[2].exactPeakStress;
        v.displacement.exact = v.grids[2].exactPeakDisplacement;
    }
    return v;
}

Verification verifyRun(const FormState& form) {
    if (!form.psiRows || form.psiRows->run != RunKind::Double ||
        form.psiRows->outcome != RunOutcome::Completed) {
        Verification v;
        v.refusal = QStringLiteral("there is no completed double run to verify");
        return v;
    }
    const PsiRows& rows = *form.psiRows;
    return verifyColumn(rows.parameters, rows.lastSegment, rows.lastRow, rows.freeEnd, rows.hammer);
}

}  // namespace velarion
