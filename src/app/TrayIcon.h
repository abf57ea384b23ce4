#pragma once

#include <QObject>

#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;
class TCommandTable;

// The note window's icon in the notification area with its menu. The menu belongs to no window:
// it must open while the note window is hidden (and disabled).
class TTrayIcon final : public QObject
{
    Q_OBJECT
public:
    // Without a notification area (or when useTray is off) there is no icon: Available() is
    // false and hiding minimises the window instead. The icon appears with ShowIcon; the icon
    // and the menu are made when first needed, so that they cost the start nothing.
    TTrayIcon(TCommandTable& commands, bool useTray, QObject* parent = nullptr);
    ~TTrayIcon() override;
    Q_DISABLE_COPY_MOVE(TTrayIcon)

    bool Available() const { return m_available; }
    // The icon once ShowIcon has put it up; nullptr before.
    QSystemTrayIcon* Icon() const { return m_icon; }
    QMenu* Menu();
    void SetWindowShown(bool shown);
    // Puts the icon into the notification area (once).
    void ShowIcon();
    // The balloon that tells where the window went; shown for 10 s.
    void ShowHint(const QString& title, const QString& text);

signals:
    // A click on the icon or the menu's show/hide item.
    void toggleRequested();
    // The menu is about to open: its items are brought up to date.
    void menuAboutToShow();

private:
    TCommandTable& m_commands;
    bool m_available = false;
    bool m_windowShown = true;
    std::unique_ptr<QMenu> m_menu;
    QAction* m_showItem = nullptr;
    QSystemTrayIcon* m_icon = nullptr;
};
