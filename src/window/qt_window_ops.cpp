#include "qt_window_ops.h"

#include "form1.h"
#include "form1_layout.h"
#include "tone.h"

#include <QApplication>
#include <QCheckBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>

#include <algorithm>
#include <cmath>

namespace velarion::window {

namespace {
QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}
}  // namespace

QtWindowOps::QtWindowOps(Form1& form, const Form1Hooks& hooks) : form_(form), hooks_(hooks) {
    clock_.start();
}

QWidget& QtWindowOps::widget(std::string_view name) const {
    QWidget* w = form_.control(name);
    Q_ASSERT_X(w, "QtWindowOps", "no such control");
    return *w;
}

std::optional<QString>* QtWindowOps::pendingCounter(std::string_view box) const {
    if (box == ctl::TJ)
        return &pendingTJ_;
    if (box == ctl::TK)
        return &pendingTK_;
    return nullptr;
}

void QtWindowOps::flushCounters() const {
    for (const auto& [box, pending] :
         {std::pair{ctl::TJ, &pendingTJ_}, std::pair{ctl::TK, &pendingTK_}}) {
        if (pending->has_value()) {
            auto* line = qobject_cast<QLineEdit*>(&widget(box));
            line->setText(**pending);
            line->setCursorPosition(0);
            pending->reset();
        }
    }
}

QString QtWindowOps::text(std::string_view box) const {
    if (const auto* pending = pendingCounter(box); pending && pending->has_value())
        return **pending;
    QWidget& w = widget(box);
    if (auto* line = qobject_cast<QLineEdit*>(&w))
        return line->text();
    if (auto* multi = qobject_cast<QPlainTextEdit*>(&w))
        return multi->toPlainText();
    if (auto* label = qobject_cast<QLabel*>(&w))
        return label->text();
    return {};
}

void QtWindowOps::setText(std::string_view box, const QString& text) {
    if (auto* pending = pendingCounter(box)) {
        *pending = text;
        return;
    }
    QWidget& w = widget(box);
    if (auto* line = qobject_cast<QLineEdit*>(&w)) {
        line->setText(text);
        line->setCursorPosition(0);  // the start of a long number stays in view
    } else if (auto* multi = qobject_cast<QPlainTextEdit*>(&w)) {
        multi->setPlainText(text);
    } else if (auto* label = qobject_cast<QLabel*>(&w)) {
        label->setText(text);
    }
}

bool QtWindowOps::isTicked(std::string_view checkBox) const {
    auto* box = qobject_cast<QCheckBox*>(&widget(checkBox));
    return box && box->isChecked();
}

void QtWindowOps::setEnabled(std::string_view control, bool enabled) {
    flushCounters();
    widget(control).setEnabled(enabled);
}

void QtWindowOps::setStatus(const QString& caption) {
    flushCounters();
    setText(ctl::LStatus, caption);
}

void QtWindowOps::setProgressWidth(float twips) {
    flushCounters();
    QWidget& bar = widget(ctl::Shape2);
    // A widget cannot be narrower than nothing or wider than Qt allows.
    const double clamped = std::clamp<double>(twips, 0.0, QWIDGETSIZE_MAX * kTwipsPerPixel);
    bar.resize(twipsToDip(clamped), bar.height());
    bar.repaint();
}

void QtWindowOps::repaint(std::string_view control) {
    flushCounters();
    if (control == ctl::Form1) {
        form_.repaint();
    } else {
        widget(control).repaint();
    }
}

void QtWindowOps::processEvents() {
    flushCounters();
    QCoreApplication::processEvents();
    if (afterEvents) {
        afterEvents();
    }
}

MessageAnswer QtWindowOps::messageBox(const MessageRequest& request) {
    flushCounters();
    return hooks_.messageBox ? hooks_.messageBox(request) : showMessageBox(&form_, request);
}

std::optional<QString> QtWindowOps::inputBox(const QString& prompt, const QString& title) {
    flushCounters();
    return hooks_.inputBox ? hooks_.inputBox(prompt, title) : showInputBox(&form_, prompt, title);
}

void QtWindowOps::setBusyCursor(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void QtWindowOps::beep(int frequencyHz, int durationMs) {
    flushCounters();
    if (hooks_.beep) {
        hooks_.beep(frequencyHz, durationMs);
    } else {
        Beep(frequencyHz, durationMs);
    }
}

bool QtWindowOps::hasToneHook() const {
    return static_cast<bool>(hooks_.beep);
}

bool QtWindowOps::stopFlag() const {
    return form_.StopFlag();
}

void QtWindowOps::setStopFlag(bool stop) {
    form_.setStopFlag(stop);
}

MessageAnswer showMessageBox(QWidget* parent, const MessageRequest& request) {
    const bool yesNo = request.buttons == MessageButtons::YesNo;
    QMessageBox box(qtIcon(request.icon), request.title, request.text,
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    if (!request.detail.isEmpty()) {
        box.setInformativeText(request.detail);
    }
    box.setStatusTip(request.tip);
    box.setToolTip(request.tip);
    const int answer = box.exec();
    if (!yesNo)
        return MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

std::optional<QString> showInputBox(QWidget* parent, const QString& prompt, const QString& title) {
    bool ok = false;
    const QString answer = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, {}, &ok);
    if (!ok)
        return std::nullopt;
    return answer;
}

}  // namespace velarion::window
