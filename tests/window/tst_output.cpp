// The exports, printing, About and help, checked the way a user would see
// the results: workbooks read back with openpyxl, PDFs with poppler.
#include "mainwindow/mainwindow.h"
#include "ui_mainwindow.h"
#include "dialogs/aboutdlg.h"
#include "ui_aboutdlg.h"
#include "export/filesavethread.h"
#include "journal/wholefile.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const int LongWaitMs = 60000;
const QString ExcelSuccess = QStringLiteral("Save Excel file success！File path:");
const QString PdfSuccess = QStringLiteral("Save PDF file success！File path:");

using Rows = QVector<QStringList>; // a null QString: no item in that cell
const Rows Header{{"Serial number", "unconnected", "Numeric value", "Per unit", "time"}};

// Handles the modal widgets that show up while it lives: message boxes are
// recorded and closed (or answered yes); any other goes once to the given handler.
class ModalDriver : public QObject
{
public:
    explicit ModalDriver(std::function<void(QWidget *)> other = nullptr) : m_other(std::move(other))
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalDriver::poll);
        m_timer.start(10);
    }
    QStringList titles, texts;

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == m_handled)
            return;
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            titles << box->windowTitle();
            texts << box->text();
            // A question (the file dialog's "replace it?") is answered yes.
            (box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok) : box->button(QMessageBox::Yes))->click();
        } else if (m_other) {
            m_handled = modal;
            m_other(modal);
        }
    }
    QTimer m_timer;
    std::function<void(QWidget *)> m_other;
    QPointer<QWidget> m_handled;
};

QByteArray run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(LongWaitMs);
    return process.readAllStandardOutput();
}

// The first sheet as openpyxl reads it: None as "", a cell that is not
// text as "!" and its value, so that a number never passes for its text.
Rows readWorkbook(const QString &path)
{
    static const char script[] = R"(
import json, sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
print(json.dumps([["" if v is None else v if isinstance(v, str) else "!" + repr(v) for v in r]
                  for r in ws.iter_rows(values_only=True)]))
)";
    Rows rows; // none when unreadable
    const QByteArray out = run("/usr/bin/python3", {"-c", QString::fromLatin1(script), path});
    for (const QJsonValue &row : QJsonDocument::fromJson(out).array())
        rows << row.toVariant().toStringList();
    return rows;
}

int pdfPages(const QString &path)
{
    const auto m = QRegularExpression("Pages:\\s+(\\d+)").match(QString::fromUtf8(run("pdfinfo", {path})));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Each word pdftotext finds: its page (from 1) and box in points.
QMultiHash<QString, QPair<int, QRectF>> pdfWords(const QString &path)
{
    const QRegularExpression wordRe(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    QMultiHash<QString, QPair<int, QRectF>> words;
    const QStringList pages = QString::fromUtf8(run("pdftotext", {"-bbox", path, "-"})).split("<page ");
    for (int p = 1; p < pages.size(); ++p) {
        for (auto it = wordRe.globalMatch(pages.at(p)); it.hasNext();) {
            const auto m = it.next();
            const auto at = [&m](int i) { return m.captured(i).toDouble(); };
            words.insert(m.captured(5), {p, QRectF(QPointF(at(1), at(2)), QPointF(at(3), at(4)))});
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
    void excelContents_data();
    void excelContents();
    void excelTwoExports_data();
    void excelTwoExports();
    void excelWindowDestroyedWhileWriting();
    void failedExport_data();
    void failedExport();
    void replaceIsAtomic_data();
    void replaceIsAtomic();
    void smallFileFailsHalfWay();
    void actions_data();
    void actions();
    void pagesAndGrid_data();
    void pagesAndGrid();
    void aboutShowsEachTextOnce();
    void helpOpensGuide_data();
    void helpOpensGuide();
    void notOpenedSaysWhere_data();
    void notOpenedSaysWhere();

public slots:
    void recordUrl(const QUrl &url) { m_openedUrls << url; }

private:
    static std::unique_ptr<MainWindow> windowWith(const Rows &rows);

    QTemporaryDir m_dir;
    QList<QUrl> m_openedUrls;
};

void tst_Output::initTestCase()
{
    QVERIFY(m_dir.isValid());
    std::signal(SIGXFSZ, SIG_IGN); // an over-long write fails instead of killing us
}

// A window whose table holds the given rows.
std::unique_ptr<MainWindow> tst_Output::windowWith(const Rows &rows)
{
    auto window = std::make_unique<MainWindow>();
    QTableWidget *table = window->ui->tableWidget;
    table->setRowCount(rows.size());
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows.at(r).size(); ++c)
            if (!rows.at(r).at(c).isNull())
                table->setItem(r, c, new QTableWidgetItem(rows.at(r).at(c)));
    return window;
}

void tst_Output::excelContents_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("existing"); // what the file held before

    QTest::newRow("empty table: the header row alone") << Rows() << "empty.xlsx" << QByteArray();
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

    const auto window = windowWith(rows);
    const QString path = m_dir.filePath(fileName);
    QVERIFY(existing.isEmpty() || writeFile(path, existing));
    ModalDriver driver;
    window->startExcelExport(path);
    QVERIFY(window->m_fileSaveThread->wait(LongWaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(driver.texts.size(), 1, LongWaitMs);

    QCOMPARE(driver.titles.at(0), QStringLiteral("save"));
    QCOMPARE(driver.texts.at(0), ExcelSuccess + path);
    QCOMPARE(readWorkbook(path), Header + rows);
    QCOMPARE(QDir(m_dir.path()).entryList({fileName + '*'}, QDir::Files | QDir::Hidden),
             QStringList{fileName}); // nothing left beside it
}

void tst_Output::excelTwoExports_data()
{
    QTest::addColumn<bool>("samePath");
    QTest::newRow("same file: the later export writes last") << true;
    QTest::newRow("two files: each holds the rows of its start") << false;
}

// Recording goes on while the first worker writes; a second export starts.
void tst_Output::excelTwoExports()
{
    QFETCH(bool, samePath);

    const auto window = windowWith(tokenRows(3000));
    ModalDriver driver;
    const QString pathA = m_dir.filePath(QStringLiteral("a.xlsx"));
    const QString pathB = samePath ? pathA : m_dir.filePath(QStringLiteral("b.xlsx"));
    window->startExcelExport(pathA);
    FileSaveThread *first = window->m_fileSaveThread;
    for (int i = 0; i < 200; ++i)
        window->addTableRow("AC", "late", "V", "2026/12/07 11:00:00");
    window->startExcelExport(pathB);
    QVERIFY(first->wait(LongWaitMs));
    QVERIFY(window->m_fileSaveThread->wait(LongWaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(driver.texts.size(), 2, LongWaitMs);

    QCOMPARE(first->rowCount(), 3000);
    QCOMPARE(QSet<QString>(driver.texts.cbegin(), driver.texts.cend()),
             (QSet<QString>{ExcelSuccess + pathA, ExcelSuccess + pathB}));
    const Rows last = readWorkbook(pathB);
    QCOMPARE(last.size(), 3201);
    QCOMPARE(last.last().at(2), QStringLiteral("late"));
    if (!samePath)
        QCOMPARE(readWorkbook(pathA).mid(3000), (Rows{tokenRows(3000).last()}));
}

void tst_Output::excelWindowDestroyedWhileWriting()
{
    const QString path = m_dir.filePath(QStringLiteral("closing.xlsx"));
    auto window = windowWith(tokenRows(20000));
    window->startExcelExport(path);
    window.reset(); // waits for the worker

    const Rows book = readWorkbook(path);
    QCOMPARE(book.size(), 20001);
    QCOMPARE(book.last().at(2), valueToken(19999));
}

void tst_Output::failedExport_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::addColumn<QString>("before"); // "folder", "plain" (a file where a folder should be),
                                         // a file's contents, or nothing
    QTest::addColumn<QString>("reason"); // after the file's name in the status bar

    for (const QString kind : {"workbook", "PDF", "printout"}) {
        const QString ext = kind == "workbook" ? ".xlsx" : ".pdf";
        QTest::addRow("%s in a folder that does not exist", qPrintable(kind))
            << "missing/out" + ext << "" << "No such file or directory";
        QTest::addRow("%s below a plain file", qPrintable(kind)) << "plain/out" + ext << "plain" << "Not a directory";
        if (kind == "printout")
            continue; // printing goes straight into its file
        QTest::addRow("%s path is a folder", qPrintable(kind))
            << "folder" + ext << "folder" << "Filename refers to a directory";
        // The workbook is put together in the temporary folder first, and fails there.
        QTest::addRow("%s fails half-way, the old file stays", qPrintable(kind))
            << "kept" + ext << "the file the user had"
            << (kind == "PDF" ? "File too large" : "File too large (in the temporary folder <tmp>)");
    }
}

// Nothing written is reported as such in the status bar, with the file's
// name and the system's reason; no message box, no stray file, and what was
// at the path before is left as it was. A write failing half-way is made
// here by the file size limit; for a user, by a full disk.
void tst_Output::failedExport()
{
    QFETCH(QString, relativePath);
    QFETCH(QString, before);
    QFETCH(QString, reason);
    reason.replace("<tmp>", QDir::toNativeSeparators(QDir::tempPath()));

    QTemporaryDir dir;
    const QString path = dir.filePath(relativePath);
    const bool folder = before == QLatin1String("folder");
    const bool plain = before == QLatin1String("plain");
    const bool halfWay = !folder && !plain && !before.isEmpty();
    QVERIFY(!folder || QDir().mkpath(path));
    QVERIFY(!plain || writeFile(dir.filePath(before), "text"));
    QVERIFY(!halfWay || writeFile(path, before.toUtf8()));
    const auto window = windowWith(tokenRows(3000));
    ModalDriver driver;
    rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit lowered{halfWay ? rlim_t(4096) : saved.rlim_cur, saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &lowered);
    QString shown;
    if (QString(QTest::currentDataTag()).startsWith("printout")) {
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        window->printTable(&printer);
        shown = "Could not print to ";
    } else if (path.endsWith(QLatin1String(".pdf"))) {
        window->savePdf(path);
        shown = "Could not save the PDF file ";
    } else {
        window->startExcelExport(path);
        shown = "Could not save the Excel file ";
    }
    const bool workerFinished = !window->m_fileSaveThread || window->m_fileSaveThread->wait(LongWaitMs);
    setrlimit(RLIMIT_FSIZE, &saved);
    QCoreApplication::processEvents(); // the worker's report, if any, and its message
    QVERIFY(workerFinished);
    QVERIFY(driver.texts.isEmpty());
    QCOMPARE(window->ui->statusbar->currentMessage(), shown + path + ": " + reason);
    QCOMPARE(QFileInfo(path).isDir(), folder);
    QFile file(path);
    QVERIFY(!halfWay || (file.open(QIODevice::ReadOnly) && file.readAll() == before.toUtf8()));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             before.isEmpty() ? QStringList() : QStringList{relativePath.section('/', 0, 0)});
}

void tst_Output::replaceIsAtomic_data()
{
    QTest::addColumn<bool>("pdf");
    QTest::newRow("workbook: the old file is replaced whole, never rewritten in place") << false;
    QTest::newRow("PDF: the old file is replaced whole, never rewritten in place") << true;
}

// A reader holding the old file (here a second hard link to it) keeps the old
// bytes: the new file is finished elsewhere and renamed over the old name,
// so no one ever sees the old file truncated or half rewritten.
void tst_Output::replaceIsAtomic()
{
    QFETCH(bool, pdf);

    QTemporaryDir dir;
    const QString path = dir.filePath(pdf ? "kept.pdf" : "kept.xlsx");
    const QString link = dir.filePath("reader");
    const QByteArray old("the file the user had");
    QVERIFY(writeFile(path, old));
    QVERIFY(::link(QFile::encodeName(path).constData(), QFile::encodeName(link).constData()) == 0);
    const auto window = windowWith(tokenRows(3));
    ModalDriver driver;
    if (pdf) {
        QVERIFY(window->exportPdf(path));
    } else {
        window->startExcelExport(path);
        QVERIFY(window->m_fileSaveThread->wait(LongWaitMs));
    }

    QFile reader(link);
    QVERIFY(reader.open(QIODevice::ReadOnly));
    QCOMPARE(reader.readAll(), old);
    QVERIFY(pdf ? pdfPages(path) == 1 : readWorkbook(path) == Header + tokenRows(3));
}

// A file smaller than the write buffer fails half-way as a large one does:
// told at the write, and the old file kept.
void tst_Output::smallFileFailsHalfWay()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("small.pdf");
    QVERIFY(writeFile(path, "the file the user had"));
    rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const rlimit lowered{rlim_t(4096), saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &lowered);
    QSaveFile file(path);
    QString error;
    const bool opened = WholeFile::open(&file, &error);
    const bool written = opened && WholeFile::writeAndCommit(&file, QByteArray(8000, 'x'), &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY2(opened, qPrintable(error));
    QVERIFY(!written);
    QCOMPARE(error, QStringLiteral("File too large"));
    QFile kept(path);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("the file the user had"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"small.pdf"});
}

void tst_Output::actions_data()
{
    QTest::addColumn<bool>("pdf");
    QTest::addColumn<QString>("typed"); // empty: the dialog is cancelled
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("replaced"); // a file of the written name is there before

    for (const bool pdf : {false, true}) {
        const char *kind = pdf ? "PDF" : "EXCEL";
        const QString ext = pdf ? ".pdf" : ".xlsx";
        QTest::addRow("Export %s: written and reported", kind) << pdf << "action" + ext << "action" + ext << false;
        QTest::addRow("Export %s cancelled: no file, no message", kind) << pdf << "" << "" << false;
        QTest::addRow("Export %s, a name without a suffix gets %s", kind, qPrintable(ext))
            << pdf << "results" << "results" + ext << false;
        QTest::addRow("Export %s, a dot in the name is no suffix", kind)
            << pdf << "rail-3.3V" << "rail-3.3V" + ext << false;
        QTest::addRow("Export %s, the suffix in capitals stays", kind)
            << pdf << "RESULTS" + ext.toUpper() << "RESULTS" + ext.toUpper() << false;
        QTest::addRow("Export %s, no suffix typed and that file there: asked first", kind)
            << pdf << "results" << "results" + ext << true;
        QTest::addRow("Export %s, a dot in the name and that file there: asked first", kind)
            << pdf << "rail-3.3V" << "rail-3.3V" + ext << true;
    }
}

// The whole action, its file dialog driven as a user would.
void tst_Output::actions()
{
    QFETCH(bool, pdf);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(bool, replaced);

    QTemporaryDir dir;
    const auto window = windowWith(tokenRows(5));
    const QString path = dir.filePath(written);
    QVERIFY(!replaced || writeFile(path, "old"));
    QStringList dialogSeen; // its caption, then its filters
    ModalDriver driver([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        dialogSeen << dialog->windowTitle() << dialog->nameFilters();
        if (typed.isEmpty())
            return dialog->reject();
        dialog->setDirectory(dir.path());
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(typed);
        // Protected in QFileDialog, still a slot; queued, so that a question it
        // asks reaches this driver.
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    });
    pdf ? window->on_act_pdf_triggered() : window->on_act_excel_triggered();

    QCOMPARE(dialogSeen, QStringList({"Save", pdf ? "(*.pdf)" : "(*.xlsx)"})); // " (*.xlsx)" trimmed
    if (typed.isEmpty()) {
        QCoreApplication::processEvents();
        QVERIFY(driver.texts.isEmpty());
        QVERIFY(QDir(dir.path()).isEmpty());
        return;
    }
    if (!pdf)
        QVERIFY(window->m_fileSaveThread->wait(LongWaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(driver.texts.size(), replaced ? 2 : 1, LongWaitMs);
    QVERIFY(!replaced || driver.texts.takeFirst().startsWith(written + " already exists"));
    QCOMPARE(driver.texts.at(0), (pdf ? PdfSuccess : ExcelSuccess) + path);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{written}); // nothing else
    const QString readable = dir.filePath(pdf ? "read.pdf" : "read.xlsx"); // openpyxl goes by the suffix
    QVERIFY(QFile::copy(path, readable));
    QVERIFY(pdf ? pdfPages(readable) == 1 : readWorkbook(readable) == Header + tokenRows(5));
}

void tst_Output::pagesAndGrid_data()
{
    QTest::addColumn<bool>("printed");
    QTest::addColumn<int>("rows");

    // 30 rows a page after the column titles; no empty page after a full one.
    for (const bool printed : {false, true})
        for (const int rows : {0, 30, 31, 60, 61})
            QTest::addRow("%s, %d rows", printed ? "printed" : "PDF", rows) << printed << rows;
}

// Where each text lands, read back from the PDF: its page, and centred in
// its cell. PDF: 300 dpi, cells W / 5 by 100, tops 170 then 110, the title
// above. Printed: cells (W - 50) / 5 by 30, tops 10 then 40.
void tst_Output::pagesAndGrid()
{
    QFETCH(bool, printed);
    QFETCH(int, rows);

    const auto window = windowWith(tokenRows(rows));
    const QString path = m_dir.filePath(QStringLiteral("grid.pdf"));
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
        window->printTable(&printer);
        layout = printer.pageLayout();
        dpi = printer.resolution();
    } else {
        QVERIFY(window->exportPdf(path));
    }
    QCOMPARE(pdfPages(path), rows <= 30 ? 1 : 1 + (rows - 1) / 30);

    const int cell = (layout.paintRectPixels(dpi).width() - (printed ? 50 : 0)) / 5;
    const int rowHeight = printed ? 30 : 100;
    const QPointF origin = layout.paintRect(QPageLayout::Point).topLeft();
    auto toPoints = [&](double x, double y) { return origin + QPointF(x, y) * 72.0 / dpi; };
    const QMultiHash<QString, QPair<int, QRectF>> words = pdfWords(path);
    auto check = [&](const QString &word, int page, int column, int top) {
        const QList<QPair<int, QRectF>> found = words.values(word);
        QVERIFY2(found.size() == 1, qPrintable(word));
        const QPointF centre = toPoints((column + 0.5) * cell, top + rowHeight / 2.0);
        const QPointF seen = found.first().second.center();
        QCOMPARE(found.first().first, page);
        QVERIFY2(qAbs(seen.x() - centre.x()) < 3 && qAbs(seen.y() - centre.y()) < 5,
                 qPrintable(QStringLiteral("%1 at %2,%3").arg(word).arg(seen.x()).arg(seen.y())));
    };
    const int firstTop = printed ? 10 : 170;
    check(QStringLiteral("time"), 1, 4, firstTop); // the column titles, on page 1 only
    for (int r = 0; r < rows && !QTest::currentTestFailed(); ++r)
        check(valueToken(r), 1 + r / 30, 2,
              r < 30 ? firstTop + (r + 1) * rowHeight : (printed ? 40 : 110) + r % 30 * rowHeight);
    QCOMPARE(words.values("Test").size(), printed ? 0 : 1); // the PDF's title, above the grid on page 1
    QVERIFY(printed || (words.value("Test").first == 1
                        && qAbs(words.value("Test").second.center().y() - toPoints(0, 10 + 50).y()) < 5));

    // A time wider than its cell is made to fit rather than cut at the edges.
    QCOMPARE(words.values("2026/12/07").size(), rows);
    for (const auto &date : words.values("2026/12/07"))
        QVERIFY(date.second.left() >= toPoints(4 * cell, 0).x());
    for (const auto &time : words.values("10:00:00"))
        QVERIFY(time.second.right() <= toPoints(5 * cell, 0).x());
}

void tst_Output::aboutShowsEachTextOnce()
{
    MainWindow window;
    window.m_appName = QStringLiteral("DMM");
    window.m_appVersion = QStringLiteral("V1.2");
    QStringList seen;
    ModalDriver driver([&](QWidget *modal) {
        auto *dialog = qobject_cast<AboutDlg *>(modal);
        QVERIFY(dialog);
        seen << dialog->windowTitle() << dialog->ui->lbAppName->text() << dialog->ui->lbAppVersion->text();
        dialog->ui->btnAboutOk->click();
    });
    window.on_act_about_triggered();
    window.on_act_about_triggered();

    const QStringList once{"About", "The name of the software：DMM", "Software Version：V1.2"};
    QCOMPARE(seen, once + once);
    QVERIFY(window.findChildren<AboutDlg *>().isEmpty()); // no dialog piles up
}

void tst_Output::helpOpensGuide_data()
{
    QTest::addColumn<QStringList>("beside");    // guide files beside the executable
    QTest::addColumn<QStringList>("installed"); // in the installed documentation folder
    QTest::addColumn<bool>("viewer");
    QTest::addColumn<QString>("opened");        // from the executable's folder

    const QString chm = QStringLiteral("raveloHelp.chm");
    const QString html = QStringLiteral("raveloHelp.html");
    const QString installedDir = QStringLiteral(RAVELO_DOCDIR_FROM_BINDIR "/");
    QTest::newRow("compiled help and a viewer for it") << QStringList{chm} << QStringList() << true << chm;
    QTest::newRow("no compiled help: the web page") << QStringList() << QStringList() << true << html;
    QTest::newRow("nothing shows compiled help: the web page") << QStringList{chm} << QStringList() << false << html;
    QTest::newRow("installed: the compiled help in the documentation folder")
        << QStringList() << QStringList{chm, html} << true << installedDir + chm;
    QTest::newRow("installed, nothing shows compiled help: the web page in the documentation folder")
        << QStringList() << QStringList{chm, html} << false << installedDir + html;
    QTest::newRow("a guide beside the executable comes before the installed one")
        << QStringList{chm} << QStringList{chm, html} << true << chm;
}

void tst_Output::helpOpensGuide()
{
    QFETCH(QStringList, beside);
    QFETCH(QStringList, installed);
    QFETCH(bool, viewer);
    QFETCH(QString, opened);

    const QString dir = QCoreApplication::applicationDirPath();
    const QString chm = dir + QStringLiteral("/raveloHelp.chm");
    QDir installedDir(dir + QStringLiteral("/" RAVELO_DOCDIR_FROM_BINDIR));
    QFile::remove(chm);
    for (const QString &name : beside)
        QVERIFY(writeFile(dir + '/' + name, "ITSF"));
    if (!installed.isEmpty())
        QVERIFY(installedDir.mkpath(QStringLiteral(".")));
    for (const QString &name : installed)
        QVERIFY(writeFile(installedDir.filePath(name), "ITSF"));
    m_openedUrls.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "recordUrl");
    MainWindow window;
    window.openUserGuide(viewer);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QFile::remove(chm);
    QFile::remove(dir + QStringLiteral("/raveloHelp.html"));
    installedDir.removeRecursively();
    // A URL, not a bare path.
    QCOMPARE(m_openedUrls, QList<QUrl>{QUrl::fromLocalFile(QDir::cleanPath(dir + '/' + opened))});
}

void tst_Output::notOpenedSaysWhere_data()
{
    QTest::addColumn<bool>("guide"); // else the recordings folder
    QTest::newRow("the user guide") << true;
    QTest::newRow("the recordings folder") << false;
}

// With no program to open files or folders (no xdg-open on the path; the
// offscreen platform has none either), the status bar says where to look.
void tst_Output::notOpenedSaysWhere()
{
    QFETCH(bool, guide);

    const QString guideFile = QCoreApplication::applicationDirPath() + QStringLiteral("/raveloHelp.html");
    QVERIFY(writeFile(guideFile, "<html></html>"));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", m_dir.path().toLocal8Bit()); // a folder with no programs
    MainWindow window;
    if (guide)
        window.openUserGuide(false);
    else
        window.findChild<QAction *>(QStringLiteral("act_openRecordings"))->trigger();
    qputenv("PATH", path);
    QFile::remove(guideFile);

    QCOMPARE(window.ui->statusbar->currentMessage(),
             guide ? "Could not open the user guide; it is " + guideFile
                   : "Could not open the recordings folder; it is " + AppConfig::defaultJournalFolder());
}

QTEST_MAIN(tst_Output)
#include "tst_output.moc"
