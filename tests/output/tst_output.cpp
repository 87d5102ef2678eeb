// The exports, printing, About and help, checked the way a user would see
// the results: workbooks read back with openpyxl, PDFs with poppler.
#include "mainwindow.h"
#include "mainwindowform.h"
#include "output/aboutdlg.h"
#include "output/aboutdlgform.h"
#include "output/filesavethread.h"
#include "output/xlsxworkbook.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

#include <csignal>
#include <sys/resource.h>

namespace {

const int ModalPollMs = 10;
const int LongWaitMs = 60000;

using Rows = QVector<QStringList>; // a null QString: no item in that cell

// Handles every modal widget that shows up while it lives: message boxes are
// recorded and closed with their first button; anything else goes to the
// given handler (once per widget).
class ModalDriver : public QObject
{
public:
    explicit ModalDriver(std::function<void(QWidget *)> other = nullptr)
        : m_other(std::move(other))
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalDriver::poll);
        m_timer.start(ModalPollMs);
    }

    QStringList titles;
    QStringList texts;
    int othersHandled = 0;

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == m_lastOther)
            return;
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            titles << box->windowTitle();
            texts << box->text();
            box->button(box->standardButtons().testFlag(QMessageBox::Ok) ? QMessageBox::Ok
                                                                          : QMessageBox::Yes)
                ->click();
        } else if (m_other) {
            m_lastOther = modal;
            ++othersHandled;
            m_other(modal);
        }
    }

    QTimer m_timer;
    std::function<void(QWidget *)> m_other;
    QPointer<QWidget> m_lastOther;
};

// Lowers the largest file this process may write, for as long as it lives.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved {};
};

QByteArray run(const QString &program, const QStringList &arguments, int *exitCode = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(LongWaitMs);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return process.readAllStandardOutput();
}

// The first sheet as openpyxl reads it: texts (None as ""), and whether any
// cell came back as something other than a string.
struct Workbook
{
    bool ok = false;
    int sheets = 0;
    Rows rows;
    bool allText = true;
};

Workbook readWorkbook(const QString &path)
{
    static const char script[] = R"(
import json, sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[0]
rows = [[None if c.value is None else [type(c.value).__name__, str(c.value)] for c in r]
        for r in ws.iter_rows()]
print(json.dumps({"sheets": len(wb.worksheets), "rows": rows}))
)";
    int exitCode = -1;
    const QByteArray out = run(QStringLiteral("/usr/bin/python3"),
                               {QStringLiteral("-c"), QString::fromLatin1(script), path}, &exitCode);
    Workbook book;
    const QJsonObject json = QJsonDocument::fromJson(out).object();
    book.ok = exitCode == 0 && !json.isEmpty();
    book.sheets = json.value(QStringLiteral("sheets")).toInt();
    for (const QJsonValue &row : json.value(QStringLiteral("rows")).toArray()) {
        QStringList texts;
        for (const QJsonValue &cell : row.toArray()) {
            if (cell.isNull()) {
                texts << QString();
                continue;
            }
            const QJsonArray typed = cell.toArray();
            if (typed.at(0).toString() != QLatin1String("str"))
                book.allText = false;
            texts << typed.at(1).toString();
        }
        while (!texts.isEmpty() && texts.last().isEmpty())
            texts.removeLast();
        book.rows << texts;
    }
    while (!book.rows.isEmpty() && book.rows.last().isEmpty())
        book.rows.removeLast();
    return book;
}

int pdfPages(const QString &path)
{
    const QString info = QString::fromUtf8(run(QStringLiteral("pdfinfo"), {path}));
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString pdfPageText(const QString &path, int page)
{
    const QString n = QString::number(page);
    return QString::fromUtf8(run(QStringLiteral("pdftotext"),
                                 {QStringLiteral("-f"), n, QStringLiteral("-l"), n, path,
                                  QStringLiteral("-")}));
}

// Where pdftotext finds each word: page number (from 1) and centre in points.
struct WordPlace
{
    int page = 0;
    QPointF centre;
    QRectF box;
};

QMultiHash<QString, WordPlace> pdfWords(const QString &path)
{
    const QString html = QString::fromUtf8(
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")}));
    QMultiHash<QString, WordPlace> words;
    const QRegularExpression pageRe(QStringLiteral("<page "));
    const QRegularExpression wordRe(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    const QStringList pages = html.split(pageRe);
    for (int p = 1; p < pages.size(); ++p) {
        auto it = wordRe.globalMatch(pages.at(p));
        while (it.hasNext()) {
            const auto m = it.next();
            WordPlace place;
            place.page = p;
            place.box = QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                               QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
            place.centre = place.box.center();
            words.insert(m.captured(5), place);
        }
    }
    return words;
}

QString valueToken(int row) { return QStringLiteral("v%1").arg(row); }

// Table rows whose value cells read v0, v1, ... so each row can be found.
Rows tokenRows(int count)
{
    Rows rows;
    for (int r = 0; r < count; ++r)
        rows << QStringList{QString::number(r + 1), QStringLiteral("DC"), valueToken(r),
                            QStringLiteral("V"), QStringLiteral("2026/12/07 10:00:00")};
    return rows;
}

// Types the name into the save dialog and presses Save.
void chooseFile(QFileDialog *dialog, const QString &path)
{
    const QFileInfo info(path);
    dialog->setDirectory(info.absolutePath());
    if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        edit->setText(info.fileName());
    QMetaObject::invokeMethod(dialog, "accept"); // protected in QFileDialog, a slot all the same
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace

class tst_Output : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void cellReference_data();
    void cellReference();

    void excelContents_data();
    void excelContents();
    void excelReplacesExistingFile();
    void excelUnwritableTarget_data();
    void excelUnwritableTarget();
    void excelFailedWriteKeepsExistingFile();
    void excelIgnoresRowsAddedDuringExport();
    void excelSamePathTwice();
    void excelTwoFilesAtOnce();
    void excelWindowDestroyedWhileWriting();
    void excelAction_data();
    void excelAction();

    void pdfPagination_data();
    void pdfPagination();
    void pdfGeometry();
    void pdfUnwritableTarget_data();
    void pdfUnwritableTarget();
    void pdfFailedWriteKeepsExistingFile();
    void pdfAction_data();
    void pdfAction();

    void printPagination_data();
    void printPagination();
    void printGeometry();
    void printDialogCancelled();

    void aboutShowsEachTextOnce_data();
    void aboutShowsEachTextOnce();
    void aboutForm();

    void helpOpensGuide_data();
    void helpOpensGuide();

public slots:
    void recordUrl(const QUrl &url) { m_openedUrls << url; }

private:
    static void setRows(MainWindow &window, const Rows &rows);
    static FileSaveThread *exportAndWait(MainWindow &window, const QString &path);
    static Rows headerAnd(const Rows &rows);

    QTemporaryDir m_dir;
    QList<QUrl> m_openedUrls;
};

void tst_Output::initTestCase()
{
    QVERIFY(m_dir.isValid());
    std::signal(SIGXFSZ, SIG_IGN); // an over-long write fails instead of killing us
    QVERIFY2(QFile::exists(QStringLiteral("/usr/bin/python3")), "Debian's python3 with openpyxl");
}

void tst_Output::setRows(MainWindow &window, const Rows &rows)
{
    QTableWidget *table = window.ui->tableWidget;
    table->setRowCount(rows.size());
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows.at(r).size(); ++c)
            if (!rows.at(r).at(c).isNull())
                table->setItem(r, c, new QTableWidgetItem(rows.at(r).at(c)));
}

Rows tst_Output::headerAnd(const Rows &rows)
{
    Rows all{{QStringLiteral("Serial number"), QStringLiteral("unconnected"),
              QStringLiteral("Numeric value"), QStringLiteral("Per unit"), QStringLiteral("time")}};
    for (QStringList row : rows) {
        for (QString &cell : row)
            if (cell.isNull())
                cell = QString(""); // read back as an empty cell
        while (!row.isEmpty() && row.last().isEmpty())
            row.removeLast();
        all << row;
    }
    return all;
}

// Starts an export as the action does after its dialog and lets the worker
// and its report run to the end.
FileSaveThread *tst_Output::exportAndWait(MainWindow &window, const QString &path)
{
    window.startExcelExport(path);
    FileSaveThread *worker = window.m_fileSaveThread;
    if (!worker || !worker->wait(LongWaitMs))
        return nullptr;
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    return worker;
}

// ---------------------------------------------------------------- workbook class

void tst_Output::cellReference_data()
{
    QTest::addColumn<QString>("reference");
    QTest::addColumn<int>("row"); // 0: the write is refused
    QTest::addColumn<int>("column");

    QTest::newRow("A1") << "A1" << 1 << 1;
    QTest::newRow("E1, the last header cell") << "E1" << 1 << 5;
    QTest::newRow("Z1") << "Z1" << 1 << 26;
    QTest::newRow("AA3, two letters") << "AA3" << 3 << 27;
    QTest::newRow("lower case") << "c12" << 12 << 3;
    QTest::newRow("empty") << "" << 0 << 0;
    QTest::newRow("letters only") << "B" << 0 << 0;
    QTest::newRow("digits only") << "12" << 0 << 0;
    QTest::newRow("row 0") << "A0" << 0 << 0;
    QTest::newRow("digits first") << "1A" << 0 << 0;
    QTest::newRow("sign") << "A-1" << 0 << 0;
    QTest::newRow("non-latin letter") << "Ω1" << 0 << 0;
}

void tst_Output::cellReference()
{
    QFETCH(QString, reference);
    QFETCH(int, row);
    QFETCH(int, column);

    const QString path = m_dir.filePath(QStringLiteral("ref.xlsx"));
    XlsxWorkbook book;
    QVERIFY(book.isValid());
    QCOMPARE(book.write(reference, QStringLiteral("here")), row > 0);
    QVERIFY(book.saveAs(path));
    const Workbook read = readWorkbook(path);
    QVERIFY(read.ok);
    if (row == 0) {
        QVERIFY(read.rows.isEmpty());
        return;
    }
    QCOMPARE(read.rows.size(), row);
    QCOMPARE(read.rows.at(row - 1).size(), column);
    QCOMPARE(read.rows.at(row - 1).at(column - 1), QStringLiteral("here"));
}

// ---------------------------------------------------------------- Excel export

void tst_Output::excelContents_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QString>("fileName");

    QTest::newRow("empty table: the header row alone") << Rows() << "empty.xlsx";
    QTest::newRow("three rows in table order") << tokenRows(3) << "three.xlsx";
    QTest::newRow("numbers stay text")
        << Rows{{"1", "DC", "12.34", "V", "t"}, {"2", "DC", "0012", "V", "t"},
                {"3", "DC", "-1.234", "V", "t"}, {"4", "DC", "1E5", "V", "t"}}
        << "numbers.xlsx";
    QTest::newRow("unicode units")
        << Rows{{"1", "Resistance", "1.234", "kΩ", "t"}, {"2", "Temperature", "25.3", "℃", "t"},
                {"3", "DC", "0.5", "µA", "t"}, {"4", "Temperature", "77", "℉", "t"}}
        << "units.xlsx";
    QTest::newRow("missing items are empty cells")
        << Rows{{"1", QString(), "0.008", QString(), "t"}, {"2", "DC", QString(), "V", QString()}}
        << "holes.xlsx";
    QTest::newRow("unicode file name") << tokenRows(2) << "测量 Ω.xlsx";
}

void tst_Output::excelContents()
{
    QFETCH(Rows, rows);
    QFETCH(QString, fileName);

    MainWindow window;
    setRows(window, rows);
    ModalDriver driver;
    const QString path = m_dir.filePath(fileName);
    window.startExcelExport(path);
    FileSaveThread *worker = window.m_fileSaveThread;
    QVERIFY(worker);
    QSignalSpy done(worker, &FileSaveThread::done);
    QVERIFY(done.isValid());
    QVERIFY(worker->wait(LongWaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(driver.texts.size(), 1, LongWaitMs);

    QCOMPARE(done.size(), 1);
    QCOMPARE(done.at(0).at(0).toInt(), rows.size());
    QCOMPARE(driver.titles.at(0), QStringLiteral("save"));
    QCOMPARE(driver.texts.at(0), QStringLiteral("Save Excel file success！File path:") + path);

    const Workbook book = readWorkbook(path);
    QVERIFY(book.ok);
    QCOMPARE(book.sheets, 1);
    QVERIFY(book.allText);
    QCOMPARE(book.rows, headerAnd(rows));
}

void tst_Output::excelReplacesExistingFile()
{
    MainWindow window;
    setRows(window, tokenRows(4));
    const QString path = m_dir.filePath(QStringLiteral("replace.xlsx"));
    QVERIFY(writeFile(path, "not a workbook, and longer than nothing"));

    ModalDriver driver;
    QVERIFY(exportAndWait(window, path));
    QCOMPARE(driver.texts.size(), 1);
    const Workbook book = readWorkbook(path);
    QVERIFY(book.ok);
    QCOMPARE(book.rows, headerAnd(tokenRows(4)));
    // Nothing is left behind beside it.
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("replace*")}, QDir::Files),
             QStringList{QStringLiteral("replace.xlsx")});
}

void tst_Output::excelUnwritableTarget_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::addColumn<bool>("isFolder");

    QTest::newRow("folder that does not exist") << "missing/out.xlsx" << false;
    QTest::newRow("path is a folder") << "afolder.xlsx" << true;
}

void tst_Output::excelUnwritableTarget()
{
    QFETCH(QString, relativePath);
    QFETCH(bool, isFolder);

    QTemporaryDir dir;
    const QString path = dir.filePath(relativePath);
    if (isFolder)
        QVERIFY(QDir().mkpath(path));
    MainWindow window;
    setRows(window, tokenRows(3));
    ModalDriver driver;
    window.startExcelExport(path);
    QSignalSpy done(window.m_fileSaveThread, &FileSaveThread::done);
    QVERIFY(done.isValid());
    QVERIFY(window.m_fileSaveThread->wait(LongWaitMs));
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();

    QCOMPARE(done.size(), 0);
    QVERIFY(driver.texts.isEmpty());
    QCOMPARE(QFileInfo(path).isDir(), isFolder);
    QCOMPARE(QFileInfo::exists(path), isFolder);
    const QStringList left = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    QCOMPARE(left, isFolder ? QStringList{relativePath} : QStringList());
}

void tst_Output::excelFailedWriteKeepsExistingFile()
{
    MainWindow window;
    setRows(window, tokenRows(3000));
    const QString path = m_dir.filePath(QStringLiteral("kept.xlsx"));
    const QByteArray old("the workbook the user already had");
    QVERIFY(writeFile(path, old));

    ModalDriver driver;
    FileSaveThread *worker = nullptr;
    {
        const FileSizeLimit limit(16 * 1024); // far less than 3000 rows need
        worker = exportAndWait(window, path);
    }
    QVERIFY(worker);
    QCoreApplication::processEvents();
    QVERIFY(driver.texts.isEmpty());
    QCOMPARE(readAll(path), old);
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("kept.xlsx*")}, QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("kept.xlsx")});
}

void tst_Output::excelIgnoresRowsAddedDuringExport()
{
    MainWindow window;
    setRows(window, tokenRows(3000));
    ModalDriver driver;
    const QString path = m_dir.filePath(QStringLiteral("snapshot.xlsx"));
    window.startExcelExport(path);
    FileSaveThread *worker = window.m_fileSaveThread;
    QSignalSpy done(worker, &FileSaveThread::done);
    QVERIFY(done.isValid());
    // Recording goes on while the worker writes.
    for (int i = 0; i < 200; ++i)
        window.addTableRow(QStringLiteral("AC"), QStringLiteral("late"), QStringLiteral("V"),
                           QStringLiteral("2026/12/07 11:00:00"));
    QVERIFY(worker->wait(LongWaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, LongWaitMs);
    QCOMPARE(done.at(0).at(0).toInt(), 3000);

    const Workbook book = readWorkbook(path);
    QVERIFY(book.ok);
    QCOMPARE(book.rows.size(), 3001);
    QCOMPARE(book.rows.last().at(2), valueToken(2999));
    QCOMPARE(window.ui->tableWidget->rowCount(), 3200);
}

void tst_Output::excelSamePathTwice()
{
    MainWindow window;
    setRows(window, tokenRows(3000));
    ModalDriver driver;
    const QString path = m_dir.filePath(QStringLiteral("twice.xlsx"));
    window.startExcelExport(path);
    FileSaveThread *first = window.m_fileSaveThread;
    window.addTableRow(QStringLiteral("AC"), QStringLiteral("second"), QStringLiteral("V"),
                       QStringLiteral("2026/12/07 11:00:00"));
    window.startExcelExport(path);
    FileSaveThread *second = window.m_fileSaveThread;
    QVERIFY(first != second);
    QVERIFY(first->wait(LongWaitMs));
    QVERIFY(second->wait(LongWaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(driver.texts.size(), 2, LongWaitMs);

    QCOMPARE(first->rowCount(), 3000); // the second export did not reach the first worker
    QCOMPARE(first->filePath(), path);
    QCOMPARE(second->rowCount(), 3001);
    // The later export writes last: the file holds its rows.
    const Workbook book = readWorkbook(path);
    QVERIFY(book.ok);
    QCOMPARE(book.rows.size(), 3002);
    QCOMPARE(book.rows.last().at(2), QStringLiteral("second"));
}

void tst_Output::excelTwoFilesAtOnce()
{
    MainWindow window;
    setRows(window, tokenRows(2000));
    ModalDriver driver;
    const QString pathA = m_dir.filePath(QStringLiteral("first.xlsx"));
    const QString pathB = m_dir.filePath(QStringLiteral("second.xlsx"));
    window.startExcelExport(pathA);
    FileSaveThread *first = window.m_fileSaveThread;
    window.startExcelExport(pathB);
    FileSaveThread *second = window.m_fileSaveThread;
    QVERIFY(first->wait(LongWaitMs));
    QVERIFY(second->wait(LongWaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(driver.texts.size(), 2, LongWaitMs);

    // Each report names the file its own worker wrote.
    const QString prefix = QStringLiteral("Save Excel file success！File path:");
    QCOMPARE(QSet<QString>(driver.texts.cbegin(), driver.texts.cend()),
             (QSet<QString>{prefix + pathA, prefix + pathB}));
    QCOMPARE(readWorkbook(pathA).rows.size(), 2001);
    QCOMPARE(readWorkbook(pathB).rows.size(), 2001);
}

void tst_Output::excelWindowDestroyedWhileWriting()
{
    const QString path = m_dir.filePath(QStringLiteral("closing.xlsx"));
    auto *window = new MainWindow;
    setRows(*window, tokenRows(20000));
    window->startExcelExport(path);
    delete window; // waits for the worker: the file is complete afterwards

    const Workbook book = readWorkbook(path);
    QVERIFY(book.ok);
    QCOMPARE(book.rows.size(), 20001);
    QCOMPARE(book.rows.last().at(2), valueToken(19999));
}

void tst_Output::excelAction_data()
{
    QTest::addColumn<bool>("accept");

    QTest::newRow("file chosen: written and reported") << true;
    QTest::newRow("dialog cancelled: no file, no message") << false;
}

void tst_Output::excelAction()
{
    QFETCH(bool, accept);

    MainWindow window;
    setRows(window, tokenRows(5));
    const QString path = m_dir.filePath(accept ? QStringLiteral("action.xlsx")
                                               : QStringLiteral("cancelled.xlsx"));
    QString caption;
    QStringList filters;
    ModalDriver driver([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return;
        caption = dialog->windowTitle();
        filters = dialog->nameFilters();
        if (accept) {
            chooseFile(dialog, path);
        } else {
            dialog->reject();
        }
    });
    window.on_act_excel_triggered();
    QCOMPARE(driver.othersHandled, 1);
    QCOMPARE(caption, QStringLiteral("Save"));
    QCOMPARE(filters, QStringList{QStringLiteral("(*.xlsx)")}); // the dialog trims " (*.xlsx)"
    if (accept) {
        QVERIFY(window.m_fileSaveThread->wait(LongWaitMs));
        QTRY_COMPARE_WITH_TIMEOUT(driver.texts.size(), 1, LongWaitMs);
        QCOMPARE(window.m_filePath, path);
        QCOMPARE(driver.texts.at(0), QStringLiteral("Save Excel file success！File path:") + path);
        QCOMPARE(readWorkbook(path).rows, headerAnd(tokenRows(5)));
    } else {
        QCoreApplication::processEvents();
        QVERIFY(window.m_filePath.isEmpty());
        QVERIFY(driver.texts.isEmpty());
        QVERIFY(!QFileInfo::exists(path));
    }
}

// ---------------------------------------------------------------- PDF export

void tst_Output::pdfPagination_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QList<int>>("firstRowOfPage"); // table row opening pages 2, 3, ...

    QTest::newRow("empty table: title and column titles") << 0 << 1 << QList<int>();
    QTest::newRow("30 rows fill page 1, no empty page after") << 30 << 1 << QList<int>();
    QTest::newRow("31 rows: row 30 alone on page 2") << 31 << 2 << QList<int>{30};
    QTest::newRow("60 rows: two full pages") << 60 << 2 << QList<int>{30};
    QTest::newRow("61 rows: row 60 alone on page 3") << 61 << 3 << QList<int>{30, 60};
}

void tst_Output::pdfPagination()
{
    QFETCH(int, rows);
    QFETCH(int, pages);
    QFETCH(QList<int>, firstRowOfPage);

    MainWindow window;
    setRows(window, tokenRows(rows));
    const QString path = m_dir.filePath(QStringLiteral("pages%1.pdf").arg(rows));
    QVERIFY(window.exportPdf(path));
    QCOMPARE(pdfPages(path), pages);

    QList<int> pageStarts{0};
    pageStarts << firstRowOfPage << rows;
    for (int page = 1; page <= pages; ++page) {
        const QString text = pdfPageText(path, page);
        QCOMPARE(text.contains(QStringLiteral("Test Data")), page == 1);
        QCOMPARE(text.contains(QStringLiteral("Serial number")), page == 1);
        QCOMPARE(text.contains(QStringLiteral("Per unit")), page == 1);
        const int first = pageStarts.at(page - 1);
        const int last = pageStarts.at(page) - 1;
        if (first <= last) {
            QVERIFY2(text.contains(valueToken(first) + QLatin1Char('\n')), qPrintable(text));
            QVERIFY(text.contains(valueToken(last) + QLatin1Char('\n')));
        }
        if (first > 0)
            QVERIFY(!text.contains(valueToken(first - 1) + QLatin1Char('\n')));
    }
}

void tst_Output::pdfGeometry()
{
    MainWindow window;
    setRows(window, tokenRows(31));
    const QString path = m_dir.filePath(QStringLiteral("geometry.pdf"));
    QVERIFY(window.exportPdf(path));

    const int dpi = 300;
    const QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                             QMarginsF(30, 10, 30, 30), QPageLayout::Point);
    const int width = layout.paintRectPixels(dpi).width();
    const int cell = width / 5;
    const QPointF origin = layout.paintRect(QPageLayout::Point).topLeft();
    auto toPoints = [&](double x, double y) { return origin + QPointF(x, y) * 72.0 / dpi; };

    const QMultiHash<QString, WordPlace> words = pdfWords(path);
    struct Expect { QString word; int page; QPointF centre; };
    const QList<Expect> expected{
        {QStringLiteral("Test"), 1, toPoints(width / 2.0 - 1, 10 + 50)},
        {QStringLiteral("time"), 1, toPoints(4 * cell + cell / 2.0, 170 + 50)},
        {valueToken(0), 1, toPoints(2 * cell + cell / 2.0, 270 + 50)},
        {valueToken(29), 1, toPoints(2 * cell + cell / 2.0, 170 + 30 * 100 + 50)},
        {valueToken(30), 2, toPoints(2 * cell + cell / 2.0, 110 + 50)},
    };
    for (const Expect &e : expected) {
        QVERIFY2(words.contains(e.word), qPrintable(e.word));
        const WordPlace place = words.value(e.word);
        QCOMPARE(place.page, e.page);
        if (e.word != QLatin1String("Test")) // the title's first word sits left of centre
            QVERIFY2(qAbs(place.centre.x() - e.centre.x()) < 3,
                     qPrintable(QStringLiteral("%1 x %2, expected %3").arg(e.word).arg(place.centre.x()).arg(e.centre.x())));
        QVERIFY2(qAbs(place.centre.y() - e.centre.y()) < 5,
                 qPrintable(QStringLiteral("%1 y %2, expected %3").arg(e.word).arg(place.centre.y()).arg(e.centre.y())));
    }
}

void tst_Output::pdfUnwritableTarget_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::addColumn<bool>("isFolder");

    QTest::newRow("folder that does not exist") << "missing/out.pdf" << false;
    QTest::newRow("path is a folder") << "afolder.pdf" << true;
}

void tst_Output::pdfUnwritableTarget()
{
    QFETCH(QString, relativePath);
    QFETCH(bool, isFolder);

    QTemporaryDir dir;
    const QString path = dir.filePath(relativePath);
    if (isFolder)
        QVERIFY(QDir().mkpath(path));
    MainWindow window;
    setRows(window, tokenRows(3));
    QVERIFY(!window.exportPdf(path));
    QCOMPARE(QFileInfo(path).isDir(), isFolder);
    QCOMPARE(QFileInfo::exists(path), isFolder);
    const QStringList left = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    QCOMPARE(left, isFolder ? QStringList{relativePath} : QStringList());
}

void tst_Output::pdfFailedWriteKeepsExistingFile()
{
    MainWindow window;
    setRows(window, tokenRows(300));
    const QString path = m_dir.filePath(QStringLiteral("kept.pdf"));
    const QByteArray old("%PDF the document the user already had");
    QVERIFY(writeFile(path, old));
    bool written = true;
    {
        const FileSizeLimit limit(4 * 1024); // far less than ten pages need
        written = window.exportPdf(path);
    }
    QVERIFY(!written);
    QCOMPARE(readAll(path), old);
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("kept.pdf*")}, QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("kept.pdf")});

    // With room to write, the same export replaces it.
    QVERIFY(window.exportPdf(path));
    QCOMPARE(pdfPages(path), 10);
}

void tst_Output::pdfAction_data()
{
    QTest::addColumn<bool>("accept");

    QTest::newRow("file chosen: written and reported") << true;
    QTest::newRow("dialog cancelled: no file, no message") << false;
}

void tst_Output::pdfAction()
{
    QFETCH(bool, accept);

    MainWindow window;
    setRows(window, tokenRows(2));
    const QString path = m_dir.filePath(accept ? QStringLiteral("action.pdf")
                                               : QStringLiteral("cancelled.pdf"));
    QStringList filters;
    ModalDriver driver([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog)
            return;
        filters = dialog->nameFilters();
        if (accept) {
            chooseFile(dialog, path);
        } else {
            dialog->reject();
        }
    });
    window.on_act_pdf_triggered();
    QCOMPARE(filters, QStringList{QStringLiteral("(*.pdf)")});
    if (accept) {
        QCOMPARE(driver.titles, QStringList{QStringLiteral("save")});
        QCOMPARE(driver.texts, QStringList{QStringLiteral("Save PDF file success！File path:") + path});
        QCOMPARE(pdfPages(path), 1);
    } else {
        QVERIFY(driver.texts.isEmpty());
        QVERIFY(!QFileInfo::exists(path));
    }
}

// ---------------------------------------------------------------- printing

void tst_Output::printPagination_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("pages");

    QTest::newRow("empty table: column titles alone") << 0 << 1;
    QTest::newRow("30 rows: one page") << 30 << 1;
    QTest::newRow("31 rows: two pages") << 31 << 2;
    QTest::newRow("61 rows: three pages") << 61 << 3;
}

void tst_Output::printPagination()
{
    QFETCH(int, rows);
    QFETCH(int, pages);

    MainWindow window;
    setRows(window, tokenRows(rows));
    const QString path = m_dir.filePath(QStringLiteral("print%1.pdf").arg(rows));
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    window.printTable(&printer);

    QCOMPARE(pdfPages(path), pages);
    const QString first = pdfPageText(path, 1);
    QVERIFY(first.contains(QStringLiteral("Serial number")));
    QVERIFY(!first.contains(QStringLiteral("Test Data")));
    if (pages > 1)
        QVERIFY(!pdfPageText(path, 2).contains(QStringLiteral("Serial number")));
}

void tst_Output::printGeometry()
{
    MainWindow window;
    setRows(window, tokenRows(31));
    const QString path = m_dir.filePath(QStringLiteral("printgeometry.pdf"));
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    // The page the print routine asks for, so that the viewport is known here.
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(30, 30, 30, 30), printer.pageLayout().units());
    window.printTable(&printer);

    const int dpi = printer.resolution();
    const int width = printer.pageLayout().paintRectPixels(dpi).width();
    const int cell = (width - 50) / 5;
    const QPointF origin = printer.pageLayout().paintRect(QPageLayout::Point).topLeft();
    auto toPoints = [&](double x, double y) { return origin + QPointF(x, y) * 72.0 / dpi; };

    const QMultiHash<QString, WordPlace> words = pdfWords(path);
    struct Expect { QString word; int page; QPointF centre; };
    const QList<Expect> expected{
        {QStringLiteral("time"), 1, toPoints(4 * cell + cell / 2.0, 10 + 15)},
        {valueToken(0), 1, toPoints(2 * cell + cell / 2.0, 40 + 15)},
        {valueToken(29), 1, toPoints(2 * cell + cell / 2.0, 10 + 30 * 30 + 15)},
        {valueToken(30), 2, toPoints(2 * cell + cell / 2.0, 40 + 15)},
        {QStringLiteral("V"), 1, toPoints(3 * cell + cell / 2.0, 40 + 15)},
    };
    for (const Expect &e : expected) {
        QVERIFY2(words.contains(e.word), qPrintable(e.word));
        // the first occurrence on the expected page, topmost
        WordPlace place;
        for (const WordPlace &p : words.values(e.word))
            if (p.page == e.page && (place.page == 0 || p.centre.y() < place.centre.y()))
                place = p;
        QCOMPARE(place.page, e.page);
        QVERIFY2(qAbs(place.centre.x() - e.centre.x()) < 3,
                 qPrintable(QStringLiteral("%1 x %2, expected %3").arg(e.word).arg(place.centre.x()).arg(e.centre.x())));
        QVERIFY2(qAbs(place.centre.y() - e.centre.y()) < 5,
                 qPrintable(QStringLiteral("%1 y %2, expected %3").arg(e.word).arg(place.centre.y()).arg(e.centre.y())));
    }

    // The time is wider than its cell in the default font: it is made to
    // fit rather than cut off at the cell's edges.
    const qreal left = toPoints(4 * cell, 0).x();
    const qreal right = toPoints(5 * cell, 0).x();
    const QList<WordPlace> dates = words.values(QStringLiteral("2026/12/07"));
    const QList<WordPlace> times = words.values(QStringLiteral("10:00:00"));
    QCOMPARE(dates.size(), 31);
    QCOMPARE(times.size(), 31);
    for (const WordPlace &date : dates)
        QVERIFY2(date.box.left() >= left, qPrintable(QString::number(date.box.left())));
    for (const WordPlace &time : times)
        QVERIFY2(time.box.right() <= right, qPrintable(QString::number(time.box.right())));
}

void tst_Output::printDialogCancelled()
{
    MainWindow window;
    setRows(window, tokenRows(3));
    ModalDriver driver([](QWidget *modal) {
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
    });
    window.on_act_print_triggered();
    QCOMPARE(driver.othersHandled, 1);
    QVERIFY(driver.texts.isEmpty());
}

// ---------------------------------------------------------------- About and help

void tst_Output::aboutShowsEachTextOnce_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("version");

    QTest::newRow("model identified") << "DMM" << "V1.2";
    QTest::newRow("nothing decoded yet: captions alone") << "" << "";
}

void tst_Output::aboutShowsEachTextOnce()
{
    QFETCH(QString, name);
    QFETCH(QString, version);

    MainWindow window;
    window.m_appName = name;
    window.m_appVersion = version;
    QStringList seen;
    ModalDriver driver([&](QWidget *modal) {
        auto *dialog = qobject_cast<AboutDlg *>(modal);
        if (!dialog)
            return;
        seen << dialog->ui->lbAppName->text() << dialog->ui->lbAppVersion->text();
        dialog->ui->btnAboutOk->click();
    });
    window.on_act_about_triggered();
    window.on_act_about_triggered();

    const QString nameText = QStringLiteral("The name of the software：") + name;
    const QString versionText = QStringLiteral("Software Version：") + version;
    QCOMPARE(seen, (QStringList{nameText, versionText, nameText, versionText}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(window.findChildren<AboutDlg *>().isEmpty()); // no dialog piles up
}

void tst_Output::aboutForm()
{
    AboutDlg dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("About"));
    QCOMPARE(dialog.minimumSize(), QSize(300, 150));
    QCOMPARE(dialog.maximumSize(), QSize(350, 150));
    QCOMPARE(dialog.ui->btnAboutOk->text(), QStringLiteral("OK"));
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    QVERIFY(accepted.isValid());
    dialog.show();
    dialog.ui->btnAboutOk->click();
    QCOMPARE(accepted.size(), 1);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void tst_Output::helpOpensGuide_data()
{
    QTest::addColumn<bool>("chmPresent");
    QTest::addColumn<bool>("viewer");
    QTest::addColumn<QString>("opened");

    QTest::newRow("compiled help and a viewer for it") << true << true << "raveloHelp.chm";
    QTest::newRow("no compiled help: the web page") << false << true << "raveloHelp.html";
    QTest::newRow("nothing shows compiled help: the web page") << true << false << "raveloHelp.html";
}

void tst_Output::helpOpensGuide()
{
    QFETCH(bool, chmPresent);
    QFETCH(bool, viewer);
    QFETCH(QString, opened);

    const QString chm = QCoreApplication::applicationDirPath() + QStringLiteral("/raveloHelp.chm");
    QFile::remove(chm);
    if (chmPresent)
        QVERIFY(writeFile(chm, "ITSF"));
    m_openedUrls.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "recordUrl");
    MainWindow window;
    window.openUserGuide(viewer);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QFile::remove(chm);

    // A file URL, which every desktop takes, rather than a bare path.
    QCOMPARE(m_openedUrls.size(), 1);
    QVERIFY(m_openedUrls.at(0).isLocalFile());
    QCOMPARE(m_openedUrls.at(0).toLocalFile(),
             QCoreApplication::applicationDirPath() + QLatin1Char('/') + opened);
}

QTEST_MAIN(tst_Output)
#include "tst_output.moc"
