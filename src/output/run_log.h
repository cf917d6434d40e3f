#pragma once

#include <QFile>
#include <QString>

#include <cstdint>

namespace velarion {

// The run log LogFile.txt: one record per time level, each record being the
// log line and its own line end, so an empty line follows every record.
class RunLog {
  public:
    static constexpr const char* kFileName = "LogFile.txt";

    explicit RunLog(QString path = QString::fromLatin1(kFileName));
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // Creates or empties the file. False with errorString() on failure.
    bool open();
    bool isOpen() const { return file_.isOpen(); }
    // Writes one record and hands it to the system at once, so a program
    // that ends between two records leaves no partial record behind. When
    // the system takes only part of it (a full disk), the file is cut back
    // to the end of the last whole record.
    bool writeRecord(const QString& line);
    bool close();

    QString fileName() const { return file_.fileName(); }
    // The system's reason for the last failure.
    QString errorString() const { return error_.isEmpty() ? file_.errorString() : error_; }

  private:
    bool writeAll(const QByteArray& bytes);

    QFile file_;
    qint64 recordsEnd_ = 0;  // bytes of the whole records written
    QString error_;
};

// "J) " and the first position's text, with its CR LF: the line of the
// double-precision run.
QString logLine(std::int16_t J, const QString& first);
// The same with a blank, a TAB and the last position's text.
QString logLine(std::int16_t J, const QString& first, const QString& last);

}  // namespace velarion
