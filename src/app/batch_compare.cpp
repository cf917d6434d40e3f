#include "batch_compare.h"

#include "results/precision_compare.h"
#include "runs/double_run.h"

#include <cstdio>

namespace velarion {

namespace {

RunOutcome runDoubleWithoutLog(BatchHost& host, FormState& form, const NumberText& numbers) {
    const bool logging = host.isTicked(ctl::CLogFile);
    host.setTicked(ctl::CLogFile, false);
    const RunOutcome outcome = DoubleRun(host, form, numbers).run();
    host.setTicked(ctl::CLogFile, logging);
    return outcome;
}

void printLevels(const std::vector<LevelDifference>& levels, const NumberText& numbers) {
    std::printf("level\tlargest |decimal - double|\tlargest relative difference\n");
    const LevelDifference* worstAbsolute = nullptr;
    const LevelDifference* worstRelative = nullptr;
    for (const LevelDifference& d : levels) {
        std::printf("%d\t%s\t%s\n", d.level, qPrintable(numbers.general(d.largestAbsolute)),
                    qPrintable(numbers.general(d.largestRelative)));
        if (!worstAbsolute || d.largestAbsolute > worstAbsolute->largestAbsolute) {
            worstAbsolute = &d;
        }
        if (!worstRelative || d.largestRelative > worstRelative->largestRelative) {
            worstRelative = &d;
        }
    }
    if (worstAbsolute) {
        std::printf(
            "worst absolute difference %s at level %d; worst relative difference %s at "
            "level %d\n",
            qPrintable(numbers.general(worstAbsolute->largestAbsolute)), worstAbsolute->level,
            qPrintable(numbers.general(worstRelative->largestRelative)), worstRelative->level);
    }
}

}  // namespace

int printDoubleComparison(BatchHost& host, const FormState& decimal, const NumberText& numbers) {
    FormState binary;
    binary.freeEnd = decimal.freeEnd;
    binary.hammer = decimal.hammer;
    const RunOutcome outcome = runDoubleWithoutLog(host, binary, numbers);
    host.endProgress();
    if (outcome != RunOutcome::Completed) {
        std::fprintf(stderr,
                     "velarion-batch: the double-precision run for the comparison did "
                     "not complete\n");
        return 2;
    }
    printLevels(compareWithDouble(decimal.psiText, binary.psi, binary.parameters.nitertemp,
                                  binary.IndiceMatrice2),
                numbers);
    return 0;
}

}  // namespace velarion
