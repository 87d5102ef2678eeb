#include "journal/wholefile.h"

#include <QSaveFile>

namespace WholeFile {

bool open(QSaveFile *file, QString *error)
{
    if (file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return true;
    *error = file->errorString();
    return false;
}

bool writeAndCommit(QSaveFile *file, const QByteArray &bytes, QString *error)
{
    // A short write is followed by another, which fails with the reason.
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = file->write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            *error = file->errorString();
            file->cancelWriting();
            return false;
        }
        done += written;
    }
    if (file->error() != QFileDevice::NoError) {
        *error = file->errorString();
        file->cancelWriting();
        return false;
    }
    if (!file->commit()) {
        *error = file->errorString();
        return false;
    }
    return true;
}

} // namespace WholeFile
