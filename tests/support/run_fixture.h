#pragma once

#include "runs/double_run.h"
#include "runs/girotondo_run.h"
#include "support/fake_window.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace velarion::testing {

// A fake window, its form state and a log file in a fresh directory.
class RunFixture : public ::testing::Test {
  protected:
    explicit RunFixture(QLocale locale = QLocale(QLocale::Italian, QLocale::Italy))
        : window(locale), numbers(locale) {}

    RunOutcome runDouble() { return runDoubleLoggingTo(logPath()); }
    RunOutcome runDoubleLoggingTo(const QString& path) {
        DoubleRun run(window, form, numbers, path);
        run.setExport([this] { ++exports; });
        return run.run();
    }

    RunOutcome runGirotondo() {
        GirotondoRun run(window, form, numbers, logPath());
        run.setExport([this] { ++exports; });
        return run.run();
    }

    QString logPath() const { return dir.filePath("LogFile.txt"); }
    QByteArray logBytes() const { return contentsOf(logPath()); }
    QList<QByteArray> logLines() const {
        QList<QByteArray> lines = logBytes().split('\n');
        lines.removeLast();  // after the final LF
        return lines;
    }
    void expectIdleButtons() const {
        EXPECT_TRUE(window.enabled(ctl::Command2));
        EXPECT_TRUE(window.enabled(ctl::Command4));
        EXPECT_FALSE(window.enabled(ctl::CStop));
    }

    QTemporaryDir dir;
    FakeWindow window;
    NumberText numbers;
    FormState form;
    int exports = 0;
};

}  // namespace velarion::testing
