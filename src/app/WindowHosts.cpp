#include "app/WindowHosts.h"

#include "app/MainFrm.h"
#include "app/SysHotKey.h"
#include "config/ui/SettingsHost.h"
#include "platform/HotKeyGrabber.h"
#include "platform/linux/QtWindowSystem.h"

namespace {

class TWindowSettingsHost final : public ISettingsHost
{
public:
    explicit TWindowSettingsHost(TMainForm& window) : m_window(window) {}
    void enableHotKeys(bool on) override;
    bool hotKeyRegistered() override;
    QString grantedHotKey() override;
    bool compositorKeys() override;

private:
    TMainForm& m_window;
};

} // namespace

void TWindowSettingsHost::enableHotKeys(bool on)
{
    m_window.EnableHotKeys(on);
}

bool TWindowSettingsHost::hotKeyRegistered()
{
    return m_window.SysHotKey()->HotKeys().Items(0)->Registered();
}

QString TWindowSettingsHost::grantedHotKey()
{
    return m_window.SysHotKey()->grabber().grantedTrigger(0);
}

bool TWindowSettingsHost::compositorKeys()
{
    return InWaylandSession();
}

std::unique_ptr<ISettingsHost> MakeWindowSettingsHost(TMainForm& window)
{
    return std::make_unique<TWindowSettingsHost>(window);
}
