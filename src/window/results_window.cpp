#include "results_window.h"

#include "charts/results_charts.h"

#include <QChartView>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

namespace velarion::window {

using namespace charts;

ResultsWindow::ResultsWindow(const FormState& form, const QLocale& locale, QWidget* parent)
    : QWidget(parent, Qt::Window),
      form_(form),
      locale_(locale),
      summary_(new QLabel(this)),
      courant_(new QLabel(this)),
      instability_(new QLabel(this)),
      slider_(new QSlider(Qt::Horizontal, this)),
      rowLabel_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Velarion - Results"));
    setLocale(locale);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(courant_);
    instability_->setStyleSheet(QStringLiteral("QLabel { color: #c00000; font-weight: bold; }"));
    instability_->setWordWrap(true);
    layout->addWidget(instability_);
    for (QChartView*& view : views_) {
        view = new QChartView(this);
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumSize(640, 240);
        layout->addWidget(view, 1);
    }
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Level of the profile:"), this));
    row->addWidget(slider_, 1);
    row->addWidget(rowLabel_);
    layout->addLayout(row);
    resize(960, 960);
    connect(slider_, &QSlider::valueChanged, this, [this](int value) { showProfile(value); });
    refresh();
}

namespace {

// A view releases its chart when given another, without deleting it.
void replaceChart(QChartView& view, std::unique_ptr<QChart> chart) {
    std::unique_ptr<QChart> old(view.chart());
    view.setChart(chart.release());
}

}  // namespace

void ResultsWindow::refresh() {
    const int lastRow = form_.psiRows ? form_.psiRows->lastRow : 0;
    summary_->setText(runSummary(form_, locale_));
    courant_->setText(courantText(form_, locale_));
    instability_->setText(charts::instabilityNotice(form_, locale_));
    instability_->setVisible(!instability_->text().isEmpty());
    replaceChart(*views_[0], displacementChart(form_, locale_));
    replaceChart(*views_[1], stressChart(form_, locale_));
    replaceChart(*views_[2], profileChart(form_, locale_, lastRow));
    const QSignalBlocker quiet(slider_);
    slider_->setRange(0, lastRow);
    slider_->setValue(lastRow);
    slider_->setEnabled(form_.psiRows.has_value());
    rowLabel_->setText(rowCaption(form_, locale_, lastRow));
}

void ResultsWindow::showProfile(int row) {
    showProfileRow(*views_[2]->chart(), form_, row);
    rowLabel_->setText(rowCaption(form_, locale_, row));
}

QChart* ResultsWindow::chart(int index) const {
    return views_[index]->chart();
}

QString ResultsWindow::courantNote() const {
    return courant_->text();
}

QString ResultsWindow::instabilityNotice() const {
    return instability_->isHidden() ? QString() : instability_->text();
}

}  // namespace velarion::window
