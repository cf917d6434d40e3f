#pragma once

#include "runs/form_state.h"

#include <QLocale>
#include <QWidget>

class QChart;
class QChartView;
class QLabel;
class QSlider;

namespace velarion::window {

// "Velarion - Results": the charts of the last double-precision or
// Girotondo run that left rows in psi, whatever its outcome. It reads the
// window's state; refresh() draws it again after a run.
class ResultsWindow : public QWidget {
  public:
    ResultsWindow(const FormState& form, const QLocale& locale, QWidget* parent = nullptr);

    void refresh();

    // For the tests: the charts in the order shown, and the profile's slider.
    QChart* chart(int index) const;
    QSlider* rowSlider() const { return slider_; }
    QString courantNote() const;
    QString instabilityNotice() const;

  private:
    void showProfile(int row);

    const FormState& form_;
    QLocale locale_;
    QLabel* summary_;
    QLabel* courant_;
    QLabel* instability_;  // red, shown only for an unstable run
    QChartView* views_[3];
    QSlider* slider_;
    QLabel* rowLabel_;
};

}  // namespace velarion::window
