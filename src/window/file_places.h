#pragma once

// Where the window writes LogFile.txt and LogFile.xls.

#include <QString>

namespace velarion::window {

// The window's two files and what the spreadsheet's success box adds below
// its text.
struct FilePlaces {
    QString logPath;  // LogFile.txt
    QString excelPath;
    QString excelDetail;
};

// Run from its build tree, the program keeps the designed places: LogFile.txt
// in the working folder, LogFile.xls beside the program while that folder can
// be written. An installed program never writes into its own folder: both
// files go to the working folder when it can be written and is neither the
// root nor the program's folder, else to the user's documents folder.
// `buildDirectory` is the folder the build puts the program in; empty: this
// build's.
FilePlaces filePlaces(const QString& programDirectory, const QString& buildDirectory = QString());

}  // namespace velarion::window
