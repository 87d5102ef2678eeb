// The window at the sizes a user meets, from the smallest it allows to the
// largest: nothing overlaps or is cut, the table keeps three whole rows, the
// chart its time axis; a screen too small for it still holds it; its texts
// read well under a light and a dark desktop palette.
#include "mainwindow/mainwindow.h"
#include "config/appconfig.h"
#include "widgets/readablecolors.h"
#include "widgets/windowfit.h"
#include "support/testfiles.h"
#include "support/testmeter.h"

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QLabel>
#include <QStatusBar>
#include <QStyleFactory>
#include <QChartView>
#include <QHeaderView>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopedArrayPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QScreen>
#include <QTableWidget>
#include <QTest>

#include <memory>

namespace {

// The widgets of the central area, each placed by the window's layout.
const char *const CentralWidgets[] = {"widget", "btnSelect", "btnHzDuty", "btnHold", "btnSerialOrRel",
                                      "btnMaxMin", "btnExitMaxMin", "btnLight", "btnRange",
                                      "btnExitRange", "tableWidget", "chartView"};

QRect inWindow(const QWidget *widget, const QWidget *window)
{
    return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

// A dark desktop: Fusion with a palette like qt5ct's "darker".
QPalette darkPalette()
{
    QPalette palette;
    const QColor window(0x35, 0x35, 0x35), base(0x2a, 0x2a, 0x2a), text(0xe6, 0xe6, 0xe6);
    for (const auto &[role, colour] : {std::pair{QPalette::Window, window}, {QPalette::Button, window},
                                      {QPalette::Base, base}, {QPalette::AlternateBase, window},
                                      {QPalette::WindowText, text}, {QPalette::Text, text},
                                      {QPalette::ButtonText, text}, {QPalette::ToolTipBase, base},
                                      {QPalette::ToolTipText, text}, {QPalette::Highlight, QColor(0x2a, 0x82, 0xda)},
                                      {QPalette::HighlightedText, QColor(Qt::white)}})
        palette.setColor(role, colour);
    return palette;
}

// The text drawn in `area` of `image` on the background colour at
// `backgroundAt`: the pixel there that differs most from it, as WCAG's
// contrast ratio.
double drawnContrast(const QImage &image, const QRect &area, const QPoint &backgroundAt, QColor *background = nullptr)
{
    const QColor paper = image.pixelColor(backgroundAt);
    double most = 1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            most = std::max(most, ReadableColors::contrastRatio(paper, image.pixelColor(x, y)));
    }
    if (background)
        *background = paper;
    return most;
}

} // namespace

class tst_WindowLayout : public QObject
{
    Q_OBJECT

private slots:
    void initialSize_data();
    void initialSize();
    void fitsEverySize_data();
    void fitsEverySize();
    void fittedMinimum_data();
    void fittedMinimum();
    void smallScreenScrolls();
    void readableUnderAnyPalette_data();
    void readableUnderAnyPalette();
};

void tst_WindowLayout::initialSize_data()
{
    QTest::addColumn<QSize>("available"); // the screen less its task bars
    QTest::addColumn<QSize>("expected");

    QTest::newRow("1920 × 1080 holds the full size") << QSize(1920, 1040) << QSize(1440, 900);
    QTest::newRow("just room for it and its frame") << QSize(1456, 940) << QSize(1440, 900);
    QTest::newRow("1366 × 768 laptop") << QSize(1366, 728) << QSize(1350, 688);
    QTest::newRow("1440 × 900 screen") << QSize(1440, 860) << QSize(1424, 820);
    QTest::newRow("smaller than the minimum") << QSize(800, 600) << QSize(1024, 668);
}

void tst_WindowLayout::initialSize()
{
    QFETCH(QSize, available);
    QFETCH(QSize, expected);
    QCOMPARE(WindowFit::initialSize(QSize(1440, 900), QSize(1024, 668), available), expected);
}

void tst_WindowLayout::fitsEverySize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("smallest") << QSize(1024, 668);
    QTest::newRow("laptop") << QSize(1366, 700);
    QTest::newRow("full size") << QSize(1440, 900);
}

void tst_WindowLayout::fitsEverySize()
{
    QFETCH(QSize, size);

    MainWindow window;
    window.resize(size);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), size);
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("tableWidget"));
    QVERIFY(table);
    table->setRowCount(10); // rows to scroll, as after ten readings
    QCoreApplication::processEvents();

    // Each widget whole inside the central area, none over another.
    const QRect central = inWindow(window.centralWidget(), &window);
    QList<QPair<QString, QRect>> placed;
    for (const char *name : CentralWidgets) {
        const auto *widget = window.findChild<QWidget *>(QLatin1String(name));
        QVERIFY2(widget, name);
        const QRect rect = inWindow(widget, &window);
        // QTest::toString() hands over a new[] string.
        const std::unique_ptr<char[]> rectText(QTest::toString(rect));
        QVERIFY2(central.contains(rect), qPrintable(QStringLiteral("%1 cut: %2").arg(name).arg(
                                             QString::fromLatin1(rectText.get()))));
        for (const auto &[other, otherRect] : qAsConst(placed))
            QVERIFY2(!rect.intersects(otherRect), qPrintable(other + " under " + name));
        placed << qMakePair(QString::fromLatin1(name), rect);
    }
    QCOMPARE(window.findChild<QWidget *>(QStringLiteral("widget"))->size(), QSize(560, 340));

    // Three whole rows under the header.
    QVERIFY2(table->viewport()->height() >= 3 * table->verticalHeader()->defaultSectionSize(),
             qPrintable(QString::number(table->viewport()->height())));

    // The chart fills its view, down to the time axis under the plot.
    auto *view = window.findChild<QtCharts::QChartView *>(QStringLiteral("chartView"));
    QVERIFY(view);
    QVERIFY(view->width() <= 860 && view->height() <= 800);
    QCOMPARE(view->chart()->size(), QSizeF(view->viewport()->size()));
    QVERIFY(view->chart()->plotArea().height() > 200);

    if (size == QSize(1440, 900)) {
        // The full size keeps the form's sizes: the chart 860 wide, the table
        // as wide as the panel and between its 150 and 360 pixels high.
        QCOMPARE(view->width(), 860);
        QCOMPARE(table->width(), 560);
        QVERIFY(table->height() >= 150 && table->height() <= 360);
    }
}

void tst_WindowLayout::fittedMinimum_data()
{
    QTest::addColumn<QSize>("available"); // the screen less its task bars, in the window's pixels
    QTest::addColumn<QSize>("expected");
    QTest::newRow("1920 × 1080 at 100 %") << QSize(1920, 1040) << QSize(1024, 668);
    QTest::newRow("1920 × 1080 at 150 %") << QSize(1280, 720) << QSize(1024, 668);
    QTest::newRow("1366 × 768 at 125 %") << QSize(1093, 590) << QSize(1024, 550);
    QTest::newRow("1920 × 1080 at 200 %") << QSize(960, 520) << QSize(944, 480);
}

void tst_WindowLayout::fittedMinimum()
{
    QFETCH(QSize, available);
    QFETCH(QSize, expected);
    QCOMPARE(WindowFit::fittedMinimum(QSize(1024, 668), available), expected);
}

// The offscreen screen, 800 × 600, is smaller than the window's smallest
// size: the window fits it, and what does not fit in it scrolls into view.
void tst_WindowLayout::smallScreenScrolls()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QSize available = window.screen()->availableGeometry().size();
    QVERIFY(available.width() < 1024);
    QCOMPARE(window.minimumSize(), WindowFit::fittedMinimum(QSize(1024, 668), available));
    QVERIFY(window.frameGeometry().width() <= available.width());
    auto *area = window.findChild<QScrollArea *>(QStringLiteral("centralScrollArea"));
    QVERIFY(area);
    QVERIFY(area->horizontalScrollBar()->isVisible() && area->verticalScrollBar()->isVisible());
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("tableWidget"));
    area->ensureWidgetVisible(table);
    QVERIFY(QRect(QPoint(), area->viewport()->size()).intersects(QRect(table->mapTo(area->viewport(), QPoint()), table->size())));

    window.resize(1024, 668);
    QTRY_VERIFY(!area->horizontalScrollBar()->isVisible() && !area->verticalScrollBar()->isVisible());
}

void tst_WindowLayout::readableUnderAnyPalette_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

// Each text on a colour the window fixes, measured from the pixels drawn:
// the keys, the table's header, a row outside the limits, the limit's state
// in the status bar. The display panel is the meter's: white on its blue
// under any palette.
void tst_WindowLayout::readableUnderAnyPalette()
{
    QFETCH(bool, dark);
    const QPalette before = QApplication::palette();
    const QString styleName = QApplication::style()->objectName();
    if (dark) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(darkPalette());
    }
    const QString config = AppConfig::configPath(QCoreApplication::applicationDirPath());
    QVERIFY(writeFile(config, "[Limits]\nenabled=true\nhigh=2\nunit=V\n"));
    {
        MainWindow window;
        window.resize(1440, 900);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        TestMeter meter;
        window.openPortNamed(meter.path);
        auto *table = window.findChild<QTableWidget *>(QStringLiteral("tableWidget"));
        QVERIFY(meter.send("2.500"));
        QTRY_COMPARE(table->rowCount(), 1);
        table->clearSelection();
        window.findChild<QAction *>(QStringLiteral("act_closeSerialPort"))->trigger();
        QTest::qWait(20);

        QStringList poor;
        auto judge = [&](const QString &what, QWidget *widget, const QRect &area, const QPoint &backgroundAt) {
            const double ratio = drawnContrast(widget->grab().toImage(), area, backgroundAt);
            if (ratio < 4.5)
                poor << QStringLiteral("%1 %2").arg(what).arg(ratio, 0, 'f', 2);
        };
        for (auto *key : window.findChildren<QPushButton *>(QRegularExpression(QStringLiteral("^btn")))) {
            const QRect inner = key->rect().adjusted(4, 4, -4, -4);
            judge(key->text(), key, inner, QPoint(3, key->height() / 2));
        }
        QHeaderView *header = table->horizontalHeader();
        judge(QStringLiteral("header"), header, QRect(0, 0, header->sectionSize(0), header->height()).adjusted(2, 2, -2, -2),
              QPoint(3, header->height() / 2));
        const QRect cell = table->visualItemRect(table->item(0, 2));
        judge(QStringLiteral("row outside"), table->viewport(), cell, QPoint(cell.left() + 1, cell.center().y()));
        auto *limit = window.findChild<QLabel *>(QStringLiteral("limitLabel"));
        QVERIFY(limit->isVisible());
        judge(QStringLiteral("limit state"), window.statusBar(), limit->geometry().translated(limit->parentWidget()->pos()),
              QPoint(2, 2));
        QVERIFY2(poor.isEmpty(), qPrintable(poor.join(QStringLiteral(", "))));

        // The start-up cover: white on the panel's blue.
        auto *panel = window.findChild<QWidget *>(QStringLiteral("widget"));
        const QImage drawn = panel->grab().toImage();
        QCOMPARE(drawn.pixelColor(2, 2), QColor(0, 170, 255));
        QColor paper;
        QCOMPARE(drawnContrast(drawn, panel->rect(), QPoint(2, 2), &paper),
                 ReadableColors::contrastRatio(QColor(0, 170, 255), Qt::white));
    }
    QFile::remove(config);
    if (dark) {
        QApplication::setPalette(before);
        QApplication::setStyle(styleName);
    }
}

QTEST_MAIN(tst_WindowLayout)
#include "tst_windowlayout.moc"
