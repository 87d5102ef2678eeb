// What the web server shows of a run, fed as the recorder feeds it: the
// event stream's replay, the decimated history, the status and the metrics;
// and the --http address as the command line gives it.

#include "listenaddress.h"
#include "livestate.h"

#include "meter/frameencoder.h"
#include "meter/meterreading.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

const qint64 Start = 1796000000000; // a time of the run, in ms since the epoch

// The meter showing `digits` in `unit` (DC for volts), as read at Start + ms.
RecordedReading reading(qint64 n, qint64 ms, const QString &digits, const QString &unit = QStringLiteral("V"))
{
    MeterDisplay display;
    display.digits = digits;
    display.unit = unit;
    display.dc = unit.endsWith(QLatin1Char('V'));
    QByteArray frame;
    encodeFrame(display, &frame);
    RecordedReading recorded;
    recorded.n = n;
    recorded.time = QDateTime::fromMSecsSinceEpoch(Start + ms, Qt::UTC);
    recorded.reading = *MeterReading::fromFrame(frame);
    return recorded;
}

// The events of a stream's text: (id, name, data); id -1 when it has none.
struct Event {
    qint64 id = -1;
    QString name;
    QJsonObject data;
};

QVector<Event> parseEvents(const QByteArray &text)
{
    QVector<Event> events;
    for (const QString &block : QString::fromUtf8(text).split(QStringLiteral("\n\n"), Qt::SkipEmptyParts)) {
        Event event;
        for (const QString &line : block.split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("id: ")))
                event.id = line.mid(4).toLongLong();
            else if (line.startsWith(QLatin1String("event: ")))
                event.name = line.mid(7);
            else if (line.startsWith(QLatin1String("data: ")))
                event.data = QJsonDocument::fromJson(line.mid(6).toUtf8()).object();
        }
        if (!event.name.isEmpty())
            events << event;
    }
    return events;
}

// A whole number of JSON (times in ms are exact in a double).
qint64 integer(const QJsonValue &value)
{
    return qint64(value.toDouble());
}

QJsonObject json(const QByteArray &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        qWarning() << error.errorString() << text.left(200);
    return document.object();
}

} // namespace

class tst_LiveState : public QObject
{
    Q_OBJECT

private slots:
    // A client that reconnects with the id of the last event it had gets
    // every later one still held, once; one whose events are gone, or that
    // comes from an earlier run, is told first.
    void eventsAfterAReconnect_data()
    {
        QTest::addColumn<qint64>("readings");
        QTest::addColumn<qint64>("lastSeen");
        QTest::addColumn<qint64>("firstSent"); // 0: none
        QTest::addColumn<QString>("missed");   // "after next", empty: no missed event
        QTest::newRow("from the start") << qint64(5) << qint64(0) << qint64(1) << "";
        QTest::newRow("after the third") << qint64(5) << qint64(3) << qint64(4) << "";
        QTest::newRow("after the last: nothing yet") << qint64(5) << qint64(5) << qint64(0) << "";
        QTest::newRow("an id of an earlier, longer run") << qint64(5) << qint64(90) << qint64(0) << "90 6";
        const qint64 overflow = LiveState::EventCapacity + 10;
        QTest::newRow("older than the ring holds") << overflow << qint64(4) << qint64(11) << "4 11";
        QTest::newRow("the oldest held") << overflow << qint64(10) << qint64(11) << "";
    }

    void eventsAfterAReconnect()
    {
        QFETCH(qint64, readings);
        QFETCH(qint64, lastSeen);
        QFETCH(qint64, firstSent);
        QFETCH(QString, missed);
        LiveState state({});
        for (qint64 n = 1; n <= readings; ++n)
            state.addReading(reading(n, n * 1000, QStringLiteral("1.234")));
        QCOMPARE(state.lastEventId(), readings);

        // In batches, as a stream sends them.
        QByteArray text;
        qint64 next = lastSeen + 1;
        for (qint64 before = -1; next != before;) {
            before = next;
            QByteArray batch;
            next = state.eventsFrom(next, &batch, 64 * 1024);
            text += batch;
        }
        const QVector<Event> events = parseEvents(text);
        QVector<qint64> ids;
        QString missedSeen;
        for (const Event &event : events) {
            if (event.name == QLatin1String("missed")) {
                QCOMPARE(event.id, qint64(-1));
                missedSeen = QStringLiteral("%1 %2").arg(integer(event.data.value("after"))).arg(integer(event.data.value("next")));
                continue;
            }
            ids << event.id;
            // The reading's seq is its number in the run; here the same as the id.
            QCOMPARE(integer(event.data.value("seq")), event.id);
        }
        QCOMPARE(missedSeen, missed);
        if (firstSent == 0) {
            QVERIFY(ids.isEmpty());
        } else {
            QCOMPARE(ids.first(), firstSent);
            QCOMPARE(ids.last(), readings);
            QCOMPARE(ids.size(), int(readings - firstSent + 1)); // consecutive, none twice
        }
        QCOMPARE(next, readings + 1);
    }

    // Gaps, link changes, limit crossings and the stop are events too, in
    // the order they happened, numbered with the readings.
    void otherEvents()
    {
        LiveState state({}, LimitWatch(std::nullopt, 5.0));
        state.setLink(QStringLiteral("recording"), QDateTime::fromMSecsSinceEpoch(Start, Qt::UTC), QString());
        state.addReading(reading(1, 0, QStringLiteral("4.000")));
        state.addGap(QDateTime::fromMSecsSinceEpoch(Start + 500, Qt::UTC), QStringLiteral("link lost (port gone)"));
        state.setLink(QStringLiteral("lost"), QDateTime::fromMSecsSinceEpoch(Start + 500, Qt::UTC),
                      QStringLiteral("link lost (port gone)"));
        LimitCrossing crossing;
        crossing.state = LimitCrossing::State::High;
        crossing.value = 6.0;
        crossing.valueText = QStringLiteral("6");
        crossing.unit = QStringLiteral("V");
        crossing.time = QDateTime::fromMSecsSinceEpoch(Start + 3000, Qt::UTC);
        state.addReading(reading(2, 3000, QStringLiteral("6.000")));
        state.addLimitCrossing(2, crossing);
        state.stop(QDateTime::fromMSecsSinceEpoch(Start + 4000, Qt::UTC), QStringLiteral("SIGTERM received"));

        QByteArray text;
        state.eventsFrom(1, &text, 1 << 20);
        const QVector<Event> events = parseEvents(text);
        QStringList names;
        for (const Event &event : events)
            names << QStringLiteral("%1:%2").arg(event.id).arg(event.name);
        QCOMPARE(names.join(' '), QStringLiteral("1:link 2:reading 3:gap 4:link 5:reading 6:limit 7:stop 8:link"));
        QCOMPARE(events[2].data.value("reason").toString(), QStringLiteral("link lost (port gone)"));
        QCOMPARE(events[3].data.value("state").toString(), QStringLiteral("lost"));
        QCOMPARE(events[5].data.value("state").toString(), QStringLiteral("high"));
        QCOMPARE(events[7].data.value("state").toString(), QStringLiteral("stopped"));

        const QJsonObject status = json(state.statusJson());
        QCOMPARE(status.value("readings").toInt(), 2);
        QCOMPARE(status.value("gaps").toInt(), 1);
        QCOMPARE(status.value("link").toObject().value("reason").toString(), QStringLiteral("SIGTERM received"));
        const QJsonObject limits = status.value("limits").toObject();
        QCOMPARE(limits.value("state").toString(), QStringLiteral("high"));
        QVERIFY(limits.value("low").isNull());
        QCOMPARE(limits.value("high").toDouble(), 5.0);
        QVERIFY(limits.value("since").toString().endsWith(QLatin1String("+00:00")));
        const QJsonObject statistics = status.value("statistics").toObject();
        QCOMPARE(statistics.value("n").toInt(), 2);
        QCOMPARE(statistics.value("min").toDouble(), 4.0);
        QCOMPARE(statistics.value("max").toDouble(), 6.0);
        QCOMPARE(statistics.value("mean").toDouble(), 5.0);
        QCOMPARE(integer(status.value("range").toObject().value("last")), Start + 3000);
    }

    // The chart's series: one per function and unit, in the order of their
    // first reading, each line broken at a gap and at a reading without a
    // number (a mark instead), values in the series' unit.
    void history_data()
    {
        QTest::addColumn<QStringList>("readings"); // "ms digits unit", "gap"
        QTest::addColumn<QString>("series");       // "function unit: runs of points | marks"; ", " between series
        QTest::newRow("one unbroken line")
            << QStringList{"0 1.000 V", "1000 1.100 V", "2000 1.200 V"} << "DC V: 3 | 0";
        QTest::newRow("a gap breaks the line")
            << QStringList{"0 1.000 V", "1000 1.100 V", "gap", "9000 1.200 V", "10000 1.300 V"} << "DC V: 2 2 | 0";
        QTest::newRow("an overload breaks it and is marked")
            << QStringList{"0 1.000 V", "1000 1.100 V", "2000 0.L V", "3000 1.200 V"} << "DC V: 2 1 | 1";
        QTest::newRow("the dial turned away and back: one series each")
            << QStringList{"0 1.000 V", "1000 1.100 V", "2000 4.700 kΩ", "3000 4.800 kΩ", "4000 1.200 V"}
            << "DC V: 2 1 | 0, Resistance kΩ: 2 | 0";
        QTest::newRow("a range change stays in the first unit")
            << QStringList{"0 900.0 mV", "1000 1.100 V"} << "DC mV: 2 | 0";
        QTest::newRow("the dial back in another range: its first unit still")
            << QStringList{"0 1.000 V", "1000 4.700 kΩ", "2000 900.0 mV"}
            << "DC V: 1 1 | 0, Resistance kΩ: 1 | 0";
    }

    void history()
    {
        QFETCH(QStringList, readings);
        QFETCH(QString, series);
        LiveState state({});
        qint64 n = 0;
        for (const QString &line : readings) {
            if (line == QLatin1String("gap")) {
                state.addGap(QDateTime::currentDateTime(), QStringLiteral("link lost"));
                continue;
            }
            const QStringList words = line.split(' ');
            state.addReading(reading(++n, words[0].toLongLong(), words[1], words[2]));
        }
        const QJsonObject history = json(state.historyJson(std::nullopt, std::nullopt, 1000));
        QCOMPARE(integer(history.value("from")), Start);
        QCOMPARE(history.value("columns").toInt(), 1000);
        QStringList seen;
        for (const QJsonValue &value : history.value("series").toArray()) {
            const QJsonObject one = value.toObject();
            QStringList runs;
            for (const QJsonValue &run : one.value("runs").toArray()) {
                const QJsonObject points = run.toObject();
                QCOMPARE(points.value("t").toArray().size(), points.value("v").toArray().size());
                runs << QString::number(points.value("t").toArray().size());
            }
            seen << QStringLiteral("%1 %2: %3 | %4")
                        .arg(one.value("function").toString(), one.value("unit").toString(), runs.join(' '))
                        .arg(one.value("marks").toArray().size());
        }
        QCOMPARE(seen.join(QStringLiteral(", ")), series);
        if (QTest::currentDataTag() == QLatin1String("a range change stays in the first unit")) {
            const QJsonArray values = history.value("series").toArray()[0].toObject().value("runs").toArray()[0]
                                          .toObject().value("v").toArray();
            QCOMPARE(values[1].toDouble(), 1100.0);
        }
        if (QTest::currentDataTag() == QLatin1String("the dial back in another range: its first unit still")) {
            const QJsonArray values = history.value("series").toArray()[0].toObject().value("runs").toArray()[1]
                                          .toObject().value("v").toArray();
            QCOMPARE(values[0].toDouble(), 0.9);
        }
    }

    // A month at most: beyond the capacity the oldest quarter goes, and what
    // stays is as it was (values, segments, gaps).
    void historyKeepsItsCapacity()
    {
        LiveState::Run run;
        run.historyCapacity = 100;
        LiveState state(run);
        for (qint64 n = 1; n <= 101; ++n) {
            if (n == 90)
                state.addGap(QDateTime::currentDateTime(), QStringLiteral("link lost"));
            state.addReading(reading(n, n * 1000, QString::asprintf("%.3f", double(n) / 100.0)));
        }
        QCOMPARE(state.historySize(), qsizetype(75));
        const QJsonObject history = json(state.historyJson(std::nullopt, std::nullopt, 10000));
        QCOMPARE(integer(history.value("range").toObject().value("first")), Start + 27000);
        const QJsonArray runs = history.value("series").toArray()[0].toObject().value("runs").toArray();
        QCOMPARE(runs.size(), 2); // the gap before reading 90 kept
        QCOMPARE(runs[0].toObject().value("v").toArray().first().toDouble(), 0.27);
        QCOMPARE(integer(runs[1].toObject().value("t").toArray().first()), Start + 90000);
    }

    // The metrics in the text format Prometheus reads: a meter's name with
    // quotes and backslashes escaped, a reading without a number as NaN.
    void metrics()
    {
        LiveState::Run run;
        run.meter = QStringLiteral("bench \"3\" \\ left");
        LiveState state(run, LimitWatch(1.0, 2.0));
        QVERIFY(!state.metricsText().contains("ravelo_reading{"));
        state.addReading(reading(1, 0, QStringLiteral("0.L"), QStringLiteral("V")));
        const QByteArray text = state.metricsText();
        QVERIFY2(text.contains("ravelo_reading{meter=\"bench \\\"3\\\" \\\\ left\",function=\"DC\",unit=\"V\"} NaN\n"), text);
        QVERIFY2(text.contains("ravelo_readings_total{meter=\"bench \\\"3\\\" \\\\ left\"} 1\n"), text);
        QVERIFY2(text.contains("state=\"high\"} 1\n"), text);
        QVERIFY2(text.contains("ravelo_link_up{meter=\"bench \\\"3\\\" \\\\ left\"} 0\n"), text);
        // Every sample line: a name, labels, a number.
        for (const QByteArray &line : text.split('\n')) {
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            QVERIFY2(QRegularExpression(QStringLiteral("^[a-z_]+(\\{.*\\})? (NaN|[-+0-9.e]+)$"))
                         .match(QString::fromUtf8(line)).hasMatch(), line);
        }
    }

    void listenAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("url"); // empty: refused
        QTest::addColumn<QString>("words");
        QTest::newRow("a port: loopback") << "8080" << "http://127.0.0.1:8080/" << "";
        QTest::newRow("any free port") << "0" << "http://127.0.0.1:0/" << "";
        QTest::newRow("every interface") << "0.0.0.0:8080" << "http://0.0.0.0:8080/" << "";
        QTest::newRow("localhost") << "localhost:81" << "http://127.0.0.1:81/" << "";
        QTest::newRow("IPv6 in brackets") << "[::1]:8080" << "http://[::1]:8080/" << "";
        QTest::newRow("IPv6 without brackets") << "::1:8080" << "" << "in brackets";
        QTest::newRow("a port too high") << "65536" << "" << "from 0 to 65535";
        QTest::newRow("no port") << "127.0.0.1:" << "" << "from 0 to 65535";
        QTest::newRow("a word") << "eight" << "" << "from 0 to 65535";
        QTest::newRow("a host name") << "bench3:8080" << "" << "not an IP address";
        QTest::newRow("an empty address") << ":8080" << "" << "not an IP address";
    }

    void listenAddress()
    {
        QFETCH(QString, text);
        QFETCH(QString, url);
        QFETCH(QString, words);
        QString error;
        const std::optional<ListenAddress> address = ListenAddress::parse(text, &error);
        QCOMPARE(bool(address), !url.isEmpty());
        if (address)
            QCOMPARE(address->url(address->port), url);
        else
            QVERIFY2(error.contains(words), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(tst_LiveState)
#include "tst_livestate.moc"
