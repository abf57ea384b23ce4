#pragma once

#include "config/BaseConfigMgr.h"

#include <QString>

class ISystemInfo;

// The messenger window's last bounds in screen pixels; all four zero means none were stored.
struct TWindowBounds
{
    qint32 Left = 0;
    qint32 Top = 0;
    qint32 Right = 0;
    qint32 Bottom = 0;

    bool IsNull() const { return Left == 0 && Top == 0 && Right == 0 && Bottom == 0; }
    bool operator==(const TWindowBounds&) const = default;
};

// The messenger's settings of MSGConfig.ini, read when the messenger window is created and
// written when it closes (SaveSettings, which also runs when the object is released).
class TMessagerConfigMgr final : public TBaseConfigMgr
{
public:
    // appFolder is the folder the share and work folders default to; systemInfo names this
    // computer, the default user name.
    TMessagerConfigMgr(QString fileName, const QString& appFolder, const ISystemInfo& systemInfo);
    ~TMessagerConfigMgr() override;

    QString FileName() const { return m_fileName; }

    void SetDefaults();
    // As TAppConfigMgr::LoadSettings.
    bool LoadSettings();
    bool SaveSettings();

    // [Config]
    bool ShowHint = true;
    TWindowBounds WindowBounds; // WinLeft, WinTop, WinRight, WinBottom
    // [Messager]
    bool MessageJump = true;
    bool MessagePrompt = true;
    bool ChatSeft = true;
    QString UserName;      // at most 20 characters reach the datagrams
    QString SharePath;     // the file server's root, with a trailing "/"
    QString WorkPath;      // kept for the file; nothing uses it
    QString ServerAddress; // the relay server, empty for none
    QString UserGroup;     // the groups as delimited text

private:
    void readFields();
    void writeFields();

    QString m_fileName;
    QString m_appFolder;
    QString m_computerName;
};
