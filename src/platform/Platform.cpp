#include "platform/Platform.h"

LinuxPlatform::LinuxPlatform()
{
    m_services.trash = &m_trash;
    m_services.shell = &m_shell;
    m_services.autostart = &m_autostart;
    m_services.folderPicker = &m_folderPicker;
    m_services.systemInfo = &m_systemInfo;
    m_services.windowSystem = &m_windowSystem;
    m_services.sound = &m_sound;
    m_services.powerOff = &m_powerOff;
}

LinuxPlatform::~LinuxPlatform() = default;
