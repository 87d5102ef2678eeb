#ifndef RECORDINGLOADER_H
#define RECORDINGLOADER_H

#include "history/readinghistory.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

// Reads a recording journal on a thread of its own, so that the thread that
// asked goes on with its work (the window keeps recording and drawing): its
// progress now and then once the reading takes more than a moment, then
// either loaded() (the readings taken with takeHistory()), failed() with the
// reason, or nothing after cancel(). Opening another file cancels the one
// being read. The readings are moved, never copied, from the reading thread
// to the one that takes them.
class RecordingLoader : public QObject
{
    Q_OBJECT
public:
    // No progress is reported before this: a small file just opens.
    static constexpr int QuietMs = 250;
    static constexpr int ProgressIntervalMs = 100;

    explicit RecordingLoader(QObject *parent = nullptr);
    // Cancels a reading in progress and waits for its thread.
    ~RecordingLoader() override;

    void open(const QString &path);
    void cancel();
    bool isLoading() const { return bool(m_job); }
    QString path() const { return m_path; }

    // The readings of the last loaded(); empty afterwards.
    ReadingHistory takeHistory();

    // Gives the memory of freed readings back to the system where the C
    // library keeps it for later (glibc); nothing elsewhere.
    static void releaseFreedMemory();

signals:
    // Percent of the file read.
    void progress(int percent);
    void loaded(const QString &path);
    void failed(const QString &path, const QString &reason);

private:
    struct Job;
    void poll();
    void finish();

    std::shared_ptr<Job> m_job;
    QString m_path;
    ReadingHistory m_history;
    QTimer m_poll;
    QElapsedTimer m_since;
};

#endif // RECORDINGLOADER_H
