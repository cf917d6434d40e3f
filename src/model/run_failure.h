#pragma once

#include <QString>

#include <cstdint>
#include <exception>

namespace velarion {

// A failure that ends a run: its message tells the user what went wrong.
class RunFailure : public std::exception {
  public:
    explicit RunFailure(QString message) : message_(std::move(message)) {}
    const QString& message() const { return message_; }
    const char* what() const noexcept override { return "run failure"; }

  private:
    QString message_;
};

// The reason for a failure that is not the run's own, such as no memory for
// a box's text: the run ends on its error path, not with the program.
inline QString unexpectedFailure(const std::exception& error) {
    return QStringLiteral("The run failed (%1)").arg(QString::fromLocal8Bit(error.what()));
}

// The reason for a position that is infinite or NaN.
inline QString nonFiniteReason(std::int64_t level, int segment) {
    return QStringLiteral(
               "Level %1, segment %2: the position is not a finite number (division "
               "by zero, overflow or an invalid operation).")
        .arg(level)
        .arg(segment);
}

}  // namespace velarion
