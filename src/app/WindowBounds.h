#pragma once

#include <QList>
#include <QRect>

// Where the note window opens: 560 x 430 in the bottom right corner of the work area unless a
// saved rectangle exists, and always fully on one monitor.
namespace WindowBounds {

constexpr int kDefaultWidth = 560;
constexpr int kDefaultHeight = 430;

// The default place: the bottom right corner of workArea, above the taskbar.
QRect DefaultBounds(const QRect& workArea);
// The monitor (its full bounds) holding the largest part of bounds; the first when none does.
QRect MonitorOf(const QRect& bounds, const QList<QRect>& monitors);
// Moves bounds without resizing so that it lies on monitor: right, then left, then bottom, then top.
QRect KeepOnMonitor(const QRect& bounds, const QRect& monitor);
// The bounds to restore: the saved rectangle kept on its monitor, or the default place when the
// saved rectangle is empty (width or height not positive).
QRect RestoredBounds(const QRect& saved, const QRect& workArea, const QList<QRect>& monitors);
// A rectangle from the stored edges; right and bottom are exclusive, as the settings keep them.
QRect FromEdges(int left, int top, int right, int bottom);

} // namespace WindowBounds
