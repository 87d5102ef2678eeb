#include "link/linkloss.h"

namespace LinkLoss {

QString lost(const QString &cause)
{
    return QStringLiteral("link lost (%1)").arg(cause);
}

QString silentIntervals(int intervals)
{
    return lost(QStringLiteral("no data for %1 intervals").arg(intervals));
}

QString silentSeconds(int seconds)
{
    return lost(QStringLiteral("no data for %1 s").arg(seconds));
}

QString missedPolls(int polls)
{
    return lost(QStringLiteral("%1 polls without data").arg(polls));
}

QString portGone(const QString &port)
{
    return lost(QStringLiteral("%1 is gone").arg(port));
}

QString closedByUser()
{
    return QStringLiteral("port closed");
}

} // namespace LinkLoss
