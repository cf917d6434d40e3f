#include "form1_fixture.h"
#include "window/form1_layout.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>

namespace velarion::window::testing {
namespace {

using Form1Test = Form1Fixture;

TEST_F(Form1Test, FreshWindowShowsTheDesignedState) {
    const QStringList parameters = {"30",   "9999",     "1000", "50", "5,5", "2",
                                    "0,02", "0,000001", "4",    "0",  "30"};
    const char* names[] = {"TINDICE_MATRICE1",
                           "TINDICE_MATRICE2",
                           "TRho",
                           "TVFase",
                           "TV0",
                           "Tltot",
                           "TD",
                           "TDeltaT",
                           "TN",
                           "TP",
                           "Tnitertemp"};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(text(names[i]), parameters[i]) << names[i];
    EXPECT_EQ(text("TPrecision"), "30");
    for (const char* out : {"TA", "TF", "Ttot", "TB", "TL0", "TJ", "TK", "TLog"}) {
        EXPECT_EQ(text(out), "") << out;
    }
    EXPECT_TRUE(form->ops().isTicked(ctl::CLogFile));
    EXPECT_FALSE(form->ops().isTicked(ctl::CLogFileExc));
    EXPECT_FALSE(enabled(ctl::CStop));
    EXPECT_FALSE(enabled(ctl::Frame1));
    EXPECT_FALSE(enabled("CExl"));
    EXPECT_TRUE(enabled(ctl::Command2));
    EXPECT_TRUE(enabled(ctl::Command4));
    EXPECT_EQ(text(ctl::LStatus), "");
    EXPECT_EQ(form->control(ctl::Shape2)->width(), twipsToDip(50));
    EXPECT_EQ(form->control("Shape1")->width(), twipsToDip(10335));
    EXPECT_EQ(form->state().IndiceMatrice1, 1000);
    EXPECT_EQ(form->state().IndiceMatrice2, 10000);
}

// The log check boxes sit on the window's grey; Tab leaves the log box for
// the next control instead of typing a TAB into it.
TEST_F(Form1Test, LogControlsLookAndActAsDesigned) {
    form->show();
    for (const auto box : {ctl::CLogFile, ctl::CLogFileExc}) {
        QWidget* w = form->control(box);
        const QImage picture = w->grab().toImage();
        EXPECT_EQ(picture.pixelColor(picture.width() - 2, picture.height() / 2),
                  QColor(192, 192, 192))
            << controlName(box).toStdString();
    }
    auto* log = form->controlAs<QPlainTextEdit>(ctl::TLog);
    EXPECT_TRUE(log->tabChangesFocus());
    QWidget* next = log->nextInFocusChain();
    while (log->isAncestorOf(next))
        next = next->nextInFocusChain();
    EXPECT_EQ(next, form->control(ctl::Command3));
}

TEST_F(Form1Test, WindowFollowsTheDesignedLayout) {
    EXPECT_EQ(form->windowTitle(), "Velarion - Tomberlo (v1.8)");
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(192, 192, 192));
    // Latin-1 captions and tooltips keep their accents.
    EXPECT_EQ(form->controlAs<QLabel>("Label13")->text(), QStringLiteral("B Compressibilit\u00e0"));
    EXPECT_EQ(form->control("Label1")->toolTip(), QStringLiteral("Rho=Densit\u00e0"));
    // The status line lies over the bar, the bar over its track.
    const QObjectList& order = form->clientArea()->children();
    EXPECT_GT(order.indexOf(form->control(ctl::LStatus)),
              order.indexOf(form->control(ctl::Shape2)));
    EXPECT_GT(order.indexOf(form->control(ctl::Shape2)), order.indexOf(form->control("Shape1")));
    // "GO (double)!" comes first in the tab order, TRho next.
    EXPECT_EQ(form->control(ctl::Command2)->nextInFocusChain(), form->control(ctl::TRho));
}

// The menu bar lies above the client area, outside it: the client area
// keeps its designed size and every control its place, and the window grows
// by the menu's height only.
TEST_F(Form1Test, MenuBarLeavesTheClientAreaAndEveryControlInPlace) {
    form->show();
    const QWidget* client = form->clientArea();
    const auto* menu = form->findChild<QMenuBar*>();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(client->size(), QSize(915, 212));
    EXPECT_EQ(client->pos(), QPoint(0, menu->height()));
    EXPECT_EQ(form->size(), QSize(915, 212 + menu->height()));
    for (const ControlSpec& spec : form1Controls()) {
        const QWidget* w = form->control(spec.name);
        const QRect designed(twipsToDip(spec.left), twipsToDip(spec.top),
                             std::max(1, twipsToDip(spec.width)),
                             std::max(1, twipsToDip(spec.height)));
        EXPECT_EQ(w->geometry(), designed) << spec.name;
        EXPECT_EQ(w->parentWidget(), spec.parent.empty() ? client : form->control(spec.parent))
            << spec.name;
    }
    QStringList menus;
    for (const QAction* action : menu->actions()) {
        QStringList items;
        for (const QAction* item : action->menu()->actions()) {
            if (!item->isSeparator())
                items << item->text();
        }
        menus << action->text() + ": " + items.join(", ");
    }
    EXPECT_EQ(menus,
              QStringList({"&File: &Export CSV\u2026, &Save Results\u2026, &Open Results\u2026, "
                           "&Compare With\u2026, C&lear comparison, &Quit",
                           "&View: &Results\u2026, Girotondo &envelope",
                           "&Model: &Restoring free end, Closed &last end (dead end), "
                           "Counter &pressure at segment 0, Valve &shut at t = 0, "
                           "Valve &closing in 0,1 s, Closing time and &friction\u2026",
                           "&Help: User's &guide, &About Velarion"}));
}

class LongRun : public Form1Fixture {
  protected:
    LongRun() {
        set(ctl::TINDICE_MATRICE1, "1000");
        set(ctl::Tnitertemp, "1000");
    }
};

TEST_F(LongRun, StopIsSeenAtTheNextHundred) {
    bool stopEnabled = false, goEnabled = true;
    atPumps({[&] {
        stopEnabled = enabled(ctl::CStop);
        goEnabled = enabled(ctl::Command2) || enabled(ctl::Command4);
        click(ctl::CStop);
    }});
    click(ctl::Command2);
    EXPECT_TRUE(stopEnabled);
    EXPECT_FALSE(goEnabled);
    EXPECT_EQ(text(ctl::LStatus), "Stopped!");
    EXPECT_EQ(text(ctl::TJ), "100");
    EXPECT_TRUE(enabled(ctl::Command2));
    EXPECT_FALSE(enabled(ctl::CStop));
}

TEST_F(LongRun, ClsEmptiesTheLogBoxAndTheRunGoesOn) {
    set(ctl::TLog, "old lines");
    QString seen;
    atPumps({[&] { click(ctl::Command3); }, [&] { seen = text(ctl::TLog); }});
    click(ctl::Command2);
    EXPECT_EQ(seen, "");
    EXPECT_TRUE(text(ctl::LStatus).startsWith("Elaboration : "));
    EXPECT_EQ(text(ctl::TJ), "1000");
}

TEST_F(LongRun, ClosingDuringARunEndsTheProgramWithWholeRecords) {
    QByteArray logAtEnd;
    onTerminate = [&] { logAtEnd = logBytes(); };
    atPumps({[&] { form->close(); }});
    click(ctl::Command2);
    ASSERT_EQ(terminations, 1);
    EXPECT_TRUE(form->StopFlag());
    // What was on disk when the program ended: whole records only.
    static const QRegularExpression records("^(\\d+\\) -?[0-9,E+-]+\\r\\n\\r\\n)+$");
    EXPECT_TRUE(records.match(QString::fromLatin1(logAtEnd)).hasMatch())
        << logAtEnd.right(80).toStdString();
    EXPECT_EQ(logAtEnd.count("\r\n\r\n"), 98);
}

TEST_F(Form1Test, ClosingAnIdleWindowDoesNotEndTheProgramAbruptly) {
    form->show();
    form->close();
    EXPECT_EQ(terminations, 0);
    EXPECT_TRUE(form->StopFlag());
}

}  // namespace
}  // namespace velarion::window::testing

namespace velarion::window::testing {
namespace {

TEST_F(Form1Test, GirotondoRunFromTheWindow) {
    click(ctl::Command4);
    // The counters reach their widgets, not only the window's operations.
    EXPECT_EQ(form->controlAs<QLineEdit>(ctl::TK)->text(), "3");
    EXPECT_EQ(form->controlAs<QLineEdit>(ctl::TJ)->text(), "30");
    EXPECT_TRUE(text(ctl::LStatus).startsWith("Elaboration : "));
    // The tones reach the window's hook.
    EXPECT_EQ(beeps.size(), 4u);
    EXPECT_TRUE(enabled(ctl::Command4));
    EXPECT_FALSE(enabled(ctl::CStop));
    EXPECT_TRUE(messages.empty());
}

TEST_F(Form1Test, PrecisionRunFromTheWindowOnlyThroughItsHandler) {
    set(ctl::TINDICE_MATRICE2, "50");
    click(ctl::Command1);  // inside the disabled frame: nothing happens
    EXPECT_EQ(text(ctl::TJ), "");
    form->Command1_Click();
    EXPECT_EQ(form->controlAs<QLineEdit>(ctl::TJ)->text(), "30");
    EXPECT_EQ(text(ctl::LStatus), "Working...");
    EXPECT_TRUE(enabled(ctl::Command2));
    EXPECT_FALSE(enabled(ctl::CStop));
    // The text box keeps its lines apart by LF alone.
    const QString once = text(ctl::TLog);
    EXPECT_EQ(once.count(u'\n'), 29);
    EXPECT_TRUE(once.startsWith("2) -0,000011\n3) -0,0000165\n"));
}

// Run from its build tree, the program writes LogFile.xls beside itself and
// LogFile.txt in the working folder, as designed. An installed program never
// writes into its own folder: both go to the working folder, or to the
// documents folder when that is the root or the program's own; the success
// box says where, and its tip names the folder.
TEST_F(Form1Test, TheFilesGoWhereTheUserLooksForThem) {
    const QTemporaryDir build, installed, home;
    const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath(".config").toLocal8Bit());
    const QString documents = QDir(home.path()).filePath("Documents");
    struct Case {
        QString programDirectory, buildDirectory, workingFolder, xlsFolder, logFolder;
    };
    for (const Case& c : {Case{build.path(), build.path(), dir.path(), build.path(), dir.path()},
                          Case{installed.path(), {}, dir.path(), dir.path(), dir.path()},
                          Case{installed.path(), {}, installed.path(), documents, documents},
                          Case{installed.path(), {}, "/", documents, documents}}) {
        SCOPED_TRACE(c.workingFolder.toStdString() + " for " + c.programDirectory.toStdString());
        ASSERT_TRUE(QDir::setCurrent(c.workingFolder));
        Form1Hooks h = hooks();
        h.programDirectory = c.programDirectory;
        h.buildDirectory = c.buildDirectory;
        h.messageBox = [this](const MessageRequest& r) {
            messages.push_back(r);
            return r.buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
        };
        form = std::make_unique<Form1>(QLocale(QLocale::Italian, QLocale::Italy), h);
        form->controlAs<QCheckBox>(ctl::CLogFileExc)->setChecked(true);
        messages.clear();
        click(ctl::Command2);
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_EQ(messages[1].text, "File LogFile.xls Saved!!!");
        EXPECT_EQ(messages[1].title, " FILE LogFile.xls SAVED!!!");
        EXPECT_EQ(messages[1].tip, c.xlsFolder);
        const QString xls = QDir(c.xlsFolder).filePath("LogFile.xls");
        EXPECT_GT(QFileInfo(xls).size(), 0);
        EXPECT_GT(QFileInfo(QDir(c.logFolder).filePath("LogFile.txt")).size(), 0);
        if (c.buildDirectory.isEmpty()) {
            EXPECT_TRUE(messages[1].detail.contains(xls)) << messages[1].detail.toStdString();
            EXPECT_TRUE(QDir(installed.path()).isEmpty()) << "the program's own folder";
        } else {
            EXPECT_EQ(messages[1].detail, "");
        }
        QFile::remove(xls);
        QFile::remove(QDir(c.logFolder).filePath("LogFile.txt"));
    }
    qputenv("HOME", oldHome);
    qputenv("XDG_CONFIG_HOME", oldConfig);
}

TEST_F(Form1Test, GirotondoStopsAtTheTenthSnapshot) {
    QString shownAtPump;
    atPumps({[&] {
        shownAtPump = form->controlAs<QLineEdit>(ctl::TJ)->text();
        click(ctl::CStop);
    }});
    click(ctl::Command4);
    EXPECT_EQ(shownAtPump, "10");
    EXPECT_EQ(text(ctl::LStatus), "Stopped!");
    EXPECT_TRUE(enabled(ctl::Command4));
}

}  // namespace
}  // namespace velarion::window::testing
