#pragma once

#include <QString>

// The outcome of an operation a caller must handle: success, or failure with a
// message in plain words (meant for logs and for the user's message box).
// Dropping one unread is a compile error; a caller that has nothing to do
// with it says so with (void) and a reason.
class [[nodiscard]] Status
{
public:
    Status() = default;
    static Status success() { return {}; }
    static Status failure(QString message) { return Status(std::move(message)); }

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const QString &message() const { return message_; }

private:
    explicit Status(QString message)
        : failed_(true)
        , message_(std::move(message))
    { }

    bool failed_ = false;
    QString message_;
};
