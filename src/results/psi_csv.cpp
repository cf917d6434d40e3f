#include "psi_csv.h"

#include "form_record.h"

#include "output/csv_writer.h"

#include <QRegularExpression>

namespace velarion {

QString defaultSegmentList(int lastSegment) {
    return QStringLiteral("0,%1").arg(lastSegment);
}

std::optional<std::vector<int>> parseSegmentList(const QString& text, int lastSegment,
                                                 QString& error) {
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    const QStringList items = text.split(separators, Qt::SkipEmptyParts);
    std::vector<int> segments;
    for (const QString& item : items) {
        bool ok = false;
        const int s = item.toInt(&ok);
        if (!ok || s < 0 || s > lastSegment) {
            error = QStringLiteral("\"%1\" is not a segment: segments run from 0 to %2.")
                        .arg(item)
                        .arg(lastSegment);
            return std::nullopt;
        }
        segments.push_back(s);
    }
    if (segments.empty()) {
        error = QStringLiteral("No segment was given.");
        return std::nullopt;
    }
    return segments;
}

bool writePsiCsv(const RunRecord& record, const std::vector<int>& segments, const QString& path,
                 QString& error) {
    if (!record.positions) {
        error = QStringLiteral("The run kept no positions.");
        return false;
    }
    QStringList header{QStringLiteral("row"), QStringLiteral("time (s)")};
    for (const int s : segments) {
        if (s < 0 || s > record.lastSegment) {
            error = QStringLiteral("Segment %1 is not in psi: segments run from 0 to %2.")
                        .arg(s)
                        .arg(record.lastSegment);
            return false;
        }
        header << QStringLiteral("psi(j, %1) (m)").arg(s);
    }
    CsvWriter csv(path);
    if (!csv.open()) {
        error = csv.errorText();
        return false;
    }
    csv.writeRecord(header);
    std::vector<double> fields(segments.size() + 2);
    for (int j = 0; j <= record.lastRow; ++j) {
        const double* row = record.positions->row(static_cast<std::size_t>(j));
        fields[0] = j;
        fields[1] = record.secondsOfRow(j);
        for (std::size_t i = 0; i < segments.size(); ++i) {
            fields[i + 2] = row[segments[i]];
        }
        csv.writeRecord(fields);
    }
    if (!csv.commit()) {
        error = csv.errorText();
        return false;
    }
    return true;
}

bool writePsiCsv(const FormState& form, const std::vector<int>& segments, const QString& path,
                 QString& error) {
    const std::optional<RunRecord> rows = rowsViewOfForm(form);
    if (!rows) {
        error = QStringLiteral("No run has left rows in psi yet.");
        return false;
    }
    return writePsiCsv(*rows, segments, path, error);
}

bool exportPsiCsv(const RunRecord& record, const QString& segmentList, const QString& path,
                  QString& error) {
    const int lastSegment = record.lastSegment;
    const auto segments = parseSegmentList(
        segmentList.isEmpty() ? defaultSegmentList(lastSegment) : segmentList, lastSegment, error);
    return segments && writePsiCsv(record, *segments, path, error);
}

bool exportPsiCsv(const FormState& form, const QString& segmentList, const QString& path,
                  QString& error) {
    const std::optional<RunRecord> rows = rowsViewOfForm(form);
    if (!rows) {
        error = QStringLiteral("No run has left rows in psi yet.");
        return false;
    }
    return exportPsiCsv(*rows, segmentList, path, error);
}

}  // namespace velarion
