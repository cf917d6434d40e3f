#include "results_window.h"

#include "charts/chart_image.h"
#include "charts/results_charts.h"

#include <QChartView>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace velarion::window {

using namespace charts;

namespace {

// A chart view that zooms into the rectangle dragged with the left button
// (the right button zooms out) and goes back to the whole chart on a
// double-click.
class ZoomingChartView : public QChartView {
  public:
    explicit ZoomingChartView(QWidget* parent) : QChartView(parent) {
        setRenderHint(QPainter::Antialiasing);
        setRubberBand(QChartView::RectangleRubberBand);
        setMinimumSize(200, 120);
        setToolTip(QStringLiteral("Drag to zoom in; double-click to see the whole chart."));
    }

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (chart()) {
            chart()->zoomReset();
        }
        event->accept();
    }
};

// A view releases its chart when given another, without deleting it. The
// chart keeps little margin, so that the two charts of a tab on a low
// screen keep height for their lines.
void replaceChart(QChartView& view, std::unique_ptr<QChart> chart) {
    chart->setMargins(QMargins(4, 0, 4, 0));
    chart->layout()->setContentsMargins(2, 2, 2, 2);
    std::unique_ptr<QChart> old(view.chart());
    view.setChart(chart.release());
}

QLabel* wrappingLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// The charts, in the order of the tabs, and the tabs.
enum Chart { kDisplacement, kStress, kProfile, kEnvelopeDisplacement, kEnvelopeStress, kEnergy };
enum Tab { kTimeTab, kProfileTab, kEnvelopeTab, kEnergyTab };

constexpr int kLiveRefreshMs = 500;

}  // namespace

QChartView* ResultsWindow::newView() {
    return new ZoomingChartView(this);
}

ResultsWindow::ResultsWindow(const FormState& form, const QLocale& locale, QWidget* parent)
    : QWidget(parent, Qt::Window),
      form_(form),
      locale_(locale),
      summary_(wrappingLabel(this)),
      decimal_(wrappingLabel(this)),
      courant_(wrappingLabel(this)),
      instability_(wrappingLabel(this)),
      comparison_(wrappingLabel(this)),
      pages_(new QStackedWidget(this)),
      tabs_(new QTabWidget(this)),
      envelopeNote_(wrappingLabel(this)),
      slider_(new QSlider(Qt::Horizontal, this)),
      play_(new QPushButton(QStringLiteral("Play"), this)),
      speed_(new QSpinBox(this)),
      timer_(new QTimer(this)),
      rowLabel_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Velarion - Results"));
    setLocale(locale);
    for (QChartView*& view : views_) {
        view = newView();
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addWidget(decimal_);
    layout->addWidget(courant_);
    instability_->setStyleSheet(QStringLiteral("QLabel { color: #c00000; font-weight: bold; }"));
    layout->addWidget(instability_);
    comparison_->hide();
    layout->addWidget(comparison_);

    auto* noRun = new QLabel(QStringLiteral("No run yet: press a GO button."), this);
    noRun->setAlignment(Qt::AlignCenter);
    pages_->addWidget(noRun);
    pages_->addWidget(tabs_);
    layout->addWidget(pages_, 1);

    const auto chartBox = [this](std::initializer_list<int> charts) {
        auto* box = new QWidget(this);
        auto* column = new QVBoxLayout(box);
        column->setContentsMargins(0, 0, 0, 0);
        for (int chart : charts) {
            column->addWidget(views_[chart], 1);
        }
        return box;
    };
    chartBoxes_[kTimeTab] = chartBox({kDisplacement, kStress});
    chartBoxes_[kProfileTab] = chartBox({kProfile});
    chartBoxes_[kEnvelopeTab] = chartBox({kEnvelopeDisplacement, kEnvelopeStress});
    chartBoxes_[kEnergyTab] = chartBox({kEnergy});

    // Alt and the underlined letter picks a tab.
    tabs_->addTab(chartBoxes_[kTimeTab], QStringLiteral("&Time series"));

    auto* profile = new QWidget(this);
    auto* profileColumn = new QVBoxLayout(profile);
    profileColumn->addWidget(chartBoxes_[kProfileTab], 1);
    auto* controls = new QHBoxLayout;
    play_->setCheckable(true);
    controls->addWidget(play_);
    controls->addWidget(slider_, 1);
    speed_->setRange(1, 1000);
    speed_->setValue(10);
    speed_->setSuffix(QStringLiteral(" rows/s"));
    speed_->setToolTip(QStringLiteral("How many rows Play shows each second"));
    controls->addWidget(speed_);
    profileColumn->addLayout(controls);
    rowLabel_->setAlignment(Qt::AlignCenter);
    profileColumn->addWidget(rowLabel_);
    tabs_->addTab(profile, QStringLiteral("&Profile"));

    auto* envelope = new QWidget(this);
    auto* envelopeColumn = new QVBoxLayout(envelope);
    envelopeColumn->addWidget(envelopeNote_);
    envelopeColumn->addWidget(chartBoxes_[kEnvelopeTab], 1);
    tabs_->addTab(envelope, QStringLiteral("&Envelope"));
    tabs_->addTab(chartBoxes_[kEnergyTab], QStringLiteral("E&nergy"));

    auto* buttons = new QHBoxLayout;
    auto* reset = new QPushButton(QStringLiteral("Reset zoom"), this);
    auto* save = new QPushButton(QStringLiteral("Save image\u2026"), this);
    // Nothing to zoom or save before a run.
    connect(pages_, &QStackedWidget::currentChanged, this, [reset, save](int page) {
        reset->setEnabled(page != 0);
        save->setEnabled(page != 0);
    });
    reset->setEnabled(false);
    save->setEnabled(false);
    buttons->addWidget(
        new QLabel(QStringLiteral("Drag on a chart to zoom in; double-click to see all of it."),
                   this),
        1);
    buttons->addWidget(reset);
    buttons->addWidget(save);
    layout->addLayout(buttons);

    connect(slider_, &QSlider::valueChanged, this, [this](int value) { showProfile(value); });
    connect(play_, &QPushButton::toggled, this, [this](bool on) { play(on); });
    connect(speed_, &QSpinBox::valueChanged, this,
            [this](int rowsPerSecond) { timer_->setInterval(1000 / rowsPerSecond); });
    timer_->setInterval(1000 / speed_->value());
    connect(timer_, &QTimer::timeout, this, [this] { step(); });
    connect(reset, &QPushButton::clicked, this, [this] { resetZoom(); });
    connect(save, &QPushButton::clicked, this, [this] {
        const QString path =
            askImagePath ? askImagePath()
                         : QFileDialog::getSaveFileName(this, QStringLiteral("Save image"),
                                                        QStringLiteral("results.png"),
                                                        QStringLiteral("Images (*.png *.svg)"));
        QString error;
        if (!path.isEmpty() && !saveImage(path, error)) {
            QMessageBox::warning(this, QStringLiteral("Save image"), error);
        }
    });

    // A size that fits the screen, with room for its frame and task bars.
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QSize available = screen ? screen->availableGeometry().size() : QSize(1024, 768);
    resize(std::min(960, available.width() * 9 / 10), std::min(900, available.height() * 85 / 100));
    refresh();
}

void ResultsWindow::replaceTimeAndProfile(bool shownOnly) {
    const int lastRow = shownRun().psiRows ? shownRun().psiRows->lastRow : 0;
    const int tab = tabs_->currentIndex();
    if (!shownOnly || tab == kTimeTab) {
        replaceChart(*views_[kDisplacement], displacementChart(shownRun(), locale_));
        replaceChart(*views_[kStress], stressChart(shownRun(), locale_));
        // The stress at a valve comes first.
        auto* column = static_cast<QVBoxLayout*>(chartBoxes_[kTimeTab]->layout());
        column->removeWidget(views_[kStress]);
        column->insertWidget(stressLeads(shownRun()) ? 0 : 1, views_[kStress], 1);
        overlayComparison({kDisplacement, kStress});
    }
    if (!shownOnly || tab == kProfileTab) {
        replaceChart(*views_[kProfile], profileChart(shownRun(), locale_, lastRow));
    }
    const QSignalBlocker quiet(slider_);
    slider_->setRange(0, lastRow);
    slider_->setValue(lastRow);
    slider_->setEnabled(shownRun().psiRows.has_value() && !runUnderWay_);
    play_->setEnabled(lastRow > 0 && !runUnderWay_);
    rowLabel_->setText(rowCaption(shownRun(), locale_, lastRow));
    summary_->setText(runSummary(shownRun(), locale_));
    summary_->setVisible(shownRun().psiRows.has_value());
    pages_->setCurrentIndex(shownRun().psiRows ? 1 : 0);
}

void ResultsWindow::refresh() {
    play_->setChecked(false);
    replaceTimeAndProfile(false);
    if (afterDecimal_ && shownRun().psiRows) {
        decimal_->setText(
            QStringLiteral("The decimal run leaves psi alone: these charts show the last %1.")
                .arg(shownRun().psiRows->run == RunKind::Girotondo
                         ? QStringLiteral("Girotondo run")
                         : QStringLiteral("double-precision run")));
    } else {
        decimal_->clear();
    }
    decimal_->setVisible(!decimal_->text().isEmpty());
    courant_->setText(courantText(shownRun(), locale_));
    courant_->setVisible(!courant_->text().isEmpty());
    instability_->setText(charts::instabilityNotice(shownRun(), locale_));
    instability_->setVisible(!instability_->text().isEmpty());
    EnvelopeCharts envelope = opened_ ? envelopeCharts(opened_->form, opened_->envelope, locale_)
                                      : envelopeCharts(form_, locale_);
    replaceChart(*views_[kEnvelopeDisplacement], std::move(envelope.displacement));
    replaceChart(*views_[kEnvelopeStress], std::move(envelope.stress));
    envelopeNote_->setText(
        opened_
            ? (opened_->envelope ? QString()
                                 : QStringLiteral("%1 holds no envelope.").arg(opened_->fileName))
            : charts::envelopeNote(form_));
    envelopeNote_->setVisible(!envelopeNote_->text().isEmpty());
    replaceChart(*views_[kEnergy], energyChart(shownRun(), locale_));
    overlayComparison({kEnvelopeDisplacement, kEnvelopeStress, kEnergy});
    showTitleAndComparison();
}

void ResultsWindow::showSavedRun(SavedRun run) {
    opened_ = std::move(run);
    afterDecimal_ = false;
    refresh();
}

void ResultsWindow::showRunInPsi() {
    if (opened_) {
        opened_.reset();
        refresh();
    }
}

void ResultsWindow::compareWith(SavedRun run) {
    compared_ = std::move(run);
    refresh();
}

void ResultsWindow::clearComparison() {
    if (compared_) {
        compared_.reset();
        refresh();
    }
}

QString ResultsWindow::envelopeNote() const {
    return envelopeNote_->isHidden() ? QString() : envelopeNote_->text();
}

QString ResultsWindow::comparisonNote() const {
    return comparison_->isHidden() ? QString() : comparison_->text();
}

void ResultsWindow::overlayComparison(std::initializer_list<int> charts) {
    if (!compared_ || !shownRun().psiRows) {
        return;
    }
    const FormState& other = compared_->form;
    // Both envelope charts come from one drawing of the compared envelope.
    std::optional<EnvelopeCharts> envelope;
    const auto envelopeOfOther = [&]() -> EnvelopeCharts& {
        if (!envelope) {
            envelope = envelopeCharts(other, compared_->envelope, locale_);
        }
        return *envelope;
    };
    for (const int index : charts) {
        std::unique_ptr<QChart> drawn;
        switch (index) {
            case kDisplacement:
                drawn = displacementChart(other, locale_);
                break;
            case kStress:
                drawn = stressChart(other, locale_);
                break;
            case kEnvelopeDisplacement:
                drawn = std::move(envelopeOfOther().displacement);
                break;
            case kEnvelopeStress:
                drawn = std::move(envelopeOfOther().stress);
                break;
            case kEnergy:
                drawn = energyChart(other, locale_);
                break;
            default:
                continue;
        }
        overlayRun(*views_[index]->chart(), *drawn, compared_->fileName);
    }
}

void ResultsWindow::showTitleAndComparison() {
    setWindowTitle(opened_ ? QStringLiteral("Velarion - Results - %1").arg(opened_->fileName)
                           : QStringLiteral("Velarion - Results"));
    if (compared_) {
        comparison_->setText(comparisonSummary(compared_->form, compared_->fileName, locale_));
    } else {
        comparison_->clear();
    }
    comparison_->setVisible(compared_.has_value());
}

void ResultsWindow::setRunUnderWay(bool underWay) {
    runUnderWay_ = underWay;
    if (underWay) {
        play_->setChecked(false);
        slider_->setEnabled(false);
        play_->setEnabled(false);
    }
}

void ResultsWindow::refreshDuringRun() {
    if (!isVisible() ||
        (sinceLiveRefresh_.isValid() && sinceLiveRefresh_.elapsed() < kLiveRefreshMs)) {
        return;
    }
    play_->setChecked(false);
    replaceTimeAndProfile(true);
    decimal_->hide();
    sinceLiveRefresh_.start();
}

void ResultsWindow::clearInstabilityNotice() {
    instability_->clear();
    instability_->hide();
}

void ResultsWindow::showProfile(int row) {
    showProfileRow(*views_[kProfile]->chart(), shownRun(), row);
    rowLabel_->setText(rowCaption(shownRun(), locale_, row));
}

void ResultsWindow::play(bool on) {
    play_->setText(on ? QStringLiteral("Pause") : QStringLiteral("Play"));
    if (!on) {
        timer_->stop();
        return;
    }
    // Played to its end, it starts again from the first row.
    if (slider_->value() == slider_->maximum()) {
        slider_->setValue(0);
    }
    timer_->start();
}

void ResultsWindow::hideEvent(QHideEvent* event) {
    play_->setChecked(false);
    QWidget::hideEvent(event);
}

void ResultsWindow::step() {
    if (slider_->value() >= slider_->maximum()) {
        play_->setChecked(false);
        return;
    }
    slider_->setValue(slider_->value() + 1);
}

void ResultsWindow::resetZoom() {
    for (QChartView* view : chartBoxes_[tabs_->currentIndex()]->findChildren<QChartView*>()) {
        view->chart()->zoomReset();
    }
}

bool ResultsWindow::saveImage(const QString& path, QString& error) {
    QWidget* shown =
        pages_->currentIndex() == 0 ? pages_->currentWidget() : chartBoxes_[tabs_->currentIndex()];
    return writeViewImage(*shown, path, error);
}

QChart* ResultsWindow::chart(int index) const {
    return views_[index]->chart();
}

bool ResultsWindow::showsNoRunYet() const {
    return pages_->currentIndex() == 0;
}

QString ResultsWindow::summary() const {
    return summary_->text();
}

QString ResultsWindow::courantNote() const {
    return courant_->text();
}

QString ResultsWindow::instabilityNotice() const {
    return instability_->isHidden() ? QString() : instability_->text();
}

QString ResultsWindow::decimalNote() const {
    return decimal_->isHidden() ? QString() : decimal_->text();
}

}  // namespace velarion::window
