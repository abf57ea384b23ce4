#pragma once

#include <QString>

#include <stdexcept>

// The one base of the program's own errors that carry a user-facing message: files that cannot
// be read or written, settings lists misused, hotkeys that cannot be held.
class EJotvaneError : public std::runtime_error
{
public:
    explicit EJotvaneError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    QString message() const { return m_message; }

private:
    QString m_message;
};
