#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QTimer;

// Where the messenger's online and offline notices go: a title and a text.
class IPeerNotices
{
public:
    virtual ~IPeerNotices() = default;
    virtual void ShowNotice(const QString& title, const QString& text) = 0;
};

// A small notice at the bottom right of the work area that closes itself after a few seconds;
// it never takes the focus. Used while no other popup is handed to the messenger.
class TNoticeWindow final : public QWidget, public IPeerNotices
{
    Q_OBJECT
public:
    static constexpr int ShowTime = 6000; // ms

    explicit TNoticeWindow(QWidget* parent = nullptr);
    void ShowNotice(const QString& title, const QString& text) override;

    QString Title() const;
    QString Text() const;

private:
    QLabel* m_title;
    QLabel* m_text;
    QTimer* m_timer;
};
