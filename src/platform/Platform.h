#pragma once

#include "platform/Autostart.h"
#include "platform/FolderPicker.h"
#include "platform/PowerOff.h"
#include "platform/Shell.h"
#include "platform/SoundOutput.h"
#include "platform/SystemInfo.h"
#include "platform/Trash.h"
#include "platform/WindowSystem.h"

#include <memory>

// The environment-bound services the program uses, in one place. main() builds the Linux set;
// tests build their own with fakes.
struct TPlatform
{
    ITrash* trash = nullptr;
    IShell* shell = nullptr;
    IAutostart* autostart = nullptr;
    IFolderPicker* folderPicker = nullptr;
    ISystemInfo* systemInfo = nullptr;
    IWindowSystem* windowSystem = nullptr;
    ISoundOutput* sound = nullptr;
    IPowerOff* powerOff = nullptr;

    // Every service at once; each is of its own kind, so none can take another's place.
    static TPlatform Of(ITrash& trash, IShell& shell, IAutostart& autostart, IFolderPicker& folderPicker,
                        ISystemInfo& systemInfo, IWindowSystem& windowSystem, ISoundOutput& sound,
                        IPowerOff& powerOff)
    {
        return {&trash, &shell, &autostart, &folderPicker, &systemInfo, &windowSystem, &sound, &powerOff};
    }
};

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
