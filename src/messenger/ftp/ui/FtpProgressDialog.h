#pragma once

#include "messenger/ftp/FtpClient.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

// Shown while a download runs: the file, its bytes so far, the rate, and Cancel.
class TFtpProgressDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit TFtpProgressDialog(QWidget* owner);

    // Shows progress; false once the user cancelled.
    bool Update(const TFtpProgress& progress);
    bool Cancelled() const { return m_cancelled; }
    static QString SizeText(qint64 bytes);

    QLabel* labelFile = nullptr;
    QLabel* labelBytes = nullptr;
    QProgressBar* progressBar = nullptr;
    QPushButton* btnCancel = nullptr;

signals:
    // The user pressed Cancel (or Esc).
    void cancelled();

protected:
    void reject() override;

private:
    bool m_cancelled = false;
};
