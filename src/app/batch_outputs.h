#pragma once

// The files velarion-batch writes, checked before the run and written after
// it (or from a saved run).

#include "batch_options.h"

#include "model/number_text.h"
#include "runs/form_state.h"
#include "runs/run_record.h"
#include "runs/window_ops.h"

#include <QString>

#include <vector>

namespace velarion {

// A run as its files are written from it: its record, and the window's
// state that the charts of --plot are drawn from (null when it cannot be
// had: no memory for a copy of a saved run's rows).
struct FinishedRun {
    const RunRecord& record;
    const FormState* form;
};

// The writers of the outputs' rows (batch_options.cpp).
bool writeCsvFile(const FinishedRun& run, const OutputFile& file, const BatchOptions& options,
                  QString& error);
bool writeEnergyFile(const FinishedRun& run, const OutputFile& file, const BatchOptions& options,
                     QString& error);
bool writeEnvelopeFile(const FinishedRun& run, const OutputFile& file, const BatchOptions& options,
                       QString& error);
bool writeResultsFileOf(const FinishedRun& run, const OutputFile& file, const BatchOptions& options,
                        QString& error);
bool writePlotFileOf(const FinishedRun& run, const OutputFile& file, const BatchOptions& options,
                     QString& error);

// One file that the run is going to write (or, for --from, read): what
// names it, and where.
struct PlannedOutput {
    QString what;  // "LogFile.txt", "--csv", ...
    QString path;
};

// Every file of this run, one row per output; the standard output is a
// row too (the output boxes, or --verify's table, or the output streaming
// there), since a file that replaced it would lose what was printed; with
// --from the file it reads is a row, which no output may replace.
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

// True when a file is to be written after the run.
bool hasResults(const BatchOptions& options);

// Refuses, before the run, a --csv-segments list with a segment the run
// will not have: the last one is the number in TINDICE_MATRICE2 now. A box
// that does not convert is left for the run to refuse. False, with the
// reason in `error`, for a refused list.
bool checkCsvSegments(const BatchOptions& options, WindowOps& host, const NumberText& numbers,
                      QString& error);

// Writes the files of the outputs asked for, in the table's order, the
// picture last; false when one could not be written, with the reason on
// stderr. Without a record (the run left no rows) each is refused so.
bool writeResults(const RunRecord* record, const FormState* form, const BatchOptions& options);

}  // namespace velarion
