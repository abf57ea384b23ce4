#include "notes/ui/FileController.h"

#include "FakeDialogService.h"
#include "FakePlatform.h"
#include "TestSupport.h"
#include "core/TextFile.h"
#include "notes/FileCommands.h"
#include "notes/ui/PadMemo.h"
#include "platform/AppUtils.h"
#include "widgets/CommandTable.h"
#include "widgets/MsgBox.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

// The window of the file commands: keeps the new pages and the saving steps; a failure set here
// is thrown by its step.
class FakeFileHost final : public IFileHost
{
public:
    TPadMemo* editor = nullptr;
    QStringList pages, steps;
    QString savedPageFile; // saveAll writes "saved page" into it, when set
    QString pagesFailure, chatFailure;
    QList<TUnsavedPage> unsaved;

    TPadMemo* currentEditor() override { return editor; }
    void openAsPage(const QString& text) override { pages << text; }
    void saveAll() override
    {
        if (!pagesFailure.isEmpty())
            throw EFileError(pagesFailure);
        steps << u"saveAll"_s;
        if (!savedPageFile.isEmpty())
            WriteBytes(savedPageFile, "saved page");
    }
    QList<TUnsavedPage> unsavedPages() override { return unsaved; }
    void saveMessengerState() override
    {
        if (!chatFailure.isEmpty())
            throw EFileError(chatFailure);
        steps << u"chat"_s;
    }
};

class FileControllerTest : public ::testing::Test
{
protected:
    FileControllerTest()
    {
        app = dir.filePath(u"app/"_s);
        QDir().mkpath(app + u"Data"_s);
        WriteBytes(app + u"Data/{1}.txt"_s, "page");
        WriteBytes(app + u"Config.ini"_s, "ini");
        service.messageBox = [this](const TMsgBoxCall& call) {
            errors << call.message;
            details << call.details;
            kinds << call.kind;
            return MsgResultOK;
        };
        host.editor = &editor;
        host.savedPageFile = app + u"Data/{1}.txt"_s;
        // The file names are answered here, the folder by the platform's picker as the program's
        // dialog service does.
        service.openFileName = [this](const QString& title, const QString& filter) {
            asked << title + u' ' + filter;
            return answer;
        };
        service.saveFileName = [this](const QString& title, const QString&, const QString& suffix) {
            asked << title + u' ' + suffix;
            return answer;
        };
        service.pickFolder = [this](const QString& title, QString& path) {
            return BrowseForFolder(platform.services(), nullptr, title, QString(), path);
        };
        controller = std::make_unique<TFileController>(nullptr, platform.services(), app, host, service);
        controller->BindCommands(commands);
    }

    QTemporaryDir dir;
    QString app;
    FakePlatform platform;
    FakeDialogService service;
    TPadMemo editor;
    QWidget window;
    TCommandTable commands{&window};
    QAction& open = *commands.action(Command::LoadFromFile);
    QAction& saveAs = *commands.action(Command::SaveToFile);
    QAction& backup = *commands.action(Command::BackUp);
    QAction& print = *commands.action(Command::Print);
    QString answer;
    FakeFileHost host;
    QStringList& pages = host.pages;
    QStringList& steps = host.steps;
    QStringList errors, details, asked;
    QList<MsgBoxKind> kinds;
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
    EXPECT_EQ(asked.first(), u"打开 Text Files(*.txt);;All Files(*)"_s);
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
    EXPECT_TRUE(errors.last().contains(u"1 项"_s)) << errors.last().toStdString();
    EXPECT_TRUE(details.last().startsWith(u"Config.ini："_s)) << details.last().toStdString();
}

TEST_F(FileControllerTest, BackupWithPagesAndChatThatCannotBeSavedKeepsTheCurrentTextAndSaysSo)
{
    FakeFileHost failing;
    failing.pagesFailure = u"无法写入文件 \"Data/{1}.txt\"。没有权限。"_s;
    failing.unsaved = {{u"{1}.txt"_s, 0, u"第一页"_s, u"刚打的字\n第二行"_s},
                       {u"{2}.txt"_s, 1, u"新页"_s, u"new"_s}};
    failing.chatFailure = u"无法写入文件 \"chat.txt\"。磁盘已满。"_s;
    TFileController files(nullptr, platform.services(), app, failing, service);
    const QString target = dir.filePath(u"backup"_s);
    platform.folderPicker.answer = target;
    files.BackUpActionExecute();

    // The pages' current text is in the backup as their page files, the old copy replaced.
    EXPECT_EQ(ReadBytes(target + u"/Data/{1}.txt"_s),
              Utf16Le(u"0\r\n第一页\r\n\r\n刚打的字\r\n第二行\r\n"_s));
    EXPECT_EQ(ReadBytes(target + u"/Data/{2}.txt"_s), Utf16Le(u"1\r\n新页\r\n\r\nnew\r\n"_s));
    EXPECT_EQ(ReadBytes(target + u"/Config.ini"_s), "ini");
    EXPECT_EQ(platform.shell.opened, QStringList{target + u"/"_s});
    ASSERT_EQ(errors.size(), 1) << "one box";
    EXPECT_EQ(kinds.first(), MsgBoxKind::Warning) << "the backup itself is complete";
    EXPECT_TRUE(errors.first().contains(u"没有权限"_s));
    EXPECT_TRUE(errors.first().contains(u"2 个页面"_s)) << errors.first().toStdString();
    EXPECT_TRUE(errors.first().contains(u"磁盘已满"_s)) << "the chat log's failure is told too";
    EXPECT_TRUE(details.first().isEmpty());
}

TEST_F(FileControllerTest, ManyFailuresMakeOneShortMessageWithTheListInItsDetails)
{
    for (int i = 0; i < 120; ++i)
        WriteBytes(app + u"Data/{page%1}.txt"_s.arg(i, 3, 10, QChar(u'0')), "p");
    const QString target = dir.filePath(u"backup"_s);
    QDir().mkpath(target);
    WriteBytes(target + u"/Data"_s, "a file where the page folder should go");
    platform.folderPicker.answer = target;
    backup.trigger();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(kinds.first(), MsgBoxKind::Error);
    const QString& message = errors.first();
    EXPECT_TRUE(message.contains(u"122 项"_s)) << message.toStdString(); // the folder and 121 pages
    EXPECT_TRUE(message.contains(u"已有同名的文件：1 项"_s)) << message.toStdString();
    EXPECT_TRUE(message.contains(u"路径中有一项不是文件夹：121 项"_s)) << message.toStdString();
    EXPECT_LE(message.count(u'\n'), 6) << "the message stays short";
    EXPECT_EQ(details.first().split(u'\n').size(), 122);
    EXPECT_TRUE(details.first().contains(u"Data/{page119}.txt：路径中有一项不是文件夹"_s));
    EXPECT_EQ(ReadBytes(target + u"/Config.ini"_s), "ini") << "what could be copied was";

    // The box keeps its size however long the list: the list scrolls.
    TMessageForm box(nullptr, message, MsgBoxKind::Error, {MsgBoxButton::OK}, 0, details.first());
    TMessageForm shortBox(nullptr, message, MsgBoxKind::Error, {MsgBoxButton::OK}, 0, u"one line"_s);
    EXPECT_EQ(box.height(), shortBox.height());
    EXPECT_LT(box.height(), 480);
    ASSERT_NE(box.DetailsEdit(), nullptr);
    EXPECT_EQ(box.DetailsEdit()->toPlainText(), details.first());
    EXPECT_TRUE(box.Button(MsgBoxButton::OK)->geometry().bottom() < box.height());
}

TEST_F(FileControllerTest, AllFilesAreListedAlsoWithoutADot)
{
    const QString folder = dir.filePath(u"files"_s);
    QDir().mkpath(folder);
    WriteBytes(folder + u"/README"_s, "x");
    WriteBytes(folder + u"/notes.txt"_s, "x");
    QFileDialog dialog(nullptr, u"打开"_s, folder, QtFileFilter(QString::fromUtf16(kTextFileFilter)));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    const auto listed = [&] {
        QStringList names;
        const QModelIndex root = model->index(folder);
        for (int i = 0; i < model->rowCount(root); ++i)
            names << model->index(i, 0, root).data().toString();
        names.sort();
        return names;
    };
    ASSERT_EQ(dialog.nameFilters().size(), 2);
    dialog.selectNameFilter(dialog.nameFilters().at(1));
    dialog.show();
    EXPECT_TRUE(WaitFor([&] {
        return listed() == QStringList{u"README"_s, u"notes.txt"_s};
    })) << listed().join(u' ').toStdString();
    dialog.selectNameFilter(dialog.nameFilters().at(0));
    EXPECT_TRUE(WaitFor([&] { return listed() == QStringList{u"notes.txt"_s}; }))
        << listed().join(u' ').toStdString();
}
