#include "messenger/NoticeMerger.h"

using namespace Qt::StringLiterals;

TNoticeMerger::TNoticeMerger(TShow show, QObject* parent) : QObject(parent), m_show(std::move(show))
{
    m_clock.start();
    m_gather.setSingleShot(true);
    connect(&m_gather, &QTimer::timeout, this, &TNoticeMerger::showMerged);
}

void TNoticeMerger::Online(const QString& name)
{
    arrive(true, name);
}

void TNoticeMerger::Offline(const QString& name)
{
    arrive(false, name);
}

void TNoticeMerger::arrive(bool online, const QString& name)
{
    if (now() - m_windowStart >= PopupLife && m_waiting == 0) {
        m_windowStart = now();
        m_shownInWindow = 0;
        m_mergedInWindow = false;
        m_online = 0;
        m_offline = 0;
    }
    ++(online ? m_online : m_offline);
    if (m_shownInWindow < Singles && m_waiting == 0) {
        ++m_shownInWindow;
        ++m_shownTotal;
        if (online)
            m_show(u"上线提示："_s, u"好友："_s + name + u" 上线啦！"_s);
        else
            m_show(u"下线提示："_s, u"好友："_s + name + u" 已经下线！"_s);
        return;
    }
    ++m_waiting;
    if (!m_gather.isActive()) {
        // One merged popup a life: a second one waits until the first has gone.
        const qint64 wait = m_mergedInWindow ? m_windowStart + PopupLife - now() : GatherMs;
        m_gather.start(int(std::max<qint64>(GatherMs, wait)));
    }
}

void TNoticeMerger::showMerged()
{
    if (m_waiting == 0)
        return;
    QString title;
    QString text;
    if (m_online > 0) {
        title = u"上线提示："_s;
        text = QString::number(m_online) + u" 位好友上线"_s;
    }
    if (m_offline > 0) {
        if (title.isEmpty())
            title = u"下线提示："_s;
        else
            text += u"，"_s;
        text += QString::number(m_offline) + u" 位好友下线"_s;
    }
    m_show(title, text);
    ++m_shownTotal;
    // A new life starts with the merged popup; what comes within it waits for the next one.
    m_windowStart = now();
    m_shownInWindow = Singles;
    m_mergedInWindow = true;
    m_online = 0;
    m_offline = 0;
    m_waiting = 0;
}
