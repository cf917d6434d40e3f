#pragma once

// The window operations of a host without a window: the boxes held in
// memory from the window's initial texts, messages kept, no tones.

#include "window_ops.h"

#include <QHash>
#include <QLocale>
#include <QString>

#include <vector>

namespace velarion {

class HeadlessHost : public WindowOps {
  public:
    explicit HeadlessHost(const QLocale& locale);

    // The parameter and output boxes, TPrecision and TLog, by control name.
    bool hasBox(const QString& control) const { return texts_.contains(control); }
    // CLogFile, CLogFileExc and CExl.
    bool hasCheckBox(const QString& control) const { return ticks_.contains(control); }
    // The parameter boxes a user may set, in the window's order.
    static std::vector<QString> parameterBoxNames();

    QString text(std::string_view box) const override;
    void setText(std::string_view box, const QString& text) override;
    bool isTicked(std::string_view checkBox) const override;
    void tick(std::string_view checkBox, bool ticked);
    void setEnabled(std::string_view, bool) override {}
    void setStatus(const QString& caption) override { status_ = caption; }
    void setProgressWidth(float) override {}
    void repaint(std::string_view) override {}
    void processEvents() override {}
    // Kept, not shown; questions are declined unless accepted.
    MessageAnswer messageBox(const MessageRequest& request) override;
    std::optional<QString> inputBox(const QString&, const QString&) override {
        return std::nullopt;
    }
    void beep(int, int) override {}
    bool playsTones() const override { return false; }
    std::int64_t tickCountMs() const override;
    bool stopFlag() const override { return stop_; }
    void setStopFlag(bool stop) override { stop_ = stop; }

    // Answers Yes to the question with this text.
    void acceptQuestion(const QString& text) { accepted_.append(text); }
    const std::vector<MessageRequest>& messages() const { return messages_; }
    const QString& status() const { return status_; }

  private:
    QHash<QString, QString> texts_;
    QHash<QString, bool> ticks_;
    QString status_;
    QStringList accepted_;
    std::vector<MessageRequest> messages_;
    bool stop_ = false;
};

}  // namespace velarion
