#include "history/recordingloader.h"

#include "journal/journalreader.h"

#include <QThread>

#include <atomic>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

// What the reading thread and the loader share; the thread holds it until it
// ends, even when the loader has moved on to another file.
struct RecordingLoader::Job {
    QString path;
    std::atomic<bool> cancelled {false};
    std::atomic<int> percent {0};
    // Written by the reading thread before it ends, read after.
    ReadingHistory history;
    bool ok = false;
    QString error;
};

RecordingLoader::RecordingLoader(QObject *parent)
    : QObject(parent)
{
    m_poll.setInterval(ProgressIntervalMs);
    connect(&m_poll, &QTimer::timeout, this, &RecordingLoader::poll);
}

RecordingLoader::~RecordingLoader()
{
    cancel();
    // A cancelled reading stops within a few thousand rows.
    for (QThread *thread : findChildren<QThread *>())
        thread->wait();
}

void RecordingLoader::open(const QString &path)
{
    cancel();
    auto job = std::make_shared<Job>();
    job->path = path;
    m_job = job;
    m_path = path;
    QThread *thread = QThread::create([job] {
        JournalReader reader;
        reader.setProgress([&job](qint64 done, qint64 total) {
            if (total > 0)
                job->percent = int(qBound<qint64>(0, done * 100 / total, 100));
            return !job->cancelled;
        });
        job->ok = reader.read(job->path, &job->history);
        job->error = reader.errorString();
    });
    thread->setObjectName(QStringLiteral("recordingLoader"));
    thread->setParent(this);
    connect(thread, &QThread::finished, this, [this, thread, job] {
        thread->deleteLater();
        if (job == m_job)
            finish();
    });
    m_since.start();
    m_poll.start();
    thread->start(QThread::LowPriority);
}

void RecordingLoader::cancel()
{
    if (!m_job)
        return;
    // The thread ends on its own; what it read is dropped with it.
    m_job->cancelled = true;
    m_job.reset();
    m_poll.stop();
}

void RecordingLoader::poll()
{
    if (m_job && m_since.elapsed() >= QuietMs)
        emit progress(m_job->percent);
}

void RecordingLoader::finish()
{
    const std::shared_ptr<Job> job = std::move(m_job);
    m_poll.stop();
    if (!job->ok) {
        job->history.clear();
        emit failed(job->path, job->error);
        return;
    }
    m_history = std::move(job->history);
    emit loaded(job->path);
}

ReadingHistory RecordingLoader::takeHistory()
{
    ReadingHistory taken = std::move(m_history);
    m_history = ReadingHistory();
    return taken;
}

void RecordingLoader::releaseFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
