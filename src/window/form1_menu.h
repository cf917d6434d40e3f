#pragma once

#include "runs/form_state.h"
#include "runs/window_ops.h"

#include <QString>

#include <optional>

class QMenuBar;
class QWidget;

namespace velarion::window {

class Form1;

// What File → Export CSV… asks for: the file and the segments to write.
struct CsvChoice {
    QString path;
    QString segments;
};

// The menu bar of Form1: File (Export CSV…, Quit), View (Results…), Model
// (Restoring free end, checkable, and the water-hammer items), Help (User's
// guide, About Velarion). It lies above the client area, outside it.
QMenuBar* buildForm1MenuBar(Form1& form);

// The file and the segments, asked with the desktop's dialogs; nothing when
// the user cancels either.
std::optional<CsvChoice> askCsvChoice(QWidget* parent, const QString& defaultSegments);

// Writes the chosen segments of psi as CSV and tells the user what failed.
void exportPsiCsv(WindowOps& ops, const FormState& form, const CsvChoice& choice);

// The program's version and licence and the versions of the libraries it
// runs with.
QString aboutText();

// Below the About text: where the user's guide is, as a link (`guide` empty:
// not found).
QString aboutDetail(const QString& guide);

}  // namespace velarion::window
