// Renders the offer row while receiving, the progress dialog and the download summary into PNG
// files of the folder given, for looking at. Not a test.
#include "messenger/ftp/ui/DownSum.h"
#include "messenger/ftp/ui/FtpProgressDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : u"."_s;

    QWidget row;
    auto* layout = new QVBoxLayout(&row);
    auto* list = new QComboBox(&row);
    list->addItems({u"Dir=/home/alice/项目资料"_s, u"File=/home/alice/报告.doc"_s});
    layout->addWidget(list);
    auto* buttons = new QHBoxLayout;
    for (const QString& caption :
         {u"添加文件[&F]"_s, u"添加文件夹[&D]"_s, u"删除[&R]"_s, u"保存[&S]"_s, u"清空[&C]"_s}) {
        auto* b = new QPushButton(caption, &row);
        b->setEnabled(caption == u"保存[&S]" || caption == u"清空[&C]");
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    row.resize(520, 80);
    row.show();
    row.grab().save(folder + u"/offer-row-receiving.png"_s);

    TFtpProgressDialog progress(nullptr);
    progress.Update(TFtpProgress{u"大文件.bin"_s, 150LL << 20, 200LL << 20, 96.5 * (1 << 20)});
    progress.show();
    progress.grab().save(folder + u"/progress.png"_s);

    TfrmDownSum summary(nullptr, u"/home/bob/下载/项目资料"_s, {});
    summary.show();
    summary.grab().save(folder + u"/summary.png"_s);
    return 0;
}
