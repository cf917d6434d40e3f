#include "form1_menu.h"

#include "form1.h"
#include "hammer_menu.h"
#include "output/library_versions.h"
#include "results/psi_csv.h"

#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenuBar>
#include <QUrl>

#include <boost/version.hpp>

namespace velarion::window {

QMenuBar* buildForm1MenuBar(Form1& form) {
    auto* bar = new QMenuBar(&form);
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Export CSV\u2026"), &form, &Form1::mnuExportCsv_Click);
    addResultsFileItems(*file, form);
    file->addSeparator();
    file->addAction(QStringLiteral("&Quit"), &form, &Form1::mnuQuit_Click);
    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    view->addAction(QStringLiteral("&Results\u2026"), &form, &Form1::mnuResults_Click);
    QAction* envelope = view->addAction(QStringLiteral("Girotondo &envelope"));
    envelope->setCheckable(true);
    envelope->setChecked(form.keepsGirotondoEnvelope());
    envelope->setStatusTip(
        QStringLiteral("Girotondo runs keep the extremes of every level for the Envelope tab, "
                       "taking about half as long again"));
    QObject::connect(envelope, &QAction::toggled, &form, &Form1::mnuGirotondoEnvelope_Toggled);
    QMenu* model = bar->addMenu(QStringLiteral("&Model"));
    QAction* restoring = model->addAction(QStringLiteral("&Restoring free end"));
    restoring->setCheckable(true);
    restoring->setChecked(form.state().freeEnd == FreeEnd::Restoring);
    QObject::connect(restoring, &QAction::toggled, &form, &Form1::mnuRestoringFreeEnd_Toggled);
    addWaterHammerItems(*model, form);
    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("User's &guide"), &form, &Form1::mnuGuide_Click);
    help->addAction(QStringLiteral("&About Velarion"), &form, &Form1::mnuAbout_Click);
    return bar;
}

std::optional<CsvChoice> askCsvChoice(QWidget* parent, const QString& defaultSegments) {
    const QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("Export CSV"),
                                                      QStringLiteral("psi.csv"),
                                                      QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    bool ok = false;
    const QString segments =
        QInputDialog::getText(parent, QStringLiteral("Export CSV"),
                              QStringLiteral("Segments to write, separated by commas:"),
                              QLineEdit::Normal, defaultSegments, &ok);
    if (!ok) {
        return std::nullopt;
    }
    return CsvChoice{path, segments};
}

void exportPsiCsv(WindowOps& ops, const FormState& form, const CsvChoice& choice) {
    QString error;
    if (velarion::exportPsiCsv(form, choice.segments, choice.path, error)) {
        return;
    }
    ops.messageBox({QStringLiteral("The CSV file was not written."), QStringLiteral("Export CSV"),
                    MessageIcon::Exclamation, MessageButtons::Ok, error});
}

QString aboutText() {
    return QStringLiteral(
               "Velarion %1\nA column of fluid in a pipe, time step by time step.\n"
               "MIT License, copyright the Velarion authors.\n\n"
               "Qt %2\nBoost %3.%4.%5\nlibgsf %6")
        .arg(velarionVersion(), QString::fromLatin1(qVersion()))
        .arg(BOOST_VERSION / 100000)
        .arg(BOOST_VERSION / 100 % 1000)
        .arg(BOOST_VERSION % 100)
        .arg(gsfVersion());
}

QString aboutDetail(const QString& guide) {
    if (guide.isEmpty()) {
        return QStringLiteral("The user's guide is not installed.");
    }
    return QStringLiteral(
               "<p>The user's guide: Help \u2192 User's guide, or <a href=\"%1\">%2</a>.</p>")
        .arg(QUrl::fromLocalFile(guide).toString(QUrl::FullyEncoded),
             QDir::toNativeSeparators(guide).toHtmlEscaped());
}

}  // namespace velarion::window
