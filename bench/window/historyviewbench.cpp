// The history chart over a month of readings, one a second (2,678,400):
// the time to draw the whole month and a zoomed day and hour into the view,
// and the bytes held per reading. Run by hand:
//   QT_QPA_PLATFORM=offscreen build/bench/window/historyviewbench
#include "widgets/historyview.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

const qint64 Readings = 31LL * 24 * 3600;

double medianMs(HistoryView *view, QImage *image, int repeats, bool decimate)
{
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        // A new range (or new readings) decimates again; the same range
        // only repaints.
        if (decimate)
            view->setRange(view->rangeStart() + (i % 2 ? 1 : -1), view->rangeEnd());
        QElapsedTimer timer;
        timer.start();
        view->drawnSegments();
        QPainter painter(image);
        view->render(&painter);
        painter.end();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const qint64 start = QDateTime(QDate(2026, 12, 1), QTime(0, 0)).toMSecsSinceEpoch();

    ReadingHistory history;
    QElapsedTimer fill;
    fill.start();
    for (qint64 i = 0; i < Readings; ++i) {
        const double value = 5.0 + 0.5 * std::sin(double(i) / 3600.0) + 0.01 * double(i % 7)
            + (i % 100000 == 0 ? 2.0 : 0.0); // a lone peak now and then
        if (i % 500000 == 250000)
            history.addGap();
        history.append(start + i * 1000, QStringLiteral("DC"), QStringLiteral("V"), value);
    }
    const double fillMs = double(fill.nsecsElapsed()) / 1e6;
    std::printf("readings: %lld, appended in %.0f ms\n", Readings, fillMs);
    std::printf("bytes held: %lld (%.1f per reading)\n", qint64(history.bytesHeld()),
                double(history.bytesHeld()) / double(Readings));

    HistoryView view;
    view.resize(860, 600);
    view.showRecording(std::move(history), QStringLiteral("month.csv"));
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);

    std::printf("whole month, decimated and drawn: %.1f ms (median of 9)\n",
                medianMs(&view, &image, 9, false) + 0.0);
    view.showAll();
    view.setRange(start + 10LL * 86400000, start + 11LL * 86400000);
    std::printf("one day, decimated and drawn:     %.1f ms\n", medianMs(&view, &image, 9, true));
    view.setRange(start + 10LL * 86400000, start + 10LL * 86400000 + 3600000);
    std::printf("one hour, decimated and drawn:    %.1f ms\n", medianMs(&view, &image, 9, true));
    view.showAll();
    // Each time the whole range changes (a reading more at the live end).
    std::vector<double> times;
    for (int i = 0; i < 9; ++i) {
        view.setRange(start - i - 1, start + Readings * 1000);
        QElapsedTimer timer;
        timer.start();
        QPainter painter(&image);
        view.render(&painter);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    std::printf("whole month, decimated afresh:    %.1f ms\n", times[times.size() / 2]);
    return 0;
}
