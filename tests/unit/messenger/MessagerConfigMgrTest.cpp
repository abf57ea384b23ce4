#include "messenger/MessagerConfigMgr.h"
#include "ConfigTestSupport.h"
#include "FakePlatform.h"
#include "TestSupport.h"
#include "core/TextFile.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class MessagerConfig : public ConfigFileTest
{
protected:
    QString file() const { return path(u"MSGConfig.ini"_s); }
    QString appFolder() const { return path(u"app"_s); } // without the trailing "/"
    FakeSystemInfo systemInfo;
};

} // namespace

TEST_F(MessagerConfig, FirstStartUsesTheComputerNameAndFoldersBesideTheProgram)
{
    systemInfo.name = u"王的电脑"_s;
    {
        TMessagerConfigMgr config(file(), appFolder(), systemInfo);
        EXPECT_TRUE(config.ShowHint);
        EXPECT_TRUE(config.MessageJump);
        EXPECT_TRUE(config.MessagePrompt);
        EXPECT_TRUE(config.ChatSeft);
        EXPECT_TRUE(config.WindowBounds.IsNull());
        EXPECT_EQ(config.UserName, u"王的电脑"_s);
        EXPECT_EQ(config.SharePath, appFolder() + u"/SharePath/"_s);
        EXPECT_EQ(config.WorkPath, appFolder() + u"/WorkPath"_s);
        EXPECT_TRUE(config.ServerAddress.isEmpty());
        EXPECT_TRUE(config.UserGroup.isEmpty());
        EXPECT_EQ(ReadBytes(file()), QByteArray("\xFF\xFE"));
    }
    EXPECT_EQ(
        Dump(ReadBytes(file())),
        Dump(IniBytes({u"[Messager]"_s, u"MessageJump=True"_s, u"MessagePrompt=True"_s, u"ChatSeft=True"_s,
                       u"UserName=王的电脑"_s, u"SharePath="_s + appFolder() + u"/SharePath/"_s,
                       u"WorkPath="_s + appFolder() + u"/WorkPath"_s, u"ServerAddress="_s, u"UserGroup="_s,
                       QString(), u"[Config]"_s, u"ShowHint=True"_s, u"WinLeft=0"_s, u"WinTop=0"_s,
                       u"WinRight=0"_s, u"WinBottom=0"_s, QString()})));
}

TEST_F(MessagerConfig, ValuesSurviveACloseAndARestart)
{
    const QString groups = u"同事=张三_李四|\"Team B=ann_bob lee\""_s;
    {
        TMessagerConfigMgr config(file(), appFolder(), systemInfo);
        config.ShowHint = false;
        config.WindowBounds = {10, 20, 610, 420};
        config.MessageJump = false;
        config.MessagePrompt = false;
        config.ChatSeft = false;
        config.UserName = u"小王"_s;
        config.ServerAddress = u"relay.example"_s;
        config.UserGroup = groups;
    }
    EXPECT_TRUE(DecodeText(ReadBytes(file())).contains(u"\r\nChatSeft=False\r\n"_s));
    systemInfo.name = u"OTHER"_s;
    TMessagerConfigMgr config(file(), appFolder(), systemInfo);
    EXPECT_FALSE(config.ShowHint);
    EXPECT_EQ(config.WindowBounds, (TWindowBounds{10, 20, 610, 420}));
    EXPECT_FALSE(config.WindowBounds.IsNull());
    EXPECT_FALSE(config.MessageJump);
    EXPECT_FALSE(config.MessagePrompt);
    EXPECT_FALSE(config.ChatSeft);
    EXPECT_EQ(config.UserName, u"小王"_s);
    EXPECT_EQ(config.ServerAddress, u"relay.example"_s);
    EXPECT_EQ(config.UserGroup, groups);
}

TEST_F(MessagerConfig, HandEditedValuesAreReadAndBadOnesKeepTheirDefaults)
{
    WriteBytes(
        file(),
        QByteArray("[config]\r\nWinLeft=0\r\nWinTop=0\r\nWinRight=0\r\nWinBottom=0\r\nShowHint=nope\r\n"
                   "[MESSAGER]\r\nSharePath=/srv/share/\r\nchatseft=0\r\nUserName=\r\n"));
    TMessagerConfigMgr config(file(), appFolder(), systemInfo);
    EXPECT_TRUE(config.WindowBounds.IsNull());
    EXPECT_TRUE(config.ShowHint);
    EXPECT_EQ(config.SharePath, u"/srv/share/"_s);
    EXPECT_FALSE(config.ChatSeft);
    EXPECT_EQ(config.UserName, QString()); // an empty stored name is a name
    EXPECT_EQ(config.WorkPath, appFolder() + u"/WorkPath"_s);
    ASSERT_TRUE(config.SaveSettings());
    const QByteArray bytes = ReadBytes(file());
    EXPECT_FALSE(bytes.startsWith("\xFF\xFE")); // the hand-made ASCII file stays ANSI
    EXPECT_TRUE(bytes.contains("[MESSAGER]\r\nSharePath=/srv/share/\r\nchatseft=False\r\n"));
}
