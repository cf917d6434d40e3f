#pragma once

#include "runs/form_state.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QSize>
#include <QWidget>

#include <functional>
#include <optional>

class QChart;
class QChartView;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;
class QStackedWidget;
class QTabWidget;
class QTimer;

namespace velarion::window {

// A run read back from a results file, as the charts read it.
struct SavedRun {
    FormState form;
    // Its envelope as the file keeps it: the Girotondo run's cannot be taken
    // from its rows.
    std::optional<EnvelopeExtremes> envelope;
    QString fileName;  // named in titles and legends
};

// "Velarion - Results": the charts of the last double-precision or
// Girotondo run that left rows in psi, whatever its outcome, in four tabs:
// the time series, the profile (animated through the stored rows), the
// envelope and the energy. It reads the window's state; refresh() draws it
// again after a run, refreshDuringRun() at the run's pump points.
class ResultsWindow : public QWidget {
  public:
    ResultsWindow(const FormState& form, const QLocale& locale, QWidget* parent = nullptr);

    // The smallest size at which every control stays reachable.
    static constexpr QSize kLeastSize{640, 480};

    void refresh();
    // Cheap enough for a pump point: the time series or the profile when
    // its tab is shown, at most twice a second; the envelope and the
    // energy wait for refresh() at the run's end.
    void refreshDuringRun();
    // A new run starts: the last run's red notice is no longer current.
    void clearInstabilityNotice();
    // A run under way on its own thread changes the rows: the profile's
    // slider and Play, which read them, wait for its end (refresh()).
    void setRunUnderWay(bool underWay);
    // After a decimal run, which leaves psi alone, the window says whose
    // rows the charts show.
    void setAfterDecimalRun(bool afterDecimal) { afterDecimal_ = afterDecimal; }

    // Shows a run read back from a file instead of the one in psi, until
    // showRunInPsi(); the title names the file.
    void showSavedRun(SavedRun run);
    // Back to the run in psi: a run starts.
    void showRunInPsi();
    // The run whose charts are shown: the saved one, else the one in psi.
    const FormState& shownRun() const { return opened_ ? opened_->form : form_; }
    bool showsSavedRun() const { return opened_.has_value(); }
    // Draws a second saved run over the time series, the envelope and the
    // energy, its lines dashed and named after its file, until
    // clearComparison(); it stays through runs.
    void compareWith(SavedRun run);
    void clearComparison();
    bool hasComparison() const { return compared_.has_value(); }
    QString comparisonNote() const;
    // Why the Envelope tab shows no envelope; empty when it shows one.
    QString envelopeNote() const;

    // Resets the zoom of the charts on the tab shown.
    void resetZoom();
    // Saves the charts of the tab shown, as they are drawn, as a PNG or an
    // SVG by the extension. False, with the reason in `error`, when it
    // cannot.
    bool saveImage(const QString& path, QString& error);

    // Where "Save image…" asks for the file; the default is a file dialog.
    std::function<QString()> askImagePath;

    // For the tests: the charts in the order of the tabs (displacement,
    // stress, profile, envelope of displacement and of stress, energy).
    static constexpr int kCharts = 6;
    QChart* chart(int index) const;
    QChartView* chartView(int index) const { return views_[index]; }
    QTabWidget* tabs() const { return tabs_; }
    QSlider* rowSlider() const { return slider_; }
    QPushButton* playButton() const { return play_; }
    QSpinBox* speedBox() const { return speed_; }
    bool showsNoRunYet() const;
    QString summary() const;
    QString courantNote() const;
    QString instabilityNotice() const;
    QString decimalNote() const;

  protected:
    // A closed window stops playing: nobody watches the profile.
    void hideEvent(QHideEvent* event) override;

  private:
    void showProfile(int row);
    void play(bool on);
    void step();
    // The time series and the profile, or only those of the tab shown.
    void replaceTimeAndProfile(bool shownOnly);
    QChartView* newView();
    // The compared run's lines over the charts of `charts` (indices).
    void overlayComparison(std::initializer_list<int> charts);
    void showTitleAndComparison();

    const FormState& form_;
    std::optional<SavedRun> opened_;
    std::optional<SavedRun> compared_;
    QLocale locale_;
    bool afterDecimal_ = false;
    bool runUnderWay_ = false;
    QElapsedTimer sinceLiveRefresh_;
    QLabel* summary_;
    QLabel* decimal_;
    QLabel* courant_;
    QLabel* instability_;    // red, shown only for an unstable run
    QLabel* comparison_;     // which run the dashed lines are
    QStackedWidget* pages_;  // "No run yet" or the tabs
    QTabWidget* tabs_;
    QChartView* views_[kCharts];
    QWidget* chartBoxes_[4];  // each tab's charts, without its controls
    QLabel* envelopeNote_;
    QSlider* slider_;
    QPushButton* play_;
    QSpinBox* speed_;
    QTimer* timer_;
    QLabel* rowLabel_;
};

}  // namespace velarion::window
