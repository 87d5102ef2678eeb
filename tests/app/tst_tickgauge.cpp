#include "tickgauge.h"

#include <QImage>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <climits>

namespace {

const QColor panelBlue(0, 170, 255);

// Pixels of img inside r that are (nearly) the colour c.
int countNear(const QImage& img, const QRect& r, const QColor& c)
{
    int n = 0;
    const QRect area = r.intersected(img.rect());
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor p = img.pixelColor(x, y);
            if (qAbs(p.red() - c.red()) <= 24 && qAbs(p.green() - c.green()) <= 24
                && qAbs(p.blue() - c.blue()) <= 24)
                ++n;
        }
    }
    return n;
}

} // namespace

class TestTickGauge : public QObject
{
    Q_OBJECT

private slots:
    void keepsValue_data();
    void keepsValue();
    void repeatedOverRangeNeverOverflows();
    void valueChangedSignal_data();
    void valueChangedSignal();
    void propertyRoundTrip();
    void colourByName_data();
    void colourByName();
    void rendering_data();
    void rendering();
};

void TestTickGauge::keepsValue_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("kept");

    QTest::newRow("zero: dark bar") << 0 << 0;
    QTest::newRow("one step: 0..99 counts") << 1 << 1;
    QTest::newRow("full scale: 6000 counts") << 61 << 61;
    QTest::newRow("over range once") << 62 << 62;
    QTest::newRow("over range twice (61 + 61)") << 122 << 122;
    QTest::newRow("negative becomes zero") << -5 << 0;
    QTest::newRow("INT_MIN becomes zero") << INT_MIN << 0;
    QTest::newRow("ceiling itself is kept") << TickGauge::MaxValue << TickGauge::MaxValue;
    QTest::newRow("just above ceiling is clamped") << TickGauge::MaxValue + 1 << TickGauge::MaxValue;
    QTest::newRow("INT_MAX is clamped") << INT_MAX << TickGauge::MaxValue;
}

void TestTickGauge::keepsValue()
{
    QFETCH(int, value);
    QFETCH(int, kept);

    TickGauge gauge;
    gauge.setCurrentProgressBarValue(value);
    QCOMPARE(gauge.getCurrentProgressBarValue(), kept);
    QCOMPARE(gauge.isOverRange(), kept > TickGauge::FullScale);
}

// The window adds 61 to the current value for every over-range reading in a
// row; however long that goes on, neither the gauge nor the caller may
// overflow.
void TestTickGauge::repeatedOverRangeNeverOverflows()
{
    QVERIFY(qint64(TickGauge::MaxValue) + TickGauge::FullScale <= INT_MAX);

    TickGauge gauge;
    gauge.setCurrentProgressBarValue(TickGauge::MaxValue - 200);
    int previous = gauge.getCurrentProgressBarValue();
    for (int i = 0; i < 10; ++i) {
        const qint64 next = qint64(gauge.getCurrentProgressBarValue()) + TickGauge::FullScale;
        QVERIFY(next <= INT_MAX);
        gauge.setCurrentProgressBarValue(int(next));
        QVERIFY(gauge.getCurrentProgressBarValue() >= previous);
        QVERIFY(gauge.getCurrentProgressBarValue() <= TickGauge::MaxValue);
        QVERIFY(gauge.isOverRange());
        previous = gauge.getCurrentProgressBarValue();
    }
    QCOMPARE(gauge.getCurrentProgressBarValue(), TickGauge::MaxValue);
}

void TestTickGauge::valueChangedSignal_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("emits");
    QTest::addColumn<int>("argument");

    QTest::newRow("change emits the new value") << 0 << 10 << 1 << 10;
    QTest::newRow("same value is silent") << 10 << 10 << 0 << 0;
    QTest::newRow("change inside over range emits") << 62 << 123 << 1 << 123;
    QTest::newRow("negative at zero is silent") << 0 << -3 << 0 << 0;
    QTest::newRow("negative from a value emits zero") << 20 << -3 << 1 << 0;
    QTest::newRow("huge emits the clamped value") << 0 << INT_MAX << 1 << TickGauge::MaxValue;
    QTest::newRow("huge at the ceiling is silent") << TickGauge::MaxValue << INT_MAX << 0 << 0;
}

void TestTickGauge::valueChangedSignal()
{
    QFETCH(int, start);
    QFETCH(int, value);
    QFETCH(int, emits);
    QFETCH(int, argument);

    TickGauge gauge;
    gauge.setCurrentProgressBarValue(start);
    QSignalSpy spy(&gauge, &TickGauge::valueChanged);
    QVERIFY(spy.isValid());

    gauge.setCurrentProgressBarValue(value);
    QCOMPARE(spy.count(), emits);
    if (emits > 0)
        QCOMPARE(spy.first().at(0).toInt(), argument);
}

void TestTickGauge::propertyRoundTrip()
{
    TickGauge gauge;
    const QMetaObject* mo = gauge.metaObject();
    const QMetaProperty prop = mo->property(mo->indexOfProperty("pbValue"));
    QVERIFY(prop.isValid());
    QVERIFY(prop.isWritable());
    QVERIFY(prop.hasNotifySignal());
    QCOMPARE(prop.notifySignal().name(), QByteArray("valueChanged"));

    QSignalSpy spy(&gauge, &TickGauge::valueChanged);
    QVERIFY(spy.isValid());

    QVERIFY(gauge.setProperty("pbValue", 42));
    QCOMPARE(gauge.getCurrentProgressBarValue(), 42);
    QCOMPARE(gauge.property("pbValue").toInt(), 42);
    QCOMPARE(spy.count(), 1);

    QVERIFY(gauge.setProperty("pbValue", -7));
    QCOMPARE(gauge.property("pbValue").toInt(), 0);
    QCOMPARE(spy.count(), 2);
}

void TestTickGauge::colourByName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("expected");

    QTest::newRow("plain name") << "white" << QColor(Qt::white);
    QTest::newRow("hex") << "#ffcc00" << QColor(255, 204, 0);
    QTest::newRow("short hex") << "#0f0" << QColor(0, 255, 0);
    QTest::newRow("unknown name keeps the colour") << "no-such-colour" << QColor(Qt::red);
    QTest::newRow("empty name keeps the colour") << "" << QColor(Qt::red);
    QTest::newRow("broken hex keeps the colour") << "#12345" << QColor(Qt::red);
}

void TestTickGauge::colourByName()
{
    QFETCH(QString, name);
    QFETCH(QColor, expected);

    TickGauge gauge;
    gauge.setQtColor("red");
    QCOMPARE(gauge.qtColor(), QColor(Qt::red));
    gauge.setQtColor(name);
    QCOMPARE(gauge.qtColor(), expected);
}

void TestTickGauge::rendering_data()
{
    QTest::addColumn<QString>("colour");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("firstLit");
    QTest::addColumn<bool>("rightHalfLit");
    QTest::addColumn<bool>("lastLit");
    QTest::addColumn<bool>("markLit");

    QTest::newRow("zero: nothing lit") << "white" << 0 << false << false << false << false;
    QTest::newRow("one step lights the first segment") << "white" << 1 << true << false << false << false;
    QTest::newRow("half scale stays in the left half") << "white" << 30 << true << false << false << false;
    QTest::newRow("60: one short of full") << "white" << 60 << true << true << false << false;
    QTest::newRow("61: full bar, no arrow") << "white" << 61 << true << true << true << false;
    QTest::newRow("62: full bar and arrow") << "white" << 62 << true << true << true << true;
    QTest::newRow("122: over range twice") << "white" << 122 << true << true << true << true;
    QTest::newRow("ceiling: still drawn as over range") << "white" << TickGauge::MaxValue << true << true << true << true;
    QTest::newRow("yellow: full bar") << "#ffdd00" << 61 << true << true << true << false;
    QTest::newRow("yellow: over range") << "#ffdd00" << 200 << true << true << true << true;
}

// Draws the gauge where the window puts it, on the blue panel, and looks at
// the pixels that came out.
void TestTickGauge::rendering()
{
    QFETCH(QString, colour);
    QFETCH(int, value);
    QFETCH(bool, firstLit);
    QFETCH(bool, rightHalfLit);
    QFETCH(bool, lastLit);
    QFETCH(bool, markLit);

    QWidget panel;
    panel.resize(560, 320);
    QPalette pal = panel.palette();
    pal.setColor(QPalette::Window, panelBlue);
    panel.setPalette(pal);
    panel.setAutoFillBackground(true);

    auto* gauge = new TickGauge(&panel);
    gauge->setGeometry(90, 250, 380, 40);
    gauge->setFixedSize(380, 40);
    gauge->setQtColor(colour);
    gauge->setCurrentProgressBarValue(value);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));

    const QImage img = panel.grab(gauge->geometry()).toImage();
    QCOMPARE(img.size(), QSize(380, 40));
    const QColor c(colour);

    const QRect bar = gauge->barRect();
    QVERIFY(bar.width() > 300);
    QVERIFY(img.rect().contains(bar));
    const double unit = bar.width() / double(TickGauge::FullScale);
    const auto segment = [&](int n) { // n = 1..61
        const int l = bar.left() + int(unit * (n - 1));
        return QRect(l, bar.top(), int(unit), bar.height());
    };
    const QRect rightHalf(bar.center().x() + int(unit), bar.top(),
                          int(unit * (TickGauge::FullScale / 2 - 2)), bar.height());

    const auto lit = [&](const QRect& r) { return countNear(img, r, c) > r.width() * r.height() / 4; };
    QCOMPARE(lit(segment(1)), firstLit);
    QCOMPARE(lit(rightHalf), rightHalfLit);
    if (!rightHalfLit)
        QCOMPARE(countNear(img, rightHalf, c), 0);
    QCOMPARE(lit(segment(TickGauge::FullScale)), lastLit);

    const QRect mark = gauge->overRangeMarkRect();
    QVERIFY(img.rect().contains(mark));
    QVERIFY(!mark.intersects(bar));
    QCOMPARE(countNear(img, mark, c) > 6, markLit);
    if (!markLit)
        QCOMPARE(countNear(img, mark, c), 0);

    // The panel shows through where nothing is drawn.
    QCOMPARE(img.pixelColor(0, 0), panelBlue);
    QCOMPARE(img.pixelColor(img.width() - 1, img.height() - 1), panelBlue);

    // The scale is there whatever the value: some of the colour below the bar.
    QVERIFY(countNear(img, QRect(0, bar.bottom() + 2, img.width(), img.height()), c) > 100);
}

QTEST_MAIN(TestTickGauge)
#include "tst_tickgauge.moc"
