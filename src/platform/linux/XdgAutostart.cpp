#include "platform/linux/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

XdgAutostart::XdgAutostart(QString folder) : m_folder(std::move(folder))
{
    if (m_folder.isEmpty())
        m_folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/autostart"_s;
}

QString XdgAutostart::entryPath(const QString& name) const
{
    return m_folder + u'/' + name + u".desktop"_s;
}

namespace {

// Exec= quoting of the desktop entry format: an argument with a blank or a reserved character
// goes in double quotes, with backslash before ", `, $ and \.
QString quoteExecArgument(const QString& argument)
{
    static const QString reserved = u" \t\n\"'\\><~|&;$*?#()`"_s;
    bool needsQuotes = argument.isEmpty();
    for (QChar c : argument)
        needsQuotes = needsQuotes || reserved.contains(c);
    if (!needsQuotes)
        return argument;
    QString quoted = u"\""_s;
    for (QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    quoted += u'"';
    // In a desktop file the backslashes of a string value are escaped once more.
    return quoted.replace(u"\\"_s, u"\\\\"_s);
}

} // namespace

bool XdgAutostart::setEntry(bool enable, const QString& name, const QString& program,
                            const QStringList& arguments)
{
    QString command = quoteExecArgument(program);
    for (const QString& argument : arguments)
        command += u' ' + quoteExecArgument(argument);
    const QString path = entryPath(name);
    if (!enable) {
        if (!QFile::exists(path))
            return true;
        return QFile::remove(path);
    }
    const QByteArray text = (u"[Desktop Entry]\nType=Application\nName="_s + name + u"\nExec="_s + command +
                             u"\nTerminal=false\nX-GNOME-Autostart-enabled=true\n"_s)
                                .toUtf8();
    // Every start asks for the entry: one that is already as it should be is not written again.
    if (QFile current(path);
        current.open(QIODevice::ReadOnly) && current.size() == text.size() && current.readAll() == text)
        return true;
    if (!QDir().mkpath(m_folder))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text);
    return file.commit();
}
