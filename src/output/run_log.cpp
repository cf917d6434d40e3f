#include "run_log.h"

namespace velarion {

namespace {
const QString kLineEnd = QStringLiteral("\r\n");
}

RunLog::RunLog(QString path) : file_(std::move(path)) {}

RunLog::~RunLog() { close(); }

bool RunLog::open() {
    close();
    return file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
}

bool RunLog::writeRecord(const QString& line) {
    const QByteArray bytes = (line + kLineEnd).toLocal8Bit();
    return file_.write(bytes) == bytes.size();
}

bool RunLog::close() {
    if (!file_.isOpen()) {
        return true;
    }
    const bool flushed = file_.flush();
    file_.close();
    return flushed && file_.error() == QFileDevice::NoError;
}

QString logLine(std::int16_t J, const QString& first) {
    return QString::number(J) + QStringLiteral(") ") + first + kLineEnd;
}

QString logLine(std::int16_t J, const QString& first, const QString& last) {
    return QString::number(J) + QStringLiteral(") ") + first + QStringLiteral(" \t") + last +
           kLineEnd;
}

}  // namespace velarion
