// One scale per curve: while the function stays the same, every reading is
// plotted in the unit of the first reading since the function changed.
#include "history/curvescale.h"

#ifdef Q_OS_UNIX
#include "mainwindow/mainwindow.h"
#include "meter/frameencoder.h"

#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QValueAxis>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#endif

#include <QTest>

class tst_CurveScale : public QObject
{
    Q_OBJECT

private slots:
    void plotted_data();
    void plotted();
#ifdef Q_OS_UNIX
    void windowPlotsKiloThenMegaOhmInOneUnit();
#endif
};

// Each reading as "value unit function", a mark (overload) with a leading "!".
void tst_CurveScale::plotted_data()
{
    QTest::addColumn<QStringList>("readings");
    QTest::addColumn<QList<double>>("expected");

    using L = QList<double>;
    QTest::newRow("kΩ then MΩ: a rise") << QStringList{"4.68 kΩ R", "2.19 MΩ R"} << L{4.68, 2190};
    QTest::newRow("MΩ then kΩ: a fall") << QStringList{"2.19 MΩ R", "4.68 kΩ R", "220 Ω R"}
                                       << L{2.19, 0.00468, 0.00022};
    QTest::newRow("mV then V") << QStringList{"129.1 mV DC", "3.3 V DC"} << L{129.1, 3300};
    QTest::newRow("a new function chooses its own unit")
        << QStringList{"4.68 kΩ R", "50 Hz F", "32.83 kHz F", "2.19 MΩ R"} << L{4.68, 50, 32830, 2.19};
    QTest::newRow("an overload chooses no unit")
        << QStringList{"!7000 MΩ R", "4.68 kΩ R", "!7000 MΩ R", "2.19 MΩ R"} << L{7000, 4.68, 7000, 2190};
    QTest::newRow("℃ then ℉ cannot be converted: starts afresh")
        << QStringList{"25 ℃ T", "77 ℉ T", "78 ℉ T"} << L{25, 77, 78};
    QTest::newRow("negative readings keep their sign") << QStringList{"-500 mA DC", "-1.2 A DC"} << L{-500, -1200};
}

void tst_CurveScale::plotted()
{
    QFETCH(QStringList, readings);
    QFETCH(QList<double>, expected);

    CurveScale scale;
    QList<double> plotted;
    for (QString reading : readings) {
        const bool mark = reading.startsWith(QLatin1Char('!'));
        const QStringList parts = reading.remove(QLatin1Char('!')).split(QLatin1Char(' '));
        plotted << scale.plotted(parts.at(0).toDouble(), parts.at(1), parts.at(2), mark);
    }
    QCOMPARE(plotted.size(), expected.size());
    for (int i = 0; i < plotted.size(); ++i)
        QVERIFY2(qFuzzyCompare(plotted.at(i), expected.at(i)),
                 qPrintable(QStringLiteral("%1: %2").arg(readings.at(i)).arg(plotted.at(i))));
}

#ifdef Q_OS_UNIX
// 4.68 kΩ then 2.19 MΩ from the meter's line: the curve rises to 2190 kΩ and
// the value axis follows it.
void tst_CurveScale::windowPlotsKiloThenMegaOhmInOneUnit()
{
    int meter = -1, slave = -1;
    char name[256] = {};
    QVERIFY(openpty(&meter, &slave, name, nullptr, nullptr) == 0);
    termios raw {};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    ::close(slave);

    MainWindow window;
    window.m_config.timeIntervalMs = 100;
    window.openPortNamed(QString::fromLocal8Bit(name));
    auto *view = window.findChild<QtCharts::QChartView *>(QStringLiteral("chartView"));
    QVERIFY(view);
    auto *series = qobject_cast<QtCharts::QLineSeries *>(view->chart()->series().value(0));
    auto *axis = qobject_cast<QtCharts::QValueAxis *>(view->chart()->axes(Qt::Vertical).value(0));
    QVERIFY(series && axis);

    int points = 0;
    for (const char *digits : {"4.68", "2.19"}) {
        MeterDisplay display;
        display.digits = QString::fromLatin1(digits);
        display.unit = points == 0 ? QStringLiteral("kΩ") : QStringLiteral("MΩ");
        display.autoRange = true;
        QByteArray frame;
        QVERIFY(encodeFrame(display, &frame));
        QCOMPARE(::write(meter, frame.constData(), size_t(frame.size())), ssize_t(frame.size()));
        ++points;
        QTRY_COMPARE_WITH_TIMEOUT(series->count(), points, 10000);
    }
    ::close(meter);

    QCOMPARE(float(series->at(0).y()), 4.68f);
    QCOMPARE(float(series->at(1).y()), 2190.0f);
    QCOMPARE(float(axis->max()), 4380.0f);
}
#endif

QTEST_MAIN(tst_CurveScale)
#include "tst_curvescale.moc"
