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

// The errors of one grid against the exact solution, summed level by level.
class ExactComparison {
  public:
    ExactComparison(const Parameters& p, int M)
        : p_(p),
          M_(M),
          c_(std::abs(p.VFase)),
          length_(static_cast<double>(M + 1) * p.L0),
          speed_(p.P * c_ / p.B) {}

    // Level J against the exact solution. Segment s is the centre of its
    // piece, half a piece from the loaded face at -L0/2; level 1 is the
    // rigid start, so the counter pressure acts from half a step on (the
    // first level it moves is level 2).
    void add(std::int64_t J, const double* row, const double* rest) {
        const double rigid = static_cast<double>(J) * (p_.DeltaT * p_.V0);
        const double elapsed = (static_cast<double>(J) - 0.5) * p_.DeltaT;
        for (int s = 0; s <= M_; ++s) {
            const double computed = (row[s] - rest[s]) + rigid;
            const double exact = exactDisplacement((s + 0.5) * p_.L0, elapsed, length_, c_, speed_);
            const double error = computed - exact;
            largestExact_ = std::max(largestExact_, std::abs(exact));
            largestError_ = std::max(largestError_, std::abs(error));
            squares_ += error * error;
            ++count_;
        }
        // The first piece's centre lies a piece from the loaded face.
        peakStress_ = std::max(peakStress_, exactStress(p_.L0, elapsed, length_, c_, p_.P));
        const double shift =
            exactDisplacement(length_ - 0.5 * p_.L0, elapsed, length_, c_, speed_) -
            static_cast<double>(J) * p_.DeltaT * p_.V0;
        if (std::abs(shift) > std::abs(peakDisplacement_)) {
            peakDisplacement_ = shift;
        }
    }
    double peakStress() const { return peakStress_; }
    double peakDisplacement() const { return peakDisplacement_; }
    double largest() const { return largestError_ / largestExact_; }
    double rms() const { return std::sqrt(squares_ / static_cast<double>(count_)) / largestExact_; }

  private:
    const Parameters& p_;
    int M_;
    double c_;
    double length_;
    double speed_;
    double largestExact_ = 0;
    double largestError_ = 0;
    double squares_ = 0;
    std::int64_t count_ = 0;
    double peakStress_ = 0;  // level 0's, the column at rest
    double peakDisplacement_ = 0;
};

// The last level before the exact wave reaches segment M, where the seed's
// free end starts to matter: (J - 1/2) DeltaT VFase < (M + 1/2) L0.
std::int64_t levelsBeforeFreeEnd(const Parameters& p, int M) {
    const double reach = (M + 0.5) * p.L0 / std::abs(p.VFase * p.DeltaT) + 0.5;
    return static_cast<std::int64_t>(std::ceil(reach)) - 1;
}

QString gridName(int halvings, int segments) {
    const QString name =
        halvings == 0 ? QStringLiteral("the case") : QStringLiteral("refinement %1").arg(halvings);
    return QStringLiteral("%1 (%2 segments)").arg(name).arg(segments);
}

// One grid stepped on three rotating rows, with its energy, envelope and
// errors taken level by level. `failure` says why it could not be
// finished, or that its energy says it is unstable.
class GridRun {
  public:
    GridRun(const Parameters& base, int M, std::int64_t levels, FreeEnd freeEnd, int halvings)
        : p_(base), freeEnd_(freeEnd), halvings_(halvings) {
        p_.L0 = std::ldexp(base.L0, -halvings);
        p_.DeltaT = std::ldexp(base.DeltaT, -halvings);
        M_ = (M + 1) * (1 << halvings) - 1;
        grid_.segments = M_ + 1;
        grid_.DeltaT = p_.DeltaT;
        grid_.levels = levels << halvings;
    }

    // Runs the grid, comparing levels 1 to `compared` with the exact
    // solution (none for 0).
    bool run(std::int64_t compared, QString& failure) {
        if (!createRows()) {
            failure = QStringLiteral("%1 needs more memory than there is")
                          .arg(gridName(halvings_, grid_.segments));
            return false;
        }
        ExactComparison exact(p_, M_);
        grid_.comparedLevels = compared;
        if (!stepLevels(exact, failure)) {
            return false;
        }
        if (const auto verdict = judgeStability(p_, freeEnd_, M_, energy_)) {
            failure = QStringLiteral("%1 is unstable from level %2: %3")
                          .arg(gridName(halvings_, grid_.segments))
                          .arg(verdict->level)
                          .arg(instabilityReason(*verdict, NumberText(QLocale::c())));
            return false;
        }
        if (compared > 0) {
            grid_.largestError = exact.largest();
            grid_.rmsError = exact.rms();
            grid_.exactPeakStress = exact.peakStress();
            grid_.exactPeakDisplacement = exact.peakDisplacement();
        }
        grid_.peakStress = envelope_.maxStress(0, p_);
        const double low = envelope_.minDisplacement(M_);
        const double high = envelope_.maxDisplacement(M_);
        grid_.peakDisplacement = std::abs(low) > std::abs(high) ? low : high;
        return true;
    }

    const VerificationGrid& grid() const { return grid_; }
    const Parameters& parameters() const { return p_; }
    int lastSegment() const { return M_; }

  private:
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
        energy_.add(energyBetween(previous, current, M_, p_));
        energy_.placeGrowth(previous, current, M_, p_);
    }

    bool stepLevels(ExactComparison& exact, QString& failure) {
        const double* rest = rows_[3].row(0);
        double* previous = rows_[0].row(0);
        double* current = rows_[1].row(0);
        double* target = rows_[2].row(0);
        std::copy_n(rest, M_ + 1, previous);
        moveByInitialVelocity(previous, current, M_, p_.DeltaT, p_.V0);
        envelope_.add(current);
        if (grid_.comparedLevels >= 1) {
            exact.add(1, current, rest);
        }
        const KernelFactors f = KernelFactors::from(p_.DeltaT, p_.L0, p_.Rho, p_.B, p_.P, freeEnd_);
        const bool fused = fitsKernelEnergySums(p_);
        std::vector<EnergySums> sums(static_cast<std::size_t>(energyBlockCount(M_)));
        for (std::int64_t J = 2; J <= grid_.levels; ++J) {
            // The energy of level J - 1 comes with the update that reads it.
            const bool finite = fused ? updateRowWithEnergy(current, previous, target, M_, f, sums)
                                      : updateRow(current, previous, target, M_, f);
            if (fused) {
                energy_.add(energyFromSums(sums, current[0], previous[0], p_));
                energy_.placeGrowth(previous, current, M_, p_);
            } else {
                recordEnergy(previous, current);
            }
            if (!finite) {
                failure = QStringLiteral(
                              "%1 failed at level %2: a position is not a finite "
                              "number")
                              .arg(gridName(halvings_, grid_.segments))
                              .arg(J);
                return false;
            }
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
    int halvings_;
    int M_ = 0;
    VerificationGrid grid_;
    Matrix rows_[4];  // three rotating rows and level 0
    EnergyRecord energy_;
    Envelope envelope_;
};

// Why the exact comparison does not apply to the case, or empty.
QString exactRefusal(const Parameters& p, int M, std::int64_t levels, FreeEnd freeEnd) {
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
    if (freeEnd == FreeEnd::Seed && levelsBeforeFreeEnd(p, M) < 2) {
        return QStringLiteral(
            "with the seed's free end the exact solution holds only until the wave reaches "
            "segment M, which it does before level 2 here; --free-end restoring has one for all "
            "times");
    }
    return {};
}

double log2Ratio(double coarser, double finer) {
    return std::log2(coarser / finer);
}

}  // namespace

ConvergenceIndex convergenceIndex(double coarse, double medium, double fine, double noise) {
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
    index.order = std::log2(e32 / e21);
    if (!(index.order > 0)) {
        index.why = QStringLiteral("the differences do not shrink with refinement: no order");
        return index;
    }
    const double gain = std::exp2(index.order) - 1;
    index.extrapolated = fine + e21 / gain;
    index.gci = kSafetyFactor * std::abs(e21 / fine) / gain;
    return index;
}

Verification verifyColumn(const Parameters& p, int M, std::int64_t levels, FreeEnd freeEnd) {
    Verification v;
    if (isBeyondCourantLimit(courantNumber(p))) {
        v.refusal = courantWarning(p, NumberText(QLocale::c()));
        return v;
    }
    if (levels < 2) {
        v.refusal =
            QStringLiteral("the case computes no level past level 1 (nitertemp is %1)").arg(levels);
        return v;
    }
    v.exactRefusal = exactRefusal(p, M, levels, freeEnd);
    for (int halvings = 0; halvings <= kRefinements; ++halvings) {
        GridRun grid(p, M, levels, freeEnd, halvings);
        std::int64_t compared = 0;
        if (v.exactRefusal.isEmpty()) {
            compared = grid.grid().levels;
            if (freeEnd == FreeEnd::Seed) {
                compared =
                    std::min(compared, levelsBeforeFreeEnd(grid.parameters(), grid.lastSegment()));
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
        v.largestOrder = log2Ratio(medium.largestError, fine.largestError);
        v.rmsOrder = log2Ratio(medium.rmsError, fine.rmsError);
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
    v.stress = convergenceIndex(stress[0], stress[1], stress[2], 1e-9 * stressScale);
    if (p.P != 0 && v.stress.sameOnEveryGrid) {
        v.stress.why = QStringLiteral(
            "the same on the three grids: at a fixed Courant number the overshoot behind the "
            "front of the pressure step keeps its size, so the grids give no error bar for it");
    }
    const auto shift = peaks(&VerificationGrid::peakDisplacement);
    const double shiftScale =
        std::max({std::abs(shift[0]), std::abs(shift[1]), std::abs(shift[2])});
    v.displacement = convergenceIndex(shift[0], shift[1], shift[2],
                                      1e-9 * shiftScale + 1e-12 * (M + 1) * std::abs(p.L0));
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
    return verifyColumn(rows.parameters, rows.lastSegment, rows.lastRow, rows.freeEnd);
}

}  // namespace velarion
