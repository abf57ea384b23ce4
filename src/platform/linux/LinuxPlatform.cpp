#include "platform/linux/LinuxPlatform.h"

LinuxPlatform::LinuxPlatform()
    : m_services(TPlatform::Of(m_trash, m_shell, m_autostart, m_folderPicker, m_systemInfo, m_windowSystem,
                               m_sound, m_powerOff))
{
}

LinuxPlatform::~LinuxPlatform() = default;
