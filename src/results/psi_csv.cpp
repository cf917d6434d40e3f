#include "psi_csv.h"

#include "output/csv_writer.h"
#include "result_series.h"

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

bool writePsiCsv(const FormState& form, const std::vector<int>& segments, const QString& path,
                 QString& error) {
    if (!form.psiRows) {
        error = QStringLiteral("No run has left rows in psi yet.");
        return false;
    }
    QStringList header{QStringLiteral("row"), QStringLiteral("time (s)")};
    for (const int s : segments) {
        if (s < 0 || s > form.psiRows->lastSegment) {
            error = QStringLiteral("Segment %1 is not in psi: segments run from 0 to %2.")
                        .arg(s)
                        .arg(form.psiRows->lastSegment);
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
    std::vector<double> record(segments.size() + 2);
    for (int j = 0; j <= form.psiRows->lastRow; ++j) {
        const double* row = form.psi.row(static_cast<std::size_t>(j));
        record[0] = j;
        record[1] = secondsOfRow(*form.psiRows, j);
        for (std::size_t i = 0; i < segments.size(); ++i) {
            record[i + 2] = row[segments[i]];
        }
        csv.writeRecord(record);
    }
    if (!csv.commit()) {
        error = csv.errorText();
        return false;
    }
    return true;
}

bool exportPsiCsv(const FormState& form, const QString& segmentList, const QString& path,
                  QString& error) {
    if (!form.psiRows) {
        error = QStringLiteral("No run has left rows in psi yet.");
        return false;
    }
    const int lastSegment = form.psiRows->lastSegment;
    const auto segments = parseSegmentList(
        segmentList.isEmpty() ? defaultSegmentList(lastSegment) : segmentList, lastSegment, error);
    return segments && writePsiCsv(form, *segments, path, error);
}

}  // namespace velarion
