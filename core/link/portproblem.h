#ifndef PORTPROBLEM_H
#define PORTPROBLEM_H

#include <QString>
#include <QStringList>

// What to tell the user about a serial port that would not open or that
// failed while open: the reason in the system's words where it has them, and
// what to do about a permission the user lacks. The window and the
// command-line recorder both say it this way.
namespace PortProblem {

// The device a port name stands for, as the serial port opens it: a path as
// given, a bare name ("ttyUSB0") below /dev on Unix; the name itself (COM3)
// elsewhere.
QString devicePath(const QString &portName);

// Why the port would not open: "No such file or directory", "Is a directory",
// "Permission denied", "not a serial port" (a device that is no terminal,
// such as /dev/null), a lock another program holds on it (naming the lock
// file), ..., with the serial port's own error text as the fallback.
QString reason(const QString &portName, const QString &serialErrorText);

// For a device the user may not open: the group that owns it and how to join
// it ("... sudo usermod -aG dialout $USER ..."); empty where there is no such
// advice (other systems, a device owned by root's group).
QString permissionHint(const QString &portName);

// The whole message for a port that would not open: "cannot open <path>:
// <reason>", followed, on a permission the user lacks, by a second line
// "hint: <what to do>".
QStringList openFailure(const QString &portName, const QString &serialErrorText);

// How an open link ended on a fatal error of the port.
enum class LinkEnd {
    PortGone, // the system took the device away (an adapter unplugged)
    HungUp,   // the far end closed the line: reads come back empty
};

// "the device hung up"; "port gone: <the system's reason>".
QString lossReason(LinkEnd end, const QString &serialErrorText);

} // namespace PortProblem

#endif // PORTPROBLEM_H
