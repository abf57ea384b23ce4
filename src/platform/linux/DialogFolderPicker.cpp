#include "platform/linux/DialogFolderPicker.h"

#include <QDir>
#include <QFileDialog>

bool DialogFolderPicker::pickFolder(QWidget* owner, const QString& title, const QString& root, QString& path)
{
    QString start = path;
    if (start.isEmpty() || !QDir(start).exists())
        start = root.isEmpty() ? QDir::homePath() : root;
    const QString chosen = QFileDialog::getExistingDirectory(owner, title, start, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return false;
    path = QDir::toNativeSeparators(chosen);
    return true;
}
