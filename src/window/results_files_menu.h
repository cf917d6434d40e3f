#pragma once

// File → Save Results…, Open Results…, Compare With… and Clear comparison:
// a run kept as a results file, reopened in the results window, or drawn
// over the run shown there.

#include "results_window.h"
#include "runs/run_record.h"

#include <QString>

#include <optional>

class QMenu;
class QWidget;

namespace velarion::window {

class Form1;

// Which of the menu's items asks for a file.
enum class ResultsDialog { Save, Open, Compare };

// The menu's four items, at the end of `file`'s first group.
void addResultsFileItems(QMenu& file, Form1& form);

// The file, asked with the desktop's dialog; empty when the user cancels.
QString askResultsPath(QWidget* parent, ResultsDialog dialog);

// What the window knows of its last run beyond psi: the boxes as typed when
// it started and the threads it took, for the record a results file keeps.
struct RunStart {
    std::vector<std::pair<QString, QString>> boxes;
    int threads = 1;
};

// The record of the run in psi with what made it, its positions psi where
// it lies (no copy: it lasts while psi is not replaced); nothing when psi
// holds no rows of a run.
std::optional<RunRecord> recordOfLastRun(const FormState& form, const RunStart& start);

// A results file as the results window shows it; nothing, with the file
// and the reason in `error`, when it cannot be read or holds no positions
// of a double or Girotondo run.
std::optional<SavedRun> readSavedRun(const QString& path, QString& error);

}  // namespace velarion::window
