#pragma once

#include "platform/FolderPicker.h"

class DialogFolderPicker final : public IFolderPicker
{
public:
    bool pickFolder(QWidget* owner, const QString& title, const QString& root, QString& path) override;
};
