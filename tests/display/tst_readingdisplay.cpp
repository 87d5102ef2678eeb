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

// The window's clock during the tests: set and advanced by hand.
QDateTime g_fakeNow;
QDateTime fakeNow()
{
    return g_fakeNow;
}

const QDateTime StartTime(QDate(2026, 12, 7), QTime(9, 31, 34));

struct Reading
{
    double value;
    QString function;
};

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

    void tableRow_data();
    void tableRow();
    void rowsAreNumberedAndNewestIsShown();
    void repeatedTextsAreStoredOnce();
    void timeColumnFitsItsText();
    void framesThroughTheDecoder_data();
    void framesThroughTheDecoder();
    void debugLines();

    void chartAtStart();
    void curveRules_data();
    void curveRules();
    void timeWindow_data();
    void timeWindow();
    void hiddenPointsAreDropped_data();
    void hiddenPointsAreDropped();
    void clockSetBackDropsPointsAhead();
    void lineIntoTheWindowSurvivesAPause();
    void clearingStillEmptiesTheCurve();

private:
    void feed(const QString &value, bool negative = false, const QString &unit = QStringLiteral("V"),
              const QString &function = QStringLiteral("DC"));
    QValueAxis *valueAxis() const;
    QDateTimeAxis *timeAxis() const;

    std::unique_ptr<MainWindow> w;
    int m_savedInterval = 1000;
};

void tst_ReadingDisplay::init()
{
    m_savedInterval = timeInterval;
    w = std::make_unique<MainWindow>();
    g_fakeNow = StartTime;
    w->m_now = &fakeNow;
}

void tst_ReadingDisplay::cleanup()
{
    w.reset();
    timeInterval = m_savedInterval;
}

void tst_ReadingDisplay::feed(const QString &value, bool negative, const QString &unit,
                              const QString &function)
{
    w->mStrDataValue = value;
    w->m_isNegative = negative;
    w->m_unitText = unit;
    w->m_functionText = function;
    w->updateDisplay();
}

QValueAxis *tst_ReadingDisplay::valueAxis() const
{
    const auto axes = w->m_chart->axes(Qt::Vertical);
    return axes.isEmpty() ? nullptr : qobject_cast<QValueAxis *>(axes.first());
}

QDateTimeAxis *tst_ReadingDisplay::timeAxis() const
{
    const auto axes = w->m_chart->axes(Qt::Horizontal);
    return axes.isEmpty() ? nullptr : qobject_cast<QDateTimeAxis *>(axes.first());
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
    QTest::addColumn<QString>("lbMinMinus");
    QTest::addColumn<QString>("tableValue");
    QTest::addColumn<QString>("functionAfter");
    QTest::addColumn<bool>("gaugeShown");
    QTest::addColumn<double>("curveValue");
    QTest::addColumn<int>("bar");   // -1: the bar before plus a full bar (61)

    const QString V = QStringLiteral("V");
    const QString C = QStringLiteral("℃");
    const QString F = QStringLiteral("℉");
    const QString DC = QStringLiteral("DC");
    const QString NCV = QStringLiteral("NCV");

    QTest::newRow("1.234 V") << "1.234" << false << V << DC << false
                             << "1.234" << "" << "1.234" << DC << true << 1.234 << 13;
    QTest::newRow("-1.234 V") << "1.234" << true << V << DC << false
                              << "1.234" << "-" << "-1.234" << DC << true << -1.234 << 13;
    QTest::newRow("0.000 lights one step") << "0.000" << false << V << DC << false
                                           << "0.000" << "" << "0.000" << DC << true << 0.0 << 1;
    QTest::newRow("5999 counts") << "5999" << false << V << DC << false
                                 << "5999" << "" << "5999" << DC << true << 5999.0 << 60;
    QTest::newRow("6000 counts, full bar") << "6000" << false << V << DC << false
                                           << "6000" << "" << "6000" << DC << true << 6000.0 << 61;
    QTest::newRow("6543 counts, over range") << "6543" << false << V << DC << false
                                             << "6543" << "" << "6543" << DC << true << 6543.0 << -1;
    QTest::newRow("60.00 counts ignore the point") << "60.00" << false << V << DC << false
                                                   << "60.00" << "" << "60.00" << DC << true << 60.0 << 61;
    QTest::newRow("version 1 hid the gauge") << "1.234" << false << V << DC << true
                                             << "1.234" << "" << "1.234" << DC << true << 1.234 << 13;
    QTest::newRow("025.3 ℃ as a plain number") << "025.3" << false << C << "" << false
                                                << "25.3" << "" << "025.3" << "" << true << 25.3 << 3;
    QTest::newRow("-098.6 ℉") << "098.6" << true << F << "" << false
                              << "98.6" << "-" << "-098.6" << "" << true << -98.6 << 10;
    QTest::newRow("blank digits") << "" << false << V << DC << false
                                  << "" << "" << "" << DC << true << 0.0 << 1;
    QTest::newRow("blank digits with the sign") << "" << true << V << DC << false
                                                << "" << "-" << "-" << DC << true << 0.0 << 1;
    QTest::newRow("LIVE") << "LIVE" << false << "" << DC << false
                          << "LIVE" << "" << "LIVE" << "LIVE" << false << 7000.0 << -1;
    QTest::newRow("EF is NCV") << "EF" << false << "" << DC << false
                               << "EF" << "" << "EF" << NCV << false << 7000.0 << -1;
    QTest::newRow("EF with the sign") << "EF" << true << "" << DC << false
                                      << "EF" << "-" << "-EF" << DC << true << -7000.0 << -1;
    QTest::newRow("EF with the sign, gauge left hidden") << "EF" << true << "" << DC << true
                                                        << "EF" << "-" << "-EF" << DC << false << -7000.0 << -1;
    QTest::newRow("dashes are NCV") << "----" << false << "" << DC << false
                                    << "----" << "" << "----" << NCV << false << 7000.0 << -1;
    QTest::newRow("dashes with the sign") << "----" << true << "" << DC << false
                                          << "----" << "-" << "-----" << DC << true << 0.0 << 1;
    QTest::newRow("dashes with the sign, gauge left hidden") << "----" << true << "" << DC << true
                                                            << "----" << "-" << "-----" << DC << false << 0.0 << 1;
    QTest::newRow("overload 0.L") << "0.L" << false << "MΩ" << "Resistance" << false
                                  << "0.L" << "" << "0.L" << "Resistance" << true << 7000.0 << -1;
    QTest::newRow("overload -0.L") << "0.L" << true << V << DC << false
                                   << "0.L" << "-" << "-0.L" << DC << true << -7000.0 << -1;
}

void tst_ReadingDisplay::panelAndBar()
{
    QFETCH(QString, value);
    QFETCH(bool, negative);
    QFETCH(QString, unit);
    QFETCH(QString, function);
    QFETCH(bool, gaugeHiddenBefore);
    QFETCH(QString, lbData);
    QFETCH(QString, lbMinMinus);
    QFETCH(QString, tableValue);
    QFETCH(QString, functionAfter);
    QFETCH(bool, gaugeShown);
    QFETCH(double, curveValue);
    QFETCH(int, bar);

    const int barBefore = 7;
    w->ui->tickGauge->setCurrentProgressBarValue(barBefore);
    w->ui->tickGauge->setVisible(!gaugeHiddenBefore);

    feed(value, negative, unit, function);

    QCOMPARE(w->ui->lbData->text(), lbData);
    QCOMPARE(w->ui->lbMinMinus->text(), lbMinMinus);
    QCOMPARE(w->m_functionText, functionAfter);
    QCOMPARE(!w->ui->tickGauge->isHidden(), gaugeShown);
    QCOMPARE(w->ui->tickGauge->getCurrentProgressBarValue(),
             bar == -1 ? barBefore + TickGauge::FullScale : bar);

    QCOMPARE(w->ui->tableWidget->rowCount(), 1);
    QCOMPARE(w->ui->tableWidget->item(0, 1)->text(), functionAfter);
    QCOMPARE(w->ui->tableWidget->item(0, 2)->text(), tableValue);

    // The curve gets the reading as the meter's single-precision number.
    QCOMPARE(w->m_series->count(), 1);
    QCOMPARE(float(w->m_series->at(0).y()), float(curveValue));
    QCOMPARE(float(w->curData), float(curveValue));
}

void tst_ReadingDisplay::overRangeBarSaturates()
{
    // A long run of overloads keeps adding a full bar; the value stays at
    // the gauge's ceiling instead of wrapping round to a negative number.
    w->ui->tickGauge->setCurrentProgressBarValue(TickGauge::MaxValue - 100);
    int previous = w->ui->tickGauge->getCurrentProgressBarValue();
    for (int i = 0; i < 5; ++i) {
        feed(QStringLiteral("0.L"));
        const int now = w->ui->tickGauge->getCurrentProgressBarValue();
        QVERIFY2(now >= previous, qPrintable(QString::number(now)));
        previous = now;
    }
    QCOMPARE(previous, TickGauge::MaxValue);

    feed(QStringLiteral("1.000"));
    QCOMPARE(w->ui->tickGauge->getCurrentProgressBarValue(), 11);
}

// ---------------------------------------------------------------- the table

void tst_ReadingDisplay::tableRow_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("negative");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("function");
    QTest::addColumn<QStringList>("cells");

    QTest::newRow("ordinary") << "01.34" << false << "mV" << "AC"
                              << QStringList{"1", "AC", "01.34", "mV", "2026/12/07 09:31:34"};
    QTest::newRow("negative") << "1.234" << true << "V" << "DC"
                              << QStringList{"1", "DC", "-1.234", "V", "2026/12/07 09:31:34"};
    QTest::newRow("NCV") << "EF" << false << "" << ""
                         << QStringList{"1", "NCV", "EF", "", "2026/12/07 09:31:34"};
    QTest::newRow("blank digits") << "" << false << "" << ""
                                  << QStringList{"1", "", "", "", "2026/12/07 09:31:34"};
    QTest::newRow("blank digits with the sign")
        << "" << true << "" << "" << QStringList{"1", "", "-", "", "2026/12/07 09:31:34"};
    QTest::newRow("temperature keeps its digits")
        << "025.3" << false << "℃" << "" << QStringList{"1", "", "025.3", "℃", "2026/12/07 09:31:34"};
}

void tst_ReadingDisplay::tableRow()
{
    QFETCH(QString, value);
    QFETCH(bool, negative);
    QFETCH(QString, unit);
    QFETCH(QString, function);
    QFETCH(QStringList, cells);

    feed(value, negative, unit, function);

    QTableWidget *table = w->ui->tableWidget;
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(table->columnCount(), cells.size());
    for (int column = 0; column < cells.size(); ++column) {
        const QTableWidgetItem *item = table->item(0, column);
        QVERIFY(item);
        QCOMPARE(item->text(), cells.at(column));
        QCOMPARE(item->type(), int(QTableWidgetItem::Type));
        QCOMPARE(item->textAlignment(), int(Qt::AlignHCenter | Qt::AlignVCenter));
    }
}

void tst_ReadingDisplay::rowsAreNumberedAndNewestIsShown()
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
    QCOMPARE(table->item(0, 0)->text(), QStringLiteral("1"));
    QCOMPARE(table->item(99, 0)->text(), QStringLiteral("100"));
    QCOMPARE(table->item(readings - 1, 0)->text(), QString::number(readings));
    QCOMPARE(table->item(readings - 1, 4)->text(), QStringLiteral("2026/12/07 09:34:03"));

    // The newest row is on screen.
    const QScrollBar *bar = table->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    const QRect lastRow = table->visualItemRect(table->item(readings - 1, 0));
    QVERIFY(table->viewport()->rect().intersects(lastRow));
}

void tst_ReadingDisplay::repeatedTextsAreStoredOnce()
{
    // A steady reading repeats everything but the row number and the time;
    // each repeated text must be one shared string, not a copy per row.
    for (int i = 0; i < 3; ++i) {
        g_fakeNow = StartTime.addSecs(i);
        // Fresh strings each time, as the decoder builds them.
        feed(QString::fromLatin1("1.234"), false, QString::fromLatin1("V"),
             QString::fromLatin1("DC"));
    }
    QTableWidget *table = w->ui->tableWidget;
    for (int column = 1; column <= 3; ++column) {
        const QString first = table->item(0, column)->text();
        const QString last = table->item(2, column)->text();
        QCOMPARE(last, first);
        QVERIFY2(last.constData() == first.constData(), qPrintable(QString::number(column)));
    }
}

void tst_ReadingDisplay::timeColumnFitsItsText()
{
    // The time column is as wide as fitting it to its contents makes it,
    // without being measured again for every row.
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QHeaderView *header = w->ui->tableWidget->horizontalHeader();
    for (int i = 0; i < 30; ++i) {
        g_fakeNow = StartTime.addSecs(i * 3607);
        feed(QStringLiteral("1.234"));
    }
    QCoreApplication::processEvents();
    const int width = header->sectionSize(4);

    header->setSectionResizeMode(4, QHeaderView::ResizeToContents);
    QCoreApplication::processEvents();
    QCOMPARE(width, header->sectionSize(4));
}

void tst_ReadingDisplay::framesThroughTheDecoder_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QStringList>("cells");   // empty: no row

    // 1.234 V DC, AUTO, meter version 2.
    const QByteArray valid("a50004001072793dd002000000000000000002b5");
    QByteArray badSum = valid;
    badSum.replace(38, 2, "b6");
    QByteArray badStart = valid;
    badStart.replace(0, 2, "a4");

    QTest::newRow("valid frame") << valid
                                 << QStringList{"1", "DC", "1.234", "V", "2026/12/07 09:31:34"};
    QTest::newRow("checksum off by one") << badSum << QStringList{};
    QTest::newRow("wrong start byte") << badStart << QStringList{};
    QTest::newRow("short frame") << valid.left(38) << QStringList{};
}

void tst_ReadingDisplay::framesThroughTheDecoder()
{
    QFETCH(QByteArray, frame);
    QFETCH(QStringList, cells);

    const QString panelBefore = w->ui->lbData->text();
    w->decodeFrame(frame);

    QTableWidget *table = w->ui->tableWidget;
    if (cells.isEmpty()) {
        QCOMPARE(table->rowCount(), 0);
        QCOMPARE(w->m_series->count(), 0);
        QCOMPARE(w->ui->lbData->text(), panelBefore);
        return;
    }
    QCOMPARE(table->rowCount(), 1);
    for (int column = 0; column < cells.size(); ++column)
        QCOMPARE(table->item(0, column)->text(), cells.at(column));
    QCOMPARE(w->m_series->count(), 1);
    QCOMPARE(w->ui->lbData->text(), cells.at(2));
}

void tst_ReadingDisplay::debugLines()
{
    w->m_appName = QStringLiteral("DMM");
    w->m_appVersion = QStringLiteral("V2.0");
    QTest::ignoreMessage(QtDebugMsg, R"(m_appVersion-> "V2.0" m_appName "DMM")");
    QTest::ignoreMessage(QtDebugMsg, R"(mStrDataValue-> "1.234")");
    QTest::ignoreMessage(QtDebugMsg, "curData=== -1.234");
    feed(QStringLiteral("1.234"), true);
}

// ---------------------------------------------------------------- the curve

void tst_ReadingDisplay::chartAtStart()
{
    QCOMPARE(w->ui->chartView->chart(), w->m_chart);
    QVERIFY(w->ui->chartView->renderHints() & QPainter::Antialiasing);
    QCOMPARE(w->m_chart->series(), QList<QAbstractSeries *>{w->m_series});
    QCOMPARE(w->m_series->name(), QStringLiteral("Dynamic curve of meter"));
    QCOMPARE(w->m_series->pen().color(), QColor(Qt::blue));
    QCOMPARE(w->m_series->pen().width(), 2);
    QCOMPARE(w->m_series->pen().style(), Qt::SolidLine);
    QCOMPARE(w->m_series->count(), 0);

    QValueAxis *values = valueAxis();
    QDateTimeAxis *times = timeAxis();
    QVERIFY(values);
    QVERIFY(times);
    QCOMPARE(values->alignment(), Qt::AlignLeft);
    QCOMPARE(times->alignment(), Qt::AlignBottom);
    QCOMPARE(values->min(), -60.0);
    QCOMPARE(values->max(), 60.0);
    QCOMPARE(values->tickCount(), 11);
    QCOMPARE(values->minorTickCount(), 4);
    QCOMPARE(values->titleText(), QStringLiteral("Data"));
    QCOMPARE(times->format(), QStringLiteral("mm:ss"));
    QCOMPARE(times->tickCount(), 5);
    QCOMPARE(times->titleText(), QStringLiteral("Time"));
    QCOMPARE(w->m_series->attachedAxes(), (QList<QAbstractAxis *>{values, times}));
}

void tst_ReadingDisplay::curveRules_data()
{
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<QStringList>("functions");
    QTest::addColumn<double>("axisMax");   // the axis runs from -axisMax to axisMax
    QTest::addColumn<QColor>("pen");
    QTest::addColumn<int>("points");

    const QColor blue(Qt::blue);
    const QColor red(Qt::red);

    QTest::newRow("first reading") << QList<double>{1.234} << QStringList{"DC"} << 2.468 << blue << 1;
    QTest::newRow("10, 5: a fall keeps the axis")
        << QList<double>{10, 5} << QStringList{"DC", "DC"} << 20.0 << blue << 2;
    QTest::newRow("10, 5, 6: a rise rescales")
        << QList<double>{10, 5, 6} << QStringList{"DC", "DC", "DC"} << 12.0 << blue << 3;
    QTest::newRow("-10, -20: the point sits on the edge")
        << QList<double>{-10, -20} << QStringList{"DC", "DC"} << 20.0 << blue << 2;
    QTest::newRow("-10, -20, -15: a later rise rescales")
        << QList<double>{-10, -20, -15} << QStringList{"DC", "DC", "DC"} << 30.0 << blue << 3;
    QTest::newRow("function change with 0")
        << QList<double>{5, 0} << QStringList{"DC", "AC"} << 60.0 << blue << 1;
    QTest::newRow("function change with -3")
        << QList<double>{5, -3} << QStringList{"DC", "AC"} << 6.0 << blue << 1;
    QTest::newRow("rise to 0 keeps a usable axis")
        << QList<double>{-5, 0} << QStringList{"DC", "DC"} << 60.0 << blue << 2;
    QTest::newRow("overload")
        << QList<double>{50, 7000} << QStringList{"DC", "DC"} << 7000.0 << red << 1;
    QTest::newRow("overloads in a row")
        << QList<double>{7000, 7000, -7000} << QStringList{"DC", "DC", "DC"} << 7000.0 << red << 3;
    QTest::newRow("overload, then 100")
        << QList<double>{50, 7000, 100} << QStringList{"DC", "DC", "DC"} << 7000.0 << blue << 1;
    QTest::newRow("overload, then 100, then 101")
        << QList<double>{50, 7000, 100, 101} << QStringList{"DC", "DC", "DC", "DC"} << 202.0
        << blue << 2;
    QTest::newRow("NCV") << QList<double>{5, 7000} << QStringList{"DC", "NCV"} << 7000.0 << red << 1;
    QTest::newRow("LIVE") << QList<double>{5, 7000} << QStringList{"AC", "LIVE"} << 7000.0 << red << 1;
    QTest::newRow("NCV, then back to DC")
        << QList<double>{5, 7000, 3} << QStringList{"DC", "NCV", "DC"} << 6.0 << blue << 1;
    QTest::newRow("NCV, then DC twice empties once more")
        << QList<double>{5, 7000, 3, 2} << QStringList{"DC", "NCV", "DC", "DC"} << 6.0 << blue << 1;
    QTest::newRow("6000 is a normal reading")
        << QList<double>{6000} << QStringList{"DC"} << 12000.0 << blue << 1;
    QTest::newRow("6000.5 is over range")
        << QList<double>{6000.5} << QStringList{"DC"} << 7000.0 << red << 1;
}

void tst_ReadingDisplay::curveRules()
{
    QFETCH(QList<double>, values);
    QFETCH(QStringList, functions);
    QFETCH(double, axisMax);
    QFETCH(QColor, pen);
    QFETCH(int, points);

    for (int i = 0; i < values.size(); ++i) {
        g_fakeNow = StartTime.addSecs(i);
        w->updateChart(values.at(i), functions.at(i));
    }

    QCOMPARE(valueAxis()->min(), -axisMax);
    QCOMPARE(valueAxis()->max(), axisMax);
    QCOMPARE(w->m_series->pen().color(), pen);
    QCOMPARE(w->m_series->pen().width(), 2);
    QCOMPARE(w->m_series->count(), points);
    QCOMPARE(w->m_series->at(points - 1).y(), values.last());
    QCOMPARE(w->curData, values.last());
    QCOMPARE(w->m_lastCurveFunction, functions.last());
}

void tst_ReadingDisplay::timeWindow_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("windowSeconds");

    QTest::newRow("1000 ms") << 1000 << 4;
    QTest::newRow("1500 ms truncates to 1 s") << 1500 << 4;
    QTest::newRow("2000 ms") << 2000 << 8;
    QTest::newRow("60 s") << 60000 << 240;
    QTest::newRow("under a second keeps a window") << 500 << 4;
}

void tst_ReadingDisplay::timeWindow()
{
    QFETCH(int, interval);
    QFETCH(int, windowSeconds);

    timeInterval = interval;
    for (int i = 0; i < 3; ++i) {
        g_fakeNow = StartTime.addSecs(i * 7);
        w->updateChart(1.0, QStringLiteral("DC"));
    }
    QCOMPARE(timeAxis()->max(), g_fakeNow);
    QCOMPARE(timeAxis()->min(), g_fakeNow.addSecs(-windowSeconds));
    QCOMPARE(w->m_series->at(w->m_series->count() - 1).x(), double(g_fakeNow.toMSecsSinceEpoch()));
}

void tst_ReadingDisplay::hiddenPointsAreDropped_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("stepMs");
    QTest::addColumn<int>("readings");

    QTest::newRow("1 s for 2 hours") << 1000 << 1000 << 7200;
    QTest::newRow("60 s for 2 days") << 60000 << 60000 << 2880;
    QTest::newRow("bursts, 10 ms apart") << 1000 << 10 << 3000;
}

void tst_ReadingDisplay::hiddenPointsAreDropped()
{
    QFETCH(int, interval);
    QFETCH(int, stepMs);
    QFETCH(int, readings);

    // The widest window the axis shows is 4 × 60 s. Whatever the interval,
    // every point inside it stays; the curve never grows past that window,
    // a margin and one batch of points waiting to be dropped.
    const qint64 widestMs = 4 * 60 * 1000;
    timeInterval = interval;
    for (int i = 0; i < readings; ++i) {
        g_fakeNow = StartTime.addMSecs(qint64(i) * stepMs);
        w->updateChart(double(i % 50), QStringLiteral("DC"));

        const qint64 nowMs = g_fakeNow.toMSecsSinceEpoch();
        const qint64 elapsedMs = qint64(i) * stepMs;
        const int expectedVisible = int(std::min(elapsedMs, widestMs) / stepMs) + 1;
        const double oldest = w->m_series->at(0).x();
        QVERIFY2(nowMs - oldest >= std::min(elapsedMs, widestMs),
                 qPrintable(QStringLiteral("reading %1 lost a visible point").arg(i)));
        QVERIFY2(w->m_series->count() >= expectedVisible, qPrintable(QString::number(i)));
    }
    const int bound = int((widestMs + 60 * 1000) / stepMs) + 256 + 1;
    QVERIFY2(w->m_series->count() <= bound,
             qPrintable(QStringLiteral("%1 points").arg(w->m_series->count())));
    if (qint64(readings) * stepMs > 2 * (widestMs + 60 * 1000))
        QVERIFY(w->m_series->count() < readings);
}

void tst_ReadingDisplay::clockSetBackDropsPointsAhead()
{
    for (int i = 0; i < 300; ++i) {
        g_fakeNow = StartTime.addSecs(i);
        w->updateChart(1.0, QStringLiteral("DC"));
    }
    // The computer's clock is put back by an hour: the points recorded
    // "in the future" can never be seen and go with the next batch.
    const QDateTime setBack = StartTime.addSecs(-3600);
    for (int i = 0; i < 10; ++i) {
        g_fakeNow = setBack.addSecs(i);
        w->updateChart(1.0, QStringLiteral("DC"));
    }
    QCOMPARE(w->m_series->count(), 10);
    QCOMPARE(w->m_series->at(0).x(), double(setBack.toMSecsSinceEpoch()));
}

void tst_ReadingDisplay::lineIntoTheWindowSurvivesAPause()
{
    for (int i = 0; i < 400; ++i) {
        g_fakeNow = StartTime.addSecs(i);
        w->updateChart(2.0, QStringLiteral("DC"));
    }
    const double lastBeforePause = w->m_series->at(w->m_series->count() - 1).x();
    // Twenty minutes without a reading: the old points go, but the line from
    // the last of them to the new reading still crosses the window.
    g_fakeNow = StartTime.addSecs(400 + 20 * 60);
    w->updateChart(3.0, QStringLiteral("DC"));
    QCOMPARE(w->m_series->count(), 2);
    QCOMPARE(w->m_series->at(0).x(), lastBeforePause);
}

void tst_ReadingDisplay::clearingStillEmptiesTheCurve()
{
    for (int i = 0; i < 600; ++i) {
        g_fakeNow = StartTime.addSecs(i);
        w->updateChart(1.0, QStringLiteral("DC"));
    }
    QVERIFY(w->m_series->count() > 1);
    w->updateChart(1.0, QStringLiteral("AC"));
    QCOMPARE(w->m_series->count(), 1);
}

QTEST_MAIN(tst_ReadingDisplay)
#include "tst_readingdisplay.moc"
