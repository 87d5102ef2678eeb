#ifndef LINKLOSS_H
#define LINKLOSS_H

#include <QString>

// Why the link to the meter ended, in the words the window and the recorder
// both put into a journal's gap line ("# gap: <time> link lost (...)"), so
// that the files of the two programs read the same.
namespace LinkLoss {

// "link lost (<cause>)"
QString lost(const QString &cause);
// "link lost (no data for 3 intervals)": the meter fell silent.
QString silentIntervals(int intervals);
// "link lost (no data for 3 s)"
QString silentSeconds(int seconds);
// "link lost (3 polls without data)": the window's polls found nothing this
// often since the port was opened.
QString missedPolls(int polls);
// "link lost (/dev/ttyUSB0 is gone)": the device is no longer there.
QString portGone(const QString &port);
// "port closed": the user closed the port.
QString closedByUser();

} // namespace LinkLoss

#endif // LINKLOSS_H
