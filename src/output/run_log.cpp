#include "run_log.h"

namespace velarion {

namespace {
const QString kLineEnd = QStringLiteral("\r\n");
}

RunLog::RunLog(QString path) : file_(std::move(path)) {}

RunLog::~RunLog() {
    close();
}

bool RunLog::open() {
    close();
    recordsEnd_ = 0;
    error_.clear();
    return file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
}

// A short write sets no error; writing the rest then fails with the
// system's reason (for example "No space left on device").
bool RunLog::writeAll(const QByteArray& bytes) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file_.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            return false;
        }
        done += n;
    }
    return true;
}

bool RunLog::writeRecord(const QString& line) {
    const QByteArray bytes = (line + kLineEnd).toLocal8Bit();
    if (writeAll(bytes)) {
        recordsEnd_ += bytes.size();
        return true;
    }
    error_ = file_.errorString();
    if (file_.size() > recordsEnd_) {
        file_.resize(recordsEnd_);
    }
    return false;
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
