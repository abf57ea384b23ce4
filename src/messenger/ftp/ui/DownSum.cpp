#include "messenger/ftp/ui/DownSum.h"

#include "messenger/ftp/FtpNames.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TfrmDownSum::TfrmDownSum(QWidget* owner, const QString& savedPath, std::function<void(const QString&)> open)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), m_path(savedPath),
      m_open(std::move(open))
{
    setObjectName(u"frmDownSum"_s);
    setWindowTitle(u"文件(夹)传输完成"_s);
    setModal(true);
    Label1 = new QLabel(u"当前文件(夹):"_s, this);
    Label1->setObjectName(u"Label1"_s);
    LabelFileDir = new QLabel(savedPath, this);
    LabelFileDir->setObjectName(u"LabelFileDir"_s);
    LabelFileDir->setWordWrap(true);
    LabelFileDir->setMinimumWidth(320);
    btnOpenFile = new QPushButton(u"打开文件[&F]"_s, this);
    btnOpenFile->setObjectName(u"btnOpenFile"_s);
    btnOpenDir = new QPushButton(u"打开文件夹[&D]"_s, this);
    btnOpenDir->setObjectName(u"btnOpenDir"_s);
    btnClose = new QPushButton(u"关闭[&C]"_s, this);
    btnClose->setObjectName(u"btnClose"_s);
    btnClose->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOpenFile);
    buttons->addWidget(btnOpenDir);
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(LabelFileDir);
    layout->addLayout(buttons);

    connect(btnOpenFile, &QPushButton::clicked, this, &TfrmDownSum::btnOpenFileClick);
    connect(btnOpenDir, &QPushButton::clicked, this, &TfrmDownSum::btnOpenDirClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmDownSum::btnOpenFileClick()
{
    if (m_open)
        m_open(m_path);
    accept();
}

void TfrmDownSum::btnOpenDirClick()
{
    // A saved folder's path ends with its own name; its folder part is the folder it went into.
    if (m_open)
        m_open(FolderPart(m_path));
    accept();
}
