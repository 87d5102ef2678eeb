// What the window adds to a decoded reading: the annunciator labels, the
// panel, the sample table's row, the curve's point and the bar graph. The
// decoding rules themselves are tested on the reading (tst_meterreading).
#include "mainwindow/mainwindow.h"
#include "ui_mainwindow.h"
#include "tickgauge.h"
#include "support/testframes.h"

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
using namespace TestFrames;

namespace {

QDateTime g_fakeNow; // the window's clock during the tests: set by hand

const QDateTime StartTime(QDate(2026, 12, 7), QTime(9, 31, 34));

// Every text annunciator of the panel with the word it shows when lit, in panel() order.
const std::pair<const char *, const char *> AnnunciatorLabels[] = {
    {"lbHold", "HOLD"}, {"lbRel", "REL"}, {"lbDio", "DIO"}, {"lbBeep", "BEEP"}, {"lbAuto", "AUTO"},
    {"lbApo", "APO"}, {"lbRange", "Range"}, {"lbBat", "BAT"}, {"lbHfe", "hFE"}, {"lbDc", "DC"},
    {"lbMinus", "-"}, {"lbAc", "AC"}, {"lbAc_2", "T-RMS"}, {"lbMin", "MIN"}, {"lbMax", "MAX"},
};

} // namespace

// One reading fed to the panel, and the panel, table row and curve point it must leave.
struct PanelCase
{
    QString value;
    bool negative;
    QString unit, function;
    bool gaugeHiddenBefore;
    QString lbData, functionAfter;
    bool gaugeShown;
    double curveValue;
    int bar; // -1: the bar before plus a full bar (61)
};
Q_DECLARE_METATYPE(PanelCase)

class tst_ReadingDisplay : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void labelsFollowEachFrame_data();
    void labelsFollowEachFrame();
    void version_data();
    void version();
    void failedFrameChangesNothing_data();
    void failedFrameChangesNothing();
    void panelAndBar_data();
    void panelAndBar();
    void overRangeBarSaturates();
    void rowsAreNumberedAndShown();
    void frameThroughTheDecoder();
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
    void checkRow(int row, const QStringList &cells) const;
    QString panel() const;
    template <class Axis> Axis *axis(Qt::Orientation o) const
    {
        return qobject_cast<Axis *>(w->m_chart->axes(o).value(0));
    }

    std::unique_ptr<MainWindow> w;
};

void tst_ReadingDisplay::init()
{
    w = std::make_unique<MainWindow>();
    g_fakeNow = StartTime;
    w->m_now = [] { return g_fakeNow; };
}

void tst_ReadingDisplay::cleanup()
{
    w.reset();
}

// One reading through the window as a frame brings it; `function` "DC" lights DC.
void tst_ReadingDisplay::feed(const QString &value, bool negative, const QString &unit,
                              const QString &function)
{
    const QByteArray frameText = displayFrame(value, negative, unit, function == QLatin1String("DC"));
    QVERIFY2(!frameText.isEmpty(), qPrintable(value));
    w->decodeFrame(frameText);
}

// The words the panel's annunciator labels show, in the labels' order, "lightning" for the
// picture. A label with another text shows as name=text; a negative reading without "-" (or
// the reverse) adds "negative?".
QString tst_ReadingDisplay::panel() const
{
    QStringList shown;
    for (const auto &[name, word] : AnnunciatorLabels) {
        const QString text = w->findChild<QLabel *>(QLatin1String(name))->text();
        if (!text.isEmpty())
            shown << (text == QLatin1String(word) ? text : QString::fromLatin1(name) + '=' + text);
    }
    if (w->m_isNegative != shown.contains(QLatin1String("-")))
        shown << QStringLiteral("negative?");
    if (!w->ui->lbLightning->isHidden())
        shown << QStringLiteral("lightning");
    return shown.join(QLatin1Char(' '));
}

// Each frame rewrites every annunciator label and the unit, whatever the frame before lit.
void tst_ReadingDisplay::labelsFollowEachFrame_data()
{
    QTest::addColumn<QByteArray>("first"); // empty: a fresh window
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<QString>("shown"); // unit|panel()

    const QByteArray volts = flagFrame(0x04, 0, 0, 0x02);
    const QByteArray everything = flagFrame(0xff, 0xff, 0xff, 0xff);
    QTest::newRow("worked example") << QByteArray() << QByteArray(WorkedExample) << "V|AUTO DC";
    QTest::newRow("every flag bit")
        << QByteArray() << everything
        << "FAVmHzΩkM%℉℃nu|HOLD REL DIO BEEP AUTO APO Range BAT hFE DC - AC T-RMS MIN MAX lightning";
    QTest::newRow("minus set then cleared") << flagFrame(0x04, 0, 0, 0x06) << volts << "V|DC";
    QTest::newRow("lightning shown then hidden") << flagFrame(0x04, 0x08, 0, 0x08) << flagFrame(0x04, 0, 0, 0x08)
                                                 << "V|AC T-RMS";
    QTest::newRow("everything then nothing") << everything << flagFrame(0, 0, 0, 0) << "|";
    QTest::newRow("hFE then volts") << flagFrame(0, 0x02, 0, 0) << volts << "V|DC";
    QTest::newRow("worked example then all-zero")
        << QByteArray(WorkedExample) << QByteArray("a5000000000000000000000000000000000000a5") << "|";
}

void tst_ReadingDisplay::labelsFollowEachFrame()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(QString, shown);

    if (!first.isEmpty())
        w->decodeFrame(first);
    w->decodeFrame(second);
    QCOMPARE(w->ui->lbSymbol->text() + '|' + panel(), shown);
    QCOMPARE(w->m_fieldList.join(QString()).toLatin1(), second);
    // The reading's texts, as the window keeps them.
    const std::optional<MeterReading> reading = MeterReading::fromFrameText(second);
    QVERIFY(reading);
    QCOMPARE(QStringList({w->mStrDataValue, w->m_unitText, w->m_functionText}),
             QStringList({reading->valueText, reading->unitText, reading->functionText}));
}

void tst_ReadingDisplay::version_data()
{
    QTest::addColumn<QList<int>>("versionBytes"); // decoded in this order
    QTest::addColumn<QString>("appVersion");
    QTest::addColumn<bool>("gaugeHidden");
    QTest::newRow("1 hides the bar graph") << QList<int>{1} << "V1.0" << true;
    QTest::newRow("unknown before any known") << QList<int>{3} << "" << false;
    QTest::newRow("2 then 0 keeps V2.0") << QList<int>{2, 0} << "V2.0" << false;
    QTest::newRow("1 then 0xff keeps V1.0") << QList<int>{1, 0xff} << "V1.0" << true;
}

void tst_ReadingDisplay::version()
{
    QFETCH(QList<int>, versionBytes);
    QFETCH(QString, appVersion);
    QFETCH(bool, gaugeHidden);

    // A negative EF: the display leaves the bar graph as the decoder left it.
    w->ui->tickGauge->show();
    for (int versionByte : versionBytes)
        w->decodeFrame(displayFrame(QStringLiteral("EF"), true, QString(), false, quint8(versionByte)));
    QCOMPARE(w->ui->tableWidget->rowCount(), versionBytes.size()); // the frames were decoded
    QCOMPARE(w->m_appName, appVersion.isEmpty() ? QString() : QStringLiteral("DMM"));
    QCOMPARE(w->m_appVersion, appVersion);
    QCOMPARE(w->ui->tickGauge->isHidden(), gaugeHidden);
}

// Each way the check fails is in tst_meterprotocol; here, that the window keeps what it showed.
void tst_ReadingDisplay::failedFrameChangesNothing_data()
{
    QTest::addColumn<QByteArray>("bad");
    const QByteArray good =
        frame({{2, 0x60}, {3, 0x08}, {4, 0x08}, {9, 0x3c}, {8, 0x7f}, {7, 0xd1}, {6, 0x5f}, {5, 0x50}});
    QByteArray wrongSum = good;
    wrongSum[39] = wrongSum[39] == '0' ? '1' : '0';
    QByteArray upperSum = flagFrame(0x04, 0, 0, 0x02);
    QCOMPARE(upperSum.right(2), QByteArray("ad"));
    QTest::newRow("checksum off") << wrongSum;
    QTest::newRow("upper-case checksum") << upperSum.replace(38, 2, "AD");
    QTest::newRow("too short") << good.left(38);
    QTest::newRow("a5a5") << QByteArray("a5a5");
}

void tst_ReadingDisplay::failedFrameChangesNothing()
{
    QFETCH(QByteArray, bad);

    w->ui->tickGauge->show();
    w->decodeFrame(WorkedExample);
    w->decodeFrame(frame({{3, 0x08}, {4, 0xff}, {9, 0x3c}, {8, 0xd0}, {18, 0x08}}));
    const auto shown = [this] {
        return QStringList({w->mStrDataValue, w->m_unitText, w->m_functionText, w->ui->lbSymbol->text(),
                            w->ui->lbData->text(), panel()});
    };
    const QStringList before = shown();
    const QStringList fields = w->m_fieldList;
    const int bar = w->ui->tickGauge->getCurrentProgressBarValue();
    w->decodeFrame(bad);
    QCOMPARE(shown(), before);
    QCOMPARE(w->m_fieldList, fields);
    QCOMPARE(w->m_appVersion, QStringLiteral("V4.0"));
    QCOMPARE(w->ui->tableWidget->rowCount(), 2);
    QCOMPARE(w->m_series->count(), 1);
    QCOMPARE(w->ui->tickGauge->getCurrentProgressBarValue(), bar);
    QVERIFY(!w->ui->tickGauge->isHidden());
}

void tst_ReadingDisplay::plot(int readings, double value, int stepMs, const QDateTime &from)
{
    for (int i = 0; i < readings; ++i) {
        g_fakeNow = from.addMSecs(qint64(i) * stepMs);
        w->updateChart(value, QStringLiteral("DC"));
    }
}

void tst_ReadingDisplay::checkRow(int row, const QStringList &cells) const
{
    for (int column = 0; column < cells.size(); ++column)
        QCOMPARE(w->ui->tableWidget->item(row, column)->text(), cells.at(column));
}

void tst_ReadingDisplay::panelAndBar_data()
{
    QTest::addColumn<PanelCase>("c");

    using P = PanelCase;
    const QString V("V"), DC("DC"), NCV("NCV"), R("Resistance"), C("℃"), F("℉");
    QTest::newRow("1.234 V") << P{"1.234", false, V, DC, false, "1.234", DC, true, 1.234, 13};
    QTest::newRow("-1.234 V") << P{"1.234", true, V, DC, false, "1.234", DC, true, -1.234, 13};
    QTest::newRow("0.000 lights one step") << P{"0.000", false, V, DC, false, "0.000", DC, true, 0, 1};
    QTest::newRow("5999 counts") << P{"5999", false, V, DC, false, "5999", DC, true, 5999, 60};
    QTest::newRow("6000 counts, full bar") << P{"6000", false, V, DC, false, "6000", DC, true, 6000, 61};
    QTest::newRow("6543 counts, over range") << P{"6543", false, V, DC, false, "6543", DC, true, 6543, -1};
    QTest::newRow("60.00: point ignored") << P{"60.00", false, V, DC, false, "60.00", DC, true, 60, 61};
    QTest::newRow("version 1 hid the gauge") << P{"1.234", false, V, DC, true, "1.234", DC, true, 1.234, 13};
    QTest::newRow("025.3 ℃ as a plain number") << P{"025.3", false, C, "TEMP", false, "25.3", "TEMP", true, 25.3, 3};
    QTest::newRow("-098.6 ℉") << P{"098.6", true, F, "TEMP", false, "98.6", "TEMP", true, -98.6, 10};
    QTest::newRow("blank digits") << P{"", false, V, DC, false, "", DC, true, 0, 1};
    QTest::newRow("blank digits with the sign") << P{"", true, V, DC, false, "", DC, true, 0, 1};
    QTest::newRow("LIVE") << P{"LIVE", false, "", DC, false, "LIVE", "LIVE", false, 7000, -1};
    QTest::newRow("EF is NCV") << P{"EF", false, "", DC, false, "EF", NCV, false, 7000, -1};
    QTest::newRow("EF with the sign") << P{"EF", true, "", DC, false, "EF", DC, true, -7000, -1};
    QTest::newRow("-EF, gauge left hidden") << P{"EF", true, "", DC, true, "EF", DC, false, -7000, -1};
    QTest::newRow("dashes are NCV") << P{"----", false, "", DC, false, "----", NCV, false, 7000, -1};
    QTest::newRow("dashes with the sign") << P{"----", true, "", DC, false, "----", DC, true, 0, 1};
    QTest::newRow("overload 0.L") << P{"0.L", false, "MΩ", R, false, "0.L", R, true, 7000, -1};
    QTest::newRow("overload -0.L") << P{"0.L", true, V, DC, false, "0.L", DC, true, -7000, -1};
}

void tst_ReadingDisplay::panelAndBar()
{
    QFETCH(PanelCase, c);

    const int barBefore = 7;
    w->ui->tickGauge->setCurrentProgressBarValue(barBefore);
    w->ui->tickGauge->setVisible(!c.gaugeHiddenBefore);
    feed(c.value, c.negative, c.unit, c.function);

    QCOMPARE(w->ui->lbData->text(), c.lbData);
    QCOMPARE(w->ui->lbMinMinus->text(), c.negative ? QStringLiteral("-") : QString());
    QCOMPARE(w->m_functionText, c.functionAfter);
    QCOMPARE(!w->ui->tickGauge->isHidden(), c.gaugeShown);
    QCOMPARE(w->ui->tickGauge->getCurrentProgressBarValue(),
             c.bar == -1 ? barBefore + TickGauge::FullScale : c.bar);
    // The table keeps the meter's digits as shown, temperatures included.
    checkRow(0, {"1", c.functionAfter, (c.negative ? "-" : "") + c.value, c.unit, "2026/12/07 09:31:34"});
    // The curve gets the reading as the meter's single-precision number.
    QCOMPARE(w->m_series->count(), 1);
    QCOMPARE(float(w->m_series->at(0).y()), float(c.curveValue));
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

// A steady reading repeats everything but the row number and the time; each
// repeated text must be one shared string, not a copy per row.
void tst_ReadingDisplay::rowsAreNumberedAndShown()
{
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    for (int i = 0; i < 150; ++i) {
        g_fakeNow = StartTime.addSecs(i);
        // Fresh strings each time, as the decoder builds them.
        feed(QString::number(i / 10) + ".00");
    }
    QCoreApplication::processEvents();

    QTableWidget *table = w->ui->tableWidget;
    QCOMPARE(table->rowCount(), 150);
    checkRow(149, {"150", "DC", "14.00", "V", "2026/12/07 09:34:03"});
    for (int column = 1; column <= 3; ++column)
        QVERIFY2(table->item(148, column)->text().constData() == table->item(149, column)->text().constData(),
                 qPrintable(QString::number(column)));
    QCOMPARE(table->item(0, 2)->textAlignment(), int(Qt::AlignHCenter | Qt::AlignVCenter));
    // The newest row is on screen.
    QVERIFY(table->verticalScrollBar()->maximum() > 0);
    QCOMPARE(table->verticalScrollBar()->value(), table->verticalScrollBar()->maximum());
    QVERIFY(table->viewport()->rect().intersects(table->visualItemRect(table->item(149, 0))));
    // The time column fits its contents without being measured again for every row.
    const int width = table->horizontalHeader()->sectionSize(4);
    table->horizontalHeader()->setSectionResizeMode(4, QHeaderView::ResizeToContents);
    QCoreApplication::processEvents();
    QCOMPARE(width, table->horizontalHeader()->sectionSize(4));
}

// A frame the window receives ends on the panel, the curve and the table.
void tst_ReadingDisplay::frameThroughTheDecoder()
{
    w->decodeFrame(WorkedExample); // 1.234 V DC, AUTO, version 2
    QCOMPARE(w->ui->lbData->text(), QStringLiteral("1.234"));
    QCOMPARE(w->m_series->count(), 1);
    QCOMPARE(w->m_series->at(0).y(), double(1.234f));
    QCOMPARE(w->ui->tableWidget->rowCount(), 1);
    checkRow(0, {"1", "DC", "1.234", "V", "2026/12/07 09:31:34"});
}

void tst_ReadingDisplay::chartAtStart()
{
    QCOMPARE(w->ui->chartView->chart(), w->m_chart);
    QCOMPARE(w->m_series->name(), QStringLiteral("Dynamic curve of meter"));
    auto *values = axis<QValueAxis>(Qt::Vertical);
    auto *times = axis<QDateTimeAxis>(Qt::Horizontal);
    QVERIFY(values && times);
    QCOMPARE(w->m_series->attachedAxes(), (QList<QAbstractAxis *>{values, times}));
    QCOMPARE(QPointF(values->min(), values->max()), QPointF(-60, 60));
    QCOMPARE(QStringList({values->titleText(), times->titleText(), times->format()}),
             QStringList({"Data", "Time", "mm:ss"}));
}

void tst_ReadingDisplay::curveRules_data()
{
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<QString>("functions"); // one per value
    QTest::addColumn<double>("axisMax");    // the axis runs from -axisMax to axisMax
    QTest::addColumn<QColor>("pen");
    QTest::addColumn<int>("points");

    using L = QList<double>;
    const QColor blue(Qt::blue), red(Qt::red);
    QTest::newRow("first reading") << L{1.234} << "DC" << 2.468 << blue << 1;
    QTest::newRow("10, 5: a fall keeps the axis") << L{10, 5} << "DC DC" << 20.0 << blue << 2;
    QTest::newRow("10, 5, 6: a rise rescales") << L{10, 5, 6} << "DC DC DC" << 12.0 << blue << 3;
    QTest::newRow("-10, -20: the point sits on the edge") << L{-10, -20} << "DC DC" << 20.0 << blue << 2;
    QTest::newRow("-10, -20, -15: rise rescales") << L{-10, -20, -15} << "DC DC DC" << 30.0 << blue << 3;
    QTest::newRow("function change with 0") << L{5, 0} << "DC AC" << 60.0 << blue << 1;
    QTest::newRow("function change with -3") << L{5, -3} << "DC AC" << 6.0 << blue << 1;
    QTest::newRow("rise to 0 keeps a usable axis") << L{-5, 0} << "DC DC" << 60.0 << blue << 2;
    QTest::newRow("overload") << L{50, 7000} << "DC DC" << 7000.0 << red << 1;
    QTest::newRow("overloads in a row") << L{7000, 7000, -7000} << "DC DC DC" << 7000.0 << red << 3;
    QTest::newRow("overload, then 100") << L{50, 7000, 100} << "DC DC DC" << 7000.0 << blue << 1;
    QTest::newRow("overload, 100, then 101") << L{50, 7000, 100, 101} << "DC DC DC DC" << 202.0 << blue << 2;
    QTest::newRow("NCV") << L{5, 7000} << "DC NCV" << 7000.0 << red << 1;
    QTest::newRow("LIVE") << L{5, 7000} << "AC LIVE" << 7000.0 << red << 1;
    QTest::newRow("NCV, then back to DC") << L{5, 7000, 3} << "DC NCV DC" << 6.0 << blue << 1;
    QTest::newRow("NCV, DC, DC: empties again") << L{5, 7000, 3, 2} << "DC NCV DC DC" << 6.0 << blue << 1;
    QTest::newRow("6000 is a normal reading") << L{6000} << "DC" << 12000.0 << blue << 1;
    QTest::newRow("6000.5 is over range") << L{6000.5} << "DC" << 7000.0 << red << 1;
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
        const MeterReading::Kind kind = function.at(i) == QLatin1String("NCV") ? MeterReading::Kind::NcvField
            : function.at(i) == QLatin1String("LIVE")                         ? MeterReading::Kind::Live
                                                                               : MeterReading::Kind::Ordinary;
        w->updateChart(values.at(i), function.at(i), kind);
    }
    QCOMPARE(axis<QValueAxis>(Qt::Vertical)->min(), -axisMax);
    QCOMPARE(axis<QValueAxis>(Qt::Vertical)->max(), axisMax);
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
    w->m_config.timeIntervalMs = interval;
    for (int i = 0; i < readings; ++i) {
        g_fakeNow = StartTime.addMSecs(qint64(i) * stepMs);
        w->updateChart(double(i % 50), QStringLiteral("DC"));
        const qint64 visibleMs = std::min(qint64(i) * stepMs, widestMs);
        QVERIFY2(g_fakeNow.toMSecsSinceEpoch() - w->m_series->at(0).x() >= visibleMs
                     && w->m_series->count() >= int(visibleMs / stepMs) + 1,
                 qPrintable(QStringLiteral("reading %1 lost a visible point").arg(i)));
    }
    QCOMPARE(axis<QDateTimeAxis>(Qt::Horizontal)->min(), g_fakeNow.addSecs(-windowSeconds));
    QCOMPARE(axis<QDateTimeAxis>(Qt::Horizontal)->max(), g_fakeNow);
    QCOMPARE(w->m_series->at(w->m_series->count() - 1).x(), double(g_fakeNow.toMSecsSinceEpoch()));
    const int bound = int((widestMs + 60 * 1000) / stepMs) + 256 + 1; // window, margin, one batch
    QVERIFY2(w->m_series->count() <= bound, qPrintable(QString::number(w->m_series->count())));
}

// Twenty minutes without a reading: the old points go, but the line from the
// last of them to the new reading still crosses the window. A function change
// after that still empties the curve whole.
void tst_ReadingDisplay::pauseKeepsTheLineIntoTheWindow()
{
    plot(400, 2.0);
    const double lastBeforePause = w->m_series->at(w->m_series->count() - 1).x();
    plot(1, 3.0, 1000, StartTime.addSecs(400 + 20 * 60));
    QCOMPARE(w->m_series->count(), 2);
    QCOMPARE(w->m_series->at(0).x(), lastBeforePause);
    plot(300, 3.0, 1000, g_fakeNow.addSecs(1));
    QVERIFY(w->m_series->count() > 1);
    w->updateChart(1.0, QStringLiteral("AC"));
    QCOMPARE(w->m_series->count(), 1);
}

// The computer's clock is put back by an hour: the points recorded "in the
// future" can never be seen and go with the next batch.
void tst_ReadingDisplay::clockSetBackDropsPointsAhead()
{
    plot(300, 1.0);
    plot(10, 1.0, 1000, StartTime.addSecs(-3600));
    QCOMPARE(w->m_series->count(), 10);
    QCOMPARE(w->m_series->at(0).x(), double(StartTime.addSecs(-3600).toMSecsSinceEpoch()));
}

QTEST_MAIN(tst_ReadingDisplay)
#include "tst_readingdisplay.moc"
