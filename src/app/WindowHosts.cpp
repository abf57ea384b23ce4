#include "app/WindowHosts.h"

#include "app/Controllers.h"
#include "app/MainFrm.h"
#include "app/SysHotKey.h"
#include "config/ui/SettingsController.h"
#include "config/ui/SettingsHost.h"
#include "platform/HotKeyGrabber.h"
#include "platform/linux/QtWindowSystem.h"
#include "templates/ui/InsertHost.h"

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

class TWindowInsertHost final : public IInsertHost
{
public:
    TWindowInsertHost(TMainForm& window, TControllers& controllers)
        : m_window(window), m_controllers(controllers)
    {
    }
    TPadMemo* currentEditor() override;
    bool showSettingsDialog(int page) override;

private:
    TMainForm& m_window;
    TControllers& m_controllers;
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

TPadMemo* TWindowInsertHost::currentEditor()
{
    return m_window.CurrentEditor();
}

bool TWindowInsertHost::showSettingsDialog(int page)
{
    return m_controllers.Settings().ShowDialog(page);
}

std::unique_ptr<ISettingsHost> MakeWindowSettingsHost(TMainForm& window)
{
    return std::make_unique<TWindowSettingsHost>(window);
}

std::unique_ptr<IInsertHost> MakeWindowInsertHost(TMainForm& window, TControllers& controllers)
{
    return std::make_unique<TWindowInsertHost>(window, controllers);
}
