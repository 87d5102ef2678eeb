#ifndef HISTORYVIEW_H
#define HISTORYVIEW_H

#include "meter/recordedreading.h"
#include "history/historydecimation.h"
#include "history/readinghistory.h"
#include "history/readingstatistics.h"

#include <QHash>
#include <QPoint>
#include <QWidget>

#include <optional>
#include <vector>

QT_BEGIN_NAMESPACE
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QRubberBand;
class QToolButton;
QT_END_NAMESPACE

// The whole recording since the port was opened (or a recording read from a
// journal file, read-only), drawn in the chart's place: one line per
// function segment in that segment's unit, broken where the link was lost,
// and reduced to the first, lowest, highest and last reading of every pixel
// column, so no peak is lost however many readings there are.
//
// Each function (and unit) in view has a lane of its own, stacked over the
// shared time axis, with its own labelled value axis; one function fills the
// plot. The colours follow the palette, light or dark. Under the pointer, a
// readout gives the time and value of the nearest reading of that lane.
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

    // One lane per function and unit in view, top to bottom in the order
    // they first appear; a single lane is the whole plot.
    struct Lane {
        QString function;
        QString unit;
        QRect rect;
        double low = 0, high = 1; // the values at its bottom and top
        bool nameInside = false;  // too many lanes for a line above each
    };
    std::vector<Lane> lanes() const;

    // The readout under the pointer ("2026-12-07 09:47:28\n3.446 V  DC"),
    // empty when the pointer is not over a lane with readings.
    QString pointerReadout() const;

    // A file being read: the text and percent in a panel over the plot with
    // a Cancel button (Escape too), until hideProgress().
    void showProgress(const QString &text, int percent);
    void hideProgress();
    bool isShowingProgress() const;

signals:
    // The range in view changed (zoom, pan, back to all).
    void rangeChanged();
    // Cancel was pressed on the progress panel.
    void cancelRequested();
    // Back to the live recording: the file's readings were let go.
    void liveShown();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void leaveEvent(QEvent *event) override;
    bool event(QEvent *event) override;

private:
    struct ValueRange {
        double low = -1, high = 1;
    };
    void historyChanged();
    void zoomAround(qint64 centre, double factor);
    void panBy(double fraction);
    qint64 timeAt(double x) const;
    // The values in view of each function and unit ("DC\nV"), padded; the
    // limits widen the ranges of the units they apply to.
    QHash<QString, ValueRange> valueRanges() const;
    // The reading of `key` in view nearest to time t; -1 for none.
    qsizetype readingNear(const QString &key, qint64 t) const;
    struct Pointed {
        int lane = -1;
        qsizetype reading = -1;
    };
    Pointed pointed(const std::vector<Lane> &laneList) const;
    struct Colours {
        QColor text, background, grid, frame;
        bool dark = false;
        QColor line(int index) const;
    };
    Colours colours() const;
    static QString keyOf(const ReadingHistory::Segment &segment);
    int referenceSegment() const; // the last segment in view, -1 for none
    std::vector<double> limitsIn(const QString &unit) const;
    void layoutButton();
    void layoutProgress();

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
    QFrame *m_progress = nullptr;
    QLabel *m_progressText = nullptr;
    QProgressBar *m_progressBar = nullptr;
    // The pointer over the widget, for the readout; none while dragging.
    std::optional<QPoint> m_pointer;

    // The figures of the range in view, kept until it or the readings change.
    mutable ReadingStatistics m_figures;
    mutable QString m_figuresFunction, m_figuresUnit;
    mutable bool m_figuresValid = false;
    mutable qint64 m_figuresT0 = 0, m_figuresT1 = 0;
};

#endif // HISTORYVIEW_H
