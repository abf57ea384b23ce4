#include "widgets/UnattendedDialogs.h"

#include "core/Log.h"

namespace {

void report(const QString& title, const QString& text, const QString& details)
{
    if (details.isEmpty())
        qCWarning(lcJotvane).noquote().nospace() << title << ": " << text;
    else
        qCWarning(lcJotvane).noquote().nospace() << title << ": " << text << '\n' << details;
}

} // namespace

QString TUnattendedDialogs::OpenFileName(QWidget* owner, const QString& title, const QString& filter)
{
    return m_inner.OpenFileName(owner, title, filter);
}

QStringList TUnattendedDialogs::OpenFileNames(QWidget* owner, const QString& title, const QString& filter)
{
    return m_inner.OpenFileNames(owner, title, filter);
}

QString TUnattendedDialogs::SaveFileName(QWidget* owner, const QString& title, const QString& filter,
                                         const QString& defaultSuffix, const QString& proposedName)
{
    return m_inner.SaveFileName(owner, title, filter, defaultSuffix, proposedName);
}

bool TUnattendedDialogs::PickFolder(QWidget* owner, const QString& title, QString& path)
{
    return m_inner.PickFolder(owner, title, path);
}

bool TUnattendedDialogs::ChooseFont(QWidget* owner, QFont& font, QColor& color)
{
    return m_inner.ChooseFont(owner, font, color);
}

bool TUnattendedDialogs::ChooseColor(QWidget* owner, QColor& color)
{
    return m_inner.ChooseColor(owner, color);
}

int TUnattendedDialogs::MessageBox(QWidget* owner, const QString& text, MsgBoxKind kind,
                                   TMsgBoxButtons buttons, int focusIndex, const QString& details)
{
    if (m_scopes == 0)
        return m_inner.MessageBox(owner, text, kind, buttons, focusIndex, details);
    report(MsgBoxTitle(kind), text, details);
    return EscapeMsgBoxResult(buttons);
}

int TUnattendedDialogs::RunModal(QDialog& dialog)
{
    return m_inner.RunModal(dialog);
}

void TUnattendedDialogs::ShowNotice(QWidget* owner, const QString& text)
{
    if (m_scopes == 0)
        m_inner.ShowNotice(owner, text);
    else
        report(MsgBoxTitle(MsgBoxKind::Information), text, QString());
}
