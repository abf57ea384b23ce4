#pragma once

#include "config/AppConfigMgr.h"
#include "widgets/BaseFrm.h"

#include <QLineEdit>

class IDialogService;
class QButtonGroup;
class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTimeEdit;

// The font and colour pickers over a stored setting. Both return false on Cancel and then leave
// their argument alone. Face, size, style and colour are chosen; the character set rides along
// unchanged.
bool PickFontSetting(IDialogService& dialogs, QWidget* owner, TFontSetting& font);
bool PickColorSetting(IDialogService& dialogs, QWidget* owner, TColor& color);

// A field that records one key of the hotkey table, without modifiers: Ctrl+J records J. Tab
// and Shift+Tab move the focus, Enter and Esc reach the dialog; every other key outside the
// table leaves the field as it was. Its value is the key's Windows key code (0: none).
class THotKeyEdit final : public QLineEdit
{
    Q_OBJECT
public:
    explicit THotKeyEdit(QWidget* parent = nullptr);

    int KeyCode() const { return m_code; }
    void SetKeyCode(int code);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;

private:
    int m_code = 0;
};

// The settings dialog "设置": five pages over the settings object. It copies the settings into
// its controls (LoadControls) and back (StoreControls); the font and colour buttons work on
// copies, so Cancel discards them with everything else.
class TConfigForm final : public TBaseForm
{
    Q_OBJECT
public:
    enum TPage
    {
        GeneralPage = 0,
        HotKeyPage = 1,
        InsTextPage = 2,
        AlarmPage = 3,
        DesktopPage = 4
    };

    TConfigForm(QWidget* owner, TAppConfigMgr& config, IDialogService& dialogs);

    void LoadControls();
    void StoreControls();
    // The key the desktop actually gave the hotkey ("Ctrl+Alt+J"); empty hides the line.
    void SetGrantedHotKey(const QString& trigger);
    // In a Wayland session the hotkey page says how to bind `jotvane --toggle` in the compositor.
    void SetCompositorKeyHint(bool shown);
    // OK: a new hotkey that would take a key away from typing in every program is confirmed
    // first; No leaves the dialog open on the hotkey page.
    void accept() override;

    const TFontSetting& WorkingFont() const { return m_workingFont; }
    TColor WorkingColor() const { return m_workingColor; }

    // The custom-text block's handlers (its controls are hidden).
    void InsCustomAddButtonClick();
    void InsCustomModifyButtonClick();
    void InsCustomDeleteButtonClick();
    void DesktoFontButtonClick();
    void SeperatorColorButtonClick();

    QTabWidget* PageControl = nullptr;
    QPushButton* OkButton = nullptr;
    QPushButton* CancelButton = nullptr;
    // General
    QCheckBox* RunOnStartupCheckBox = nullptr;
    QCheckBox* MinOnCloseCheckBox = nullptr;
    QGroupBox* DblClickTitleRadioGroup = nullptr;
    QButtonGroup* DblClickTitleButtons = nullptr;
    // Hot key
    THotKeyEdit* BaseHotKey = nullptr;
    QListWidget* HotKeyModCheckListBox = nullptr;
    // The key the desktop granted, where it chooses (shown only then).
    QLabel* GrantedHotKeyLabel = nullptr;
    // How to bind the toggle command to a key of the compositor (Wayland sessions only).
    QLabel* CompositorKeyLabel = nullptr;
    // Insert texts
    QLineEdit* InsLineEdit = nullptr;
    QLineEdit* InsDateEdit = nullptr;
    QLineEdit* InsLineDateEdit = nullptr;
    QLabel* InsCustomLabel = nullptr;
    QWidget* InsCustomLine = nullptr;
    QListWidget* InsCustomListBox = nullptr;
    QPushButton* InsCustomAddButton = nullptr;
    QPushButton* InsCustomModifyButton = nullptr;
    QPushButton* InsCustomDeleteButton = nullptr;
    // Alarm
    QCheckBox* AlarmCheckBox = nullptr;
    QCheckBox* BeepCheckBox = nullptr;
    QCheckBox* ShutDownCheckBox = nullptr;
    QDateEdit* ShutDownTimeDatePicker = nullptr;
    QTimeEdit* ShutDownTimeTimePicker = nullptr;
    // Desktop
    QCheckBox* OnDesktopCheckBox = nullptr;
    QCheckBox* ShowWallPaperCheckBox = nullptr;
    QPushButton* DesktoFontButton = nullptr;
    QPushButton* SeperatorColorButton = nullptr;
    QGroupBox* DesktopAligmentRadioGroup = nullptr;
    QButtonGroup* DesktopAligmentButtons = nullptr;
    QLineEdit* AligmentSpaceLabeledEdit = nullptr;

private:
    QWidget* CreateGeneralPage();
    void placeHotKeyNotes();
    QWidget* CreateHotKeyPage();
    QWidget* CreateInsTextPage();
    QWidget* CreateAlarmPage();
    QWidget* CreateDesktopPage();

    // The delete and hotkey questions: true for Yes.
    bool Confirm(const QString& question);
    // The multi-line input for a custom text; false on Cancel.
    bool InputText(const QString& caption, QString& text);
    // The hotkey's key and modifiers as the controls hold them.
    int ChosenHotKey() const;
    int ChosenHotKeyModifiers() const;

    TAppConfigMgr& m_config;
    IDialogService& m_dialogs;
    // The hotkey as loaded, which is never questioned again.
    int m_loadedHotKey = 0;
    int m_loadedHotKeyModifiers = 0;
    TFontSetting m_workingFont;
    TColor m_workingColor = 0;
};

// What the desktop makes of the hotkey, for the hotkey page.
struct THotKeyDesktop
{
    // The key the desktop gave the hotkey, where it is not simply the one configured.
    QString grantedTrigger;
    // A Wayland session: a key of the compositor bound to `jotvane --toggle` works where the
    // hotkey may not.
    bool compositorKeys = false;
};

// Opens the dialog over owner on page (0 general, 1 hotkey, 2 insert texts, 3 reminders,
// 4 desktop) and, when the user confirms with OK, stores every page into config. Nothing is
// saved or applied here. Returns whether the user confirmed.
bool ShowSettingsDialog(IDialogService& dialogs, QWidget* owner, TAppConfigMgr& config, int page,
                        const THotKeyDesktop& hotKeyDesktop = {});

// "Ctrl+Alt+J": the modifiers in that order (Ctrl, Alt, Shift, Win), then the key's name.
QString HotKeyText(int virtualKey, int modifiers);

// Whether a global hotkey would take a key away from typing: a letter, digit, space, or a key
// that edits or moves in text, with no modifier or Shift alone. Typing it in any program would
// show or hide the window instead.
bool IsTypingHotKey(int virtualKey, int modifiers);
