#include "core/PrivateLibrary.h"

#include <QCoreApplication>
#include <QFileInfo>

QString HookLibraryFile()
{
    const QString fileName = QStringLiteral("libjotvanehook.so");
    const QString bin = QCoreApplication::applicationDirPath();
    if (bin.isEmpty())
        return fileName;
    for (const QString& folder : {bin, QString(bin + QStringLiteral("/" JV_PRIVATE_LIBDIR))}) {
        const QString file = folder + u'/' + fileName;
        if (QFileInfo::exists(file))
            return file;
    }
    return fileName;
}
