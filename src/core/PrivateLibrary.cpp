#include "core/PrivateLibrary.h"

#include <QCoreApplication>
#include <QFileInfo>

QString PrivateLibraryFile(const QString& fileName)
{
    const QString bin = QCoreApplication::applicationDirPath();
    if (bin.isEmpty())
        return fileName;
    const QString privateFolder = bin + QStringLiteral("/" JV_PRIVATE_LIBDIR);
    for (const QString& folder : {bin, privateFolder}) {
        const QString file = folder + u'/' + fileName;
        if (QFileInfo::exists(file))
            return file;
    }
    return fileName;
}
