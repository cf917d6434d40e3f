// Whether a run's numbers can be trusted: its energy level by level, the
// instability it reveals, the envelope, and the comparison with
// d'Alembert's solution. Every expectation is worked out here from psi
// with plain loops, not by the code under test.
#include "results/energy_series.h"
#include "results/envelope_table.h"
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

        EnergyRecord computed;
        const EnergyRecord fromPsi = energyOfRun(form, computed);
        ASSERT_EQ(fromPsi.levels(), 3000) << TP;
        EXPECT_FALSE(fromPsi.instability()) << TP;
        for (std::size_t k = 0; k < plain.size(); ++k) {
            ASSERT_NEAR(fromPsi.kept()[k].total(), plain[k], 1e-12 * plain[k]) << TP << " " << k;
        }

        // The Girotondo levels are the double run's levels 1 to 2999.
        setLongGirotondo(TP);
        ASSERT_EQ(runGirotondo(), RunOutcome::Completed) << TP;
        const EnergyRecord recorded = energyOfRun(form, computed);
        ASSERT_EQ(recorded.levels(), 2999) << TP;
        EXPECT_FALSE(recorded.instability()) << TP;
        for (std::size_t k = 0; k < recorded.kept().size(); ++k) {
            ASSERT_NEAR(recorded.kept()[k].total(), plain[k], 1e-12 * plain[k]) << TP << " " << k;
        }
    }
}

// With the seed's free end the column of 100 pieces blows up; the run is
// called unstable at the first level whose energy leaves level 1's by
// more than 1 %, with the seed's end named as the likely cause.
TEST_F(RunChecksTest, TheSeedFreeEndIsReportedUnstableAtTheFirstLevelBeyondOnePercent) {
    setLongColumn("1");
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    const std::vector<double> plain = plainEnergies();
    std::optional<std::size_t> first;
    for (std::size_t k = 0; k < plain.size() && !first; ++k) {
        if (std::abs(plain[k] - plain[0]) > 0.01 * std::abs(plain[0])) {
            first = k;
        }
    }
    ASSERT_TRUE(first);
    const auto instability = instabilityOfRun(form);
    ASSERT_TRUE(instability);
    EXPECT_EQ(instability->level, static_cast<std::int64_t>(*first) + 1);
    EXPECT_NEAR(instability->energy, plain[*first], 1e-9 * std::abs(plain[*first]));
    const QString reason = instabilityReason(*instability, FreeEnd::Seed, QLocale::c());
    EXPECT_TRUE(reason.startsWith("the energy grew from 305.552 to ")) << reason.toStdString();
    EXPECT_TRUE(reason.contains("seed's free end")) << reason.toStdString();
    EXPECT_FALSE(
        instabilityReason(*instability, FreeEnd::Restoring, QLocale::c()).contains("free end"));

    // The Girotondo run records the same level as it goes.
    setLongGirotondo("1");
    ASSERT_EQ(runGirotondo(), RunOutcome::Completed);
    ASSERT_TRUE(instabilityOfRun(form));
    EXPECT_EQ(instabilityOfRun(form)->level, instability->level);
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

// The defaults with a counter pressure of 1: the counter pressure acts from
// level 2 on, a lag of about 2.5 time steps, so the error halves with the
// step.
TEST_F(RunChecksTest, VerificationOnTheDefaultsIsFirstOrder) {
    window.setText(ctl::TP, "1");
    ASSERT_EQ(runDouble(), RunOutcome::Completed);
    const Verification v = verifyAgainstAnalytic(form);
    ASSERT_TRUE(v.refusal.isEmpty()) << v.refusal.toStdString();
    ASSERT_EQ(v.cases.size(), 3u);
    const double analytic = 10000 * 30e-6 / (1000 * 50);
    for (int i = 0; i < 3; ++i) {
        const VerificationCase& c = v.cases[static_cast<std::size_t>(i)];
        EXPECT_EQ(c.lastSegment, 9999 << i);
        EXPECT_EQ(c.levels, 30 << i);
        EXPECT_EQ(c.DeltaT, 1e-6 / (1 << i));
        EXPECT_NEAR(c.analytic, analytic, 1e-15);
        EXPECT_NEAR(c.relativeError, std::abs(c.computed - analytic) / analytic, 1e-12);
        // A lag of about 2.5 steps of 30, 60 and 120.
        EXPECT_NEAR(c.relativeError, 2.5 / (30 << i), 0.3 / (30 << i));
    }
    const double rigid = form.psi(0, 0) - 30 * 1e-6 * 5.5;
    EXPECT_EQ(v.cases[0].computed, form.psi(30, 0) - rigid);
    EXPECT_GT(v.observedOrder, 0.8);
    EXPECT_LT(v.observedOrder, 1.3);
}

}  // namespace
}  // namespace velarion
