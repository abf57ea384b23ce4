#pragma once

#include "platform/Autostart.h"
#include "platform/FolderPicker.h"
#include "platform/PowerOff.h"
#include "platform/Shell.h"
#include "platform/SoundOutput.h"
#include "platform/SystemInfo.h"
#include "platform/Trash.h"
#include "platform/WindowSystem.h"

// The environment-bound services the program uses, in one place. main() builds the Linux set
// (platform/linux/LinuxPlatform.h); tests build their own with fakes.
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
