#ifndef FILESAVETHREAD_H
#define FILESAVETHREAD_H

#include <QString>
#include <QStringList>
#include <QThread>
#include <QVector>

QT_BEGIN_NAMESPACE
class QTableWidget;
QT_END_NAMESPACE

// Writes the sample table to an .xlsx workbook on a thread of its own.
//
// getParam() runs on the GUI thread before start(): it copies the header
// and item texts, so the thread never reads the table, which goes on
// growing while the workbook is written. The workbook holds exactly the rows
// present when getParam() ran. Two workers writing the same file take turns
// in the order they were set up. Destroying a worker waits for it to finish.
class FileSaveThread : public QThread
{
    Q_OBJECT

public:
    explicit FileSaveThread(QObject *parent = nullptr);
    ~FileSaveThread() override;

    QString filePath() const { return m_filePath; }
    int rowCount() const { return m_rowCount; }

signals:
    void done(int count);
    // The workbook was not written (any file already at filePath() is as it
    // was); not sent when the export was cancelled.
    void failed(const QString &reason);
    // Rows written so far, out of total; a few hundred times per export at most.
    void progress(int rowsWritten, int total);

public slots:
    void getParam(QString filePath, QTableWidget *tableWidget);

protected:
    void run() override;

private:
    bool saveExcel(QString *error);
    void releaseTurn();

    QString m_filePath;
    QTableWidget *m_tableWidget = nullptr; // read in getParam() only, on the GUI thread
    int m_rowCount = 0;
    int m_columnCount = 0;
    QStringList m_header;
    QVector<QString> m_cells; // row by row, m_columnCount texts each
    quint64 m_ticket = 0;     // place in the queue of writers of m_filePath; 0: none
};

#endif // FILESAVETHREAD_H
