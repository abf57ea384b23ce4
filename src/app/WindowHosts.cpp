#include "app/WindowHosts.h"

#include "app/Controllers.h"
#include "app/MainFrm.h"
#include "app/SysHotKey.h"
#include "config/ui/ConfigFrm.h"
#include "config/ui/SettingsController.h"
#include "config/ui/SettingsHost.h"
#include "desktop/OnDesk.h"
#include "desktop/ui/DesktopCommands.h"
#include "messenger/ui/MessengerController.h"
#include "notes/ui/FileHost.h"
#include "notes/ui/PadMemo.h"
#include "notes/ui/PageSet.h"
#include "platform/HotKeyGrabber.h"
#include "platform/linux/QtWindowSystem.h"
#include "reminders/ui/ReminderEditorsHost.h"
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

class TWindowFileHost final : public IFileHost
{
public:
    TWindowFileHost(TMainForm& window, TControllers& controllers)
        : m_window(window), m_controllers(controllers)
    {
    }
    TPadMemo* currentEditor() override;
    void openAsPage(const QString& text) override;
    void saveAll() override;
    QList<TUnsavedPage> unsavedPages() override;
    void saveMessengerState() override;

private:
    TMainForm& m_window;
    TControllers& m_controllers;
};

class TWindowReminderEditors final : public IReminderEditorsHost
{
public:
    TWindowReminderEditors(TMainForm& window, TControllers& controllers)
        : m_window(window), m_controllers(controllers)
    {
    }
    QWidget* window() override;
    TPadMemo* firstEditor() override;
    TPadMemo* currentEditor() override;
    void sendDesktopLines(TPadMemo* firstEditor) override;
    bool openSettings(int pageIndex) override;

private:
    TMainForm& m_window;
    TControllers& m_controllers;
};

// The font and colour are picked as on the settings dialog's desktop page.
class TWindowDesktopHost final : public IDesktopHost
{
public:
    TWindowDesktopHost(TMainForm& window, TControllers& controllers)
        : m_window(window), m_controllers(controllers)
    {
    }
    QWidget* OwnerWindow() override;
    QStringList FirstPageLines() override;
    void PasteAtCaret(const QString& text) override;
    bool PickFont(TFontSetting& font) override;
    bool PickColor(TColor& color) override;
    bool OpenSettings(int pageIndex) override;

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

TPadMemo* TWindowFileHost::currentEditor()
{
    return m_window.CurrentEditor();
}

void TWindowFileHost::openAsPage(const QString& text)
{
    m_window.Pages().NewPageActionExecute();
    if (TPadMemo* editor = m_window.CurrentEditor()) {
        editor->SetPageText(text);
        editor->SetModified(true);
    }
}

void TWindowFileHost::saveAll()
{
    m_window.SaveModifiedPages();
}

QList<TUnsavedPage> TWindowFileHost::unsavedPages()
{
    QList<TUnsavedPage> pages;
    const TPageSet& set = m_window.Pages();
    for (int i = 0; i < set.PageCount(); ++i)
        if (set.HasEditor(i) && set.EditorAt(i)->Modified())
            pages.append({set.PageKey(i), i, set.PageTitle(i), set.EditorAt(i)->PageText()});
    return pages;
}

void TWindowFileHost::saveMessengerState()
{
    m_controllers.Messenger().SaveState();
}

QWidget* TWindowReminderEditors::window()
{
    return &m_window;
}

TPadMemo* TWindowReminderEditors::firstEditor()
{
    return m_window.PageCount() > 0 ? m_window.EditorAt(0) : nullptr;
}

TPadMemo* TWindowReminderEditors::currentEditor()
{
    return m_window.CurrentEditor();
}

void TWindowReminderEditors::sendDesktopLines(TPadMemo*)
{
    // The desktop commands read the first page themselves.
    m_controllers.Desktop().ReminderFired();
}

bool TWindowReminderEditors::openSettings(int pageIndex)
{
    return m_controllers.Settings().ShowDialog(pageIndex);
}

QWidget* TWindowDesktopHost::OwnerWindow()
{
    return &m_window;
}

QStringList TWindowDesktopHost::FirstPageLines()
{
    if (m_window.PageCount() == 0)
        return {};
    return EditorLines(m_window.EditorAt(0)->toPlainText());
}

void TWindowDesktopHost::PasteAtCaret(const QString& text)
{
    m_window.PasteAtCaret(text);
}

bool TWindowDesktopHost::PickFont(TFontSetting& font)
{
    return PickFontSetting(*m_window.Context().dialogs, &m_window, font);
}

bool TWindowDesktopHost::PickColor(TColor& color)
{
    return PickColorSetting(*m_window.Context().dialogs, &m_window, color);
}

bool TWindowDesktopHost::OpenSettings(int pageIndex)
{
    return m_controllers.Settings().ShowDialog(pageIndex);
}

std::unique_ptr<ISettingsHost> MakeWindowSettingsHost(TMainForm& window)
{
    return std::make_unique<TWindowSettingsHost>(window);
}

std::unique_ptr<IInsertHost> MakeWindowInsertHost(TMainForm& window, TControllers& controllers)
{
    return std::make_unique<TWindowInsertHost>(window, controllers);
}

std::unique_ptr<IFileHost> MakeWindowFileHost(TMainForm& window, TControllers& controllers)
{
    return std::make_unique<TWindowFileHost>(window, controllers);
}

std::unique_ptr<IReminderEditorsHost> MakeWindowReminderEditors(TMainForm& window, TControllers& controllers)
{
    return std::make_unique<TWindowReminderEditors>(window, controllers);
}

std::unique_ptr<IDesktopHost> MakeWindowDesktopHost(TMainForm& window, TControllers& controllers)
{
    return std::make_unique<TWindowDesktopHost>(window, controllers);
}
