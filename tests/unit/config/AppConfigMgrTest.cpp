#include "config/AppConfigMgr.h"
#include "ConfigTestSupport.h"
#include "TestSupport.h"
#include "core/PubUtils.h"
#include "core/TextFile.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kStart(QDate(2024, 3, 5), QTime(14, 7, 9));

class AppConfig : public ConfigFileTest
{
protected:
    QString file() const { return path(u"Config.ini"_s); }
    void writeConfig(const QStringList& lines) { WriteBytes(file(), IniBytes(lines)); }
};

const QStringList kDefaultFile = {
    u"[Alarm]"_s,
    u"Alarm=True"_s,
    u"Beep=True"_s,
    u"ShutDown=False"_s,
    u"ShutDownTime=2024-03-05 14:07:39"_s,
    QString(),
    u"[Messager]"_s,
    u"Messager=True"_s,
    u"HideOnStart=True"_s,
    QString(),
    u"[Config]"_s,
    u"RunOnStartup=True"_s,
    u"MinOnClose=True"_s,
    u"DblClickTitleActionType=1"_s,
    u"WordWrap=True"_s,
    u"StayOnTop=False"_s,
    u"FontName=宋体"_s,
    u"FontSize=9"_s,
    u"FontStyle=0"_s,
    u"FontColor=0"_s,
    u"FontCharset=134"_s,
    u"BgColor=-16777211"_s,
    u"PromptMinToTray=True"_s,
    u"WinLeft=0"_s,
    u"WinTop=0"_s,
    u"WinRight=0"_s,
    u"WinBottom=0"_s,
    u"WinMaximized=False"_s,
    u"PageIndex=0"_s,
    u"HotKeyBase=37"_s,
    u"HotKeyModifiers=2"_s,
    u"InsertLineText=crlf() + chars('-', 80) + crlf()"_s,
    u"InsertDateText=date() + ' ' + time()"_s,
    u"InsertLineDateText=crlf() + chars('-', 29) + ' ' + date() + ' ' + time() + ' ' + chars('-', 30) + crlf()"_s,
    u"InsertCustomList="_s,
    QString(),
    u"[Desktop]"_s,
    u"OnDesktop=True"_s,
    u"DesktoFontName=宋体"_s,
    u"DesktoFontSize=11"_s,
    u"DesktoFontStyle=0"_s,
    u"DesktoFontColor=16777215"_s,
    u"DesktoFontCharset=134"_s,
    u"SeperatorColor=65280"_s,
    u"DesktopAligment=2"_s,
    u"AligmentSpace=10"_s,
    u"ShowWallPaper=True"_s,
    QString(),
};

} // namespace

TEST_F(AppConfig, FirstStartWritesEveryKeyWithItsDefaultInFourSections)
{
    {
        TAppConfigMgr config(file(), kStart);
        EXPECT_TRUE(config.LastError().isEmpty());
        EXPECT_EQ(ReadBytes(file()), QByteArray("\xFF\xFE")); // created by the load
        EXPECT_EQ(config.HotKeyBase, 37);
        EXPECT_EQ(config.HotKeyModifiers, 2);
        EXPECT_EQ(config.ShutDownTime, kStart.addSecs(30));
        EXPECT_TRUE(config.InsertCustomList.isEmpty());
        EXPECT_EQ(config.EditorFont(), (TFontSetting{u"宋体"_s, 9, 0, 0, 134}));
        EXPECT_EQ(config.DesktopFont(), (TFontSetting{u"宋体"_s, 11, 0, 16777215, 134}));
    } // released: saves
    EXPECT_EQ(Dump(ReadBytes(file())), Dump(IniBytes(kDefaultFile)));

    // An explicit save of the defaults writes the same bytes again.
    TAppConfigMgr again(file(), kStart);
    EXPECT_TRUE(again.SaveSettings());
    EXPECT_EQ(Dump(ReadBytes(file())), Dump(IniBytes(kDefaultFile)));
}

TEST_F(AppConfig, EveryFieldSurvivesASaveAndALoad)
{
    const QDateTime shutdown(QDate(2031, 12, 24), QTime(23, 59, 58));
    {
        TAppConfigMgr config(file(), kStart);
        config.RunOnStartup = false;
        config.MinOnClose = false;
        config.DblClickTitleActionType = 2;
        config.WordWrap = false;
        config.StayOnTop = true;
        config.SetEditorFont({u"Tahoma"_s, 14, 5, 0x00FF8040, 0});
        config.BgColor = 0x00123456;
        config.PromptMinToTray = false;
        config.WinLeft = -8;
        config.WinTop = 20;
        config.WinRight = 1930;
        config.WinBottom = 1050;
        config.WinMaximized = true;
        config.PageIndex = 3;
        config.HotKeyBase = 12;
        config.HotKeyModifiers = 6;
        config.InsertLineText = u"chars('=', 10)"_s;
        config.InsertDateText = u"date()"_s;
        config.InsertLineDateText = u"time()"_s;
        config.SetInsertCustomList({u"A"_s, TextToCommaText(u"第一行\r\n第二 行"_s)});
        config.Alarm = false;
        config.Beep = false;
        config.ShutDown = true;
        config.ShutDownTime = shutdown;
        config.OnDesktop = false;
        config.SetDesktopFont({u"Noto Sans"_s, 20, 15, -16777208, 1});
        config.SeperatorColor = 255;
        config.DesktopAligment = 0;
        config.AligmentSpace = -3;
        config.ShowWallPaper = false;
        config.Messager = false;
        config.HideOnStart = false;
        ASSERT_TRUE(config.SaveSettings());
    }
    const TAppConfigMgr config(file(), kStart);
    EXPECT_FALSE(config.RunOnStartup);
    EXPECT_FALSE(config.MinOnClose);
    EXPECT_EQ(config.DblClickTitleActionType, 2);
    EXPECT_FALSE(config.WordWrap);
    EXPECT_TRUE(config.StayOnTop);
    EXPECT_EQ(config.EditorFont(), (TFontSetting{u"Tahoma"_s, 14, 5, 0x00FF8040, 0}));
    EXPECT_EQ(config.BgColor, 0x00123456);
    EXPECT_FALSE(config.PromptMinToTray);
    EXPECT_EQ(config.WinLeft, -8);
    EXPECT_EQ(config.WinTop, 20);
    EXPECT_EQ(config.WinRight, 1930);
    EXPECT_EQ(config.WinBottom, 1050);
    EXPECT_TRUE(config.WinMaximized);
    EXPECT_EQ(config.PageIndex, 3);
    EXPECT_EQ(config.HotKeyBase, 12);
    EXPECT_EQ(config.HotKeyModifiers, 6);
    EXPECT_EQ(config.InsertLineText, u"chars('=', 10)"_s);
    EXPECT_EQ(config.InsertDateText, u"date()"_s);
    EXPECT_EQ(config.InsertLineDateText, u"time()"_s);
    ASSERT_EQ(config.InsertCustomList.size(), 2);
    EXPECT_EQ(CommaTextToText(config.InsertCustomList[1]), u"第一行\r\n第二 行"_s);
    EXPECT_FALSE(config.Alarm);
    EXPECT_FALSE(config.Beep);
    EXPECT_TRUE(config.ShutDown);
    EXPECT_EQ(config.ShutDownTime, shutdown);
    EXPECT_FALSE(config.OnDesktop);
    EXPECT_EQ(config.DesktopFont(), (TFontSetting{u"Noto Sans"_s, 20, 15, -16777208, 1}));
    EXPECT_EQ(config.SeperatorColor, 255);
    EXPECT_EQ(config.DesktopAligment, 0);
    EXPECT_EQ(config.AligmentSpace, -3);
    EXPECT_FALSE(config.ShowWallPaper);
    EXPECT_FALSE(config.Messager);
    EXPECT_FALSE(config.HideOnStart);
}

TEST_F(AppConfig, ColoursAndEightBitFieldsReadAsStored)
{
    writeConfig({u"[Config]"_s, u"BgColor=-16777211"_s, u"FontColor=16711680"_s,
                 u"DblClickTitleActionType=258"_s, u"HotKeyBase=-1"_s, u"FontStyle=0x0F"_s, u"FontSize=big"_s,
                 u"WordWrap=maybe"_s, u"[DESKTOP]"_s, u"DesktoFontColor=$FF0000"_s});
    TAppConfigMgr config(file(), kStart);
    EXPECT_EQ(config.BgColor, -16777211);
    EXPECT_EQ(config.FontColor, 0xFF0000); // blue
    EXPECT_EQ(config.DblClickTitleActionType, 2);
    EXPECT_EQ(config.HotKeyBase, 255);
    EXPECT_EQ(config.FontStyle, 15);
    EXPECT_EQ(config.FontSize, 9); // not a number: default
    EXPECT_TRUE(config.WordWrap);  // not a boolean: default
    EXPECT_EQ(config.DesktoFontColor, 0xFF0000);
    ASSERT_TRUE(config.SaveSettings());
    const QString text = DecodeText(ReadBytes(file()));
    EXPECT_TRUE(text.contains(u"\r\nBgColor=-16777211\r\n"_s));
    EXPECT_TRUE(text.contains(u"\r\nDblClickTitleActionType=2\r\n"_s));
    EXPECT_TRUE(text.contains(u"\r\nFontSize=9\r\n"_s));
    // The section keeps the name it had in the file.
    EXPECT_TRUE(text.contains(u"[DESKTOP]\r\nDesktoFontColor=16711680\r\nOnDesktop=True\r\n"_s));
}

TEST_F(AppConfig, CustomListIsStoredAsGb18030CommaTextInHex)
{
    const QStringList list = {u"A"_s, TextToCommaText(u"B C"_s)};
    EXPECT_EQ(list[1], u"\"B C\""_s);
    EXPECT_EQ(TAppConfigMgr::EncodeCustomList(list), u"412C222222422043222222"_s);
    EXPECT_EQ(TAppConfigMgr::DecodeCustomList(u"412C222222422043222222"_s), list);
    EXPECT_EQ(TAppConfigMgr::DecodeCustomList(u"412c222222422043222222"_s), list);
    EXPECT_EQ(TAppConfigMgr::EncodeCustomList({}), QString());
    EXPECT_EQ(TAppConfigMgr::DecodeCustomList(QString()), QStringList());
    EXPECT_EQ(TAppConfigMgr::EncodeCustomList({QString()}), u"2222"_s);
    EXPECT_EQ(TAppConfigMgr::EncodeCustomList({u"你好"_s}), u"C4E3BAC3"_s);
    EXPECT_EQ(TAppConfigMgr::DecodeCustomList(u"c4e3bac3"_s), QStringList{u"你好"_s});
    // Whole hex pairs up to the first one that is not: "41,42" then an odd or bad rest.
    EXPECT_EQ(TAppConfigMgr::DecodeCustomList(u"412C4243"_s), (QStringList{u"A"_s, u"BC"_s}));
    EXPECT_EQ(TAppConfigMgr::DecodeCustomList(u"412C42434"_s), (QStringList{u"A"_s, u"BC"_s}));
    EXPECT_EQ(TAppConfigMgr::DecodeCustomList(u"412C42zz43"_s), (QStringList{u"A"_s, u"B"_s}));
    EXPECT_EQ(TAppConfigMgr::DecodeCustomList(u"G1"_s), QStringList());
    EXPECT_EQ(TAppConfigMgr::DecodeCustomList(u"4１"_s), QStringList()); // a full-width digit is no digit

    writeConfig({u"[Config]"_s, u"InsertCustomList=412c222222422043222222"_s});
    {
        TAppConfigMgr config(file(), kStart);
        EXPECT_EQ(config.InsertCustomList, list);
    }
    EXPECT_TRUE(DecodeText(ReadBytes(file())).contains(u"\r\nInsertCustomList=412C222222422043222222\r\n"_s));
}

TEST_F(AppConfig, ShutDownTimeReadsBothFormsAndKeepsTheDefaultForOtherText)
{
    const struct
    {
        const char16_t* text;
        QDateTime expected;
    } rows[] = {
        {u"2024-07-01 08:09:10", QDateTime(QDate(2024, 7, 1), QTime(8, 9, 10))},
        {u"2024/7/1 8:09:10", QDateTime(QDate(2024, 7, 1), QTime(8, 9, 10))},
        {u"2024/12/31 23:59", QDateTime(QDate(2024, 12, 31), QTime(23, 59))},
        {u"2024-07-01", QDateTime(QDate(2024, 7, 1), QTime(0, 0))},
        {u"2024/7/1", QDateTime(QDate(2024, 7, 1), QTime(0, 0))},
        {u"07/01/2024 08:09:10", kStart.addSecs(30)},
        {u"2024-02-30 10:00:00", kStart.addSecs(30)},
        {u"2024-07-01 25:00:00", kStart.addSecs(30)},
        {u"2024-07/01", kStart.addSecs(30)},
        {u" 2024-7-1\t8:09 ", QDateTime(QDate(2024, 7, 1), QTime(8, 9))},
        {u"2024-07-01 8:09:", kStart.addSecs(30)},
        {u"2024-07-0108:09", kStart.addSecs(30)},
        {u"20245-07-01", kStart.addSecs(30)},
        {u"", kStart.addSecs(30)},
        {u"tomorrow", kStart.addSecs(30)},
    };
    for (const auto& row : rows) {
        const QString text = QString::fromUtf16(row.text);
        SCOPED_TRACE(text.toStdString());
        writeConfig({u"[Alarm]"_s, u"ShutDownTime="_s + text});
        TAppConfigMgr config(file(), kStart);
        EXPECT_EQ(config.ShutDownTime, row.expected);
    }
    EXPECT_EQ(TAppConfigMgr::DateTimeToText(QDateTime(QDate(2024, 7, 1), QTime(8, 9, 10))),
              u"2024-07-01 08:09:10"_s);
    EXPECT_EQ(TAppConfigMgr::DateTimeToText(QDateTime(QDate(2024, 7, 1), QTime(0, 0))), u"2024-07-01"_s);
    EXPECT_EQ(TAppConfigMgr::DateTimeToText(QDateTime(QDate(2024, 7, 1), QTime(0, 0, 1))),
              u"2024-07-01 00:00:01"_s);
}

TEST_F(AppConfig, UnknownKeysAndTheFilesKeyOrderSurvive)
{
    writeConfig({u"[Config]"_s, u"WordWrap=False"_s, u"Test=1"_s, u"runonstartup=false"_s, u"[Plugins]"_s,
                 u"Name=x"_s});
    {
        TAppConfigMgr config(file(), kStart);
        EXPECT_FALSE(config.WordWrap);
        EXPECT_FALSE(config.RunOnStartup);
    }
    const QStringList lines = SplitLines(DecodeText(ReadBytes(file())));
    const qsizetype config = lines.indexOf(u"[Config]"_s);
    ASSERT_GE(config, 0);
    EXPECT_EQ(lines.mid(config, 5), (QStringList{u"[Config]"_s, u"WordWrap=False"_s, u"Test=1"_s,
                                                 u"runonstartup=False"_s, u"MinOnClose=True"_s}));
    EXPECT_EQ(lines.mid(lines.indexOf(u"[Plugins]"_s), 2), (QStringList{u"[Plugins]"_s, u"Name=x"_s}));
    EXPECT_EQ(lines.count(u"Test=1"_s), 1);
}

TEST_F(AppConfig, ASaveFailureIsReportedOnceAndLeavesTheFile)
{
    const QString file = unwritablePath();
    const QByteArray bytes = IniBytes({u"[Config]"_s, u"PageIndex=4"_s});
    WriteBytes(file, bytes);
    TAppConfigMgr config(file, kStart);
    EXPECT_EQ(config.PageIndex, 4); // loads although the file cannot be written
    EXPECT_TRUE(config.LastError().isEmpty());
    config.PageIndex = 5;
    EXPECT_FALSE(config.SaveSettings());
    EXPECT_FALSE(config.LastError().isEmpty());
    EXPECT_FALSE(config.TakeUnreportedError().isEmpty());
    EXPECT_TRUE(config.TakeUnreportedError().isEmpty());
    EXPECT_FALSE(config.SaveSettings());
    EXPECT_TRUE(config.TakeUnreportedError().isEmpty()); // the same failure again: already told
    EXPECT_FALSE(config.LastError().isEmpty());
    EXPECT_EQ(ReadBytes(file), bytes);
}

TEST_F(AppConfig, AnUnreadableFileKeepsTheDefaultsAndIsNotOverwritten)
{
    ASSERT_TRUE(QDir().mkpath(file()));
    TAppConfigMgr config(file(), kStart);
    EXPECT_FALSE(config.LastError().isEmpty());
    EXPECT_EQ(config.TakeUnreportedError(), config.LastError());
    EXPECT_EQ(config.HotKeyBase, 37);
    EXPECT_FALSE(config.SaveSettings());
    EXPECT_TRUE(QFileInfo(file()).isDir());
    // Once the file can be read, loading and saving work again.
    ASSERT_TRUE(QDir(file()).removeRecursively());
    writeConfig({u"[Config]"_s, u"HotKeyBase=40"_s});
    EXPECT_TRUE(config.LoadSettings());
    EXPECT_EQ(config.HotKeyBase, 40);
    EXPECT_TRUE(config.LastError().isEmpty());
    EXPECT_TRUE(config.SaveSettings());
}
