#pragma once

#include <QString>

// Moving files to the desktop's trash and deleting them for good.
class ITrash
{
public:
    virtual ~ITrash() = default;
    // Moves a file or a whole folder to the trash; true on success.
    virtual bool moveToTrash(const QString& path) = 0;
    // Deletes a file or a whole folder tree for good; true on success.
    virtual bool removePermanently(const QString& path) = 0;
};
