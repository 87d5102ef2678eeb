#ifndef FILESAVETHREAD_H
#define FILESAVETHREAD_H

#include <QString>
#include <QStringList>
#include <QThread>
#include <QVector>

QT_BEGIN_NAMESPACE
class QAbstractItemModel;
QT_END_NAMESPACE

// Writes the recorded readings (the rows of a table model) to an .xlsx
// workbook on a thread of its own.
//
// setReadings() runs on the GUI thread before start(): it copies the header
// and cell texts, so the thread never reads the model, which goes on
// growing while the workbook is written. The workbook holds exactly the rows
// present when setReadings() ran. Two workers writing the same file take turns
// in the order they were set up. Destroying a worker waits for it to finish.
class FileSaveThread : public QThread
{
    Q_OBJECT

public:
    explicit FileSaveThread(QObject *parent = nullptr);
    ~FileSaveThread() override;

    QString filePath() const { return m_filePath; }
    int rowCount() const { return m_rowCount; }
    void setReadings(const QString &filePath, const QAbstractItemModel &readings);

signals:
    void done(int count);
    // The workbook was not written (any file already at filePath() is as it
    // was); not sent when the export was cancelled.
    void failed(const QString &reason);
    // Rows written so far, out of total; a few hundred times per export at most.
    void progress(int rowsWritten, int total);

protected:
    void run() override;

private:
    bool saveExcel(QString *error);
    void releaseTurn();

    QString m_filePath;
    int m_rowCount = 0;
    int m_columnCount = 0;
    QStringList m_header;
    QVector<QString> m_cells; // row by row, m_columnCount texts each
    quint64 m_ticket = 0;     // place in the queue of writers of m_filePath; 0: none
};

#endif // FILESAVETHREAD_H
