#pragma once

#include <QString>

// Where the peer list keeps its saved groups (the UserGroup setting, in its stored form).
class IGroupStore
{
public:
    virtual ~IGroupStore() = default;
    // Read each time group mode is chosen.
    virtual QString read() = 0;
    // Written after every change to the list.
    virtual void write(const QString& userGroup) = 0;
};
