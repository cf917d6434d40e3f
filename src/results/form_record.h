#pragma once

// The record of the run that left its rows in the window's state.

#include "model/number_text.h"
#include "runs/form_state.h"
#include "runs/run_record.h"
#include "runs/window_ops.h"

#include <optional>
#include <utility>
#include <vector>

namespace velarion {

// The run in psi as a record: its rows copied, its energy (the Girotondo
// run's as recorded, the double run's from psi) and its envelope (the
// double run's from psi, the Girotondo run's when it kept one). Nothing
// when psi holds no rows of a run, or the memory cannot be had.
std::optional<RunRecord> recordOfForm(const FormState& form);

// recordOfForm without the copy: the record takes psi over once the energy
// and the envelope are computed from it, and the form is left without rows.
std::optional<RunRecord> recordTakingPsi(FormState& form);

// The rows of the run in psi as a record, without its energy and envelope
// and without a copy: its positions are psi where it lies, so it lasts only
// while `form` does and its psi is not replaced. Nothing when psi holds no
// rows of a run.
std::optional<RunRecord> rowsViewOfForm(const FormState& form);

// recordOfForm without the copy: its positions are psi where it lies,
// so it lasts only while `form` does and its psi is not replaced. Nothing
// when psi holds no rows of a run.
std::optional<RunRecord> recordViewOfForm(const FormState& form);

// The decimal run's record, its texts written under `numbers`: its
// positions as those texts (with the decimal point, whatever the locale)
// and as doubles, rows 0 to the last whole one, and A, F, B and L0 as its
// boxes show them (the run's own are decimal). Nothing when it left no
// texts, or the memory cannot be had.
std::optional<RunRecord> recordOfDecimalRun(const FormState& form, const WindowOps& host,
                                            const NumberText& numbers);

// The window's state after the double or Girotondo run of `record` (one
// read back from a file): psi holds its rows, and the Girotondo run's
// energy is the record's. A Girotondo envelope stays with the record, since
// the window's state keeps one only as the run takes it in. Nothing when
// the record holds no positions or the memory cannot be had.
std::optional<FormState> formOfRecord(const RunRecord& record);

// What a record keeps of the message that reported a failure: its text
// and its detail; empty for a message that reports none (not an error or a
// warning).
QString failureOf(const MessageRequest& message);

// What made a run that ends now: `program`, this version, the update's
// variant on this processor, `threads`, the date in UTC and `commandLine`.
RunProvenance provenanceNow(const QString& program, int threads,
                            const QString& commandLine = QString());

// The eleven parameter boxes and the check boxes CLogFile and CLogFileExc
// (1 or 0) as `host` holds them, by control name: what a record keeps of
// the boxes as they were typed.
std::vector<std::pair<QString, QString>> typedBoxes(const WindowOps& host);

}  // namespace velarion
