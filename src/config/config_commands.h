#pragma once

#include "config_file.h"
#include "runs/window_ops.h"

#include <QString>

#include <functional>

namespace velarion {

// The texts of the eleven parameter boxes, in the file's order.
ConfigTexts boxTexts(const WindowOps& ops);
// Sets the eleven parameter boxes one by one in the file's order.
void setBoxTexts(WindowOps& ops, const ConfigTexts& texts);

// Reads the named file whole, then sets the eleven boxes from its first
// eleven lines. A file that cannot be read or is too short is reported in a
// message box, and then every box keeps its text. Only the eleven boxes
// change: TPrecision, the check boxes and the output boxes stay as they are.
bool LoadConfig(WindowOps& ops, const QString& File);

// Writes the eleven box texts to a file named exactly `name`. A failure
// (a text the file cannot hold, a name or file the system refuses, a full
// disk) is reported in a message box naming the file, and an existing file
// of that name keeps its content.
bool SaveConfig(WindowOps& ops, const QString& name);

// Click on "Save Config.": asks for a file name; a blank or cancelled answer
// does nothing. After a successful save `refreshFile1` re-reads the file
// list, then the save tone sounds.
void CSaveConfig(WindowOps& ops, const std::function<void()>& refreshFile1);

// Click on "Load Config." with the entry selected in File1 (empty when none):
// loads it, sounds the load tone, shows the file in the status line and
// resets the progress bar.
void Command5(WindowOps& ops, const QString& selected);

}  // namespace velarion
