#pragma once

#include "config/BaseConfigMgr.h"

#include <QDateTime>
#include <QFlags>
#include <QObject>
#include <QString>
#include <QStringList>

// A colour as stored: 00BBGGRR for an RGB colour (red in the low byte), FF000000 plus the index
// for a system colour (FF000005, stored as -16777211, is the window background).
using TColor = qint32;

// A font as the settings keep it, in five keys.
struct TFontSetting
{
    QString Name;
    qint32 Size = 0;
    quint8 Style = 0; // 1 bold, 2 italic, 4 underline, 8 strike-out
    TColor Color = 0;
    quint8 Charset = 0;

    bool operator==(const TFontSetting&) const = default;
};

// The parts of the program that follow a group of settings, for the settings' changed signal.
enum class TSettingsArea
{
    RunOnStartup = 0x01,    // the autostart entry
    HotKey = 0x02,          // the global hotkey
    WindowBehaviour = 0x04, // the close button and the tab strip's double click
    Desktop = 0x08,         // the text on the desktop
    ReminderMenu = 0x10,    // the reminder menu's check marks
    All = 0x1f,
};
Q_DECLARE_FLAGS(TSettingsAreas, TSettingsArea)
Q_DECLARE_OPERATORS_FOR_FLAGS(TSettingsAreas)

// The application settings of Config.ini. Every field is named after its key and read and
// assigned directly; nothing reaches the file before SaveSettings, which also runs when the
// object is released.
//
//   TAppConfigMgr config(AppDir() + u"Config.ini"_s);   // defaults, then the file
//   config.WinLeft = 10;
//   if (!config.SaveSettings())
//       show(config.TakeUnreportedError());           // empty when already shown once
//
// Whoever changes settings that other parts must take up at once (the settings dialog after OK)
// emits changed with those areas; each part follows its own.
class TAppConfigMgr final : public QObject, public TBaseConfigMgr
{
    Q_OBJECT
public:
    // now is the moment of creation; ShutDownTime defaults to 30 seconds after it.
    explicit TAppConfigMgr(QString fileName, const QDateTime& now = QDateTime::currentDateTime());
    // Saves; a failure is lost here, so callers that care save first and then switch this save
    // off (a huge file takes as long to write as to read).
    ~TAppConfigMgr() override;
    void SetSaveOnRelease(bool save) { m_saveOnRelease = save; }

    QString FileName() const { return m_fileName; }

    void SetDefaults();
    // Defaults stay for everything the file lacks or that does not convert. A file that cannot
    // be read leaves every field as it was: false, with the reason in LastError.
    bool LoadSettings();
    // Writes every field into the store and the store into the file. False on failure, with the
    // reason in LastError (and once in TakeUnreportedError); the old file then stays as it was.
    bool SaveSettings();

    void SetInsertCustomList(const QStringList& list) { InsertCustomList = list; }
    TFontSetting EditorFont() const;
    void SetEditorFont(const TFontSetting& font);
    TFontSetting DesktopFont() const;
    void SetDesktopFont(const TFontSetting& font);

    // The text ShutDownTime is stored as: "yyyy-mm-dd hh:nn:ss", the date alone at midnight.
    static QString DateTimeToText(const QDateTime& value);
    // Reads that form, "yyyy/m/d h:nn:ss" (seconds optional) or a date alone; false otherwise.
    static bool TextToDateTime(const QString& text, QDateTime& value);
    // The stored form of InsertCustomList: the list's comma text in GB18030, as hex digits.
    static QString EncodeCustomList(const QStringList& list);
    // Reads hex digit pairs in either case up to the first pair that is not one (an odd last
    // digit included), and splits the text they spell as comma text.
    static QStringList DecodeCustomList(const QString& hex);

    // [Config]
    bool RunOnStartup = true;
    bool MinOnClose = true;
    quint8 DblClickTitleActionType = 1; // 0 nothing, 1 delete the page, 2 change its title
    bool WordWrap = true;
    bool StayOnTop = false;
    QString FontName;
    qint32 FontSize = 9;
    quint8 FontStyle = 0;
    TColor FontColor = 0;
    quint8 FontCharset = 134;
    TColor BgColor = -16777211;
    bool PromptMinToTray = true;
    qint32 WinLeft = 0;
    qint32 WinTop = 0;
    qint32 WinRight = 0;
    qint32 WinBottom = 0;
    bool WinMaximized = false;
    qint32 PageIndex = 0;
    quint8 HotKeyBase = 37;     // index into the hotkey's key table; 37 is D
    quint8 HotKeyModifiers = 2; // 1 Shift, 2 Ctrl, 4 Alt, 8 Win
    QString InsertLineText;
    QString InsertDateText;
    QString InsertLineDateText;
    QStringList InsertCustomList; // each element one text's lines in comma-text form
    // [Alarm]
    bool Alarm = true;
    bool Beep = true;
    bool ShutDown = false;
    QDateTime ShutDownTime;
    // [Desktop]
    bool OnDesktop = true;
    QString DesktoFontName;
    qint32 DesktoFontSize = 11;
    quint8 DesktoFontStyle = 0;
    TColor DesktoFontColor = 16777215;
    quint8 DesktoFontCharset = 134;
    TColor SeperatorColor = 65280;
    quint8 DesktopAligment = 2; // 0 left, 1 centre, 2 right
    qint32 AligmentSpace = 10;
    bool ShowWallPaper = true;
    // [Messager]
    bool Messager = true;
    bool HideOnStart = true;

signals:
    // The settings of these areas were changed and are to be applied now; a part that corrects
    // a setting it cannot take (the desktop text that cannot be shown) does so before returning.
    void changed(TSettingsAreas areas);

private:
    void readFields();
    void writeFields();

    QString m_fileName;
    QDateTime m_created;
    bool m_saveOnRelease = true;
};
