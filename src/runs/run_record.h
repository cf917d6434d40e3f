#pragma once

// What a run leaves: its kind and outcome, the box texts and parameters it
// read, the stored rows of psi with their levels, its energy and envelope,
// and what made it. Everything that reads a finished run reads this; a
// results file stores it.

#include "model/energy.h"
#include "model/envelope.h"
#include "model/kernel.h"
#include "model/matrix.h"
#include "model/parameters.h"
#include "run_control.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace velarion {

// A text per cell, rows 0..rows-1 of `columns` each: the decimal run's
// positions as the number component wrote them.
struct TextMatrix {
    int rows = 0;
    int columns = 0;
    std::vector<QString> cells;  // row after row
    const QString& at(int i, int s) const {
        return cells[static_cast<std::size_t>(i) * static_cast<std::size_t>(columns) +
                     static_cast<std::size_t>(s)];
    }
};

// What made the run.
struct RunProvenance {
    QString program;  // "velarion" or "velarion-batch"
    QString version;
    QString kernel;  // the update's variant, e.g. "avx512"
    int threads = 1;
    QString date;         // when it ended, ISO 8601 in UTC
    QString commandLine;  // the batch's arguments; empty for the window
};

struct RunRecord {
    RunKind run = RunKind::Double;
    FreeEnd freeEnd = FreeEnd::Seed;
    WaterHammer hammer;
    std::optional<RunOutcome> outcome;  // empty while the run is under way
    QString message;                    // why it failed
    // The parameter and check boxes by control name, as typed at the start.
    std::vector<std::pair<QString, QString>> boxes;
    // As the run read them, N as read from the box (before the Girotondo run
    // raises it).
    Parameters parameters;
    int lastSegment = 0;
    int lastRow = -1;  // the last stored row of psi; -1: none
    // psi's rows 0..lastRow (the rows beyond stay as the run left them).
    std::shared_ptr<const Matrix> positions;
    // The decimal run's positions, rows 0..lastRow.
    std::shared_ptr<const TextMatrix> positionTexts;
    EnergyRecord energy;
    std::optional<EnvelopeExtremes> envelope;
    RunProvenance provenance;

    // The time level of row `row`: the row itself in the double and decimal
    // runs; in the Girotondo run level 0 for row 0, then 3·N·row − 1 for
    // N >= 1, and level 2 for every row when N <= 0 (no cycle is ever done).
    std::int64_t levelOfRow(int row) const {
        if (run != RunKind::Girotondo || row == 0) {
            return row;
        }
        const std::int64_t N = parameters.N;
        return N >= 1 ? 3 * N * row - 1 : 2;
    }
    // The level's time in seconds: level × DeltaT.
    double secondsOfRow(int row) const {
        return static_cast<double>(levelOfRow(row)) * parameters.DeltaT;
    }
};

}  // namespace velarion
