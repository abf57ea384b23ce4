#pragma once

#include "widgets/DialogService.h"

#include <functional>

// Answers the common dialogs from functions a test sets; an unset one answers Cancel. The
// message box goes through ShowMsgBox, so a test's message-box hook answers it.
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
    int MessageBox(QWidget* owner, const QString& text, MsgBoxKind kind, TMsgBoxButtons buttons,
                   int focusIndex) override
    {
        return ShowMsgBox(owner, text, kind, buttons, focusIndex);
    }
};
