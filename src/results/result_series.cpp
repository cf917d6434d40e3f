#include "result_series.h"

namespace velarion {

std::int64_t levelOfRow(const PsiRows& rows, int row) {
    if (rows.run == RunKind::Double || row == 0) {
        return row;
    }
    const std::int64_t N = rows.parameters.N;
    return N >= 1 ? 3 * N * row - 1 : 2;
}

double secondsOfRow(const PsiRows& rows, int row) {
    return static_cast<double>(levelOfRow(rows, row)) * rows.parameters.DeltaT;
}

double simulatedSeconds(const PsiRows& rows) {
    return secondsOfRow(rows, rows.lastRow);
}

double columnLength(const PsiRows& rows) {
    return rows.lastSegment * rows.parameters.L0;
}

namespace {

// Rows of a run whose columns reach `segment`; none when there is no run.
int lastRowReaching(const FormState& form, int segment) {
    if (!form.psiRows || segment < 0 || segment > form.psiRows->lastSegment) {
        return -1;
    }
    return form.psiRows->lastRow;
}

}  // namespace

std::vector<QPointF> displacementOverTime(const FormState& form, int segment) {
    std::vector<QPointF> points;
    const int last = lastRowReaching(form, segment);
    const auto s = static_cast<std::size_t>(segment);
    for (int j = 0; j <= last; ++j) {
        const double displacement = form.psi(static_cast<std::size_t>(j), s) - form.psi(0, s);
        points.emplace_back(secondsOfRow(*form.psiRows, j), displacement);
    }
    return points;
}

std::vector<QPointF> firstPieceStress(const FormState& form) {
    std::vector<QPointF> points;
    const int last = lastRowReaching(form, 1);
    for (int j = 0; j <= last; ++j) {
        const Parameters& p = form.psiRows->parameters;
        const double* row = form.psi.row(static_cast<std::size_t>(j));
        const double stress = -p.B * ((row[1] - row[0]) - p.L0) / p.L0;
        points.emplace_back(secondsOfRow(*form.psiRows, j), stress);
    }
    return points;
}

std::vector<QPointF> displacementProfile(const FormState& form, int row) {
    std::vector<QPointF> points;
    if (!form.psiRows || row < 0 || row > form.psiRows->lastRow) {
        return points;
    }
    const double* rest = form.psi.row(0);
    const double* level = form.psi.row(static_cast<std::size_t>(row));
    for (int s = 0; s <= form.psiRows->lastSegment; ++s) {
        points.emplace_back(rest[s], level[s] - rest[s]);
    }
    return points;
}

}  // namespace velarion
