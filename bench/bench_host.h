#pragma once

#include "model/parameter_boxes.h"
#include "runs/window_ops.h"

#include <QHash>
#include <QLocale>

namespace velarion::bench {

// A window for benchmarks: the boxes in memory with the window's initial
// texts, the counters TJ and TK in fields of their own as the real window
// keeps them between repaints, no check box ticked (so no log file), no
// tones, no STOP. Every question is answered Yes and a critical message is
// remembered. The clock runs one millisecond per reading, so waits cost
// nothing and only the measured work counts.
class BenchHost : public WindowOps {
  public:
    explicit BenchHost(const QLocale& locale = QLocale::c()) {
        for (const auto& box : parameterBoxes()) {
            texts_[controlName(box.name)] = initialTextOf(box, locale);
        }
    }
    QString text(std::string_view box) const override {
        if (QString* counter = counterText(box)) {
            return *counter;
        }
        return texts_.value(controlName(box));
    }
    void setText(std::string_view box, const QString& text) override {
        if (QString* counter = counterText(box)) {
            *counter = text;
        } else {
            texts_[controlName(box)] = text;
        }
    }
    bool isTicked(std::string_view) const override { return false; }
    void setEnabled(std::string_view, bool) override {}
    void setStatus(const QString&) override {}
    void setProgressWidth(float) override {}
    void repaint(std::string_view) override {}
    void processEvents() override {}
    MessageAnswer messageBox(const MessageRequest& request) override {
        failed_ = failed_ || request.icon == MessageIcon::Critical;
        return request.buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    std::optional<QString> inputBox(const QString&, const QString&) override { return {}; }
    void beep(int, int) override {}
    std::int64_t tickCountMs() const override { return ++ticks_; }
    bool stopFlag() const override { return false; }
    void setStopFlag(bool) override {}

    bool failed() const { return failed_; }

  private:
    QString* counterText(std::string_view box) const {
        return box == ctl::TK ? &TK_ : box == ctl::TJ ? &TJ_ : nullptr;
    }

    QHash<QString, QString> texts_;
    mutable QString TJ_;
    mutable QString TK_;
    mutable std::int64_t ticks_ = 0;
    bool failed_ = false;
};

}  // namespace velarion::bench
