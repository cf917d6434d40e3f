// The Model menu's water-hammer items, their dialog and their settings.
#include "hammer_menu.h"

#include "form1.h"

#include <QActionGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QVBoxLayout>

#include <cmath>

namespace velarion::window {

namespace {

const QString kFirstEndKey = QStringLiteral("model/firstEnd");
const QString kClosingTimeKey = QStringLiteral("model/closingTime");
const QString kLastEndKey = QStringLiteral("model/lastEnd");
const QString kFrictionKey = QStringLiteral("model/friction");

QAction* addFirstEnd(QMenu& model, QActionGroup& group, const QString& text, FirstEnd end,
                     Form1& form) {
    QAction* item = model.addAction(text);
    item->setCheckable(true);
    item->setChecked(form.state().hammer.firstEnd == end);
    item->setData(static_cast<int>(end));
    group.addAction(item);
    QObject::connect(item, &QAction::triggered, &form,
                     [&form, end] { form.mnuFirstEnd_Triggered(end); });
    return item;
}

// A number of the locale within [least, infinity), or nothing.
std::optional<double> numberFrom(const QLineEdit& box, const NumberText& numbers) {
    const auto value = numbers.toDouble(box.text());
    if (!value || !std::isfinite(*value)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

QString closingValveText(double closingTime, const NumberText& numbers) {
    return QStringLiteral("Valve &closing in %1 s").arg(numbers.brief(closingTime));
}

void addWaterHammerItems(QMenu& model, Form1& form) {
    QAction* restoring = model.actions().back();
    QAction* closed = model.addAction(QStringLiteral("Closed &last end (dead end)"));
    closed->setCheckable(true);
    closed->setChecked(form.state().freeEnd == FreeEnd::Closed);
    QObject::connect(closed, &QAction::toggled, &form, &Form1::mnuClosedLastEnd_Toggled);
    // One last end at most; none checked is the seed's.
    auto* lastEnds = new QActionGroup(&model);
    lastEnds->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    lastEnds->addAction(restoring);
    lastEnds->addAction(closed);

    model.addSeparator();
    auto* firstEnds = new QActionGroup(&model);
    addFirstEnd(model, *firstEnds, QStringLiteral("Counter &pressure at segment 0"),
                FirstEnd::CounterPressure, form);
    addFirstEnd(model, *firstEnds, QStringLiteral("Valve &shut at t = 0"), FirstEnd::Closed, form);
    QAction* closing = addFirstEnd(
        model, *firstEnds, closingValveText(form.state().hammer.closingTime, form.numbers()),
        FirstEnd::Valve, form);
    closing->setObjectName(QStringLiteral("closingValve"));

    model.addSeparator();
    model.addAction(QStringLiteral("Closing time and &friction\u2026"), &form,
                    &Form1::mnuClosingTimeAndFriction_Click);
}

std::optional<WaterHammer> askClosingTimeAndFriction(QWidget* parent, const WaterHammer& current,
                                                     const NumberText& numbers) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Closing time and friction"));
    auto* closing = new QLineEdit(numbers.general(current.closingTime), &dialog);
    auto* friction = new QLineEdit(numbers.general(current.friction), &dialog);
    auto* problem = new QLabel(&dialog);
    problem->setStyleSheet(QStringLiteral("QLabel { color: #c00000; }"));
    problem->hide();
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Closing time TC of the valve (s):"), closing);
    form->addRow(QStringLiteral("Darcy\u2013Weisbach friction factor f (0: none):"), friction);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto* column = new QVBoxLayout(&dialog);
    column->addWidget(new QLabel(QStringLiteral("The valve's velocity falls linearly from V0 to 0 "
                                                "over TC; friction acts on every moving segment "
                                                "with the diameter of the box TD."),
                                 &dialog));
    column->addLayout(form);
    column->addWidget(problem);
    column->addWidget(buttons);
    WaterHammer chosen = current;
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        const auto tc = numberFrom(*closing, numbers);
        const auto f = numberFrom(*friction, numbers);
        if (!tc || !(*tc > 0)) {
            problem->setText(
                QStringLiteral("The closing time must be a number of seconds above 0."));
        } else if (!f || !(*f >= 0)) {
            problem->setText(QStringLiteral("The friction factor must be a number of 0 or more."));
        } else {
            chosen.closingTime = *tc;
            chosen.friction = *f;
            dialog.accept();
            return;
        }
        problem->show();
    });
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return chosen;
}

void restoreModelChoices(FormState& state, const QSettings& settings) {
    if (const auto end = firstEndNamed(settings.value(kFirstEndKey).toString())) {
        state.hammer.firstEnd = *end;
    }
    if (const auto end = freeEndNamed(settings.value(kLastEndKey).toString())) {
        state.freeEnd = *end;
    }
    bool ok = false;
    const double closing = settings.value(kClosingTimeKey).toDouble(&ok);
    if (ok && closing > 0 && std::isfinite(closing)) {
        state.hammer.closingTime = closing;
    }
    const double friction = settings.value(kFrictionKey).toDouble(&ok);
    if (ok && friction >= 0 && std::isfinite(friction)) {
        state.hammer.friction = friction;
    }
}

void rememberModelChoices(const FormState& state, QSettings& settings) {
    settings.setValue(kFirstEndKey, firstEndName(state.hammer.firstEnd));
    settings.setValue(kClosingTimeKey, state.hammer.closingTime);
    settings.setValue(kLastEndKey, freeEndName(state.freeEnd));
    settings.setValue(kFrictionKey, state.hammer.friction);
}

}  // namespace velarion::window
