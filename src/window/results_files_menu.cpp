#include "results_files_menu.h"

#include "form1.h"
#include "results/form_record.h"
#include "results/results_file.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

namespace velarion::window {

void addResultsFileItems(QMenu& file, Form1& form) {
    QAction* save =
        file.addAction(QStringLiteral("&Save Results\u2026"), &form, &Form1::mnuSaveResults_Click);
    save->setStatusTip(QStringLiteral("Saves the last run as a NetCDF results file"));
    file.addAction(QStringLiteral("&Open Results\u2026"), &form, &Form1::mnuOpenResults_Click);
    file.addAction(QStringLiteral("&Compare With\u2026"), &form, &Form1::mnuCompareWith_Click);
    file.addAction(QStringLiteral("C&lear comparison"), &form, &Form1::mnuClearComparison_Click);
}

QString askResultsPath(QWidget* parent, ResultsDialog dialog) {
    const QString filter = QStringLiteral("Velarion results (*.nc);;All files (*)");
    switch (dialog) {
        case ResultsDialog::Save:
            return QFileDialog::getSaveFileName(parent, QStringLiteral("Save Results"),
                                                QStringLiteral("run.nc"), filter);
        case ResultsDialog::Open:
            return QFileDialog::getOpenFileName(parent, QStringLiteral("Open Results"), QString(),
                                                filter);
        case ResultsDialog::Compare:
            break;
    }
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Compare With"), QString(), filter);
}

std::optional<RunRecord> recordOfLastRun(const FormState& form, const RunStart& start) {
    std::optional<RunRecord> record = recordViewOfForm(form);
    if (!record) {
        return std::nullopt;
    }
    record->boxes = start.boxes;
    record->provenance = provenanceNow(QStringLiteral("velarion"), start.threads);
    return record;
}

std::optional<SavedRun> readSavedRun(const QString& path, QString& error) {
    const std::optional<RunRecord> record = readResultsFile(path, error);
    if (!record) {
        return std::nullopt;
    }
    // The charts draw the double and Girotondo runs' rows; the decimal
    // run's texts are for xarray and the batch's --from.
    if (record->run == RunKind::Precision) {
        error = QStringLiteral("%1 holds a decimal run, which the results window does not draw.")
                    .arg(path);
        return std::nullopt;
    }
    std::optional<FormState> form = formOfRecord(*record);
    if (!form) {
        error =
            QStringLiteral("%1 holds no rows of a run, or there is no memory for them.").arg(path);
        return std::nullopt;
    }
    return SavedRun{std::move(*form), record->envelope, QFileInfo(path).fileName()};
}

}  // namespace velarion::window
