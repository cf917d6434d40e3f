#include "config_file.h"

#include "output/whole_file.h"

#include "model/parameter_boxes.h"

#include <QFile>

namespace velarion {

namespace {

const QByteArray kByteOrderMark = QByteArrayLiteral("\xEF\xBB\xBF");

enum class LineRead { Line, End, TooLong, Error };

// Reads the lines of a file whatever editor wrote it: a line ends at CR LF,
// LF or a lone CR. CRs right before an LF belong to that one line end, as
// in files converted to CR LF twice; otherwise each CR ends a line, so an
// empty line of a CR-only file is kept. A line is read only up to the
// longest text a box holds, so a huge file is never read whole.
class LineReader {
  public:
    explicit LineReader(QIODevice& device) : device_(device) {}

    void skipByteOrderMark() {
        if (device_.peek(kByteOrderMark.size()) == kByteOrderMark) {
            device_.skip(kByteOrderMark.size());
        }
    }
    LineRead next(QByteArray& line);

  private:
    void endAtCr();

    QIODevice& device_;
    qint64 emptyLinesPending_ = 0;
};

LineRead LineReader::next(QByteArray& line) {
    line.clear();
    if (emptyLinesPending_ > 0) {
        --emptyLinesPending_;
        return LineRead::Line;
    }
    bool readAny = false;
    char c = 0;
    while (device_.getChar(&c)) {
        readAny = true;
        if (c == '\n') {
            return LineRead::Line;
        }
        if (c == '\r') {
            endAtCr();
            return LineRead::Line;
        }
        if (line.size() == kMaxBoxTextLength) {
            return LineRead::TooLong;
        }
        line += c;
    }
    if (!device_.atEnd()) {
        return LineRead::Error;
    }
    return readAny ? LineRead::Line : LineRead::End;
}

// Takes the CRs after a line's CR, and the LF after them if there is one.
void LineReader::endAtCr() {
    qint64 crs = 1;
    char c = 0;
    bool more = device_.getChar(&c);
    while (more && c == '\r') {
        ++crs;
        more = device_.getChar(&c);
    }
    if (more && c == '\n') {
        return;
    }
    if (more) {
        device_.ungetChar(c);
    }
    emptyLinesPending_ = crs - 1;
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

QString longLineReason(int line, std::string_view box) {
    return QStringLiteral("Line %1 is longer than the %2 characters that the box %3 can hold.")
        .arg(line)
        .arg(kMaxBoxTextLength)
        .arg(describeBox(box));
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

// Texts a box of the window never holds, but a batch run can be given.
QString overLongReason(std::string_view box, const QString& text) {
    return QStringLiteral("The box %1 holds %2 characters, more than the %3 that a box can hold.")
        .arg(describeBox(box))
        .arg(text.size())
        .arg(kMaxBoxTextLength);
}

// The load drops a byte order mark, so a first text that begins like one
// would not come back as it was saved.
QString byteOrderMarkReason(std::string_view box) {
    return QStringLiteral(
               "The box %1 begins with \"%2\", which a configuration file cannot hold at its "
               "start: it reads as a byte order mark.")
        .arg(describeBox(box), QString::fromLatin1(kByteOrderMark));
}

}  // namespace

bool readConfig(QIODevice& device, ConfigTexts& texts, QString& reason) {
    const auto boxes = parameterBoxes();
    LineReader reader(device);
    reader.skipByteOrderMark();
    ConfigTexts read;
    QByteArray line;
    for (int i = 0; i < kConfigLines; ++i) {
        const auto box = static_cast<std::size_t>(i);
        switch (reader.next(line)) {
            case LineRead::Line:
                read[box] = QString::fromLatin1(line);
                continue;
            case LineRead::End:
                reason = shortFileReason(i);
                return false;
            case LineRead::TooLong:
                reason = longLineReason(i + 1, boxes[box].name);
                return false;
            case LineRead::Error:
                reason = device.errorString();
                return false;
        }
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
    if (QString::fromLatin1(kByteOrderMark) == texts[0].left(kByteOrderMark.size())) {
        reason = byteOrderMarkReason(boxes[0].name);
        return false;
    }
    QByteArray encoded;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i].size() > kMaxBoxTextLength) {
            reason = overLongReason(boxes[i].name, texts[i]);
            return false;
        }
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
    return writeWholeFile(name, bytes, reason);
}

QStringList configFileNames(const QDir& dir) {
    return dir.entryList({QStringLiteral("*.cnf")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
}

}  // namespace velarion
