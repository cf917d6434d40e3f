// Whether a run's numbers can be trusted: its energy level by level, the
// instability it reveals, the envelope, and the comparison with
// d'Alembert's solution. Every expectation is worked out here from psi
// with plain loops, not by the code under test.
#include "results/energy_series.h"
#include "results/envelope_table.h"
#include "results/form_record.h"
#include "results/stability_verdict.h"
#include "results/verification.h"
#include "support/run_fixture.h"

#include <cmath>
#include <optional>
#include <vector>

namespace velarion {
namespace {

// The energy of row J of psi paired with row J - 1, written out as it is
// defined.
double plainEnergy(const Matrix& psi, int J, int M, const Parameters& p) {
    const double* now = psi.row(static_cast<std::size_t>(J));
    const double* before = psi.row(static_cast<std::size_t>(J - 1));
    double energy = -p.P * (now[0] + before[0]) / 2;
    for (int s = 0; s <= M; ++s) {
        const double v = (now[s] - before[s]) / p.DeltaT;
        energy += 0.5 * p.Rho * p.L0 * v * v;
        if (s < M) {
            energy += 0.5 * (p.B / p.L0) * (now[s + 1] - now[s] - p.L0) *
                      (before[s + 1] - before[s] - p.L0);
        }
    }
    return energy;
}

class RunChecksTest : public testing::RunFixture {
  protected:
    RunChecksTest() {
        window.tickStep = 1;  // the Girotondo end tones wait on the clock
        window.tick(ctl::CLogFile, false);
    }

    // 100 pieces, 3000 levels of the double run.
    void setLongColumn(const char* TP) {
        window.setText(ctl::TINDICE_MATRICE2, "100");
        window.setText(ctl::TINDICE_MATRICE1, "3000");
        window.setText(ctl::Tnitertemp, "3000");
        window.setText(ctl::TP, TP);
    }
    // The same column in a Girotondo run of 2999 levels: 10 cycles a snapshot.
    void setLongGirotondo(const char* TP) {
        setLongColumn(TP);
        window.setText(ctl::TN, "10");
        window.setText(ctl::TINDICE_MATRICE1, "100");
        window.setText(ctl::Tnitertemp, "100");
    }
    // The largest |kinetic| + |strain| + |work| of levels 1 to J, per J.
    std::vector<double> plainScales() const {
        std::vector<double> scales;
        const Parameters& p = form.psiRows->parameters;
        const int M = form.psiRows->lastSegment;
        double scale = 0;
        for (int J = 1; J <= form.psiRows->lastRow; ++J) {
            const double* now = form.psi.row(static_cast<std::size_t>(J));
            const double* before = form.psi.row(static_cast<std::size_t>(J - 1));
            double kinetic = 0, strain = 0;
            for (int s = 0; s <= M; ++s) {
                const double v = (now[s] - before[s]) / p.DeltaT;
                kinetic += 0.5 * p.Rho * p.L0 * v * v;
                if (s < M) {
                    strain += 0.5 * (p.B / p.L0) * (now[s + 1] - now[s] - p.L0) *
                              (before[s + 1] - before[s] - p.L0);
                }
            }
            scale = std::max(scale, std::abs(kinetic) + std::abs(strain) +
                                        std::abs(p.P * (now[0] + before[0]) / 2));
            scales.push_back(scale);
        }
        return scales;
    }
    std::vector<double> plainEnergies() const {
        std::vector<double> energies;
        for (int J = 1; J <= form.psiRows->lastRow; ++J) {
            energies.push_back(
                plainEnergy(form.psi, J, form.psiRows->lastSegment, form.psiRows->parameters));
        }
        return energies;
    }
    RunOutcome runGirotondoKeepingEnvelope() {
        GirotondoRun run(window, form, numbers, logPath());
        run.setEnvelope(true);
        return run.run();
    }
};

double largestDrift(const std::vector<double>& energies) {
    double drift = 0;
    for (const double e : energies) {
        drift = std::max(drift, std::abs(e - energies.front()) / std::abs(energies.front()));
    }
    return drift;
}

// The scheme conserves this energy exactly with the restoring free end; in
// doubles it stays put to rounding, with and without a counter pressure,
// in the double run (from psi) and the Girotondo run (as it goes).
TEST_F(RunChecksTest, TheRestoringFreeEndConservesTheEnergyInBothRuns) {
    form.freeEnd = FreeEnd::Restoring;
    for (const char* TP : {"0", "1"}) {
        setLongColumn(TP);
        ASSERT_EQ(runDouble(), RunOutcome::Completed) << TP;
        EXPECT_EQ(form.psiRows->freeEnd, FreeEnd::Restoring);
        const std::vector<double> plain = plainEnergies();
        ASSERT_EQ(plain.size(), 3000u);
        EXPECT_LT(largestDrift(plain), 1e-10) << TP;
        const EnergyRecord fromPsi = energyOfRun(form);
        ASSERT_EQ(fromPsi.levels(), 3000) << TP;
        EXPECT_FALSE(fromPsi.instability()) << TP;
        for (std::size_t k = 0; k < plain.size(); ++k) {
            ASSERT_NEAR(fromPsi.kept()[k].total(), plain[k], 1e-12 * plain[k]) << TP << " " << k;
        }

        // The Girotondo levels are the double run's levels 1 to 2999.
        setLongGirotondo(TP);
        ASSERT_EQ(runGirotondo(), RunOutcome::Completed) << TP;
        const EnergyRecord recorded = energyOfRun(form);
        ASSERT_EQ(recorded.levels(), 2999) << TP;
        EXPECT_FALSE(recorded.instability()) << TP;
        for (std::size_t k = 0; k < recorded.kept().size(); ++k) {
            ASSERT_NEAR(recorded.kept()[k].total(), plain[k], 1e-12 * plain[k]) << TP << " " << k;
        }
    }
}

// Every reader of a double run's energy (the instability verdict, the
// record that its files are written from) shares one pass over psi; the
// next run, of as many rows, is read afresh.
TEST_F(RunChecksTest, TheEnergyOfARunIsComputedOnceForAllItsReaders) {
    form.freeEnd = FreeEnd::Restoring;
    setLongColumn("0");
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    const std::uint64_t before = energyPassesOverPsi();
    EXPECT_FALSE(instabilityOfRun(form));
    const std::optional<RunRecord> record = recordViewOfForm(form);
    ASSERT_TRUE(record);
    EXPECT_FALSE(instabilityOfRun(form));
    EXPECT_EQ(energyPassesOverPsi() - before, 1u);
    EXPECT_EQ(record->energy.levels(), 3000);
    ASSERT_TRUE(record->envelope);

    setLongColumn("1");
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    const std::vector<double> plain = plainEnergies();
    const EnergyRecord& energy = energyOfRun(form);
    EXPECT_EQ(energyPassesOverPsi() - before, 2u);
    ASSERT_EQ(energy.kept().size(), plain.size());
    for (std::size_t k = 0; k < plain.size(); ++k) {
        ASSERT_NEAR(energy.kept()[k].total(), plain[k], 1e-12 * std::abs(plain[k])) << k;
    }
    // The counter pressure of 10000 Pa compresses the first piece now.
    EXPECT_GT(recordViewOfForm(form)->envelope->maxStress[0], 5000);
}

// With the seed's free end the column of 100 pieces blows up; the run is
// called unstable at the first level whose energy leaves level 1's by more
// than 1 % of the largest |kinetic| + |strain| + |work| so far, and the
// seed's end is named, since the growth sits at the last segment.
TEST_F(RunChecksTest, TheSeedFreeEndIsReportedUnstableWhereTheGrowthStarts) {
    setLongColumn("1");
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    const std::vector<double> plain = plainEnergies();
    const std::vector<double> scales = plainScales();
    std::optional<std::size_t> first;
    for (std::size_t k = 0; k < plain.size() && !first; ++k) {
        if (std::abs(plain[k] - plain[0]) > 0.01 * scales[k]) {
            first = k;
        }
    }
    ASSERT_TRUE(first);
    const auto verdict = instabilityOfRun(form);
    ASSERT_TRUE(verdict);
    EXPECT_EQ(verdict->level, static_cast<std::int64_t>(*first) + 1);
    EXPECT_EQ(verdict->cause, InstabilityCause::SeedFreeEnd);
    ASSERT_TRUE(verdict->energy);
    EXPECT_NEAR(verdict->energy->energy, plain[*first], 1e-9 * std::abs(plain[*first]));
    EXPECT_EQ(verdict->energy->growthSegment, 100);
    const QString reason = instabilityReason(*verdict, NumberText(QLocale::c()));
    EXPECT_TRUE(reason.startsWith("the energy grew from 305.552 to ")) << reason.toStdString();
    EXPECT_TRUE(reason.endsWith("the growth starts at segment 100")) << reason.toStdString();

    // The Girotondo run records the same level, and places the growth, as
    // it goes.
    setLongGirotondo("1");
    ASSERT_EQ(runGirotondo(), RunOutcome::Completed);
    const auto recorded = instabilityOfRun(form);
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->level, verdict->level);
    EXPECT_EQ(recorded->cause, InstabilityCause::SeedFreeEnd);
}

// A column at rest under a counter pressure, with the restoring end: level
// 1's energy is rounding residue, the energy stays put against its scale.
TEST_F(RunChecksTest, AColumnAtRestIsNotCalledUnstable) {
    form.freeEnd = FreeEnd::Restoring;
    setLongColumn("1");
    window.setText(ctl::TV0, "0");
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    EXPECT_LT(std::abs(plainEnergies()[0]), 1e-20);
    EXPECT_FALSE(instabilityOfRun(form));
}

// Above a Courant number of 1 the run is unstable from level 1, whatever
// its energy says and wherever the growth sits; a time step of 1E-3 s on
// the defaults puts it at 250, long before any wave could reach the free
// end.
TEST_F(RunChecksTest, ACourantNumberAboveOneIsTheCause) {
    window.setText(ctl::TDeltaT, "0,001");
    runDouble();
    const auto verdict = instabilityOfRun(form);
    ASSERT_TRUE(verdict);
    EXPECT_EQ(verdict->level, 1);
    EXPECT_EQ(verdict->cause, InstabilityCause::Courant);
    EXPECT_EQ(instabilityReason(*verdict, NumberText(QLocale::c())),
              "Courant number 250 > 1: the scheme is unstable; TDeltaT \u2264 4E-06 s keeps it "
              "stable");
}

// The extremes over every level of psi, per segment and per piece, taken
// here cell by cell; the Girotondo run that kept its envelope saw the same
// levels (0 to 2999) and gives the same bits.
TEST_F(RunChecksTest, TheEnvelopeHoldsTheExtremesOfEveryLevel) {
    setLongColumn("1");
    window.setText(ctl::Tnitertemp, "2999");
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    const Parameters& p = form.psiRows->parameters;
    const int M = 100;
    const Envelope envelope = envelopeFromPsi(form);
    ASSERT_EQ(envelope.lastSegment(), M);
    for (int s = 0; s <= M; ++s) {
        double low = 0, high = 0, lowStress = 0, highStress = 0;
        for (int j = 0; j <= 2999; ++j) {
            const double* row = form.psi.row(static_cast<std::size_t>(j));
            const double displacement = row[s] - form.psi(0, static_cast<std::size_t>(s));
            low = j == 0 ? displacement : std::min(low, displacement);
            high = j == 0 ? displacement : std::max(high, displacement);
            if (s < M) {
                const double stress = -p.B * (row[s + 1] - row[s] - p.L0) / p.L0;
                lowStress = j == 0 ? stress : std::min(lowStress, stress);
                highStress = j == 0 ? stress : std::max(highStress, stress);
            }
        }
        ASSERT_EQ(envelope.minDisplacement(s), low) << s;
        ASSERT_EQ(envelope.maxDisplacement(s), high) << s;
        if (s < M) {
            ASSERT_EQ(envelope.minStress(s, p), lowStress) << s;
            ASSERT_EQ(envelope.maxStress(s, p), highStress) << s;
        }
    }
    // The counter pressure of 10000 Pa compresses the first piece.
    EXPECT_GT(envelope.maxStress(0, p), 5000);

    setLongGirotondo("1");
    ASSERT_EQ(runGirotondoKeepingEnvelope(), RunOutcome::Completed);
    const Envelope& kept = form.girotondoEnvelope;
    ASSERT_EQ(kept.lastSegment(), M);
    for (int s = 0; s <= M; ++s) {
        ASSERT_EQ(kept.minDisplacement(s), envelope.minDisplacement(s)) << s;
        ASSERT_EQ(kept.maxDisplacement(s), envelope.maxDisplacement(s)) << s;
        if (s < M) {
            ASSERT_EQ(kept.minStress(s, p), envelope.minStress(s, p)) << s;
            ASSERT_EQ(kept.maxStress(s, p), envelope.maxStress(s, p)) << s;
        }
    }
    // Without being asked, it keeps none.
    ASSERT_EQ(runGirotondo(), RunOutcome::Completed);
    EXPECT_TRUE(form.girotondoEnvelope.isEmpty());
}

// --verify on the defaults with a counter pressure: the case and two
// refinements that keep the column's length, the Courant number and the
// time; every level compared (the wave stays far from the seed's free
// end); errors that shrink with the grid; and, beside the peak stress that
// the grids cannot move (the scheme's overshoot at the step front), its
// exact value.
TEST_F(RunChecksTest, VerificationComparesTheCaseAndTwoRefinements) {
    window.setText(ctl::TP, "1");
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    const Verification v = verifyRun(form);
    ASSERT_TRUE(v.refusal.isEmpty()) << v.refusal.toStdString();
    ASSERT_TRUE(v.exactRefusal.isEmpty()) << v.exactRefusal.toStdString();
    ASSERT_EQ(v.grids.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        const VerificationGrid& g = v.grids[static_cast<std::size_t>(k)];
        EXPECT_EQ(g.segments, 10000 << k);
        EXPECT_EQ(g.levels, 30 << k);
        EXPECT_EQ(g.comparedLevels, g.levels);
        EXPECT_EQ(g.DeltaT, std::ldexp(form.psiRows->parameters.DeltaT, -k));
        if (k > 0) {
            EXPECT_LT(g.rmsError, 0.6 * v.grids[static_cast<std::size_t>(k - 1)].rmsError);
        }
    }
    EXPECT_GT(v.rmsOrder, 0.8);
    EXPECT_TRUE(v.stress.sameOnEveryGrid);
    EXPECT_GT(v.stress.values[2], 11000);
    ASSERT_TRUE(v.stress.exact);
    EXPECT_EQ(*v.stress.exact, 10000);
    EXPECT_TRUE(v.exactNote.isEmpty());
}

// Nothing is verified above the Courant limit, nor on a grid that blows up:
// the seed's free end of 100 pieces, whose wave reaches it at about level
// 400 of 790. Before the wave reaches it the seed's end has an exact
// solution, and the comparison stops there.
TEST_F(RunChecksTest, VerificationRefusesUnstableGridsAndStopsAtTheSeedsFreeEnd) {
    Parameters p;
    p.Rho = 1000;
    p.VFase = 50;
    p.V0 = 5.5;
    p.B = 50.0 * 50.0 * 1000;
    p.P = 10000;
    p.L0 = 0.0002;
    p.DeltaT = 4.4e-6;
    EXPECT_TRUE(verifyColumn(p, 9999, 30, FreeEnd::Seed)
                    .refusal.startsWith("Courant number 1.1 > 1: the scheme is unstable"));
    p.DeltaT = 1e-6;
    const Verification blownUp = verifyColumn(p, 100, 790, FreeEnd::Seed);
    EXPECT_TRUE(blownUp.refusal.startsWith("the case (101 segments) is unstable from level "))
        << blownUp.refusal.toStdString();
    // On 31 segments the wave reaches the free end at level 122: the
    // comparison of 123 levels stops at level 122, where (J - 1/2) x 0.25 <
    // 30.5 pieces last holds; the finest grid's 492 levels stay below its
    // 494. A few levels later the column blows up.
    const Verification late = verifyColumn(p, 30, 123, FreeEnd::Seed);
    ASSERT_TRUE(late.refusal.isEmpty()) << late.refusal.toStdString();
    EXPECT_EQ(late.grids[0].comparedLevels, 122);
    EXPECT_EQ(late.grids[2].comparedLevels, 492);
    EXPECT_TRUE(late.exactNote.contains("levels 1 to 122 of 123")) << late.exactNote.toStdString();
    EXPECT_TRUE(verifyColumn(p, 30, 200, FreeEnd::Seed).refusal.contains("unstable from level"));
}

// Roache's index worked by hand for f = 1 + 0.1 h^2 on h = 4, 2, 1: order
// 2, extrapolated 1, GCI 1.25 x (0.3 / 1.1) / 3; values that oscillate or
// agree have no order.
TEST(ConvergenceIndex, FollowsRoachesDefinition) {
    const ConvergenceIndex smooth = convergenceIndex(2.6, 1.4, 1.1, 1e-12);
    EXPECT_TRUE(smooth.why.isEmpty());
    EXPECT_NEAR(smooth.order, 2, 1e-12);
    EXPECT_NEAR(smooth.extrapolated, 1, 1e-12);
    EXPECT_NEAR(smooth.gci, 1.25 * (0.3 / 1.1) / 3, 1e-12);
    EXPECT_FALSE(convergenceIndex(1.2, 1.0, 1.1, 1e-12).why.isEmpty());
    const ConvergenceIndex same = convergenceIndex(5, 5 + 1e-13, 5, 1e-9);
    EXPECT_TRUE(same.sameOnEveryGrid);
    EXPECT_EQ(same.gci, 0);
}

}  // namespace
}  // namespace velarion
