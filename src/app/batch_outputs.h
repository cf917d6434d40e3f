#pragma once

// The files velarion-batch writes, checked before the run and written after
// it.

#include "batch_options.h"

#include "model/number_text.h"
#include "runs/form_state.h"
#include "runs/window_ops.h"

#include <QString>

#include <vector>

namespace velarion {

// One file that the run is going to write: what writes it, and where.
struct PlannedOutput {
    QString what;  // "LogFile.txt", "--csv", ...
    QString path;
};

// Every file of this run, one row per output; the standard output is a
// row too (the output boxes, or --verify's table, or the output streaming
// there), since a file that replaced it would lose what was printed.
// `logTicked` and `exportTicked` are CLogFile and CLogFileExc.
std::vector<PlannedOutput> plannedOutputs(const BatchOptions& options, bool logTicked,
                                          bool exportTicked);

// The first row that cannot be written whatever the run does (an empty
// name, a directory, a link to nothing, a block device), as a message;
// empty when every row can be.
QString refusedOutput(const std::vector<PlannedOutput>& outputs);

// The first two rows that lead to the same file once links are followed,
// or to the same open descriptor (two outputs on the standard output), as a
// message; empty when each has a file of its own.
QString collidingOutputs(const std::vector<PlannedOutput>& outputs);

// True when an output streams to the standard output ("-", /dev/stdout):
// the output boxes then go to stderr, so the file comes alone.
bool isStdoutTaken(const BatchOptions& options);

// Refuses, before the run, a --csv-segments list with a segment the run
// will not have: the last one is the number in TINDICE_MATRICE2 now. A box
// that does not convert is left for the run to refuse. False, with the
// reason in `error`, for a refused list.
bool checkCsvSegments(const BatchOptions& options, WindowOps& host, const NumberText& numbers,
                      QString& error);

// Writes the --csv, --energy, --envelope and --plot files asked for (also
// after a stopped or failed run that left rows in psi), the picture last, so
// that a picture that cannot be drawn costs no other file; false when one
// could not be written, with the reason on stderr.
bool writeResults(const FormState& form, const BatchOptions& options);

}  // namespace velarion
