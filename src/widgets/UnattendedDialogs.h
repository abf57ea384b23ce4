#pragma once

#include "widgets/DialogService.h"

// Wraps the program's dialog service. While at least one TScope exists, a message box or notice
// shows nothing and waits on nobody: the message goes to standard error and the box answers as
// Esc would (No to a question, OK to a notice). Used while the session ends, when nobody may be there
// to answer. Every other dialog, and every box outside a scope, goes to the wrapped service.
class TUnattendedDialogs final : public IDialogService
{
public:
    explicit TUnattendedDialogs(IDialogService& inner) : m_inner(inner) {}

    class TScope
    {
    public:
        explicit TScope(TUnattendedDialogs& dialogs) : m_dialogs(dialogs) { ++m_dialogs.m_scopes; }
        ~TScope() { --m_dialogs.m_scopes; }
        Q_DISABLE_COPY_MOVE(TScope)

    private:
        TUnattendedDialogs& m_dialogs;
    };

    QString OpenFileName(QWidget* owner, const QString& title, const QString& filter) override;
    QStringList OpenFileNames(QWidget* owner, const QString& title, const QString& filter) override;
    QString SaveFileName(QWidget* owner, const QString& title, const QString& filter,
                         const QString& defaultSuffix, const QString& proposedName = QString()) override;
    bool PickFolder(QWidget* owner, const QString& title, QString& path) override;
    bool ChooseFont(QWidget* owner, QFont& font, QColor& color) override;
    bool ChooseColor(QWidget* owner, QColor& color) override;
    int MessageBox(QWidget* owner, const QString& text, MsgBoxKind kind, TMsgBoxButtons buttons,
                   int focusIndex = 0, const QString& details = QString()) override;
    int RunModal(QDialog& dialog) override;
    void ShowNotice(QWidget* owner, const QString& text) override;
    bool Unattended() const override { return m_scopes > 0 || m_inner.Unattended(); }

private:
    IDialogService& m_inner;
    int m_scopes = 0;
};
