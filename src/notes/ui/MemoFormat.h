#pragma once

#include <QColor>
#include <QFont>
#include <QList>

class QWidget;
class TPadMemo;

// The Format commands that act on all editors at once. The editors take font and colours from
// their container (the main window's MemoPanel), so the commands change the container and
// every editor inside it follows, including editors created later. Widgets between the
// container and the editors must not set a palette role or font of their own that would stop
// this inheritance.

// Every editor inside the container, in the order of its children.
QList<TPadMemo*> EditorsIn(const QWidget* memoPanel);

QFont MemoFont(const QWidget* memoPanel);
QColor MemoFontColor(const QWidget* memoPanel);
QColor MemoColor(const QWidget* memoPanel);

// The font command after the font dialog's OK: the container's font and text colour, then the
// margins of every editor.
void SetMemoFont(QWidget* memoPanel, const QFont& font, const QColor& fontColor);
// The background colour command after the colour dialog's OK.
void SetMemoColor(QWidget* memoPanel, const QColor& color);
// The word-wrap command: SetWrapMode(wrap) on every editor.
void SetWordWrapAll(QWidget* memoPanel, bool wrap);
void AdjustAllMargins(QWidget* memoPanel);
