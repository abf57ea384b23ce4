#pragma once

#include <QElapsedTimer>
#include <QObject>

class QWidget;

// Keeps a window that appears by itself (a reminder, the shutdown countdown) from being answered
// by typing or clicking meant for another window: for the first QuietMs after it appeared no key
// or click reaches it, and a key still held from before (its auto-repeat) counts only after a
// fresh press. Watches the window and the children it has when the guard is made.
class TInputGuard final : public QObject
{
    Q_OBJECT
public:
    static constexpr int QuietMs = 1000;

    explicit TInputGuard(QWidget* window);

    // Whether input is still held back because the window appeared too recently.
    bool Quiet() const { return !m_shown.isValid() || m_shown.elapsed() < QuietMs; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    QElapsedTimer m_shown;
    bool m_freshPress = false;
};
