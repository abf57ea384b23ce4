#include "widgets/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

using namespace Qt::StringLiterals;

bool InstallQtTranslations(QCoreApplication& app)
{
    // Owned by the application: the texts are looked up for as long as it runs.
    auto* translator = new QTranslator(&app);
    if (!translator->load(u"qtbase_zh_CN"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
