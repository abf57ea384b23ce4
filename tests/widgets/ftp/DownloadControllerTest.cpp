// Saving received offers through the controller against a real server on loopback: the row's
// states, the save dialog and folder picker, the conversation line, the summary, the failure box,
// cancelling, and the summary and progress dialogs themselves.
#include "messenger/ftp/FtpNames.h"
#include "messenger/ftp/FtpServer.h"
#include "messenger/ftp/ui/DownSum.h"
#include "messenger/ftp/ui/FtpDownloadController.h"
#include "messenger/ftp/ui/FtpProgressDialog.h"

#include "FakeDialogService.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>

using namespace Qt::StringLiterals;

namespace {

// The messenger window: keeps the conversation's lines.
class TRecordingHost final : public IDownloadHost
{
public:
    explicit TRecordingHost(QString& conversation) : m_conversation(conversation) {}
    void appendConversation(const QString& line) override { m_conversation += line; }
    void openPath(const QString&) override {}

private:
    QString& m_conversation;
};

class DownloadControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_base = m_dir.path() + u"/peer/"_s;
        QDir().mkpath(m_base + u"文件夹/子"_s);
        WriteBytes(m_base + u"文件夹/子/a.txt"_s, "a");
        WriteBytes(m_base + u"报告.doc"_s, "report");
        ASSERT_TRUE(m_server.Start(0, 0, QHostAddress::LocalHost));
        WriteBytes(m_base + u".profile"_s, "hidden");
        for (const QString& item : {u"报告.doc"_s, u"文件夹"_s, u"gone.txt"_s, u".profile"_s})
            m_server.Access().Offer(QHostAddress::LocalHost, m_base + item, item == u"文件夹");
        m_dest = m_dir.path() + u"/mine/"_s;
        QDir().mkpath(m_dest);

        for (QPushButton** b : {&m_send, &m_addFile, &m_addDir, &m_del, &m_save, &m_clear})
            *b = new QPushButton(&m_owner);
        m_list = new QComboBox(&m_owner);
        m_save->setEnabled(false);
        m_controller = std::make_unique<TDownloadController>(
            &m_owner, m_dialogs, TOfferRow{m_list, m_send, m_addFile, m_addDir, m_del, m_save, m_clear},
            std::make_unique<TRecordingHost>(m_conversation));
        m_controller->Client().SetPort(m_server.ControlPort());
        m_dialogs.modal = [this](QDialog& dialog) {
            if (auto* summary = qobject_cast<TfrmDownSum*>(&dialog))
                m_summaries << summary->SavedPath();
            return int(QDialog::Accepted);
        };
        m_dialogs.messageBox = [this](const TMsgBoxCall& call) {
            m_boxes << call.message;
            return MsgResultOK;
        };
    }
    bool Receiving() const
    {
        return !m_send->isEnabled() && !m_addFile->isEnabled() && !m_addDir->isEnabled() &&
               !m_del->isEnabled() && m_save->isEnabled();
    }

    QTemporaryDir m_dir;
    QString m_base, m_dest;
    TFtpServer m_server;
    QWidget m_owner;
    QPushButton *m_send, *m_addFile, *m_addDir, *m_del, *m_save, *m_clear;
    QComboBox* m_list;
    FakeDialogService m_dialogs;
    std::unique_ptr<TDownloadController> m_controller;
    QString m_conversation;
    QStringList m_summaries, m_boxes;
};
} // namespace

TEST_F(DownloadControllerTest, ReceivedItemsAreSavedOneByOneUntilTheRowComposesAgain)
{
    m_controller->AcceptOffer(u"127.0.0.1"_s,
                              {u"File="_s + m_base + u"报告.doc"_s, u"Dir="_s + m_base + u"文件夹"_s});
    EXPECT_TRUE(Receiving());
    EXPECT_EQ(m_list->currentIndex(), 0);
    EXPECT_EQ(m_controller->PendingOfferCount(), 2);

    // Cancelling the save dialog changes nothing.
    m_controller->SaveOffer();
    EXPECT_EQ(m_list->count(), 2);
    EXPECT_TRUE(Receiving());
    EXPECT_TRUE(m_summaries.isEmpty());

    QString suffix;
    m_dialogs.saveFileName = [&](const QString&, const QString&, const QString& s) -> QString {
        suffix = s;
        return m_dest + u"saved.doc"_s;
    };
    QList<QThread*> threads;
    QObject::connect(
        m_controller.get(), &TDownloadController::progressed, m_controller.get(),
        [&threads](const TFtpProgress&) { threads << QThread::currentThread(); }, Qt::DirectConnection);
    m_controller->SaveOffer();
    EXPECT_EQ(suffix, u"doc"_s);
    EXPECT_EQ(m_dialogs.proposedName, u"报告.doc"_s);
    // The transfer ran on the controller's thread and told its progress from there.
    ASSERT_FALSE(threads.isEmpty());
    EXPECT_EQ(threads.count(m_controller->WorkerThread()), threads.size());
    EXPECT_EQ(ReadBytes(m_dest + u"saved.doc"_s), "report");
    EXPECT_EQ(m_conversation, u"最近保存的文件(夹):"_s + m_dest + u"saved.doc\r\n"_s);
    EXPECT_EQ(m_summaries, QStringList{m_dest + u"saved.doc"_s});
    ASSERT_EQ(m_list->count(), 1);
    EXPECT_EQ(m_list->currentIndex(), 0);
    EXPECT_TRUE(Receiving());
    EXPECT_TRUE(m_clear->isEnabled() && m_list->isEnabled());

    QString title;
    m_dialogs.pickFolder = [&](const QString& t, QString& path) {
        title = t;
        path = m_dest;
        return true;
    };
    m_controller->SaveOffer();
    EXPECT_EQ(title, u"把文件夹保存到："_s);
    EXPECT_EQ(ReadBytes(m_dest + u"文件夹/子/a.txt"_s), "a");
    EXPECT_EQ(m_summaries.last(), m_dest + u"文件夹"_s);
    EXPECT_EQ(m_list->count(), 0);
    EXPECT_FALSE(Receiving());
    EXPECT_TRUE(m_send->isEnabled() && m_addFile->isEnabled() && !m_save->isEnabled());
    EXPECT_TRUE(m_boxes.isEmpty());
}

TEST_F(DownloadControllerTest, FailedSaveShowsItsErrorAndKeepsTheItem)
{
    m_controller->AcceptOffer(u"127.0.0.1"_s,
                              {u"File="_s + m_base + u"gone.txt"_s, u"Dir="_s + m_base + u"nothing"_s});
    m_dialogs.saveFileName = [&](const QString&, const QString&, const QString&) -> QString {
        return m_dest + u"g.txt"_s;
    };
    m_controller->SaveOffer();
    EXPECT_EQ(m_boxes, QStringList{u"下载文件gone.txt失败！"_s});
    EXPECT_EQ(m_list->count(), 2);
    EXPECT_TRUE(Receiving());
    EXPECT_FALSE(QFileInfo::exists(m_dest + u"g.txt"_s));

    m_list->setCurrentIndex(1);
    m_dialogs.pickFolder = [&](const QString&, QString& path) {
        path = m_dest;
        return true;
    };
    m_controller->SaveOffer();
    EXPECT_EQ(m_boxes.last(), u"下载文件夹nothing失败！"_s);
    EXPECT_TRUE(m_summaries.isEmpty());
    EXPECT_TRUE(m_conversation.isEmpty());

    m_controller->ClearOffers();
    EXPECT_EQ(m_list->count(), 0);
    EXPECT_FALSE(Receiving());
}

TEST_F(DownloadControllerTest, HiddenNamesLoseTheirDotAndARestartedSenderIsNamed)
{
    m_controller->AcceptOffer(u"127.0.0.1"_s, {u"File="_s + m_base + u".profile"_s});
    m_dialogs.saveFileName = [&](const QString&, const QString&, const QString&) -> QString {
        return m_dest + m_dialogs.proposedName;
    };
    m_controller->SaveOffer();
    EXPECT_EQ(m_dialogs.proposedName, u"profile"_s);
    EXPECT_EQ(ReadBytes(m_dest + u"profile"_s), "hidden");

    // The sender's messenger started again since it offered: its server knows no offer.
    TFtpServer restarted;
    ASSERT_TRUE(restarted.Start(0, 0, QHostAddress::LocalHost));
    m_controller->Client().SetPort(restarted.ControlPort());
    m_controller->AcceptOffer(u"127.0.0.1"_s, {u"File="_s + m_base + u"报告.doc"_s});
    m_controller->SaveOffer();
    EXPECT_EQ(m_boxes, QStringList{u"下载文件报告.doc失败！\n对方已重新启动，请让对方重新发送"_s});
    EXPECT_EQ(m_list->count(), 1);
}

TEST(DownSumTest, OpensTheSavedPathOrItsFolder)
{
    QStringList opened;
    TfrmDownSum summary(nullptr, u"/home/u/下载/报告.doc"_s, [&](const QString& p) { opened << p; });
    EXPECT_EQ(summary.windowTitle(), u"文件(夹)传输完成"_s);
    EXPECT_EQ(summary.LabelFileDir->text(), u"/home/u/下载/报告.doc"_s);
    EXPECT_EQ(summary.btnOpenFile->text(), u"打开文件[&F]"_s);
    summary.btnOpenFile->click();
    summary.btnOpenDir->click();
    EXPECT_EQ(opened, (QStringList{u"/home/u/下载/报告.doc"_s, u"/home/u/下载/"_s}));

    TFtpProgressDialog progress(nullptr);
    EXPECT_TRUE(progress.Update(TFtpProgress{u"大.bin"_s, 3 * 1024 * 1024, 6 * 1024 * 1024, 2048}));
    EXPECT_EQ(progress.progressBar->value(), 500);
    EXPECT_EQ(progress.labelBytes->text(), u"3.0 MB / 6.0 MB    2.0 KB/s"_s);
    progress.btnCancel->click();
    EXPECT_FALSE(progress.Update(TFtpProgress{}));
}
