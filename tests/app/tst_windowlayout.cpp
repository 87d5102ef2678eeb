// The window at the sizes a user meets, from the smallest it allows to the
// largest: nothing overlaps or is cut, the table keeps three whole rows, the
// chart its time axis.
#include "mainwindow.h"
#include "app/windowfit.h"

#include <QChart>
#include <QChartView>
#include <QHeaderView>
#include <QPushButton>
#include <QScopedArrayPointer>
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

} // namespace

class tst_WindowLayout : public QObject
{
    Q_OBJECT

private slots:
    void initialSize_data();
    void initialSize();
    void fitsEverySize_data();
    void fitsEverySize();
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

QTEST_MAIN(tst_WindowLayout)
#include "tst_windowlayout.moc"
