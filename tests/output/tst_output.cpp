// The exports, printing, About and help, checked the way a user would see
// the results: workbooks read back with openpyxl, PDFs with poppler.
#include "mainwindow.h"
#include "mainwindowform.h"
#include "output/aboutdlg.h"
#include "output/aboutdlgform.h"
#include "output/filesavethread.h"

#include <QApplication>
#include <QDesktopServices>
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
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace {

const int LongWaitMs = 60000;
const QString ExcelSuccess = QStringLiteral("Save Excel file success！File path:");
const QString PdfSuccess = QStringLiteral("Save PDF file success！File path:");

using Rows = QVector<QStringList>; // a null QString: no item in that cell

// Handles the modal widgets that show up while it lives: message boxes are
// recorded and closed; any other goes once to the given handler.
class ModalDriver : public QObject
{
public:
    explicit ModalDriver(std::function<void(QWidget *)> other = nullptr)
        : m_other(std::move(other))
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalDriver::poll);
        m_timer.start(10);
    }
    QStringList titles;
    QStringList texts;

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == m_handled)
            return;
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            titles << box->windowTitle();
            texts << box->text();
            box->button(QMessageBox::Ok)->click();
        } else if (m_other) {
            m_handled = modal;
            m_other(modal);
        }
    }
    QTimer m_timer;
    std::function<void(QWidget *)> m_other;
    QPointer<QWidget> m_handled;
};

// Lowers the largest file this process may write, while it lives.
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

QByteArray run(const QString &program, const QStringList &arguments, bool *ok = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(LongWaitMs);
    if (ok)
        *ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return process.readAllStandardOutput();
}

// The first sheet as openpyxl reads it (None as ""); null when unreadable.
// allText: every cell came back as a string.
Rows readWorkbook(const QString &path, bool *allText = nullptr)
{
    static const char script[] = R"(
import json, sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
print(json.dumps([[None if c.value is None else [type(c.value).__name__, str(c.value)] for c in r]
                  for r in ws.iter_rows()]))
)";
    bool ok = false;
    const QByteArray out = run(QStringLiteral("/usr/bin/python3"),
                               {QStringLiteral("-c"), QString::fromLatin1(script), path}, &ok);
    Rows rows;
    if (allText)
        *allText = true;
    if (!ok)
        return {{QStringLiteral("unreadable")}};
    for (const QJsonValue &row : QJsonDocument::fromJson(out).array()) {
        QStringList texts;
        for (const QJsonValue &cell : row.toArray()) {
            const QJsonArray typed = cell.toArray();
            if (allText && !cell.isNull() && typed.at(0).toString() != QLatin1String("str"))
                *allText = false;
            texts << (cell.isNull() ? QString("") : typed.at(1).toString());
        }
        while (!texts.isEmpty() && texts.last().isEmpty())
            texts.removeLast();
        rows << texts;
    }
    return rows;
}

int pdfPages(const QString &path)
{
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                       .match(QString::fromUtf8(run(QStringLiteral("pdfinfo"), {path})));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

QString pdfPageText(const QString &path, int page)
{
    const QString n = QString::number(page);
    return QString::fromUtf8(run(QStringLiteral("pdftotext"),
                                 {QStringLiteral("-f"), n, QStringLiteral("-l"), n, path,
                                  QStringLiteral("-")}));
}

// Each word pdftotext finds: its page (from 1) and box in points.
QMultiHash<QString, QPair<int, QRectF>> pdfWords(const QString &path)
{
    const QString html = QString::fromUtf8(
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")}));
    const QRegularExpression wordRe(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    QMultiHash<QString, QPair<int, QRectF>> words;
    const QStringList pages = html.split(QStringLiteral("<page "));
    for (int p = 1; p < pages.size(); ++p) {
        for (auto it = wordRe.globalMatch(pages.at(p)); it.hasNext();) {
            const auto m = it.next();
            words.insert(m.captured(5),
                         {p, QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                    QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))});
        }
    }
    return words;
}

QString valueToken(int row) { return QStringLiteral("v%1").arg(row); }

// Rows whose value cells read v0, v1, ... so that each can be found.
Rows tokenRows(int count)
{
    Rows rows;
    for (int r = 0; r < count; ++r)
        rows << QStringList{QString::number(r + 1), "DC", valueToken(r), "V", "2026/12/07 10:00:00"};
    return rows;
}

Rows headerAnd(Rows rows)
{
    for (QStringList &row : rows) {
        for (QString &cell : row)
            cell = cell.isNull() ? QString("") : cell;
        while (!row.isEmpty() && row.last().isEmpty())
            row.removeLast();
    }
    rows.prepend({"Serial number", "unconnected", "Numeric value", "Per unit", "time"});
    return rows;
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

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

} // namespace

class tst_Output : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void excelContents_data();
    void excelContents();
    void excelTwoExports_data();
    void excelTwoExports();
    void excelIgnoresRowsAddedDuringExport();
    void excelWindowDestroyedWhileWriting();
    void unwritableTarget_data();
    void unwritableTarget();
    void failedWriteKeepsExistingFile_data();
    void failedWriteKeepsExistingFile();
    void actions_data();
    void actions();
    void pagination_data();
    void pagination();
    void gridGeometry_data();
    void gridGeometry();
    void aboutShowsEachTextOnce_data();
    void aboutShowsEachTextOnce();
    void helpOpensGuide_data();
    void helpOpensGuide();

public slots:
    void recordUrl(const QUrl &url) { m_openedUrls << url; }

private:
    static void setRows(MainWindow &window, const Rows &rows);
    static bool exportFile(MainWindow &window, const QString &path, const ModalDriver &driver);

    QTemporaryDir m_dir;
    QList<QUrl> m_openedUrls;
};

void tst_Output::initTestCase()
{
    QVERIFY(m_dir.isValid());
    std::signal(SIGXFSZ, SIG_IGN); // an over-long write fails instead of killing us
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

// Exports as the actions do below their file dialogs; true when written
// (for a workbook: when the worker reported success).
bool tst_Output::exportFile(MainWindow &window, const QString &path, const ModalDriver &driver)
{
    if (path.endsWith(QLatin1String(".pdf")))
        return window.exportPdf(path);
    window.startExcelExport(path);
    if (!window.m_fileSaveThread->wait(LongWaitMs))
        return false;
    QCoreApplication::sendPostedEvents(); // the worker's report, if any, and its message
    return !driver.texts.isEmpty();
}

void tst_Output::excelContents_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("existing"); // what the file held before

    QTest::newRow("empty table: the header row alone") << Rows() << "empty.xlsx" << QByteArray();
    QTest::newRow("three rows in table order") << tokenRows(3) << "three.xlsx" << QByteArray();
    QTest::newRow("numbers stay text")
        << Rows{{"1", "DC", "12.34", "V", "t"}, {"2", "DC", "0012", "V", "t"},
                {"3", "DC", "-1.234", "V", "t"}, {"4", "DC", "1E5", "V", "t"}}
        << "numbers.xlsx" << QByteArray();
    QTest::newRow("unicode units")
        << Rows{{"1", "Resistance", "1.234", "kΩ", "t"}, {"2", "Temperature", "25.3", "℃", "t"},
                {"3", "DC", "0.5", "µA", "t"}}
        << "units.xlsx" << QByteArray();
    QTest::newRow("missing items are empty cells")
        << Rows{{"1", QString(), "0.008", QString(), "t"}, {"2", "DC", QString(), "V", QString()}}
        << "holes.xlsx" << QByteArray();
    QTest::newRow("unicode file name") << tokenRows(2) << "测量 Ω.xlsx" << QByteArray();
    QTest::newRow("replaces an existing file") << tokenRows(4) << "old.xlsx" << QByteArray("old");
}

void tst_Output::excelContents()
{
    QFETCH(Rows, rows);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, existing);

    MainWindow window;
    setRows(window, rows);
    const QString path = m_dir.filePath(fileName);
    if (!existing.isEmpty())
        QVERIFY(writeFile(path, existing));
    ModalDriver driver;
    window.startExcelExport(path);
    QVERIFY(window.m_fileSaveThread->wait(LongWaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(driver.texts.size(), 1, LongWaitMs);

    QCOMPARE(window.m_fileSaveThread->rowCount(), rows.size()); // what done carried
    QCOMPARE(driver.titles.at(0), QStringLiteral("save"));
    QCOMPARE(driver.texts.at(0), ExcelSuccess + path);
    bool allText = false;
    QCOMPARE(readWorkbook(path, &allText), headerAnd(rows));
    QVERIFY(allText);
    QCOMPARE(QDir(m_dir.path()).entryList({fileName + '*'}, QDir::Files | QDir::Hidden),
             QStringList{fileName}); // nothing left beside it
}

void tst_Output::excelTwoExports_data()
{
    QTest::addColumn<bool>("samePath");

    QTest::newRow("same file: the later export writes last") << true;
    QTest::newRow("two files: each report names its own") << false;
}

void tst_Output::excelTwoExports()
{
    QFETCH(bool, samePath);

    MainWindow window;
    setRows(window, tokenRows(3000));
    ModalDriver driver;
    const QString pathA = m_dir.filePath(QStringLiteral("a.xlsx"));
    const QString pathB = samePath ? pathA : m_dir.filePath(QStringLiteral("b.xlsx"));
    window.startExcelExport(pathA);
    FileSaveThread *first = window.m_fileSaveThread;
    window.addTableRow("AC", "second", "V", "2026/12/07 11:00:00");
    window.startExcelExport(pathB);
    FileSaveThread *second = window.m_fileSaveThread;
    QVERIFY(first->wait(LongWaitMs));
    QVERIFY(second->wait(LongWaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(driver.texts.size(), 2, LongWaitMs);

    // The second export reached its own worker only.
    QCOMPARE(first->rowCount(), 3000);
    QCOMPARE(first->filePath(), pathA);
    QCOMPARE(second->rowCount(), 3001);
    QCOMPARE(QSet<QString>(driver.texts.cbegin(), driver.texts.cend()),
             (QSet<QString>{ExcelSuccess + pathA, ExcelSuccess + pathB}));
    const Rows last = readWorkbook(pathB);
    QCOMPARE(last.size(), 3002);
    QCOMPARE(last.last().at(2), QStringLiteral("second"));
    if (!samePath)
        QCOMPARE(readWorkbook(pathA).size(), 3001);
}

void tst_Output::excelIgnoresRowsAddedDuringExport()
{
    MainWindow window;
    setRows(window, tokenRows(3000));
    const QString path = m_dir.filePath(QStringLiteral("snapshot.xlsx"));
    ModalDriver driver;
    window.startExcelExport(path);
    for (int i = 0; i < 200; ++i) // recording goes on while the worker writes
        window.addTableRow("AC", "late", "V", "2026/12/07 11:00:00");
    QVERIFY(window.m_fileSaveThread->wait(LongWaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(driver.texts.size(), 1, LongWaitMs);

    const Rows book = readWorkbook(path);
    QCOMPARE(book.size(), 3001);
    QCOMPARE(book.last().at(2), valueToken(2999));
}

void tst_Output::excelWindowDestroyedWhileWriting()
{
    const QString path = m_dir.filePath(QStringLiteral("closing.xlsx"));
    auto *window = new MainWindow;
    setRows(*window, tokenRows(20000));
    window->startExcelExport(path);
    delete window; // waits for the worker

    const Rows book = readWorkbook(path);
    QCOMPARE(book.size(), 20001);
    QCOMPARE(book.last().at(2), valueToken(19999));
}

void tst_Output::unwritableTarget_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::addColumn<bool>("isFolder");

    QTest::newRow("workbook in a folder that does not exist") << "missing/out.xlsx" << false;
    QTest::newRow("workbook path is a folder") << "folder.xlsx" << true;
    QTest::newRow("PDF in a folder that does not exist") << "missing/out.pdf" << false;
    QTest::newRow("PDF path is a folder") << "folder.pdf" << true;
}

void tst_Output::unwritableTarget()
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
    QVERIFY(!exportFile(window, path, driver));
    QCoreApplication::processEvents();
    QVERIFY(driver.texts.isEmpty());
    QCOMPARE(QFileInfo(path).isDir(), isFolder);
    QCOMPARE(filesIn(dir.path()), isFolder ? QStringList{relativePath} : QStringList());
}

void tst_Output::failedWriteKeepsExistingFile_data()
{
    QTest::addColumn<QString>("fileName");

    QTest::newRow("workbook") << "kept.xlsx";
    QTest::newRow("PDF") << "kept.pdf";
}

// A write that fails half-way (here: the file size limit; for a user: a
// full disk) reports nothing and leaves the file the user had.
void tst_Output::failedWriteKeepsExistingFile()
{
    QFETCH(QString, fileName);

    MainWindow window;
    setRows(window, tokenRows(3000));
    QTemporaryDir dir;
    const QString path = dir.filePath(fileName);
    const QByteArray old("the file the user already had");
    QVERIFY(writeFile(path, old));
    ModalDriver driver;
    bool written = true;
    {
        const FileSizeLimit limit(4096);
        written = exportFile(window, path, driver);
    }
    QCoreApplication::processEvents();
    QVERIFY(!written);
    QVERIFY(driver.texts.isEmpty());
    QCOMPARE(readAll(path), old);
    QCOMPARE(filesIn(dir.path()), QStringList{fileName});
}

void tst_Output::actions_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("accept");

    QTest::newRow("Export EXCEL: written and reported") << "action.xlsx" << true;
    QTest::newRow("Export EXCEL cancelled: no file, no message") << "cancelled.xlsx" << false;
    QTest::newRow("Export PDF: written and reported") << "action.pdf" << true;
    QTest::newRow("Export PDF cancelled: no file, no message") << "cancelled.pdf" << false;
}

// The whole action, its file dialog driven as a user would.
void tst_Output::actions()
{
    QFETCH(QString, fileName);
    QFETCH(bool, accept);

    const bool pdf = fileName.endsWith(QLatin1String(".pdf"));
    MainWindow window;
    setRows(window, tokenRows(5));
    const QString path = m_dir.filePath(fileName);
    QString caption;
    QStringList filters;
    ModalDriver driver([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        caption = dialog->windowTitle();
        filters = dialog->nameFilters();
        if (!accept) {
            dialog->reject();
            return;
        }
        dialog->setDirectory(m_dir.path());
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(fileName);
        QMetaObject::invokeMethod(dialog, "accept"); // protected in QFileDialog, still a slot
    });
    if (pdf)
        window.on_act_pdf_triggered();
    else
        window.on_act_excel_triggered();

    QCOMPARE(caption, QStringLiteral("Save"));
    // The dialog shows " (*.xlsx)" trimmed.
    QCOMPARE(filters, QStringList{pdf ? QStringLiteral("(*.pdf)") : QStringLiteral("(*.xlsx)")});
    if (!accept) {
        QCoreApplication::processEvents();
        QVERIFY(driver.texts.isEmpty());
        QVERIFY(!QFileInfo::exists(path));
        return;
    }
    if (!pdf)
        QVERIFY(window.m_fileSaveThread->wait(LongWaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(driver.texts.size(), 1, LongWaitMs);
    QCOMPARE(driver.texts.at(0), (pdf ? PdfSuccess : ExcelSuccess) + path);
    if (pdf)
        QCOMPARE(pdfPages(path), 1);
    else
        QCOMPARE(readWorkbook(path), headerAnd(tokenRows(5)));
}

void tst_Output::pagination_data()
{
    QTest::addColumn<bool>("printed");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QList<int>>("pageStarts"); // the table row each later page begins with

    QTest::newRow("PDF, empty table: title and column titles") << false << 0 << QList<int>();
    QTest::newRow("PDF, 30 rows fill page 1, no empty page after") << false << 30 << QList<int>();
    QTest::newRow("PDF, 31 rows: row 30 alone on page 2") << false << 31 << QList<int>{30};
    QTest::newRow("PDF, 60 rows: two full pages") << false << 60 << QList<int>{30};
    QTest::newRow("PDF, 61 rows: row 60 alone on page 3") << false << 61 << QList<int>{30, 60};
    QTest::newRow("printed, empty table: column titles alone") << true << 0 << QList<int>();
    QTest::newRow("printed, 30 rows: one page") << true << 30 << QList<int>();
    QTest::newRow("printed, 31 rows: two pages") << true << 31 << QList<int>{30};
    QTest::newRow("printed, 61 rows: three pages") << true << 61 << QList<int>{30, 60};
}

void tst_Output::pagination()
{
    QFETCH(bool, printed);
    QFETCH(int, rows);
    QFETCH(QList<int>, pageStarts);

    MainWindow window;
    setRows(window, tokenRows(rows));
    const QString path = m_dir.filePath(QStringLiteral("pages.pdf"));
    if (printed) {
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        window.printTable(&printer);
    } else {
        QVERIFY(window.exportPdf(path));
    }
    const int pages = pageStarts.size() + 1;
    QCOMPARE(pdfPages(path), pages);
    pageStarts.prepend(0);
    pageStarts.append(rows);
    for (int page = 1; page <= pages; ++page) {
        const QString text = pdfPageText(path, page);
        QCOMPARE(text.contains(QStringLiteral("Test Data")), page == 1 && !printed);
        QCOMPARE(text.contains(QStringLiteral("Serial number")), page == 1);
        const int first = pageStarts.at(page - 1);
        const int last = pageStarts.at(page) - 1;
        if (first <= last) {
            QVERIFY2(text.contains(valueToken(first) + '\n'), qPrintable(text));
            QVERIFY(text.contains(valueToken(last) + '\n'));
        }
        if (first > 0)
            QVERIFY(!text.contains(valueToken(first - 1) + '\n'));
    }
}

void tst_Output::gridGeometry_data()
{
    QTest::addColumn<bool>("printed");

    QTest::newRow("PDF: 300 dpi, cells W / 5 by 100, tops 170 and 110") << false;
    QTest::newRow("printed: cells (W - 50) / 5 by 30, tops 10 and 40") << true;
}

// Where each text lands, read back from the PDF: centred in its cell.
void tst_Output::gridGeometry()
{
    QFETCH(bool, printed);

    MainWindow window;
    setRows(window, tokenRows(31));
    const QString path = m_dir.filePath(QStringLiteral("geometry.pdf"));
    QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(30, 10, 30, 30),
                       QPageLayout::Point);
    int dpi = 300;
    if (printed) {
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        // The page the print routine asks for, so that its viewport is known here.
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageMargins(QMarginsF(30, 30, 30, 30), printer.pageLayout().units());
        window.printTable(&printer);
        layout = printer.pageLayout();
        dpi = printer.resolution();
    } else {
        QVERIFY(window.exportPdf(path));
    }
    const int width = layout.paintRectPixels(dpi).width();
    const int cell = printed ? (width - 50) / 5 : width / 5;
    const int rowHeight = printed ? 30 : 100;
    const int firstTop = printed ? 10 : 170;
    const int laterTop = printed ? 40 : 110;
    const QPointF origin = layout.paintRect(QPageLayout::Point).topLeft();
    auto toPoints = [&](double x, double y) { return origin + QPointF(x, y) * 72.0 / dpi; };

    const QMultiHash<QString, QPair<int, QRectF>> words = pdfWords(path);
    const struct { QString word; int page; int column; int top; } expected[] = {
        {"time", 1, 4, firstTop},
        {valueToken(0), 1, 2, firstTop + rowHeight},
        {valueToken(29), 1, 2, firstTop + 30 * rowHeight},
        {valueToken(30), 2, 2, laterTop},
    };
    for (const auto &e : expected) {
        QVERIFY2(words.contains(e.word), qPrintable(e.word));
        const QPair<int, QRectF> place = words.value(e.word);
        const QPointF centre = toPoints((e.column + 0.5) * cell, e.top + rowHeight / 2.0);
        QCOMPARE(place.first, e.page);
        QVERIFY2(qAbs(place.second.center().x() - centre.x()) < 3 && qAbs(place.second.center().y() - centre.y()) < 5,
                 qPrintable(QStringLiteral("%1 at %2,%3; expected %4,%5").arg(e.word)
                                .arg(place.second.center().x()).arg(place.second.center().y())
                                .arg(centre.x()).arg(centre.y())));
    }
    if (!printed) {
        QCOMPARE(words.value("Test").first, 1);
        QVERIFY(qAbs(words.value("Test").second.center().y() - toPoints(0, 10 + 50).y()) < 5);
    }

    // A time wider than its cell is made to fit rather than cut at the edges.
    const QList<QPair<int, QRectF>> dates = words.values("2026/12/07");
    const QList<QPair<int, QRectF>> times = words.values("10:00:00");
    QCOMPARE(dates.size(), 31);
    QCOMPARE(times.size(), 31);
    for (const auto &date : dates)
        QVERIFY(date.second.left() >= toPoints(4 * cell, 0).x());
    for (const auto &time : times)
        QVERIFY(time.second.right() <= toPoints(5 * cell, 0).x());
}

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
        QVERIFY(dialog);
        seen << dialog->windowTitle() << dialog->ui->lbAppName->text()
             << dialog->ui->lbAppVersion->text();
        dialog->ui->btnAboutOk->click();
    });
    window.on_act_about_triggered();
    window.on_act_about_triggered();

    const QStringList once{"About", "The name of the software：" + name, "Software Version：" + version};
    QCOMPARE(seen, once + once);
    QVERIFY(window.findChildren<AboutDlg *>().isEmpty()); // no dialog piles up
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

    const QString dir = QCoreApplication::applicationDirPath();
    const QString chm = dir + QStringLiteral("/raveloHelp.chm");
    QFile::remove(chm);
    if (chmPresent)
        QVERIFY(writeFile(chm, "ITSF"));
    m_openedUrls.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "recordUrl");
    MainWindow window;
    window.openUserGuide(viewer);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QFile::remove(chm);

    // A file URL, which desktops take, rather than a bare path.
    QCOMPARE(m_openedUrls, QList<QUrl>{QUrl::fromLocalFile(dir + '/' + opened)});
}

QTEST_MAIN(tst_Output)
#include "tst_output.moc"
