#pragma once

// The user's guide: where it lies and the window that shows it.

#include <QString>
#include <QStringList>
#include <QTextBrowser>

namespace velarion::window {

// The places the guide may lie, best first: where the install puts it,
// relative to the program's directory, then the repository's copy, for a
// program run from its build tree.
QStringList guideCandidates(const QString& programDirectory);

// The first candidate that exists; empty when none does.
QString guidePath(const QString& programDirectory);

// "Velarion - User's guide": the Markdown guide drawn with its tables and
// pictures. Links out of the guide open in the desktop's browser.
class GuideWindow : public QTextBrowser {
  public:
    GuideWindow(const QString& path, QWidget* parent = nullptr);
};

}  // namespace velarion::window
