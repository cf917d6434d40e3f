// Levels shared between threads in tiles give what one thread gives: psi,
// the three rotating rows, the energy of every level and its verdict, the
// envelope, LogFile.txt and every call to the window in its order, for both
// free ends, with and without a counter pressure, on short and long rows,
// and when a run stops or fails.
#include "support/run_fixture.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace velarion {
namespace {

using testing::RunFixture;

struct Results {
    RunOutcome outcome;
    std::vector<std::uint64_t> psi;       // the bits of every cell of every row
    std::vector<std::uint64_t> rotating;  // the bits of the three Girotondo rows
    std::vector<std::uint64_t> energy;    // the bits of every level's terms
    std::vector<std::uint64_t> verdict;   // the instability's level, bits and segment
    std::vector<std::uint64_t> envelope;  // the bits of every extreme
    QStringList calls;                    // what the run did to the window
    QByteArray log;
};

void appendBits(std::vector<std::uint64_t>& into, const Matrix& rows) {
    for (std::size_t j = 0; j < rows.rows(); ++j) {
        for (std::size_t s = 0; s < rows.columns(); ++s) {
            into.push_back(std::bit_cast<std::uint64_t>(rows(j, s)));
        }
    }
}

class ThreadsTest : public RunFixture {
  protected:
    // The fake clock advances on every read, so the waits between the end
    // tones pass, and the same calls read the same times.
    ThreadsTest() { window.tickStep = 1; }

    void set(std::string_view box, const std::string& text) {
        window.setText(box, QString::fromStdString(text));
    }

    template <class Run>
    Results results(Run& run) {
        window.calls.clear();
        window.messages.clear();
        window.pumps = 0;
        Results r{run.run(), {}, {}, {}, {}, {}, {}, {}};
        r.calls = window.calls;
        r.log = logBytes();
        appendBits(r.psi, form.psi);
        if constexpr (requires { run.rotatingRow(0); }) {
            for (int i = 0; i < 3; ++i) {
                appendBits(r.rotating, run.rotatingRow(i));
            }
        }
        const EnergyRecord& energy = form.girotondoEnergy;
        for (const LevelEnergy& e : energy.kept()) {
            for (double term : {e.kinetic, e.strain, e.work, e.dissipated, e.valveWork}) {
                r.energy.push_back(std::bit_cast<std::uint64_t>(term));
            }
        }
        if (const auto& instability = energy.instability()) {
            r.verdict = {static_cast<std::uint64_t>(instability->level),
                         std::bit_cast<std::uint64_t>(instability->energy),
                         std::bit_cast<std::uint64_t>(instability->scale),
                         static_cast<std::uint64_t>(instability->growthSegment)};
        }
        const Envelope& envelope = form.girotondoEnvelope;
        for (int s = 0; !envelope.isEmpty() && s <= envelope.lastSegment(); ++s) {
            r.envelope.push_back(std::bit_cast<std::uint64_t>(envelope.minDisplacement(s)));
            r.envelope.push_back(std::bit_cast<std::uint64_t>(envelope.maxDisplacement(s)));
            if (s < envelope.lastSegment()) {
                r.envelope.push_back(
                    std::bit_cast<std::uint64_t>(envelope.minStress(s, form.parameters)));
                r.envelope.push_back(
                    std::bit_cast<std::uint64_t>(envelope.maxStress(s, form.parameters)));
            }
        }
        return r;
    }

    Results girotondo(int threads, int depth = GirotondoRun::kDefaultTileDepth) {
        form = FormState();
        form.threads = threads;
        form.freeEnd = freeEnd;
        form.hammer = hammer;
        GirotondoRun run(window, form, numbers, logPath());
        run.setEnvelope(true);
        run.setTileDepth(depth);
        return results(run);
    }

    Results doubleRun(int threads, int depth = DoubleRun::kDefaultTileDepth) {
        form = FormState();
        form.threads = threads;
        form.freeEnd = freeEnd;
        form.hammer = hammer;
        DoubleRun run(window, form, numbers, logPath());
        run.setTileDepth(depth);
        return results(run);
    }

    static void expectSame(const Results& one, const Results& many, const std::string& where) {
        ASSERT_EQ(one.outcome, many.outcome) << where;
        ASSERT_TRUE(one.psi == many.psi) << where << ": psi";
        ASSERT_TRUE(one.rotating == many.rotating) << where << ": the rotating rows";
        ASSERT_TRUE(one.energy == many.energy) << where << ": the energy";
        ASSERT_EQ(one.verdict, many.verdict) << where << ": the instability";
        ASSERT_TRUE(one.envelope == many.envelope) << where << ": the envelope";
        ASSERT_EQ(one.log, many.log) << where << ": LogFile.txt";
        ASSERT_EQ(one.calls, many.calls) << where << ": the window";
    }

    FreeEnd freeEnd = FreeEnd::Seed;
    WaterHammer hammer;
};

// Rows of one energy block and of several, ending in a part block, on a
// block's last segment or its first; snapshots of 3 N - 1 levels in blocks
// of two cycles and of the default, a stop at the tenth snapshot.
TEST_F(ThreadsTest, GirotondoGivesTheBitsOfOneThread) {
    set(ctl::TINDICE_MATRICE1, "12");
    set(ctl::Tnitertemp, "12");
    set(ctl::TN, "7");
    for (const int M : {1, 7, 1023, 1024, 1236, 2047, 2048, 4100, 9999, 32766}) {
        set(ctl::TINDICE_MATRICE2, std::to_string(M));
        for (const char* P : {"0", "1"}) {
            set(ctl::TP, P);
            for (const FreeEnd end : {FreeEnd::Seed, FreeEnd::Restoring}) {
                freeEnd = end;
                const Results one = girotondo(1);
                ASSERT_EQ(one.outcome, RunOutcome::Completed) << M;
                // Five terms a level: kinetic, strain, work, dissipated, valve work.
                ASSERT_EQ(one.energy.size(), 5u * (3 * 7 * 12 - 1)) << M;
                for (int threads : {2, 3, 4}) {
                    for (int depth : {6, GirotondoRun::kDefaultTileDepth}) {
                        expectSame(one, girotondo(threads, depth),
                                   "M = " + std::to_string(M) + ", TP = " + P + ", free end " +
                                       std::to_string(static_cast<int>(end)) + ", " +
                                       std::to_string(threads) + " threads, blocks of " +
                                       std::to_string(depth));
                    }
                }
            }
        }
    }
}

TEST_F(ThreadsTest, GirotondoStopsWhereOneThreadStops) {
    set(ctl::TINDICE_MATRICE2, "3000");
    set(ctl::TINDICE_MATRICE1, "40");
    set(ctl::Tnitertemp, "40");
    set(ctl::TN, "5");
    set(ctl::TP, "1");
    window.onPump = [this](int pump) { window.stop = pump == 2; };
    const Results one = girotondo(1);
    ASSERT_EQ(one.outcome, RunOutcome::Stopped);
    for (int threads : {2, 3}) {
        expectSame(one, girotondo(threads, 9), std::to_string(threads) + " threads");
    }
}

// Levels that are no longer finite: at segment 0 (the first thread's)
// under a time step beyond the Courant limit, and at the seed's free end
// (the last thread's), after its energy has left level 1's, so the
// instability is placed inside a block. Every step of a cycle, in blocks
// of several sizes: the same level, segment, rows, energy and envelope.
TEST_F(ThreadsTest, GirotondoFailsAtTheSameLevelAndSegment) {
    set(ctl::TINDICE_MATRICE2, "2100");
    set(ctl::TINDICE_MATRICE1, "100");
    set(ctl::Tnitertemp, "100");
    set(ctl::TP, "1");
    const struct {
        const char* DeltaT;
        FreeEnd end;
        const char* segment;
        int N;  // and N + 1, N + 2: each step of a cycle fails in turn
    } cases[] = {{"0,000006", FreeEnd::Restoring, "segment 0:", 40},
                 {"0,000001", FreeEnd::Seed, "segment 2100:", 100}};
    for (const auto& c : cases) {
        set(ctl::TDeltaT, c.DeltaT);
        freeEnd = c.end;
        for (const std::string& N :
             {std::to_string(c.N), std::to_string(c.N + 1), std::to_string(c.N + 2)}) {
            set(ctl::TN, N);
            const Results one = girotondo(1);
            ASSERT_EQ(one.outcome, RunOutcome::Failed) << c.DeltaT << " " << N;
            ASSERT_EQ(window.messages.size(), 1u);
            EXPECT_TRUE(window.messages[0].detail.contains(QLatin1String(c.segment)))
                << window.messages[0].detail.toStdString();
            ASSERT_EQ(one.verdict.size(), 4u) << "the energy saw the instability first";
            for (int threads : {2, 3}) {
                for (int depth : {15, 100}) {
                    expectSame(one, girotondo(threads, depth),
                               std::string("DeltaT ") + c.DeltaT + ", N = " + N + ", " +
                                   std::to_string(threads) + " threads, blocks of " +
                                   std::to_string(depth));
                }
            }
        }
    }
}

// The window's side fails (no memory for a box's text) inside a block:
// the run ends on its error path with the rows, the energy and the
// envelope that one thread leaves there.
TEST_F(ThreadsTest, GirotondoFailsOnAFailureOfTheWindowSideAsOneThread) {
    set(ctl::TINDICE_MATRICE2, "3000");
    set(ctl::TINDICE_MATRICE1, "10");
    set(ctl::Tnitertemp, "10");
    set(ctl::TN, "7");
    set(ctl::TP, "1");
    for (const char* failing : {"3", "5"}) {
        window.onSetText = [failing](std::string_view box, const QString& text) {
            if (box == ctl::TK && text == QLatin1String(failing)) {
                throw std::bad_alloc();
            }
        };
        const Results one = girotondo(1);
        ASSERT_EQ(one.outcome, RunOutcome::Failed);
        ASSERT_EQ(window.messages.size(), 1u);
        EXPECT_EQ(window.messages[0].detail, QStringLiteral("The run failed (std::bad_alloc)."));
        for (int threads : {2, 3}) {
            expectSame(one, girotondo(threads, 12),
                       std::string("TK ") + failing + ", " + std::to_string(threads) + " threads");
        }
    }
}

// The double run: blocks that end at pump points and inside them, a stop,
// a failure of the window's side and a level that is no longer finite.
TEST_F(ThreadsTest, DoubleRunGivesTheBitsOfOneThread) {
    set(ctl::TINDICE_MATRICE1, "205");
    set(ctl::Tnitertemp, "205");
    for (const int M : {1, 15, 1236, 32766}) {
        set(ctl::TINDICE_MATRICE2, std::to_string(M));
        for (const char* P : {"0", "1"}) {
            set(ctl::TP, P);
            for (const FreeEnd end : {FreeEnd::Seed, FreeEnd::Restoring}) {
                freeEnd = end;
                const Results one = doubleRun(1);
                ASSERT_EQ(one.outcome, RunOutcome::Completed);
                for (const auto& [threads, depth] :
                     {std::pair{2, 7}, std::pair{3, DoubleRun::kDefaultTileDepth},
                      std::pair{4, 13}}) {
                    expectSame(one, doubleRun(threads, depth),
                               "M = " + std::to_string(M) + ", TP = " + P + ", free end " +
                                   std::to_string(static_cast<int>(end)) + ", " +
                                   std::to_string(threads) + " threads, blocks of " +
                                   std::to_string(depth));
                }
            }
        }
    }
}

TEST_F(ThreadsTest, DoubleRunStopsAndFailsWhereOneThreadDoes) {
    set(ctl::TINDICE_MATRICE2, "2100");
    set(ctl::TINDICE_MATRICE1, "900");
    set(ctl::Tnitertemp, "900");
    set(ctl::TP, "1");
    freeEnd = FreeEnd::Restoring;
    const auto expectLikeOneThread = [&](RunOutcome outcome, const std::string& what) {
        const Results one = doubleRun(1);
        ASSERT_EQ(one.outcome, outcome) << what;
        for (int threads : {2, 3}) {
            for (int depth : {7, 64}) {
                expectSame(one, doubleRun(threads, depth),
                           what + ", " + std::to_string(threads) + " threads, blocks of " +
                               std::to_string(depth));
            }
        }
    };
    window.onPump = [this](int pump) { window.stop = pump == 3; };
    expectLikeOneThread(RunOutcome::Stopped, "a stop at level 300");
    window.onPump = nullptr;
    window.onSetText = [](std::string_view box, const QString& text) {
        if (box == ctl::TJ && text == QLatin1String("151")) {
            throw std::bad_alloc();
        }
    };
    expectLikeOneThread(RunOutcome::Failed, "no memory for TJ at level 151");
    window.onSetText = nullptr;
    set(ctl::TDeltaT, "0,000006");
    expectLikeOneThread(RunOutcome::Failed, "beyond the Courant limit");
    EXPECT_TRUE(window.messages.back().text.contains(QLatin1String("Level 376, segment 0:")))
        << window.messages.back().text.toStdString();
}

// A shut valve with a dead end goes in tiles like the seed's ends; with a
// closing valve and friction the double run still shares its levels, and
// the Girotondo run keeps one thread, since friction's loss and the valve's
// work read the whole rows of three levels in a row. Every thread count
// gives the bits of one, the energy's new terms included.
TEST_F(ThreadsTest, AWaterHammerGivesTheBitsOfOneThread) {
    set(ctl::TINDICE_MATRICE2, "2047");
    set(ctl::TN, "7");
    freeEnd = FreeEnd::Closed;
    for (const WaterHammer& chosen :
         {WaterHammer{FirstEnd::Closed, 0, 0}, WaterHammer{FirstEnd::Valve, 0.0001, 0.03}}) {
        hammer = chosen;
        const std::string model = chosen.hasFriction() ? "closing valve, friction" : "shut valve";
        set(ctl::TINDICE_MATRICE1, "12");
        set(ctl::Tnitertemp, "12");
        const Results one = girotondo(1);
        ASSERT_EQ(one.outcome, RunOutcome::Completed) << model;
        for (int threads : {2, 3}) {
            expectSame(one, girotondo(threads, 6),
                       "Girotondo, " + model + ", " + std::to_string(threads) + " threads");
        }
        set(ctl::TINDICE_MATRICE1, "205");
        set(ctl::Tnitertemp, "205");
        const Results oneDouble = doubleRun(1);
        ASSERT_EQ(oneDouble.outcome, RunOutcome::Completed) << model;
        for (int threads : {2, 3}) {
            expectSame(oneDouble, doubleRun(threads, 7),
                       "double, " + model + ", " + std::to_string(threads) + " threads");
        }
    }
}

}  // namespace
}  // namespace velarion
