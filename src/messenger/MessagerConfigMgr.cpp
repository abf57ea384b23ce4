#include "messenger/MessagerConfigMgr.h"
#include "core/PubUtils.h"
#include "core/TextFile.h"
#include "platform/SystemInfo.h"

#include <utility>

using namespace Qt::StringLiterals;

namespace {

const QString kConfig = u"Config"_s;
const QString kMessager = u"Messager"_s;

} // namespace

TMessagerConfigMgr::TMessagerConfigMgr(QString fileName, const QString& appFolder,
                                       const ISystemInfo& systemInfo)
    : m_fileName(std::move(fileName)), m_appFolder(NormalizeDir(appFolder)),
      m_computerName(systemInfo.computerName())
{
    SetDefaults();
    LoadSettings();
}

TMessagerConfigMgr::~TMessagerConfigMgr()
{
    SaveSettings();
}

void TMessagerConfigMgr::SetDefaults()
{
    ShowHint = true;
    WindowBounds = TWindowBounds{};
    MessageJump = true;
    MessagePrompt = true;
    ChatSeft = true;
    UserName = m_computerName;
    SharePath = m_appFolder + u"SharePath/"_s;
    WorkPath = m_appFolder + u"WorkPath"_s;
    ServerAddress.clear();
    UserGroup.clear();
}

bool TMessagerConfigMgr::LoadSettings()
{
    const bool loaded = TryLoadFromFile(m_fileName);
    readFields();
    return loaded;
}

bool TMessagerConfigMgr::SaveSettings()
{
    writeFields();
    return TrySaveToFile(m_fileName);
}

void TMessagerConfigMgr::readFields()
{
    ShowHint = ReadBool(kConfig, u"ShowHint"_s, ShowHint);
    WindowBounds.Left = ReadInteger(kConfig, u"WinLeft"_s, WindowBounds.Left);
    WindowBounds.Top = ReadInteger(kConfig, u"WinTop"_s, WindowBounds.Top);
    WindowBounds.Right = ReadInteger(kConfig, u"WinRight"_s, WindowBounds.Right);
    WindowBounds.Bottom = ReadInteger(kConfig, u"WinBottom"_s, WindowBounds.Bottom);
    MessageJump = ReadBool(kMessager, u"MessageJump"_s, MessageJump);
    MessagePrompt = ReadBool(kMessager, u"MessagePrompt"_s, MessagePrompt);
    ChatSeft = ReadBool(kMessager, u"ChatSeft"_s, ChatSeft);
    UserName = ReadString(kMessager, u"UserName"_s, UserName);
    SharePath = ReadString(kMessager, u"SharePath"_s, SharePath);
    WorkPath = ReadString(kMessager, u"WorkPath"_s, WorkPath);
    ServerAddress = ReadString(kMessager, u"ServerAddress"_s, ServerAddress);
    UserGroup = ReadString(kMessager, u"UserGroup"_s, UserGroup);
}

void TMessagerConfigMgr::writeFields()
{
    WriteBool(kConfig, u"ShowHint"_s, ShowHint);
    WriteInteger(kConfig, u"WinLeft"_s, WindowBounds.Left);
    WriteInteger(kConfig, u"WinTop"_s, WindowBounds.Top);
    WriteInteger(kConfig, u"WinRight"_s, WindowBounds.Right);
    WriteInteger(kConfig, u"WinBottom"_s, WindowBounds.Bottom);
    WriteBool(kMessager, u"MessageJump"_s, MessageJump);
    WriteBool(kMessager, u"MessagePrompt"_s, MessagePrompt);
    WriteBool(kMessager, u"ChatSeft"_s, ChatSeft);
    WriteString(kMessager, u"UserName"_s, UserName);
    WriteString(kMessager, u"SharePath"_s, SharePath);
    WriteString(kMessager, u"WorkPath"_s, WorkPath);
    WriteString(kMessager, u"ServerAddress"_s, ServerAddress);
    WriteString(kMessager, u"UserGroup"_s, UserGroup);
}
