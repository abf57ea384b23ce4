#pragma once

#include "platform/Platform.h"
#include "platform/linux/AlsaSoundOutput.h"
#include "platform/linux/DesktopShell.h"
#include "platform/linux/DialogFolderPicker.h"
#include "platform/linux/FreedesktopTrash.h"
#include "platform/linux/HostSystemInfo.h"
#include "platform/linux/LogindPowerOff.h"
#include "platform/linux/QtWindowSystem.h"
#include "platform/linux/XdgAutostart.h"

// Owns the real Linux implementations and hands them out as a TPlatform.
class LinuxPlatform final
{
public:
    LinuxPlatform();
    ~LinuxPlatform();
    const TPlatform& services() const { return m_services; }

private:
    FreedesktopTrash m_trash;
    DesktopShell m_shell;
    XdgAutostart m_autostart;
    DialogFolderPicker m_folderPicker;
    HostSystemInfo m_systemInfo;
    QtWindowSystem m_windowSystem;
    AlsaSoundOutput m_sound;
    LogindPowerOff m_powerOff;
    TPlatform m_services;
};
