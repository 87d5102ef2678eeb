#ifndef WHOLEFILE_H
#define WHOLEFILE_H

#include <QByteArray>
#include <QString>

QT_BEGIN_NAMESPACE
class QSaveFile;
QT_END_NAMESPACE

// A file replaced whole or not at all, and a failure told with the system's
// reason ("No space left on device", "Not a directory", ...).
//
// QSaveFile alone is not enough: opened buffered, a write that a full disk
// cuts short is found only while committing, and the commit still renames
// the short file over the old one. Unbuffered, every write reports at once.
namespace WholeFile {

// Opens `file` (a QSaveFile for the target) for writing; false with the
// reason in *error.
bool open(QSaveFile *file, QString *error);

// Writes all of `bytes` and commits; on any failure the target stays as it
// was and *error tells why.
bool writeAndCommit(QSaveFile *file, const QByteArray &bytes, QString *error);

} // namespace WholeFile

#endif // WHOLEFILE_H
