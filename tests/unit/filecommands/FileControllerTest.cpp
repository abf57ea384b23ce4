#include "notes/ui/FileController.h"

#include "FakeDialogService.h"
#include "FakePlatform.h"
#include "TestSupport.h"
#include "core/TextFile.h"
#include "notes/FileCommands.h"
#include "notes/ui/PadMemo.h"
#include "widgets/MsgBox.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

class FileControllerTest : public ::testing::Test
{
protected:
    FileControllerTest()
    {
        app = dir.filePath(u"app/"_s);
        QDir().mkpath(app + u"Data"_s);
        WriteBytes(app + u"Data/{1}.txt"_s, "page");
        WriteBytes(app + u"Config.ini"_s, "ini");
        SetMsgBoxHook([this](const TMsgBoxCall& call) {
            errors << call.message;
            return MsgResultOK;
        });
        TFileHost host;
        host.currentEditor = [this] { return &editor; };
        host.openAsPage = [this](const QString& text) { pages << text; };
        host.saveAll = [this] {
            steps << u"saveAll"_s;
            WriteBytes(app + u"Data/{1}.txt"_s, "saved page");
        };
        host.saveMessengerState = [this] { steps << u"chat"_s; };
        // The file names come through the dialog service, the folder from the platform's picker.
        service.openFileName = [this](const QString& title, const QString& filter) {
            asked << title + u' ' + filter;
            return answer;
        };
        service.saveFileName = [this](const QString& title, const QString&, const QString& suffix) {
            asked << title + u' ' + suffix;
            return answer;
        };
        TFileDialogs dialogs = TFileDialogs::FromService(service);
        dialogs.pickFolder = {};
        controller = std::make_unique<TFileController>(TFileActions{&open, &saveAs, &backup, &print}, nullptr,
                                                       platform.services(), app, host, dialogs);
    }
    ~FileControllerTest() override { SetMsgBoxHook({}); }

    QTemporaryDir dir;
    QString app;
    FakePlatform platform;
    FakeDialogService service;
    TPadMemo editor;
    QAction open, saveAs, backup, print;
    QString answer;
    QStringList pages, errors, steps, asked;
    std::unique_ptr<TFileController> controller;
};

} // namespace

TEST_F(FileControllerTest, OpenReadsEveryEncodingAndAnUnreadableFileAddsNoPage)
{
    const QString text = u"中文笔记\r\n第二行"_s;
    const QStringList files{dir.filePath(u"utf8bom.txt"_s), dir.filePath(u"utf16.txt"_s),
                            dir.filePath(u"gb.txt"_s)};
    WriteBytes(files[0], "\xEF\xBB\xBF" + text.toUtf8());
    WriteBytes(files[1], Utf16Le(text));
    WriteBytes(files[2], AnsiFromText(text));
    for (const QString& file : files) {
        answer = file;
        open.trigger();
    }
    ASSERT_EQ(pages.size(), 3);
    EXPECT_EQ(asked.first(), u"打开 Text Files(*.txt);;All Files(*.*)"_s);
    for (const QString& page : pages)
        EXPECT_EQ(SplitLines(page), SplitLines(text));

    answer = dir.filePath(u"missing.txt"_s);
    open.trigger();
    EXPECT_EQ(pages.size(), 3);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.first().contains(u"missing.txt"_s));
}

TEST_F(FileControllerTest, SaveAsWritesThePageTextAndLeavesThePageAlone)
{
    editor.SetPageText(u"a\nb"_s);
    editor.SetModified(true);
    answer = dir.filePath(u"out.txt"_s);
    saveAs.trigger();
    EXPECT_EQ(ReadBytes(answer), Utf16Le(u"a\r\nb\r\n"_s));
    EXPECT_EQ(asked.last(), u"另存为 txt"_s);
    EXPECT_TRUE(editor.Modified());

    // A page file is no place for the text alone.
    answer = app + u"Data/{1}.txt"_s;
    saveAs.trigger();
    EXPECT_EQ(ReadBytes(answer), "page");
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(print.isVisible() == false);
}

TEST_F(FileControllerTest, BackupSavesFirstCopiesOpensTheFolderAndNamesWhatFailed)
{
    platform.folderPicker.answer = QString(); // cancelled
    backup.trigger();
    EXPECT_TRUE(steps.isEmpty());

    platform.folderPicker.answer = app + u"Data/inner"_s; // into the page folder: refused
    backup.trigger();
    EXPECT_TRUE(steps.isEmpty());
    ASSERT_EQ(errors.size(), 1);
    EXPECT_FALSE(QFile::exists(app + u"Data/inner"_s));
    EXPECT_TRUE(platform.shell.opened.isEmpty());

    const QString target = dir.filePath(u"backup"_s);
    QDir().mkpath(target + u"/Config.ini"_s); // a folder in the way of one file
    platform.folderPicker.answer = target;
    backup.trigger();
    EXPECT_EQ(steps, (QStringList{u"saveAll"_s, u"chat"_s}));
    EXPECT_EQ(ReadBytes(target + u"/Data/{1}.txt"_s), "saved page");
    EXPECT_EQ(platform.shell.opened, QStringList{target + u"/"_s});
    ASSERT_EQ(errors.size(), 2);
    EXPECT_TRUE(errors.last().contains(u"Config.ini"_s));
}
