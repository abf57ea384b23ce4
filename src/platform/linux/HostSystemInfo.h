#pragma once

#include "platform/SystemInfo.h"

class HostSystemInfo final : public ISystemInfo
{
public:
    QString computerName() const override;
    QString hardwareAddress() const override;
};
