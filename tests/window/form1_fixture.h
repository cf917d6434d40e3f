#pragma once

#include "support/files.h"
#include "window/form1.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace velarion::window::testing {

// A real Form1 in a fresh working directory, with the dialogs, tones and
// program end replaced by recorders.
class Form1Fixture : public ::testing::Test {
  protected:
    explicit Form1Fixture(QLocale locale = QLocale(QLocale::Italian, QLocale::Italy))
        : oldDir_(QDir::currentPath()) {
        QDir::setCurrent(dir.path());
        form = std::make_unique<Form1>(locale, hooks());
    }
    ~Form1Fixture() override {
        form.reset();
        QDir::setCurrent(oldDir_);
    }

    Form1Hooks hooks() {
        Form1Hooks h;
        h.messageBox = [this](const MessageRequest& r) {
            messages.push_back(r);
            return MessageAnswer::No;
        };
        h.inputBox = [this](const QString&, const QString&) -> std::optional<QString> {
            if (inputAnswers.empty())
                return std::nullopt;
            QString answer = inputAnswers.front();
            inputAnswers.pop_front();
            return answer;
        };
        h.beep = [this](int hz, int ms) { beeps.emplace_back(hz, ms); };
        h.askCsvChoice = [this](const QString& segments) {
            offeredSegments = segments;
            return csvChoice;
        };
        h.askClosingTimeAndFriction = [this](const WaterHammer& current) {
            offeredHammer = current;
            return hammerChoice;
        };
        h.askResultsPath = [this](ResultsDialog dialog) {
            askedResults.push_back(dialog);
            return resultsPath;
        };
        h.settingsFile = settingsFile();
        h.terminate = [this] {
            ++terminations;
            if (onTerminate)
                onTerminate();
        };
        h.pumped = [this] { actAtPump(); };
        return h;
    }

    // Runs the actions one per pump point of the running click: the first
    // at the run's first pump, the next at the one after, and so on.
    void atPumps(std::vector<std::function<void()>> actions) {
        pending_.assign(actions.begin(), actions.end());
    }

    // Where the window remembers its Model menu, in the test's directory.
    QString settingsFile() const { return dir.filePath(QStringLiteral("velarion.ini")); }
    QString text(std::string_view box) const { return form->ops().text(box); }
    void set(std::string_view box, const QString& value) { form->ops().setText(box, value); }
    bool enabled(std::string_view control) const { return form->control(control)->isEnabled(); }
    void click(std::string_view button);
    QByteArray logBytes() const {
        return velarion::testing::contentsOf(dir.filePath("LogFile.txt"));
    }

    QTemporaryDir dir;
    std::unique_ptr<Form1> form;
    std::vector<MessageRequest> messages;
    std::deque<QString> inputAnswers;
    std::vector<std::pair<int, int>> beeps;
    std::optional<CsvChoice> csvChoice;  // what Export CSV… is told; nothing: cancelled
    QString offeredSegments;
    std::optional<WaterHammer> hammerChoice;  // what the closing time dialog is told
    WaterHammer offeredHammer;
    QString resultsPath;  // what Save/Open Results… and Compare With… are told
    std::vector<ResultsDialog> askedResults;
    int terminations = 0;
    std::function<void()> onTerminate;

  private:
    void actAtPump();

    QString oldDir_;
    std::deque<std::function<void()>> pending_;
};

}  // namespace velarion::window::testing
