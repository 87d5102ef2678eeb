#ifndef TICKGAUGE_H
#define TICKGAUGE_H

#include "tickgauge_global.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <climits>

// The analogue bar under the digits, drawn the way the meter's own LCD draws
// it: a row of 61 segments over a tick scale numbered 0 10 20 ... 60, and an
// arrow at the right end that lights up when the reading is over range.
//
// The value is a step count. Step n lights segments 1..n, one segment per 100
// display counts (1 = 0..99 counts, 61 = 6000 counts = full bar); 0 leaves
// the bar dark. Anything above 61 means "over range": the bar is drawn full
// and the arrow is lit. The window adds 61 to the current value for every
// over-range reading in a row, so the value can keep growing; it is stored
// clamped to [0, MaxValue], and MaxValue is low enough that the caller's
// "current + 61" can never overflow an int.
//
// The background is left alone so the panel behind shows through; the
// segments, ticks, numbers and arrow all use one colour (setQtColor).
class TICKGAUGE_EXPORT TickGauge : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int pbValue READ getCurrentProgressBarValue WRITE setCurrentProgressBarValue NOTIFY valueChanged)

public:
    // Number of segments; a value of FullScale lights all of them.
    static constexpr int FullScale = 61;
    // Ceiling of the stored value. Half of INT_MAX leaves room for any
    // sensible increment (the window adds FullScale) on top of it.
    static constexpr int MaxValue = INT_MAX / 2;

    explicit TickGauge(QWidget* parent = nullptr);

    // Colour of everything drawn, by any name QColor understands ("white",
    // "#ffcc00", ...). Names QColor rejects are ignored. Default: white.
    void setQtColor(QString colorName);
    QColor qtColor() const { return m_color; }

    int getCurrentProgressBarValue() const { return m_value; }
    bool isOverRange() const { return m_value > FullScale; }

    // Where the segments and the over-range arrow are drawn, in widget
    // coordinates, for the current size.
    QRect barRect() const;
    QRect overRangeMarkRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    // Stores pbValue clamped to [0, MaxValue]; emits valueChanged when the
    // stored value changes.
    void setCurrentProgressBarValue(int pbValue);

signals:
    void valueChanged(int pbValue);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
    int m_value = 0;
};

#endif // TICKGAUGE_H
