#pragma once

#include "widgets/MsgBox.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

struct TPlatform;
class QWidget;
class QDialog;

// The one way every window shows a dialog: file names, folders, fonts, colours, the message box
// and the program's own dialogs. The program uses the platform's dialogs; tests answer through
// a fake, and at the session's end a wrapper answers the boxes itself.
class IDialogService
{
public:
    virtual ~IDialogService() = default;
    // The chosen file, or "" on Cancel. filter is in Qt's form ("Text Files (*.txt);;All (*)").
    virtual QString OpenFileName(QWidget* owner, const QString& title, const QString& filter) = 0;
    // The chosen existing files, in the order the dialog gives them, or none on Cancel.
    virtual QStringList OpenFileNames(QWidget* owner, const QString& title, const QString& filter) = 0;
    // The chosen file with defaultSuffix added when it has none, or "" on Cancel. The dialog
    // proposes proposedName (when given) and asks before an existing file is replaced.
    virtual QString SaveFileName(QWidget* owner, const QString& title, const QString& filter,
                                 const QString& defaultSuffix, const QString& proposedName = QString()) = 0;
    // On OK stores the chosen folder into path and returns true; on Cancel leaves it alone.
    virtual bool PickFolder(QWidget* owner, const QString& title, QString& path) = 0;
    // On OK stores the choice and returns true; on Cancel leaves it alone. The font dialog
    // chooses the text's colour with its face.
    virtual bool ChooseFont(QWidget* owner, QFont& font, QColor& color) = 0;
    virtual bool ChooseColor(QWidget* owner, QColor& color) = 0;
    // The message box; returns the result code of the closing button (MsgResultOK ...).
    // Details, when given, go below the message (a list of any length, one item a line).
    virtual int MessageBox(QWidget* owner, const QString& text, MsgBoxKind kind, TMsgBoxButtons buttons,
                           int focusIndex = 0, const QString& details = QString()) = 0;
    // Shows one of the program's own dialogs modally and returns its result code.
    virtual int RunModal(QDialog& dialog) = 0;
    // A notice with one OK button that does not wait: it shows and this returns at once; the box
    // goes when the user closes it.
    virtual void ShowNotice(QWidget* owner, const QString& text) = 0;
    // Whether nobody may be there to answer (the session ends): boxes then answer themselves.
    virtual bool Unattended() const { return false; }
};

class TQtDialogService final : public IDialogService
{
public:
    explicit TQtDialogService(const TPlatform& platform) : m_platform(platform) {}
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

private:
    const TPlatform& m_platform;
};
