// The display panel, the sample table and the curve, fed readings as the
// decoder leaves them in the window.
#include "mainwindow.h"
#include "mainwindowform.h"
#include "gauge/tickgauge.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QValueAxis>

#include <memory>

using namespace QtCharts;

namespace {

QDateTime g_fakeNow; // the window's clock during the tests: set by hand

const QDateTime StartTime(QDate(2026, 12, 7), QTime(9, 31, 34));

} // namespace

Q_DECLARE_METATYPE(QList<double>)

class tst_ReadingDisplay : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void panelAndBar_data();
    void panelAndBar();
    void overRangeBarSaturates();

    void rowsAreNumberedAndShown();
    void repeatedTextsAreStoredOnce();
    void framesThroughTheDecoder_data();
    void framesThroughTheDecoder();

    void chartAtStart();
    void curveRules_data();
    void curveRules();
    void timeWindowAndPruning_data();
    void timeWindowAndPruning();
    void clockSetBackDropsPointsAhead();
    void pauseKeepsTheLineIntoTheWindow();

private:
    void feed(const QString &value, bool negative = false, const QString &unit = QStringLiteral("V"),
              const QString &function = QStringLiteral("DC"));
    void plot(int readings, double value, int stepMs = 1000, const QDateTime &from = StartTime);
    QValueAxis *valueAxis() const { return qobject_cast<QValueAxis *>(w->m_chart->axes(Qt::Vertical).value(0)); }
    QDateTimeAxis *timeAxis() const { return qobject_cast<QDateTimeAxis *>(w->m_chart->axes(Qt::Horizontal).value(0)); }

    std::unique_ptr<MainWindow> w;
    int m_savedInterval = 1000;
};

void tst_ReadingDisplay::init()
{
    m_savedInterval = timeInterval;
    w = std::make_unique<MainWindow>();
    g_fakeNow = StartTime;
    w->m_now = [] { return g_fakeNow; };
}

void tst_ReadingDisplay::cleanup()
{
    w.reset();
    timeInterval = m_savedInterval;
}

void tst_ReadingDisplay::feed(const QString &value, bool negative, const QString &unit, const QString &function)
{
    w->mStrDataValue = value;
    w->m_isNegative = negative;
    w->m_unitText = unit;
    w->m_functionText = function;
    w->updateDisplay();
}

// Readings straight onto the curve, stepMs apart.
void tst_ReadingDisplay::plot(int readings, double value, int stepMs, const QDateTime &from)
{
    for (int i = 0; i < readings; ++i) {
        g_fakeNow = from.addMSecs(qint64(i) * stepMs);
        w->updateChart(value, QStringLiteral("DC"));
    }
}

// ---------------------------------------------------------------- the panel

void tst_ReadingDisplay::panelAndBar_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("negative");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("function");
    QTest::addColumn<bool>("gaugeHiddenBefore");
    QTest::addColumn<QString>("lbData");
    QTest::addColumn<QString>("functionAfter");
    QTest::addColumn<bool>("gaugeShown");
    QTest::addColumn<double>("curveValue");
    QTest::addColumn<int>("bar"); // -1: the bar before plus a full bar (61)

    const QString V("V"), DC("DC"), NCV("NCV");
    QTest::newRow("1.234 V") << "1.234" << false << V << DC << false << "1.234" << DC << true << 1.234 << 13;
    QTest::newRow("-1.234 V") << "1.234" << true << V << DC << false << "1.234" << DC << true << -1.234 << 13;
    QTest::newRow("0.000 lights one step") << "0.000" << false << V << DC << false << "0.000" << DC << true << 0.0 << 1;
    QTest::newRow("5999 counts") << "5999" << false << V << DC << false << "5999" << DC << true << 5999.0 << 60;
    QTest::newRow("6000 counts, full bar") << "6000" << false << V << DC << false << "6000" << DC << true << 6000.0 << 61;
    QTest::newRow("6543 counts, over range") << "6543" << false << V << DC << false << "6543" << DC << true << 6543.0 << -1;
    QTest::newRow("60.00 counts ignore the point") << "60.00" << false << V << DC << false << "60.00" << DC << true << 60.0 << 61;
    QTest::newRow("version 1 hid the gauge") << "1.234" << false << V << DC << true << "1.234" << DC << true << 1.234 << 13;
    QTest::newRow("025.3 ℃ as a plain number") << "025.3" << false << "℃" << "" << false << "25.3" << "" << true << 25.3 << 3;
    QTest::newRow("-098.6 ℉") << "098.6" << true << "℉" << "" << false << "98.6" << "" << true << -98.6 << 10;
    QTest::newRow("blank digits") << "" << false << V << DC << false << "" << DC << true << 0.0 << 1;
    QTest::newRow("blank digits with the sign") << "" << true << V << DC << false << "" << DC << true << 0.0 << 1;
    QTest::newRow("LIVE") << "LIVE" << false << "" << DC << false << "LIVE" << "LIVE" << false << 7000.0 << -1;
    QTest::newRow("EF is NCV") << "EF" << false << "" << DC << false << "EF" << NCV << false << 7000.0 << -1;
    QTest::newRow("EF with the sign") << "EF" << true << "" << DC << false << "EF" << DC << true << -7000.0 << -1;
    QTest::newRow("EF with the sign, gauge left hidden") << "EF" << true << "" << DC << true << "EF" << DC << false << -7000.0 << -1;
    QTest::newRow("dashes are NCV") << "----" << false << "" << DC << false << "----" << NCV << false << 7000.0 << -1;
    QTest::newRow("dashes with the sign") << "----" << true << "" << DC << false << "----" << DC << true << 0.0 << 1;
    QTest::newRow("overload 0.L") << "0.L" << false << "MΩ" << "Resistance" << false << "0.L" << "Resistance" << true << 7000.0 << -1;
    QTest::newRow("overload -0.L") << "0.L" << true << V << DC << false << "0.L" << DC << true << -7000.0 << -1;
}

// The panel, the table row and the curve point one reading leaves.
void tst_ReadingDisplay::panelAndBar()
{
    QFETCH(QString, value);
    QFETCH(bool, negative);
    QFETCH(QString, unit);
    QFETCH(QString, function);
    QFETCH(bool, gaugeHiddenBefore);
    QFETCH(QString, lbData);
    QFETCH(QString, functionAfter);
    QFETCH(bool, gaugeShown);
    QFETCH(double, curveValue);
    QFETCH(int, bar);

    const int barBefore = 7;
    w->ui->tickGauge->setCurrentProgressBarValue(barBefore);
    w->ui->tickGauge->setVisible(!gaugeHiddenBefore);
    feed(value, negative, unit, function);

    const QString sign = negative ? QStringLiteral("-") : QString();
    QCOMPARE(w->ui->lbData->text(), lbData);
    QCOMPARE(w->ui->lbMinMinus->text(), sign);
    QCOMPARE(w->m_functionText, functionAfter);
    QCOMPARE(!w->ui->tickGauge->isHidden(), gaugeShown);
    QCOMPARE(w->ui->tickGauge->getCurrentProgressBarValue(), bar == -1 ? barBefore + TickGauge::FullScale : bar);

    // The table keeps the meter's digits as shown, temperatures included.
    QTableWidget *table = w->ui->tableWidget;
    QCOMPARE(table->rowCount(), 1);
    const QStringList row{"1", functionAfter, sign + value, unit, "2026/12/07 09:31:34"};
    for (int column = 0; column < row.size(); ++column)
        QCOMPARE(table->item(0, column)->text(), row.at(column));

    // The curve gets the reading as the meter's single-precision number.
    QCOMPARE(w->m_series->count(), 1);
    QCOMPARE(float(w->m_series->at(0).y()), float(curveValue));
    QCOMPARE(float(w->curData), float(curveValue));
}

// A long run of overloads keeps adding a full bar; the value stays at the
// gauge's ceiling instead of wrapping round to a negative number.
void tst_ReadingDisplay::overRangeBarSaturates()
{
    w->ui->tickGauge->setCurrentProgressBarValue(TickGauge::MaxValue - 100);
    for (int i = 0; i < 5; ++i)
        feed(QStringLiteral("0.L"));
    QCOMPARE(w->ui->tickGauge->getCurrentProgressBarValue(), TickGauge::MaxValue);
    feed(QStringLiteral("1.000"));
    QCOMPARE(w->ui->tickGauge->getCurrentProgressBarValue(), 11);
}

// ---------------------------------------------------------------- the table

void tst_ReadingDisplay::rowsAreNumberedAndShown()
{
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    const int readings = 150;
    for (int i = 0; i < readings; ++i) {
        g_fakeNow = StartTime.addSecs(i);
        feed(QString::number(i % 10) + QStringLiteral(".000"));
    }
    QCoreApplication::processEvents();

    QTableWidget *table = w->ui->tableWidget;
    QCOMPARE(table->rowCount(), readings);
    QCOMPARE(table->item(99, 0)->text(), QStringLiteral("100"));
    QCOMPARE(table->item(readings - 1, 0)->text(), QString::number(readings));
    QCOMPARE(table->item(readings - 1, 4)->text(), QStringLiteral("2026/12/07 09:34:03"));
    QCOMPARE(table->item(0, 2)->textAlignment(), int(Qt::AlignHCenter | Qt::AlignVCenter));
    // The newest row is on screen.
    const QScrollBar *bar = table->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(table->viewport()->rect().intersects(table->visualItemRect(table->item(readings - 1, 0))));
    // The time column is as wide as fitting it to its contents makes it,
    // without being measured again for every row.
    const int width = table->horizontalHeader()->sectionSize(4);
    table->horizontalHeader()->setSectionResizeMode(4, QHeaderView::ResizeToContents);
    QCoreApplication::processEvents();
    QCOMPARE(width, table->horizontalHeader()->sectionSize(4));
}

// A steady reading repeats everything but the row number and the time; each
// repeated text must be one shared string, not a copy per row.
void tst_ReadingDisplay::repeatedTextsAreStoredOnce()
{
    for (int i = 0; i < 3; ++i) // fresh strings each time, as the decoder builds them
        feed(QString::fromLatin1("1.234"), false, QString::fromLatin1("V"), QString::fromLatin1("DC"));
    QTableWidget *table = w->ui->tableWidget;
    for (int column = 1; column <= 3; ++column) {
        const QString first = table->item(0, column)->text();
        const QString last = table->item(2, column)->text();
        QCOMPARE(last, first);
        QVERIFY2(last.constData() == first.constData(), qPrintable(QString::number(column)));
    }
}

void tst_ReadingDisplay::framesThroughTheDecoder_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("recorded");

    // 1.234 V DC, AUTO, meter version 2.
    const QByteArray valid("a50004001072793dd002000000000000000002b5");
    QTest::newRow("valid frame") << valid << true;
    QTest::newRow("checksum off by one") << QByteArray(valid).replace(38, 2, "b6") << false;
    QTest::newRow("short frame") << valid.left(38) << false;
}

void tst_ReadingDisplay::framesThroughTheDecoder()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, recorded);

    const QString panelBefore = w->ui->lbData->text();
    if (recorded)
        QTest::ignoreMessage(QtDebugMsg, "curData=== 1.234"); // the decoded value, once
    w->decodeFrame(frame);
    QCOMPARE(w->ui->lbData->text(), recorded ? QStringLiteral("1.234") : panelBefore);
    QCOMPARE(w->m_series->count(), recorded ? 1 : 0);
    QCOMPARE(w->ui->tableWidget->rowCount(), recorded ? 1 : 0);
    const QStringList cells{"1", "DC", "1.234", "V", "2026/12/07 09:31:34"};
    for (int column = 0; recorded && column < cells.size(); ++column)
        QCOMPARE(w->ui->tableWidget->item(0, column)->text(), cells.at(column));
}

// ---------------------------------------------------------------- the curve

void tst_ReadingDisplay::chartAtStart()
{
    QCOMPARE(w->ui->chartView->chart(), w->m_chart);
    QCOMPARE(w->m_chart->series(), QList<QAbstractSeries *>{w->m_series});
    QCOMPARE(w->m_series->name(), QStringLiteral("Dynamic curve of meter"));
    QCOMPARE(w->m_series->pen().color(), QColor(Qt::blue));
    QCOMPARE(w->m_series->pen().width(), 2);
    QValueAxis *values = valueAxis();
    QDateTimeAxis *times = timeAxis();
    QVERIFY(values && times);
    QCOMPARE(QPointF(values->min(), values->max()), QPointF(-60, 60));
    QCOMPARE(values->titleText(), QStringLiteral("Data"));
    QCOMPARE(times->format(), QStringLiteral("mm:ss"));
    QCOMPARE(times->titleText(), QStringLiteral("Time"));
    QCOMPARE(w->m_series->attachedAxes(), (QList<QAbstractAxis *>{values, times}));
}

void tst_ReadingDisplay::curveRules_data()
{
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<QString>("functions"); // one per value
    QTest::addColumn<double>("axisMax");    // the axis runs from -axisMax to axisMax
    QTest::addColumn<QColor>("pen");
    QTest::addColumn<int>("points");

    const QColor blue(Qt::blue), red(Qt::red);
    QTest::newRow("first reading") << QList<double>{1.234} << "DC" << 2.468 << blue << 1;
    QTest::newRow("10, 5: a fall keeps the axis") << QList<double>{10, 5} << "DC DC" << 20.0 << blue << 2;
    QTest::newRow("10, 5, 6: a rise rescales") << QList<double>{10, 5, 6} << "DC DC DC" << 12.0 << blue << 3;
    QTest::newRow("-10, -20: the point sits on the edge") << QList<double>{-10, -20} << "DC DC" << 20.0 << blue << 2;
    QTest::newRow("-10, -20, -15: a later rise rescales") << QList<double>{-10, -20, -15} << "DC DC DC" << 30.0 << blue << 3;
    QTest::newRow("function change with 0") << QList<double>{5, 0} << "DC AC" << 60.0 << blue << 1;
    QTest::newRow("function change with -3") << QList<double>{5, -3} << "DC AC" << 6.0 << blue << 1;
    QTest::newRow("rise to 0 keeps a usable axis") << QList<double>{-5, 0} << "DC DC" << 60.0 << blue << 2;
    QTest::newRow("overload") << QList<double>{50, 7000} << "DC DC" << 7000.0 << red << 1;
    QTest::newRow("overloads in a row") << QList<double>{7000, 7000, -7000} << "DC DC DC" << 7000.0 << red << 3;
    QTest::newRow("overload, then 100") << QList<double>{50, 7000, 100} << "DC DC DC" << 7000.0 << blue << 1;
    QTest::newRow("overload, then 100, then 101") << QList<double>{50, 7000, 100, 101} << "DC DC DC DC" << 202.0 << blue << 2;
    QTest::newRow("NCV") << QList<double>{5, 7000} << "DC NCV" << 7000.0 << red << 1;
    QTest::newRow("LIVE") << QList<double>{5, 7000} << "AC LIVE" << 7000.0 << red << 1;
    QTest::newRow("NCV, then back to DC") << QList<double>{5, 7000, 3} << "DC NCV DC" << 6.0 << blue << 1;
    QTest::newRow("NCV, then DC twice empties once more") << QList<double>{5, 7000, 3, 2} << "DC NCV DC DC" << 6.0 << blue << 1;
    QTest::newRow("6000 is a normal reading") << QList<double>{6000} << "DC" << 12000.0 << blue << 1;
    QTest::newRow("6000.5 is over range") << QList<double>{6000.5} << "DC" << 7000.0 << red << 1;
}

void tst_ReadingDisplay::curveRules()
{
    QFETCH(QList<double>, values);
    QFETCH(QString, functions);
    QFETCH(double, axisMax);
    QFETCH(QColor, pen);
    QFETCH(int, points);

    const QStringList function = functions.split(' ');
    for (int i = 0; i < values.size(); ++i) {
        g_fakeNow = StartTime.addSecs(i);
        w->updateChart(values.at(i), function.at(i));
    }
    QCOMPARE(valueAxis()->min(), -axisMax);
    QCOMPARE(valueAxis()->max(), axisMax);
    QCOMPARE(w->m_series->pen().color(), pen);
    QCOMPARE(w->m_series->count(), points);
    QCOMPARE(w->m_series->at(points - 1).y(), values.last());
    QCOMPARE(w->m_lastCurveFunction, function.last());
}

void tst_ReadingDisplay::timeWindowAndPruning_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("stepMs");
    QTest::addColumn<int>("readings");
    QTest::addColumn<int>("windowSeconds"); // what the time axis shows

    QTest::newRow("1 s for 2 hours") << 1000 << 1000 << 7200 << 4;
    QTest::newRow("1500 ms truncates to 1 s") << 1500 << 1500 << 500 << 4;
    QTest::newRow("under a second keeps a window") << 500 << 500 << 1000 << 4;
    QTest::newRow("60 s for 2 days") << 60000 << 60000 << 2880 << 240;
    QTest::newRow("bursts, 10 ms apart") << 1000 << 10 << 3000 << 4;
}

// The axis shows the last 4 × interval (whole seconds), at widest 4 × 60 s.
// Whatever the interval, every point inside that stays; the curve never grows
// past it, a margin and one batch of points waiting to be dropped.
void tst_ReadingDisplay::timeWindowAndPruning()
{
    QFETCH(int, interval);
    QFETCH(int, stepMs);
    QFETCH(int, readings);
    QFETCH(int, windowSeconds);

    const qint64 widestMs = 4 * 60 * 1000;
    timeInterval = interval;
    for (int i = 0; i < readings; ++i) {
        g_fakeNow = StartTime.addMSecs(qint64(i) * stepMs);
        w->updateChart(double(i % 50), QStringLiteral("DC"));
        const qint64 visibleMs = std::min(qint64(i) * stepMs, widestMs);
        QVERIFY2(g_fakeNow.toMSecsSinceEpoch() - w->m_series->at(0).x() >= visibleMs,
                 qPrintable(QStringLiteral("reading %1 lost a visible point").arg(i)));
        QVERIFY2(w->m_series->count() >= int(visibleMs / stepMs) + 1, qPrintable(QString::number(i)));
    }
    QCOMPARE(timeAxis()->max(), g_fakeNow);
    QCOMPARE(timeAxis()->min(), g_fakeNow.addSecs(-windowSeconds));
    QCOMPARE(w->m_series->at(w->m_series->count() - 1).x(), double(g_fakeNow.toMSecsSinceEpoch()));
    const int bound = int((widestMs + 60 * 1000) / stepMs) + 256 + 1;
    QVERIFY2(w->m_series->count() <= bound, qPrintable(QStringLiteral("%1 points").arg(w->m_series->count())));
    if (qint64(readings) * stepMs > 2 * (widestMs + 60 * 1000))
        QVERIFY(w->m_series->count() < readings);
}

// The computer's clock is put back by an hour: the points recorded "in the
// future" can never be seen and go with the next batch.
void tst_ReadingDisplay::clockSetBackDropsPointsAhead()
{
    plot(300, 1.0);
    const QDateTime setBack = StartTime.addSecs(-3600);
    plot(10, 1.0, 1000, setBack);
    QCOMPARE(w->m_series->count(), 10);
    QCOMPARE(w->m_series->at(0).x(), double(setBack.toMSecsSinceEpoch()));
}

// Twenty minutes without a reading: the old points go, but the line from the
// last of them to the new reading still crosses the window. A function change
// after that still empties the curve whole.
void tst_ReadingDisplay::pauseKeepsTheLineIntoTheWindow()
{
    plot(400, 2.0);
    const double lastBeforePause = w->m_series->at(w->m_series->count() - 1).x();
    g_fakeNow = StartTime.addSecs(400 + 20 * 60);
    w->updateChart(3.0, QStringLiteral("DC"));
    QCOMPARE(w->m_series->count(), 2);
    QCOMPARE(w->m_series->at(0).x(), lastBeforePause);

    plot(300, 3.0, 1000, g_fakeNow.addSecs(1));
    QVERIFY(w->m_series->count() > 1);
    w->updateChart(1.0, QStringLiteral("AC"));
    QCOMPARE(w->m_series->count(), 1);
}

QTEST_MAIN(tst_ReadingDisplay)
#include "tst_readingdisplay.moc"
