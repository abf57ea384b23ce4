#pragma once

#include "widgets/BaseFrm.h"
#include "widgets/MsgBox.h"

#include <QPointer>

class QLabel;
class QPushButton;
class TInputGuard;

// A message box that does not wait: the program runs on while it is open (the minute scan, the
// shutdown countdown, the hotkey). It shows without taking the keyboard focus from the window
// the user types in and guards itself against keys typed before it appeared (TInputGuard). A
// long list scrolls inside a box of at most half the screen's height. It is centred over its
// owner but not its child: the note window disables itself while hidden in the tray, and a box
// that comes up meanwhile must still be answerable.
//
//   auto* box = new TNoticeBox(window, u"时间到：..."_s, MsgBoxKind::Information);
//   connect(box, &TNoticeBox::answered, ...);   // the user closed it
//   box->Open();                                // deletes itself once closed
class TNoticeBox final : public TBaseForm
{
    Q_OBJECT
public:
    TNoticeBox(QWidget* owner, const QString& text, MsgBoxKind kind);

    void Open();
    QLabel* MessageLabel() const { return m_message; }
    QPushButton* OkButton() const { return m_ok; }
    const TInputGuard* Guard() const { return m_guard; }

signals:
    // The user closed the box: its button, Enter, Esc or the close box.
    void answered();

private:
    QLabel* m_message = nullptr;
    QPushButton* m_ok = nullptr;
    TInputGuard* m_guard = nullptr;
    QPointer<QWidget> m_owner;
};
