#include "ConfigTestSupport.h"
#include "TestSupport.h"
#include "core/TextFile.h"

#include <algorithm>

QString ConfigFileTest::unwritablePath() const
{
    return path(QString(251, QLatin1Char('c')) + QStringLiteral(".ini"));
}

QByteArray IniBytes(const QStringList& lines)
{
    return Utf16Le(JoinLines(lines));
}

QStringList StoreDump(const TBaseConfigMgr& store)
{
    TStrHashItems sections = store.Sections();
    std::sort(sections.begin(), sections.end(),
              [](const TStrHashItem& a, const TStrHashItem& b) { return a.Key < b.Key; });
    QStringList dump;
    for (const TStrHashItem& section : sections) {
        dump.append(QLatin1Char('[') + section.Key + QLatin1Char(']'));
        const TPropertyList* list = store.FindSection(section.Key);
        for (int i = 0; i < list->Count(); ++i)
            dump.append(list->Items(i).Name + QLatin1Char('=') + list->Items(i).Value);
    }
    return dump;
}
