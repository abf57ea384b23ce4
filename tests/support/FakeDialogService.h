#pragma once

#include "widgets/DialogService.h"

#include <QDialog>

#include <functional>

// Answers the dialogs from functions a test sets; an unset file, folder, font or colour dialog
// answers Cancel. An unset messageBox builds the real box, and an unset modal runs the real
// modal loop (for tests that drive a real dialog). Notices are only kept.
class FakeDialogService final : public IDialogService
{
public:
    std::function<QString(const QString& title, const QString& filter)> openFileName;
    std::function<QStringList(const QString& title, const QString& filter)> openFileNames;
    std::function<QString(const QString& title, const QString& filter, const QString& suffix)> saveFileName;
    std::function<bool(const QString& title, QString& path)> pickFolder;
    // The name the last save dialog proposed.
    QString proposedName;
    std::function<bool(QWidget* owner, QFont& font, QColor& color)> chooseFont;
    std::function<bool(QWidget* owner, QColor& color)> chooseColor;

    QString OpenFileName(QWidget*, const QString& title, const QString& filter) override
    {
        return openFileName ? openFileName(title, filter) : QString();
    }
    QStringList OpenFileNames(QWidget*, const QString& title, const QString& filter) override
    {
        return openFileNames ? openFileNames(title, filter) : QStringList();
    }
    QString SaveFileName(QWidget*, const QString& title, const QString& filter, const QString& defaultSuffix,
                         const QString& proposed = QString()) override
    {
        proposedName = proposed;
        return saveFileName ? saveFileName(title, filter, defaultSuffix) : QString();
    }
    bool PickFolder(QWidget*, const QString& title, QString& path) override
    {
        return pickFolder ? pickFolder(title, path) : false;
    }
    bool ChooseFont(QWidget* owner, QFont& font, QColor& color) override
    {
        return chooseFont ? chooseFont(owner, font, color) : false;
    }
    bool ChooseColor(QWidget* owner, QColor& color) override
    {
        return chooseColor ? chooseColor(owner, color) : false;
    }
    // Answers every message box without a dialog.
    std::function<int(const TMsgBoxCall& call)> messageBox;
    // Answers the program's own dialogs instead of a modal loop; it may inspect and fill them.
    std::function<int(QDialog& dialog)> modal;

    int MessageBox(QWidget* owner, const QString& text, MsgBoxKind kind, TMsgBoxButtons buttons,
                   int focusIndex = 0, const QString& details = QString()) override
    {
        if (messageBox)
            return messageBox(TMsgBoxCall{owner, text, kind, buttons, focusIndex, details});
        return RunMsgBox(*this, owner, text, details, kind, buttons, focusIndex);
    }
    int RunModal(QDialog& dialog) override { return modal ? modal(dialog) : dialog.exec(); }
    // The notices that did not wait, and their owners.
    QStringList notices;
    QList<QWidget*> noticeOwners;
    void ShowNotice(QWidget* owner, const QString& text) override
    {
        noticeOwners << owner;
        notices << text;
    }
};
