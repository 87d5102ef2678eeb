#ifndef JOURNALKEEPER_H
#define JOURNALKEEPER_H

#include "config/appconfig.h"
#include "limits/limitwatch.h"
#include "meter/recordedreading.h"
#include "journal/journalwriter.h"

#include <QObject>
#include <QString>
#include <QTimer>

// The window's recording journal: from the first reading of a run, every
// reading the table receives also goes to a CSV file in the recordings
// folder, so a crash, a power cut or a hasty exit never loses one. Where
// the link to the meter ended, a "# gap:" line says when and why.
//
// A failure stops the journal (the table records on) and says why through
// stopped(); the next run, at the port's next open, tries again with a new
// file. A journal that works goes on in its file across reopened ports.
class JournalKeeper : public QObject
{
    Q_OBJECT
public:
    explicit JournalKeeper(QObject *parent = nullptr);

    // Off (enabled false) the journal writes nothing and says so by off().
    void setSettings(const AppConfig::JournalSettings &settings);
    const AppConfig::JournalSettings &settings() const { return m_settings; }

    // The reading goes into the file; the first of a run opens a new one.
    void addReading(const RecordedReading &recorded);
    // The link ended at `time`: a gap line, when a file is open.
    void addGap(const QDateTime &time, const QString &reason);
    // A reading left the limits or came back within them: a "# limit:" line,
    // when a file is open.
    void addLimitCrossing(const LimitCrossing &crossing);
    // A new run begins (the port opened): a journal that failed tries again.
    void beginRun();

signals:
    void off();
    // A new file takes the readings (its absolute path).
    void recording(const QString &path);
    // The journal failed; `path` is its file, or its folder when no file
    // could be made.
    void stopped(const QString &reason, const QString &path);

private:
    void syncIfDue();
    void stop(const QString &reason);

    AppConfig::JournalSettings m_settings;
    JournalWriter m_writer;
    QTimer m_syncTimer;
    QString m_path;         // the file of this run, empty before the first reading
    bool m_stopped = false; // failed: nothing more until the next run
};

#endif // JOURNALKEEPER_H
