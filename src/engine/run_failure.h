#pragma once

#include <QString>

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

}  // namespace velarion
