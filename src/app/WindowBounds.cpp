#include "app/WindowBounds.h"

namespace WindowBounds {

QRect DefaultBounds(const QRect& workArea)
{
    const int right = workArea.x() + workArea.width();
    const int bottom = workArea.y() + workArea.height();
    return {right - kDefaultWidth, bottom - kDefaultHeight, kDefaultWidth, kDefaultHeight};
}

QRect MonitorOf(const QRect& bounds, const QList<QRect>& monitors)
{
    QRect best;
    qint64 bestArea = -1;
    for (const QRect& monitor : monitors) {
        const QRect part = monitor.intersected(bounds);
        const qint64 area = part.isEmpty() ? 0 : qint64(part.width()) * part.height();
        if (area > bestArea) {
            bestArea = area;
            best = monitor;
        }
    }
    return best;
}

QRect KeepOnMonitor(const QRect& bounds, const QRect& monitor)
{
    QRect r = bounds;
    const int monitorRight = monitor.x() + monitor.width();
    const int monitorBottom = monitor.y() + monitor.height();
    if (r.x() + r.width() > monitorRight)
        r.moveLeft(monitorRight - r.width());
    if (r.x() < monitor.x())
        r.moveLeft(monitor.x());
    if (r.y() + r.height() > monitorBottom)
        r.moveTop(monitorBottom - r.height());
    if (r.y() < monitor.y())
        r.moveTop(monitor.y());
    return r;
}

QRect RestoredBounds(const QRect& saved, const QRect& workArea, const QList<QRect>& monitors)
{
    if (saved.width() <= 0 || saved.height() <= 0)
        return DefaultBounds(workArea);
    if (monitors.isEmpty())
        return saved;
    return KeepOnMonitor(saved, MonitorOf(saved, monitors));
}

QRect FromEdges(int left, int top, int right, int bottom)
{
    return {left, top, right - left, bottom - top};
}

} // namespace WindowBounds
