#pragma once

#include "widgets/BaseFrm.h"

#include <QDeadlineTimer>
#include <QPointer>

class QLabel;
class QPushButton;
class QTimer;

// The warning before the timed shutdown: "将在 N 秒后关机", counting down once a second, with a
// button to shut down at once and one to cancel (also Esc and the close box). It stays on top,
// takes no focus and holds back keys typed before it appeared, like the reminder box. It never
// waits: the program runs on while it counts. Like the reminder box it is centred over its owner
// without being its child, so that the hidden note window cannot disable it.
//
//   auto* countdown = new TShutDownCountdown(window, 30);
//   connect(countdown, &TShutDownCountdown::decided, ...);   // true: switch off now
//   countdown->Open();                                       // deletes itself once decided
class TShutDownCountdown final : public TBaseForm
{
    Q_OBJECT
public:
    TShutDownCountdown(QWidget* owner, int seconds);

    void Open();
    // Whole seconds left, rounded up.
    int Remaining() const;
    QLabel* MessageLabel() const { return m_message; }
    QPushButton* NowButton() const { return m_now; }
    QPushButton* CancelButton() const { return m_cancel; }

signals:
    // Once: true when the time ran out or the user chose to shut down now, false when cancelled.
    void decided(bool powerOff);

private:
    void Tick();
    void Decide(bool powerOff);

    int m_seconds;
    QDeadlineTimer m_deadline;
    QTimer* m_ticker = nullptr;
    QLabel* m_message = nullptr;
    QPushButton* m_now = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_decided = false;
    QPointer<QWidget> m_owner;
};
