#pragma once

#include <QString>

#include <stdexcept>

// An index outside a list's bounds: the tab strip's selection, the layer list's positions.
class EListError : public std::out_of_range
{
public:
    explicit EListError(const QString& message) : std::out_of_range(message.toStdString()), m_message(message)
    {
    }
    const QString& Message() const { return m_message; }

private:
    QString m_message;
};
