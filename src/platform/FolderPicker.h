#pragma once

#include <QString>

class QWidget;

// The folder picker dialog. Tests replace it with one that answers at once.
class IFolderPicker
{
public:
    virtual ~IFolderPicker() = default;
    // Shows a picker starting at path (under root when root is not empty). On OK stores the
    // chosen folder into path and returns true; on Cancel leaves path alone and returns false.
    virtual bool pickFolder(QWidget* owner, const QString& title, const QString& root, QString& path) = 0;
};
