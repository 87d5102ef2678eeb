#ifndef HISTORYVIEW_H
#define HISTORYVIEW_H

#include "decoder/recordedreading.h"
#include "history/historydecimation.h"
#include "history/readinghistory.h"
#include "history/readingstatistics.h"

#include <QHash>
#include <QPoint>
#include <QWidget>

#include <optional>
#include <vector>

QT_BEGIN_NAMESPACE
class QRubberBand;
class QToolButton;
QT_END_NAMESPACE

// The whole recording since the port was opened (or a recording read from a
// journal file, read-only), drawn in the chart's place: one line per
// function segment in that segment's unit, broken where the link was lost,
// and reduced to the first, lowest, highest and last reading of every pixel
// column, so no peak is lost however many readings there are.
//
// Each function is drawn to a scale of its own; the value axis is that of
// the function of the last reading in view, drawn in full colour, the others
// lighter, each named in the legend above the plot.
//
// Wheel: zoom around the pointer. Left drag: zoom into the band. Right or
// middle drag (or Ctrl with the left button), arrow keys: pan. Double-click,
// Home or Escape: the whole recording again. Above the plot, the count,
// minimum, maximum, mean and standard deviation of the readings in view.
class HistoryView : public QWidget
{
    Q_OBJECT
public:
    explicit HistoryView(QWidget *parent = nullptr);
    ~HistoryView() override;

    // The live recording.
    void addReading(const RecordedReading &recorded);
    void addGap();
    const ReadingHistory &liveHistory() const { return m_live; }

    // Shows a recording read from a file in place of the live one, until
    // showLive(); `name` titles the view.
    void showRecording(ReadingHistory history, const QString &name);
    void showLive();
    bool isShowingRecording() const { return m_showingFile; }
    const ReadingHistory &shownHistory() const { return m_showingFile ? m_file : m_live; }
    QString title() const;

    // The limits in the unit without prefix ("V"); a line is drawn at each
    // for the segments that measure in that unit.
    void setLimits(std::optional<double> low, std::optional<double> high, const QString &baseUnit);

    // The time range in view, milliseconds since the epoch, both included.
    qint64 rangeStart() const;
    qint64 rangeEnd() const;
    bool showsAll() const { return m_all; }
    void setRange(qint64 t0, qint64 t1);
    void showAll();

    // What the view draws of the range in view.
    const std::vector<DecimatedSegment> &drawnSegments() const;
    // The figures of the readings in view of the last function in view.
    ReadingStatistics visibleStatistics(QString *function = nullptr, QString *unit = nullptr) const;
    QRect plotRect() const;

signals:
    // The range in view changed (zoom, pan, back to all).
    void rangeChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct ValueRange {
        double low = -1, high = 1;
    };
    void historyChanged();
    void zoomAround(qint64 centre, double factor);
    void panBy(double fraction);
    qint64 timeAt(double x) const;
    // The values in view of each function and unit ("DC\nV"), padded; the
    // limits widen the range of the one they apply to.
    QHash<QString, ValueRange> valueRanges(const QString &reference) const;
    static QString keyOf(const ReadingHistory::Segment &segment);
    int referenceSegment() const; // the last segment in view, -1 for none
    std::vector<double> limitsIn(const QString &unit) const;
    void layoutButton();

    ReadingHistory m_live;
    ReadingHistory m_file;
    QString m_fileName;
    bool m_showingFile = false;

    bool m_all = true;
    qint64 m_t0 = 0, m_t1 = 0;

    std::optional<double> m_lowLimit, m_highLimit;
    QString m_limitUnit;

    // The decimation of the range in view, kept until the range, the width
    // or the readings change.
    mutable std::vector<DecimatedSegment> m_drawn;
    mutable bool m_drawnValid = false;
    mutable qint64 m_drawnT0 = 0, m_drawnT1 = 0;
    mutable int m_drawnColumns = 0;

    enum class Drag { None, Band, Pan };
    Drag m_drag = Drag::None;
    QPoint m_dragStart;
    qint64 m_panT0 = 0, m_panT1 = 0;
    QRubberBand *m_band = nullptr;
    QToolButton *m_liveButton = nullptr;
};

#endif // HISTORYVIEW_H
