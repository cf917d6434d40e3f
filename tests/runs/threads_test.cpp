// Levels shared between threads give the bits of one thread: psi, the
// energy of every level and the envelope, for both free ends, on a row
// whose length is odd and no multiple of 8, and when a run fails.
#include "support/run_fixture.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <new>

namespace velarion {
namespace {

using testing::RunFixture;

struct Results {
    RunOutcome outcome;
    Matrix psi;
    std::vector<LevelEnergy> energy;
    std::vector<std::uint64_t> envelope;  // the bits of every extreme, segment by segment
    std::vector<MessageRequest> messages;
};

class ThreadsTest : public RunFixture {
  protected:
    // The fake clock advances on every read, so the waits between the end
    // tones pass.
    ThreadsTest() { window.tickStep = 1; }

    void set(std::string_view box, const char* text) {
        window.setText(box, QString::fromUtf8(text));
    }

    Results girotondo(int threads, FreeEnd freeEnd) {
        form.threads = threads;
        form.freeEnd = freeEnd;
        window.messages.clear();
        GirotondoRun run(window, form, numbers, logPath());
        run.setEnvelope(true);
        Results results{run.run(), std::move(form.psi), {}, {}, window.messages};
        const auto kept = form.girotondoEnergy.kept();
        results.energy.assign(kept.begin(), kept.end());
        const Envelope& envelope = form.girotondoEnvelope;
        for (int s = 0; s <= envelope.lastSegment(); ++s) {
            results.envelope.push_back(std::bit_cast<std::uint64_t>(envelope.minDisplacement(s)));
            results.envelope.push_back(std::bit_cast<std::uint64_t>(envelope.maxDisplacement(s)));
            if (s < envelope.lastSegment()) {
                results.envelope.push_back(
                    std::bit_cast<std::uint64_t>(envelope.minStress(s, form.parameters)));
                results.envelope.push_back(
                    std::bit_cast<std::uint64_t>(envelope.maxStress(s, form.parameters)));
            }
        }
        return results;
    }

    static void expectSame(const Results& one, const Results& many, const std::string& where) {
        ASSERT_EQ(one.outcome, many.outcome) << where;
        ASSERT_EQ(one.psi.lastRow(), many.psi.lastRow()) << where;
        ASSERT_EQ(one.psi.columns(), many.psi.columns()) << where;
        for (int j = 0; j <= one.psi.lastRow(); ++j) {
            ASSERT_EQ(
                std::memcmp(one.psi.row(j), many.psi.row(j), one.psi.columns() * sizeof(double)), 0)
                << where << ", row " << j;
        }
        ASSERT_EQ(one.energy.size(), many.energy.size()) << where;
        // memcmp takes no null pointer, even for no bytes: the double run
        // keeps no energy here.
        if (!one.energy.empty()) {
            ASSERT_EQ(std::memcmp(one.energy.data(), many.energy.data(),
                                  one.energy.size() * sizeof(LevelEnergy)),
                      0)
                << where;
        }
        ASSERT_EQ(one.envelope, many.envelope) << where;
        ASSERT_EQ(one.messages.size(), many.messages.size()) << where;
        for (std::size_t i = 0; i < one.messages.size(); ++i) {
            EXPECT_EQ(one.messages[i].detail, many.messages[i].detail) << where;
        }
    }
};

// 1237 segments: the caller's share ends on a multiple of 8 and the
// worker's does not. A counter pressure, so that the rows vary along the
// column, and enough levels that every slot of the pairs is reused.
TEST_F(ThreadsTest, GirotondoGivesTheBitsOfOneThread) {
    set(ctl::TINDICE_MATRICE2, "1236");
    set(ctl::TINDICE_MATRICE1, "40");
    set(ctl::Tnitertemp, "40");
    set(ctl::TN, "7");
    set(ctl::TP, "1");
    for (FreeEnd freeEnd : {FreeEnd::Seed, FreeEnd::Restoring}) {
        const Results one = girotondo(1, freeEnd);
        ASSERT_EQ(one.outcome, RunOutcome::Completed);
        ASSERT_GT(one.energy.size(), 800u);
        for (int threads : {2, 3}) {
            expectSame(one, girotondo(threads, freeEnd),
                       std::to_string(threads) + " threads, free end " +
                           std::to_string(static_cast<int>(freeEnd)));
        }
    }
}

// The seed's free end blows up until a level is no longer finite: the run
// fails at the same level, with the same energy up to it and the same
// envelope of the levels before it, in every step of a cycle.
TEST_F(ThreadsTest, GirotondoFailsAtTheSameLevel) {
    set(ctl::TINDICE_MATRICE2, "101");
    set(ctl::TINDICE_MATRICE1, "100");
    set(ctl::Tnitertemp, "100");
    set(ctl::TP, "1");
    for (const char* N : {"100", "101", "102"}) {
        set(ctl::TN, N);
        const Results one = girotondo(1, FreeEnd::Seed);
        ASSERT_EQ(one.outcome, RunOutcome::Failed) << N;
        ASSERT_EQ(one.messages.size(), 1u);
        expectSame(one, girotondo(2, FreeEnd::Seed), std::string("N = ") + N);
    }
}

// The window's side fails while two threads share the levels (no memory
// for the text of the cycle box): the run ends on its error path, as on one
// thread, instead of leaving the worker waiting for a level or the
// exception ending the program.
TEST_F(ThreadsTest, GirotondoFailsOnAFailureOfTheWindowSide) {
    set(ctl::TINDICE_MATRICE2, "1236");
    set(ctl::TINDICE_MATRICE1, "10");
    set(ctl::Tnitertemp, "10");
    set(ctl::TN, "7");
    window.onSetText = [](std::string_view box, const QString& text) {
        if (box == ctl::TK && text == QStringLiteral("3")) {
            throw std::bad_alloc();
        }
    };
    std::vector<LevelEnergy> oneThread;
    for (int threads : {1, 2}) {
        form.threads = threads;
        window.messages.clear();
        GirotondoRun run(window, form, numbers, logPath());
        EXPECT_EQ(run.run(), RunOutcome::Failed) << threads << " threads";
        ASSERT_EQ(window.messages.size(), 1u) << threads << " threads";
        EXPECT_EQ(window.messages[0].detail, QStringLiteral("The run failed (std::bad_alloc)."));
        // The second thread may have gone a level further when the failure
        // came: the energy it records is that of one thread, level by level,
        // and stops before rows that level overwrote.
        const auto kept = form.girotondoEnergy.kept();
        if (threads == 1) {
            oneThread.assign(kept.begin(), kept.end());
            ASSERT_GE(oneThread.size(), 9u);
        } else {
            ASSERT_LE(kept.size(), oneThread.size());
            ASSERT_GT(kept.size(), 0u);
            EXPECT_EQ(std::memcmp(kept.data(), oneThread.data(), kept.size() * sizeof(LevelEnergy)),
                      0);
        }
    }
}

// The double run, with three threads as well (parts of 408 segments, the
// last one not a multiple of 8), through a failure of the seed's end.
TEST_F(ThreadsTest, DoubleRunGivesTheBitsOfOneThread) {
    set(ctl::TINDICE_MATRICE2, "1236");
    set(ctl::TP, "1");
    for (const char* levels : {"700", "9000"}) {
        set(ctl::TINDICE_MATRICE1, levels);
        set(ctl::Tnitertemp, levels);
        for (FreeEnd freeEnd : {FreeEnd::Seed, FreeEnd::Restoring}) {
            const auto run = [&](int threads) {
                form.threads = threads;
                form.freeEnd = freeEnd;
                window.messages.clear();
                return Results{runDouble(), std::move(form.psi), {}, {}, window.messages};
            };
            const Results one = run(1);
            // The seed's end overflows before level 9000.
            ASSERT_EQ(one.outcome, std::string(levels) == "9000" && freeEnd == FreeEnd::Seed
                                       ? RunOutcome::Failed
                                       : RunOutcome::Completed);
            // Three threads on two cores wait for one another long: only
            // on the short run.
            for (int threads : {2, std::string(levels) == "700" ? 3 : 2}) {
                expectSame(one, run(threads),
                           std::string(levels) + " levels, " + std::to_string(threads) +
                               " threads, free end " + std::to_string(static_cast<int>(freeEnd)));
            }
        }
    }
}

}  // namespace
}  // namespace velarion
