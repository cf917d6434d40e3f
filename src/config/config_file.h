#pragma once

#include <QByteArray>
#include <QDir>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <array>

namespace velarion {

// A configuration file holds the texts of the eleven parameter boxes, one per
// line in the order of parameterBoxes(), as 8-bit Latin-1 text; every line,
// the last one included, ends with CR LF.
inline constexpr int kConfigLines = 11;
using ConfigTexts = std::array<QString, kConfigLines>;
// The longest text a box holds (QLineEdit's maximum length), and so the
// longest line a configuration file may have.
inline constexpr int kMaxBoxTextLength = 32767;

// Reads the first eleven lines of an open device; lines after the eleventh
// are not read. A line ends at CR LF, at LF or at a lone CR (CRs right
// before an LF are dropped with it), and a UTF-8 byte order mark at the
// start is dropped, so files from other editors load as well. Fewer than
// eleven lines, a line longer than a box holds, or a read error give false
// with `reason` set and `texts` untouched.
bool readConfig(QIODevice& device, ConfigTexts& texts, QString& reason);
// The same for a file named relative to the working directory.
bool readConfigFile(const QString& name, ConfigTexts& texts, QString& reason);

// The file's bytes. A text that a line of the file cannot hold (a character
// outside Latin-1, a line break, more than a box holds, a first text that
// begins like a byte order mark) gives false with `reason` naming the box.
bool encodeConfig(const ConfigTexts& texts, QByteArray& bytes, QString& reason);

// Writes the bytes to a file named exactly `name`, relative to the working
// directory, as writeWholeFile does: an existing file is replaced only by a
// complete one. False with the system's reason otherwise.
bool writeConfigFile(const QString& name, const QByteArray& bytes, QString& reason);

// The names of the files in `dir` matching "*.cnf", in any case, sorted as
// a file list box shows them.
QStringList configFileNames(const QDir& dir = QDir::current());

}  // namespace velarion
