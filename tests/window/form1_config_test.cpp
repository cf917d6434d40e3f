#include "form1_fixture.h"
#include "window/form1_layout.h"

#include <QLineEdit>
#include <QListWidget>

namespace velarion::window::testing {
namespace {

using Form1Config = Form1Fixture;

QListWidget* fileList(const Form1& form) {
    return form.controlAs<QListWidget>(ctl::File1);
}

QStringList entries(const QListWidget* list) {
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

TEST_F(Form1Config, SaveListsTheFileAndLoadBringsTheTextsBack) {
    set(ctl::TV0, "7,25");
    inputAnswers = {"run one.cnf"};
    click(ctl::CSaveConfig);
    EXPECT_EQ(entries(fileList(*form)), QStringList{"run one.cnf"});

    set(ctl::TV0, "1");
    fileList(*form)->setCurrentRow(0);
    click(ctl::Command5);
    EXPECT_EQ(form->controlAs<QLineEdit>(ctl::TV0)->text(), "7,25");
    EXPECT_EQ(text(ctl::LStatus), "File : run one.cnf...loaded!");
    EXPECT_EQ(form->control(ctl::Shape2)->width(), twipsToDip(50));
    EXPECT_TRUE(messages.empty());
}

TEST_F(Form1Config, LoadWithNoEntrySelectedOnlyShowsTheMessage) {
    inputAnswers = {"a.cnf"};
    click(ctl::CSaveConfig);
    set(ctl::TV0, "9");
    auto* list = fileList(*form);
    list->setCurrentItem(nullptr);
    click(ctl::Command5);
    // Tabbing into the list makes its first entry current, not selected.
    list->setCurrentRow(0, QItemSelectionModel::NoUpdate);
    ASSERT_TRUE(list->currentItem() && list->selectedItems().isEmpty());
    click(ctl::Command5);
    // Saving another file re-reads the list; it must not select that entry.
    inputAnswers = {"b.cnf"};
    click(ctl::CSaveConfig);
    click(ctl::Command5);
    // Each of the three loads found no selection (the message is the command's).
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages.back().text, "Select file");
    EXPECT_EQ(text(ctl::TV0), "9");
    EXPECT_EQ(text(ctl::LStatus), "");
}

// The load buttons stay usable during a run; the run keeps the values it
// read at its start.
TEST_F(Form1Config, LoadDuringARunChangesTheBoxesNotTheRun) {
    set(ctl::TINDICE_MATRICE1, "1000");
    set(ctl::Tnitertemp, "1000");
    inputAnswers = {"short run.cnf"};
    click(ctl::CSaveConfig);
    set(ctl::Tnitertemp, "500");
    fileList(*form)->setCurrentRow(0);
    bool loadEnabled = false;
    atPumps({[&] {
        loadEnabled = enabled(ctl::Command5) && enabled(ctl::CSaveConfig);
        click(ctl::Command5);
    }});
    click(ctl::Command2);
    EXPECT_TRUE(loadEnabled);
    EXPECT_EQ(text(ctl::Tnitertemp), "1000");
    EXPECT_EQ(text(ctl::TJ), "500");
    EXPECT_TRUE(text(ctl::LStatus).startsWith("Elaboration : "));
}

class Form1Arabic : public Form1Fixture {
  protected:
    Form1Arabic() : Form1Fixture(QLocale(QLocale::Arabic, QLocale::Egypt)) {}
};

TEST_F(Form1Arabic, AFreshWindowRunsSavesItsDefaultsAndLoadsThemBack) {
    click(ctl::Command2);
    EXPECT_TRUE(text(ctl::LStatus).startsWith("Elaboration : "))
        << text(ctl::LStatus).toStdString();
    inputAnswers = {"defaults.cnf"};
    click(ctl::CSaveConfig);
    ASSERT_TRUE(messages.empty()) << messages[0].text.toStdString();
    set(ctl::TV0, "1");
    fileList(*form)->setCurrentRow(0);
    click(ctl::Command5);
    EXPECT_EQ(text(ctl::TV0), "5.5");
    EXPECT_TRUE(logBytes().startsWith("2) -1.1E-05")) << logBytes().left(40).toStdString();
}

}  // namespace
}  // namespace velarion::window::testing
