#include "tickgauge.h"

#include <QImage>
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
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor p = img.pixelColor(x, y);
            n += qAbs(p.red() - c.red()) <= 24 && qAbs(p.green() - c.green()) <= 24
                 && qAbs(p.blue() - c.blue()) <= 24;
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
    void colourByName();
    void rendering_data();
    void rendering();
};

void TestTickGauge::keepsValue_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("kept");
    QTest::addColumn<bool>("emits");

    QTest::newRow("one step: 0..99 counts") << 0 << 1 << 1 << true;
    QTest::newRow("full scale: 6000 counts") << 0 << 61 << 61 << true;
    QTest::newRow("over range twice (61 + 61)") << 62 << 122 << 122 << true;
    QTest::newRow("same value is silent") << 10 << 10 << 10 << false;
    QTest::newRow("negative from a value becomes zero") << 20 << -3 << 0 << true;
    QTest::newRow("INT_MIN at zero stays zero, silent") << 0 << INT_MIN << 0 << false;
    QTest::newRow("ceiling itself is kept") << 0 << TickGauge::MaxValue << TickGauge::MaxValue << true;
    QTest::newRow("INT_MAX is clamped") << 0 << INT_MAX << TickGauge::MaxValue << true;
    QTest::newRow("INT_MAX at the ceiling is silent") << TickGauge::MaxValue << INT_MAX << TickGauge::MaxValue << false;
    // The window adds a full bar for every over-range reading in a row: the
    // value saturates, and the caller's addition itself cannot overflow.
    QTest::newRow("ceiling plus a full bar saturates") << TickGauge::MaxValue << TickGauge::MaxValue + TickGauge::FullScale
                                                       << TickGauge::MaxValue << false;
}

// Written through the pbValue property, as a designer form or binding would.
void TestTickGauge::keepsValue()
{
    QFETCH(int, start);
    QFETCH(int, value);
    QFETCH(int, kept);
    QFETCH(bool, emits);

    TickGauge gauge;
    gauge.setCurrentProgressBarValue(start);
    QSignalSpy spy(&gauge, &TickGauge::valueChanged);
    QVERIFY(spy.isValid());
    QVERIFY(gauge.setProperty("pbValue", value));
    QCOMPARE(gauge.property("pbValue").toInt(), kept);
    QCOMPARE(gauge.isOverRange(), kept > TickGauge::FullScale);
    QCOMPARE(spy.count(), emits ? 1 : 0);
    if (emits)
        QCOMPARE(spy.first().at(0).toInt(), kept);
}

// Any name QColor understands; a name it rejects leaves the colour as it was.
void TestTickGauge::colourByName()
{
    TickGauge gauge;
    gauge.setQtColor("#ffcc00");
    QCOMPARE(gauge.qtColor(), QColor(255, 204, 0));
    for (const char* bad : {"no-such-colour", "#12345", ""}) {
        gauge.setQtColor(bad);
        QCOMPARE(gauge.qtColor(), QColor(255, 204, 0));
    }
}

void TestTickGauge::rendering_data()
{
    QTest::addColumn<QString>("colour");
    QTest::addColumn<int>("value");
    QTest::addColumn<QVector<bool>>("lit"); // first segment, right half, last segment, arrow

    QTest::newRow("zero: nothing lit") << "white" << 0 << QVector<bool>{false, false, false, false};
    QTest::newRow("one step lights the first segment") << "white" << 1 << QVector<bool>{true, false, false, false};
    QTest::newRow("60: one short of full") << "white" << 60 << QVector<bool>{true, true, false, false};
    QTest::newRow("61: full bar, no arrow") << "white" << 61 << QVector<bool>{true, true, true, false};
    QTest::newRow("62: full bar and arrow") << "white" << 62 << QVector<bool>{true, true, true, true};
    QTest::newRow("ceiling: still over range") << "white" << TickGauge::MaxValue << QVector<bool>{true, true, true, true};
    QTest::newRow("yellow: over range") << "#ffdd00" << 200 << QVector<bool>{true, true, true, true};
}

// Draws the gauge where the window puts it, on the blue panel, and looks at
// the pixels that came out.
void TestTickGauge::rendering()
{
    QFETCH(QString, colour);
    QFETCH(int, value);
    QFETCH(QVector<bool>, lit);

    QWidget panel;
    panel.resize(560, 320);
    QPalette pal = panel.palette();
    pal.setColor(QPalette::Window, panelBlue);
    panel.setPalette(pal);
    panel.setAutoFillBackground(true);
    auto* gauge = new TickGauge(&panel);
    gauge->setGeometry(90, 250, 380, 40);
    gauge->setQtColor(colour);
    gauge->setCurrentProgressBarValue(value);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));

    const QImage img = panel.grab(gauge->geometry()).toImage();
    const QColor c(colour);
    const QRect bar = gauge->barRect();
    const QRect mark = gauge->overRangeMarkRect();
    QVERIFY(bar.width() > 300 && img.rect().contains(bar) && img.rect().contains(mark));
    QVERIFY(!mark.intersects(bar));
    const double unit = bar.width() / double(TickGauge::FullScale);
    const QRect areas[] = {
        QRect(bar.left(), bar.top(), int(unit), bar.height()),
        QRect(bar.center().x() + int(unit), bar.top(), int(unit * (TickGauge::FullScale / 2 - 2)), bar.height()),
        QRect(bar.left() + int(unit * (TickGauge::FullScale - 1)), bar.top(), int(unit), bar.height()),
        mark,
    };
    for (int i = 0; i < 4; ++i) {
        const int n = countNear(img, areas[i], c);
        const bool isLit = i == 3 ? n > 6 : n > areas[i].width() * areas[i].height() / 4;
        QCOMPARE(isLit, lit.at(i));
        if (!lit.at(i) && i != 0 && i != 2)
            QCOMPARE(n, 0); // unlit means dark, not dim
    }

    // The panel shows through where nothing is drawn; the scale is always there.
    QCOMPARE(img.pixelColor(0, 0), panelBlue);
    QCOMPARE(img.pixelColor(img.width() - 1, img.height() - 1), panelBlue);
    QVERIFY(countNear(img, QRect(0, bar.bottom() + 2, img.width(), img.height()), c) > 100);
}

QTEST_MAIN(TestTickGauge)
#include "tst_tickgauge.moc"
