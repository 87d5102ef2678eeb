#ifndef PORTPROBLEM_H
#define PORTPROBLEM_H

#include <QString>

// Words for a serial port that would not open: the reason as the system gives
// it, and what to do about a permission the user lacks.
namespace PortProblem {

// "No such file or directory", "Is a directory", "Not a terminal",
// "Permission denied", ... for `path`, with the serial port's own error text
// as the fallback.
QString reason(const QString &path, const QString &serialErrorText);

// The system's words for a permission the user lacks ("Permission denied").
QString permissionDeniedText();

// For a device the user may not open: the group that owns it and how to join
// it ("... sudo usermod -aG dialout $USER ..."); empty where there is no such
// advice (other systems, a device owned by the user's own group).
QString permissionHint(const QString &path);

} // namespace PortProblem

#endif // PORTPROBLEM_H
