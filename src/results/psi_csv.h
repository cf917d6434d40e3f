#pragma once

#include "runs/form_state.h"
#include "runs/run_record.h"

#include <QString>

#include <optional>
#include <vector>

namespace velarion {

// "0,9999": the first and the last segment of the run in psi.
QString defaultSegmentList(int lastSegment);

// Segment indices separated by commas or blanks, each from 0 to
// lastSegment. Nothing, with the reason in `error`, for any other text.
std::optional<std::vector<int>> parseSegmentList(const QString& text, int lastSegment,
                                                 QString& error);

// Writes the record's positions as CSV: a header, then for every stored row
// its index, its time in seconds and the chosen segments. False, with the
// path and the reason in `error`, when it holds no positions or the file
// cannot be written.
bool writePsiCsv(const RunRecord& record, const std::vector<int>& segments, const QString& path,
                 QString& error);
// The same for the run in psi; "No run has left rows in psi yet." when
// there is none.
bool writePsiCsv(const FormState& form, const std::vector<int>& segments, const QString& path,
                 QString& error);

// The export as the window and velarion-batch offer it: the segments as the
// user typed them (empty for the first and the last), read against the last
// segment of the run in psi, then writePsiCsv.
bool exportPsiCsv(const FormState& form, const QString& segmentList, const QString& path,
                  QString& error);
// The same for a record.
bool exportPsiCsv(const RunRecord& record, const QString& segmentList, const QString& path,
                  QString& error);

}  // namespace velarion
