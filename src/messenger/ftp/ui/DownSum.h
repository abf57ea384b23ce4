#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QPushButton;

// "文件(夹)传输完成": tells where a saved file or folder went and offers to open it or its folder.
class TfrmDownSum final : public QDialog
{
    Q_OBJECT

public:
    // open opens a path with the desktop's default application.
    TfrmDownSum(QWidget* owner, const QString& savedPath, std::function<void(const QString&)> open);

    QLabel* Label1 = nullptr;
    QLabel* LabelFileDir = nullptr;
    QPushButton* btnOpenFile = nullptr;
    QPushButton* btnOpenDir = nullptr;
    QPushButton* btnClose = nullptr;
    QString SavedPath() const { return m_path; }

private:
    void btnOpenFileClick();
    void btnOpenDirClick();

    QString m_path;
    std::function<void(const QString&)> m_open;
};
