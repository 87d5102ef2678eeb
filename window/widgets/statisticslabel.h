#ifndef STATISTICSLABEL_H
#define STATISTICSLABEL_H

#include "meter/recordedreading.h"
#include "history/readingstatistics.h"

#include <QLabel>

// Count, minimum, maximum, mean and standard deviation of the function being
// measured since the port was opened (or since they were reset), always in
// the status bar: "DC  n 120  min 1.234  max 5.678  mean 3.456  sd 0.1234 V".
// It takes the room the status bar's other widgets leave (added with a
// stretch); a text wider than that is cut at its end, the tool tip keeps the
// figures whole.
class StatisticsLabel : public QLabel
{
    Q_OBJECT
public:
    explicit StatisticsLabel(QWidget *parent = nullptr);

    void addReading(const RecordedReading &recorded);
    void reset();

    const LiveStatistics &statistics() const { return m_statistics; }

    // The one-line text and the tool tip of a set of figures, shared with
    // the history chart. `over` says what they are of ("since the port was opened").
    static QString shortText(const QString &function, const QString &unit,
                             const ReadingStatistics &figures);
    static QString fullText(const QString &function, const QString &unit,
                            const ReadingStatistics &figures, const QString &over);

    // Five significant digits, without an exponent for the meter's numbers.
    static QString numberText(double value);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void refresh();
    void fitText();

    LiveStatistics m_statistics;
    QString m_fullText;
};

#endif // STATISTICSLABEL_H
