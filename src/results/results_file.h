#pragma once

// A run's record as a self-describing results file, NetCDF-4 with the CF-1.10
// conventions, and back: what xarray, ncview, Panoply or ParaView open, and
// what velarion-batch --from and File → Open Results… read.

#include "runs/run_record.h"

#include <QString>

#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace velarion {

// The file's version of the layout below; a file of a later one is refused.
// Format 2 adds the first end, the dead end and friction; a run of the
// seed's model is still written as format 1.
inline constexpr int kResultsFormat = 2;

// One global attribute of a results file: a text, a number or a whole number.
struct ResultsAttribute {
    std::string name;
    std::variant<QString, double, long long> value;
};

// The global attributes of the file of `record`, in the order written.
std::vector<ResultsAttribute> resultsAttributes(const RunRecord& record);

// A variable's CF metadata.
struct ResultsVariable {
    const char* name;
    const char* longName;
    const char* units;  // nullptr: a count without unit
};

// Every variable the file may hold, with its long_name and units.
std::span<const ResultsVariable> resultsVariables();

// Writes `record` to `path`, whole or not at all (an existing file is left
// as it was). Dimensions row, segment and energy_level; variables
// position(row, segment) in m (chunked by rows, deflated with shuffle),
// level(row), time(row) in s, segment(segment), the energy terms over
// energy_level in J m-2 and the envelope over segment, each with units and
// long_name; the decimal run's positions also as the texts it wrote
// (position_text); global attributes with the run, its outcome and
// instability, the Courant number, every box text as typed (box_TP, ...),
// the parameters with their units, and its provenance. False, with the
// reason in `error`, when it cannot be written.
// The positions are deflated at level 1 unless told otherwise (0: stored
// as they are): the level that pays (bench/results_file_bench.cpp).
bool writeResultsFile(const RunRecord& record, const QString& path, QString& error,
                      int deflateLevel = 1);

// The record a results file holds. Nothing, with the reason in `error`
// (the file named), for a file that is missing, not NetCDF, damaged or
// truncated, not a Velarion results file, or of a later format.
std::optional<RunRecord> readResultsFile(const QString& path, QString& error);

}  // namespace velarion
