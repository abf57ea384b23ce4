#include "notes/ui/MemoFormat.h"

#include "notes/ui/PadMemo.h"

#include <QPalette>
#include <QWidget>

QList<TPadMemo*> EditorsIn(const QWidget* memoPanel)
{
    if (!memoPanel)
        return {};
    return memoPanel->findChildren<TPadMemo*>();
}

QFont MemoFont(const QWidget* memoPanel)
{
    return memoPanel->font();
}

QColor MemoFontColor(const QWidget* memoPanel)
{
    return memoPanel->palette().color(QPalette::Text);
}

QColor MemoColor(const QWidget* memoPanel)
{
    return memoPanel->palette().color(QPalette::Base);
}

void SetMemoFont(QWidget* memoPanel, const QFont& font, const QColor& fontColor)
{
    memoPanel->setFont(font);
    QPalette palette = memoPanel->palette();
    palette.setColor(QPalette::Text, fontColor);
    memoPanel->setPalette(palette);
    AdjustAllMargins(memoPanel);
}

void SetMemoColor(QWidget* memoPanel, const QColor& color)
{
    // The panel shows the colour itself (Window) and hands it to the editors (Base).
    QPalette palette = memoPanel->palette();
    palette.setColor(QPalette::Window, color);
    palette.setColor(QPalette::Base, color);
    memoPanel->setPalette(palette);
}

void SetWordWrapAll(QWidget* memoPanel, bool wrap)
{
    for (TPadMemo* editor : EditorsIn(memoPanel))
        editor->SetWrapMode(wrap);
}

void AdjustAllMargins(QWidget* memoPanel)
{
    for (TPadMemo* editor : EditorsIn(memoPanel))
        editor->AdjustMargins();
}
