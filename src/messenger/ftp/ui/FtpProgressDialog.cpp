#include "messenger/ftp/ui/FtpProgressDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TFtpProgressDialog::TFtpProgressDialog(QWidget* owner) : QDialog(owner, Qt::Dialog)
{
    setObjectName(u"frmFtpProgress"_s);
    setWindowTitle(u"正在下载"_s);
    labelFile = new QLabel(this);
    labelFile->setObjectName(u"labelFile"_s);
    labelFile->setMinimumWidth(360);
    labelBytes = new QLabel(this);
    labelBytes->setObjectName(u"labelBytes"_s);
    progressBar = new QProgressBar(this);
    progressBar->setObjectName(u"progressBar"_s);
    progressBar->setRange(0, 0);
    btnCancel = new QPushButton(u"取消"_s, this);
    btnCancel->setObjectName(u"btnCancel"_s);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(labelFile);
    layout->addWidget(progressBar);
    layout->addWidget(labelBytes);
    layout->addWidget(btnCancel, 0, Qt::AlignRight);
    connect(btnCancel, &QPushButton::clicked, this, &TFtpProgressDialog::reject);
}

QString TFtpProgressDialog::SizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QString::number(bytes) + u" B"_s;
    if (bytes < 1024 * 1024)
        return QString::number(double(bytes) / 1024, 'f', 1) + u" KB"_s;
    if (bytes < 1024LL * 1024 * 1024)
        return QString::number(double(bytes) / (1024 * 1024), 'f', 1) + u" MB"_s;
    return QString::number(double(bytes) / (1024.0 * 1024 * 1024), 'f', 2) + u" GB"_s;
}

bool TFtpProgressDialog::Update(const TFtpProgress& progress)
{
    labelFile->setText(u"文件: "_s + progress.name);
    QString bytes = SizeText(progress.done);
    if (progress.total > 0) {
        bytes += u" / "_s + SizeText(progress.total);
        progressBar->setRange(0, 1000);
        progressBar->setValue(int(std::min<qint64>(1000, progress.done * 1000 / progress.total)));
    } else {
        progressBar->setRange(0, 0);
    }
    labelBytes->setText(bytes + u"    "_s + SizeText(qint64(progress.bytesPerSecond)) + u"/s"_s);
    return !m_cancelled;
}

void TFtpProgressDialog::reject()
{
    // Escape and the close box cancel as the button does; the download ends the dialog.
    m_cancelled = true;
    btnCancel->setEnabled(false);
    emit cancelled();
}
