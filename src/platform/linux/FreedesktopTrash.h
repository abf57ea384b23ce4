#pragma once

#include "platform/Trash.h"

class FreedesktopTrash final : public ITrash
{
public:
    bool moveToTrash(const QString& path) override;
    bool removePermanently(const QString& path) override;
};
