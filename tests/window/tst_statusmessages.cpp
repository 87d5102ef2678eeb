// What goes wrong reaches the user in the status bar, drawn whole beside the
// states kept there (limits, statistics, journal), at the window's smallest
// and full sizes, for as long as the message lasts.
#include "mainwindow/mainwindow.h"

#include "config/appconfig.h"
#include "widgets/failurenotice.h"
#include "support/testfiles.h"
#include "support/testmeter.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

QString configPath()
{
    return AppConfig::configPath(QCoreApplication::applicationDirPath());
}

// The message is drawn from x = 6 up to the first widget shown right of it
// (2 pixels apart), or the bar's end: it must be drawn there, ending before
// that widget, in the bar's font where it fits, else no smaller than 8 points
// (shortened in its middle only beyond that).
void verifyDrawn(QStatusBar *bar, const QString &text)
{
    QVERIFY(bar->isVisible());
    QVERIFY(QRect(QPoint(0, 0), bar->window()->size()).contains(QRect(bar->mapTo(bar->window(), QPoint()), bar->size())));
    const int left = 6;
    int right = bar->width() - 12;
    for (QWidget *child : bar->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isVisible())
            right = qMin(right, child->x() - 2);
    }
    const QImage image = bar->grab().toImage();
    const QRgb background = image.pixel(bar->width() / 2, 1);
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            if (qGray(image.pixel(x, y)) < qGray(background) - 80) {
                first = first < 0 ? x : first;
                last = x;
            }
        }
    }
    const int fullWidth = bar->fontMetrics().horizontalAdvance(text);
    const double scale = fullWidth <= right - left ? 1.0 : 8.0 / bar->font().pointSizeF();
    const QString room = QStringLiteral("%1 px for %2 px, drawn %3 to %4: %5")
                             .arg(right - left).arg(fullWidth).arg(first).arg(last).arg(text);
    QVERIFY2(first >= left - 1 && last < right, qPrintable(room));
    QVERIFY2(last - first >= std::min(0.9 * scale * fullWidth, 0.9 * (right - left)), qPrintable(room));
}

} // namespace

class tst_StatusMessages : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QFile::remove(AppConfig::userConfigPath());
    }
    void cleanup() { QFile::remove(configPath()); }

    void failureDrawnWhole_data();
    void failureDrawnWhole();

private:
    QTemporaryDir m_dir;
};

void tst_StatusMessages::failureDrawnWhole_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("shown"); // the start of the message
    for (const QSize size : {QSize(1024, 668), QSize(1440, 900)}) {
        const QByteArray at = QByteArray::number(size.width()) + " px: ";
        QTest::newRow(at + "a port that is not there") << size << "port" << "Cannot open /dev/ravelo-no-such-port: ";
        QTest::newRow(at + "an export that cannot be written") << size << "export"
                                                               << "Could not save the Excel file /proc/";
        QTest::newRow(at + "the link lost") << size << "hang up" << "Link lost on /dev/pts/";
        QTest::newRow(at + "the journal stopped") << size << "journal" << "Journal stopped: cannot create";
    }
    QTest::newRow("1024 px: the journal stopped, in a folder deep down")
        << QSize(1024, 668) << "deep journal" << "Journal stopped: cannot create";
}

void tst_StatusMessages::failureDrawnWhole()
{
    QFETCH(QSize, size);
    QFETCH(QString, failure);
    QFETCH(QString, shown);

    // A journal folder below a plain file cannot be made.
    QVERIFY(writeFile(m_dir.filePath("file")));
    const QString folder = m_dir.filePath(failure == "journal"        ? "file/rec"
                                          : failure == "deep journal" ? "file/measurements/2026/december/bench-3/recordings"
                                                                      : "rec");
    QVERIFY(writeFile(configPath(), "[Journal]\nfolder=" + folder.toUtf8() + "\n"));
    MainWindow window;
    window.resize(size);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), size);
    QStatusBar *bar = window.statusBar();

    TestMeter meter;
    QElapsedTimer sinceFailure; // started before the message shows
    sinceFailure.start();
    if (failure == "port") {
        // As `ravelo /dev/ravelo-no-such-port` opens it.
        window.openPortNamed(QStringLiteral("/dev/ravelo-no-such-port"));
    } else {
        window.openPortNamed(meter.path);
        for (const char *digits : {"1.234", "1.235"})
            QVERIFY(meter.send(digits));
        if (failure == "hang up") {
            meter.hangUp();
        } else if (failure == "export") {
            QTimer::singleShot(0, &window, [] {
                auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                name->setText(QStringLiteral("/proc/ravelo-readings.xlsx"));
                QTest::keyClick(name, Qt::Key_Return);
            });
            window.findChild<QAction *>(QStringLiteral("act_excel"))->trigger();
        }
    }
    QTRY_VERIFY_WITH_TIMEOUT(bar->currentMessage().startsWith(shown), 10000);
    const QString message = bar->currentMessage();
    QTest::qWait(50); // laid out and painted
    verifyDrawn(bar, message);

    // Looking through the File menu, as to try again, leaves it there.
    QMenuBar *menuBar = window.menuBar();
    QMenu *file = window.findChild<QMenu *>(QStringLiteral("menu_file"));
    QTest::mouseClick(menuBar, Qt::LeftButton, {}, menuBar->actionGeometry(file->menuAction()).center());
    QTRY_VERIFY(file->isVisible());
    for (QAction *entry : file->actions())
        QTest::mouseMove(file, file->actionGeometry(entry).center());
    QTest::keyClick(file, Qt::Key_Escape);
    QTRY_VERIFY(!file->isVisible());
    QCOMPARE(bar->currentMessage(), message);
    verifyDrawn(bar, message);
    if (QTest::currentDataTag() == QByteArray("1024 px: a port that is not there")) {
        // Still there a moment before it has been shown for ten seconds.
        QTest::qWait(int(qMax<qint64>(0, FailureNotice::ShownMs - 500 - sinceFailure.elapsed())));
        QCOMPARE(bar->currentMessage(), message);
        verifyDrawn(bar, message);
    }
}

QTEST_MAIN(tst_StatusMessages)
#include "tst_statusmessages.moc"
