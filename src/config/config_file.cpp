#include "config_file.h"

#include "engine/parameter_boxes.h"
#include "engine/parameters.h"

#include <QFile>
#include <QSaveFile>

namespace velarion {

namespace {

// The line's text without its LF and without the CRs before it.
QString lineText(QByteArray line) {
    if (line.endsWith('\n')) {
        line.chop(1);
    }
    while (line.endsWith('\r')) {
        line.chop(1);
    }
    return QString::fromLatin1(line);
}

QString shortFileReason(int lines) {
    if (lines == 0) {
        return QStringLiteral("The file is empty; a configuration file has %1 lines.")
            .arg(kConfigLines);
    }
    return QStringLiteral("The file has only %1 %2; a configuration file has %3.")
        .arg(lines)
        .arg(lines == 1 ? QStringLiteral("line") : QStringLiteral("lines"))
        .arg(kConfigLines);
}

// The first character a line of the file cannot hold, or -1.
qsizetype unstorableAt(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() > 0xFF || c == u'\r' || c == u'\n') {
            return i;
        }
    }
    return -1;
}

QString unstorableReason(std::string_view box, const QString& text, qsizetype at) {
    const QChar c = text[at];
    if (c == u'\r' || c == u'\n') {
        return QStringLiteral(
                   "The box %1 holds a line break, which a line of a configuration "
                   "file cannot hold.")
            .arg(describeBox(box));
    }
    const bool pair = c.isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate();
    const char32_t code = pair ? QChar::surrogateToUcs4(c, text[at + 1]) : c.unicode();
    const QString hex =
        QString::number(static_cast<uint>(code), 16).toUpper().rightJustified(4, u'0');
    return QStringLiteral(
               "The box %1 holds the character \"%2\" (U+%3), which a configuration "
               "file cannot hold: it stores Latin-1 text only.")
        .arg(describeBox(box), text.mid(at, pair ? 2 : 1), hex);
}

}  // namespace

bool readConfig(QIODevice& device, ConfigTexts& texts, QString& reason) {
    ConfigTexts read;
    for (int i = 0; i < kConfigLines; ++i) {
        if (device.atEnd()) {
            reason = shortFileReason(i);
            return false;
        }
        const QByteArray line = device.readLine();
        if (line.isEmpty()) {
            reason = device.errorString();
            return false;
        }
        read[static_cast<std::size_t>(i)] = lineText(line);
    }
    texts = std::move(read);
    return true;
}

bool readConfigFile(const QString& name, ConfigTexts& texts, QString& reason) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        reason = file.errorString();
        return false;
    }
    return readConfig(file, texts, reason);
}

bool encodeConfig(const ConfigTexts& texts, QByteArray& bytes, QString& reason) {
    const auto boxes = parameterBoxes();
    QByteArray encoded;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const qsizetype at = unstorableAt(texts[i]);
        if (at >= 0) {
            reason = unstorableReason(boxes[i].name, texts[i], at);
            return false;
        }
        encoded += texts[i].toLatin1();
        encoded += "\r\n";
    }
    bytes = std::move(encoded);
    return true;
}

bool writeConfigFile(const QString& name, const QByteArray& bytes, QString& reason) {
    QSaveFile file(name);
    // The explicit flush matters: commit() alone takes a short final write
    // (a full disk) for success and would replace the old file with a part.
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() ||
        !file.commit()) {
        reason = file.errorString();
        return false;
    }
    return true;
}

QStringList configFileNames(const QDir& dir) {
    return dir.entryList({QStringLiteral("*.cnf")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
}

}  // namespace velarion
