// Draws Ravelo's thirteen 48x48 icons with QPainter and writes them as PNGs.
//
//   QT_QPA_PLATFORM=offscreen ravelo-makeicons <output folder> [--sheet <file.png>]
//                                              [--app-icon <theme folder>]
//
// --sheet also writes all icons side by side at 4x zoom, on light, dark and
// blue backgrounds, to look them over. --app-icon also writes the program's
// icon (the meter) at 48x48 and 256x256 into <theme folder>/NxN/apps/ravelo.png.

#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QStringList>
#include <QTextStream>
#include <QtMath>

#include <functional>
#include <vector>

namespace {

constexpr int Size = 48;
const QPointF Centre(24, 24);

QPainterPath roundedRect(const QRectF& r, qreal radius)
{
    QPainterPath p;
    p.addRoundedRect(r, radius, radius);
    return p;
}

QPainterPath circle(const QPointF& c, qreal r)
{
    QPainterPath p;
    p.addEllipse(c, r, r);
    return p;
}

QPen pen(const QColor& c, qreal width)
{
    return QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QFont boldFont(int pixels)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixels);
    f.setBold(true);
    return f;
}

// Text as a filled path, centred on c; crisper than drawText at these sizes.
void drawCentredText(QPainter& p, const QString& text, const QFont& font, const QPointF& c, const QColor& colour)
{
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF b = path.boundingRect();
    path.translate(c - b.center());
    p.fillPath(path, colour);
}

// ---------------------------------------------------------------------------

// A little handheld multimeter: holster, display, rotary switch, jacks.
void drawMeter(QPainter& p)
{
    p.fillPath(roundedRect(QRectF(8.5, 1.5, 31, 45), 6), QColor("#f5a800"));
    p.setPen(pen(QColor("#b77b00"), 1));
    p.drawPath(roundedRect(QRectF(8.5, 1.5, 31, 45), 6));

    p.fillPath(roundedRect(QRectF(12, 5, 24, 38), 3.5), QColor("#37414b"));

    // Display with three seven-segment "8"s.
    p.fillPath(roundedRect(QRectF(14, 7.5, 20, 12), 1.5), QColor("#cfe6c4"));
    p.setPen(pen(QColor("#25352a"), 1.3));
    for (int i = 0; i < 3; ++i) {
        const qreal x = 16.2 + i * 5.6;
        p.drawLine(QPointF(x, 9.8), QPointF(x + 3, 9.8));
        p.drawLine(QPointF(x, 13.5), QPointF(x + 3, 13.5));
        p.drawLine(QPointF(x, 17.2), QPointF(x + 3, 17.2));
        p.drawLine(QPointF(x, 9.8), QPointF(x, 17.2));
        p.drawLine(QPointF(x + 3, 9.8), QPointF(x + 3, 17.2));
    }

    // Rotary switch.
    const QPointF dial(24, 29);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#e8ecef"));
    for (int a : { 150, 110, 70, 30 })
        p.drawEllipse(dial + QPointF(8.3 * qCos(qDegreesToRadians(qreal(a))), -8.3 * qSin(qDegreesToRadians(qreal(a)))), 0.9, 0.9);
    p.fillPath(circle(dial, 6), QColor("#d5dbe0"));
    p.setPen(pen(QColor("#1c2228"), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(dial, 6, 6);
    p.setPen(pen(QColor("#1c2228"), 2.2));
    p.drawLine(dial, dial + QPointF(-3.6, -3.6));

    // Jacks: COM (black) and V (red).
    p.setPen(pen(QColor("#9aa5ae"), 1));
    p.setBrush(QColor("#111417"));
    p.drawEllipse(QPointF(18.5, 39.2), 2.3, 2.3);
    p.setBrush(QColor("#e53935"));
    p.drawEllipse(QPointF(29.5, 39.2), 2.3, 2.3);
}

// An open door with an arrow leaving through it.
void drawExit(QPainter& p)
{
    p.setPen(pen(QColor("#4a5563"), 2.5));
    p.setBrush(QColor("#2b323c"));
    p.drawRect(QRectF(6.5, 4.5, 22, 39));

    QPolygonF leaf({ QPointF(7.8, 5.8), QPointF(19, 9.5), QPointF(19, 46), QPointF(7.8, 42.2) });
    p.setPen(pen(QColor("#8a5526"), 1));
    p.setBrush(QColor("#c98a46"));
    p.drawPolygon(leaf);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#ffd54f"));
    p.drawEllipse(QPointF(16.5, 27), 1.4, 1.4);

    QPolygonF arrow({ QPointF(21, 20), QPointF(32, 20), QPointF(32, 12.5), QPointF(45, 24),
                      QPointF(32, 35.5), QPointF(32, 28), QPointF(21, 28) });
    p.setPen(pen(Qt::white, 3));
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(arrow);
    p.setPen(pen(QColor("#d32f2f"), 1));
    p.setBrush(QColor("#e53935"));
    p.drawPolygon(arrow);
}

// A gear wheel with eight teeth.
void drawGear(QPainter& p)
{
    const int teeth = 8;
    const qreal outer = 22, root = 16.5, hole = 6.5;
    QPainterPath gear = circle(Centre, root + 0.5);
    for (int i = 0; i < teeth; ++i) {
        const qreal a = 2 * M_PI * i / teeth;
        const qreal baseHalf = 0.23, tipHalf = 0.15; // half widths in radians
        QPolygonF tooth;
        tooth << Centre + QPointF(root * qCos(a - baseHalf), root * qSin(a - baseHalf))
              << Centre + QPointF(outer * qCos(a - tipHalf), outer * qSin(a - tipHalf))
              << Centre + QPointF(outer * qCos(a + tipHalf), outer * qSin(a + tipHalf))
              << Centre + QPointF(root * qCos(a + baseHalf), root * qSin(a + baseHalf));
        QPainterPath t;
        t.addPolygon(tooth);
        t.closeSubpath();
        gear = gear.united(t);
    }
    gear = gear.subtracted(circle(Centre, hole));

    p.fillPath(gear, QColor("#607d8b"));
    p.setPen(pen(QColor("#455a64"), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(gear);
    p.setPen(pen(QColor("#90a4ae"), 2));
    p.drawEllipse(Centre, 10.5, 10.5);
}

// A blue book with a question mark.
void drawHelp(QPainter& p)
{
    p.fillPath(roundedRect(QRectF(9, 5, 31, 41), 3), QColor("#0d47a1"));
    p.setPen(pen(QColor("#90a4ae"), 1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(12, 35, 26.5, 8), 1.5, 1.5);
    p.setPen(pen(QColor("#cfd8dc"), 0.8));
    p.drawLine(QPointF(14, 38.5), QPointF(37, 38.5));
    p.drawLine(QPointF(14, 41), QPointF(37, 41));

    p.fillPath(roundedRect(QRectF(8, 2, 30, 36), 3), QColor("#1e88e5"));
    p.fillRect(QRectF(11, 2, 2, 36), QColor("#1565c0"));
    drawCentredText(p, QStringLiteral("?"), boldFont(27), QPointF(25.5, 20), Qt::white);
}

// The round blue "i".
void drawAbout(QPainter& p)
{
    p.setPen(pen(QColor("#0d47a1"), 1.6));
    p.setBrush(QColor("#1e88e5"));
    p.drawEllipse(Centre, 21.2, 21.2);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(24, 13.5), 3.3, 3.3);
    QPainterPath stem;
    stem.moveTo(19, 20);
    stem.lineTo(27, 20);
    stem.lineTo(27, 34);
    stem.lineTo(30, 34);
    stem.lineTo(30, 37.5);
    stem.lineTo(18, 37.5);
    stem.lineTo(18, 34);
    stem.lineTo(21, 34);
    stem.lineTo(21, 23.5);
    stem.lineTo(19, 23.5);
    stem.closeSubpath();
    p.drawPath(stem);
}

// Plug and socket on a diagonal; apart is the gap between them.
void drawPlug(QPainter& p, bool connected)
{
    const QColor plugColour = connected ? QColor("#43a047") : QColor("#e53935");
    const QColor socketColour = connected ? QColor("#2e7d32") : QColor("#c62828");
    const QColor edge = connected ? QColor("#1b5e20") : QColor("#8e1b1b");
    const qreal gap = connected ? 0 : 9;

    p.save();
    p.translate(Centre);
    p.rotate(-45);
    // Drawn along the x axis: cable, plug, prongs -> socket, cable.
    const qreal plugRight = -gap / 2;
    const qreal socketLeft = gap / 2;

    p.setPen(pen(edge, 5.5));
    p.drawLine(QPointF(-29, 0), QPointF(plugRight - 10, 0));
    p.drawLine(QPointF(socketLeft + 10, 0), QPointF(29, 0));
    p.setPen(pen(connected ? QColor("#66bb6a") : QColor("#ef5350"), 3));
    p.drawLine(QPointF(-29, 0), QPointF(plugRight - 10, 0));
    p.drawLine(QPointF(socketLeft + 10, 0), QPointF(29, 0));

    if (!connected) {
        p.setPen(pen(QColor("#78909c"), 0.8));
        p.setBrush(QColor("#cfd8dc"));
        p.drawRect(QRectF(plugRight - 1, -5.5, 6.5, 3));
        p.drawRect(QRectF(plugRight - 1, 2.5, 6.5, 3));
    }

    p.setPen(pen(edge, 1));
    p.setBrush(plugColour);
    QPainterPath plug;
    plug.moveTo(plugRight - 14, -5);
    plug.lineTo(plugRight - 9, -9.5);
    plug.lineTo(plugRight, -9.5);
    plug.lineTo(plugRight, 9.5);
    plug.lineTo(plugRight - 9, 9.5);
    plug.lineTo(plugRight - 14, 5);
    plug.closeSubpath();
    p.drawPath(plug);

    p.setBrush(socketColour);
    QPainterPath socket;
    socket.moveTo(socketLeft, -10.5);
    socket.lineTo(socketLeft + 9, -10.5);
    socket.lineTo(socketLeft + 14, -5);
    socket.lineTo(socketLeft + 14, 5);
    socket.lineTo(socketLeft + 9, 10.5);
    socket.lineTo(socketLeft, 10.5);
    socket.closeSubpath();
    p.drawPath(socket);

    if (connected) {
        p.setPen(pen(edge, 1.2));
        p.drawLine(QPointF(0, -9.5), QPointF(0, 9.5));
    } else {
        // Socket holes and a couple of strokes across the gap.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor("#5d0f0f"));
        p.drawRect(QRectF(socketLeft + 0.5, -5.2, 2, 2.4));
        p.drawRect(QRectF(socketLeft + 0.5, 2.8, 2, 2.4));
    }
    p.restore();

    if (!connected) {
        p.setPen(pen(QColor("#424242"), 1.6));
        p.drawLine(QPointF(34, 30), QPointF(39, 35));
        p.drawLine(QPointF(30, 34.5), QPointF(33, 40.5));
        p.drawLine(QPointF(14, 18), QPointF(9, 13));
        p.drawLine(QPointF(18, 13.5), QPointF(15, 7.5));
    }
}

// A wall clock at ten past ten.
void drawClock(QPainter& p)
{
    p.setPen(pen(QColor("#37474f"), 3.2));
    p.setBrush(Qt::white);
    p.drawEllipse(Centre, 20.5, 20.5);

    for (int h = 0; h < 12; ++h) {
        const qreal a = qDegreesToRadians(h * 30.0);
        const bool quarter = h % 3 == 0;
        const qreal r0 = quarter ? 14.5 : 16;
        const QPointF d(qSin(a), -qCos(a));
        p.setPen(pen(quarter ? QColor("#37474f") : QColor("#78909c"), quarter ? 2 : 1.3));
        p.drawLine(Centre + d * r0, Centre + d * 17.5);
    }

    const auto hand = [&](qreal degrees, qreal length, qreal width, const QColor& c) {
        const qreal a = qDegreesToRadians(degrees);
        p.setPen(pen(c, width));
        p.drawLine(Centre, Centre + QPointF(qSin(a), -qCos(a)) * length);
    };
    hand(305, 9.5, 3.2, QColor("#263238"));   // hour, a little past ten
    hand(60, 14, 2.2, QColor("#263238"));     // minute, ten past
    hand(140, 13.5, 1.1, QColor("#e53935"));  // second
    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#e53935"));
    p.drawEllipse(Centre, 2, 2);
}

// A page with a turned corner; label is the coloured band across it.
QPainterPath pageOutline(const QRectF& r, qreal fold)
{
    QPainterPath page;
    page.moveTo(r.topLeft());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.bottomRight());
    page.lineTo(r.bottomLeft());
    page.closeSubpath();
    return page;
}

void drawPage(QPainter& p, const QRectF& r, qreal fold)
{
    p.setPen(pen(QColor("#9e9e9e"), 1));
    p.setBrush(Qt::white);
    p.drawPath(pageOutline(r, fold));
    QPolygonF corner({ QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold),
                       QPointF(r.right(), r.top() + fold) });
    p.setBrush(QColor("#e0e0e0"));
    p.drawPolygon(corner);
}

void drawPdf(QPainter& p)
{
    const QRectF page(9.5, 2.5, 31, 43);
    drawPage(p, page, 9);
    p.setPen(pen(QColor("#bdbdbd"), 1.2));
    for (qreal y : { 9.0, 13.0, 17.0 })
        p.drawLine(QPointF(14, y), QPointF(y < 10 ? 27 : 35, y));
    p.drawLine(QPointF(14, 40), QPointF(35, 40));

    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#a31515"));
    p.drawPolygon(QPolygonF({ QPointF(5, 34), QPointF(9.5, 34), QPointF(9.5, 37.5) }));
    p.fillPath(roundedRect(QRectF(5, 21, 33, 13.5), 2), QColor("#e53935"));
    drawCentredText(p, QStringLiteral("PDF"), boldFont(12), QPointF(21.5, 27.8), Qt::white);
}

// A spreadsheet: green header row and column over a grid of cells.
void drawSheet(QPainter& p)
{
    const QRectF sheet(4.5, 6.5, 39, 35);
    p.setPen(Qt::NoPen);
    p.fillPath(roundedRect(sheet, 3), Qt::white);

    const qreal cols[] = { 4.5, 14, 24, 34, 43.5 };
    const qreal rows[] = { 6.5, 14.5, 21.5, 28.5, 35.5, 41.5 };
    QPainterPath clip = roundedRect(sheet, 3);
    p.save();
    p.setClipPath(clip);
    p.fillRect(QRectF(sheet.left(), rows[0], sheet.width(), rows[1] - rows[0]), QColor("#1e7e45"));
    p.fillRect(QRectF(cols[0], rows[1], cols[1] - cols[0], sheet.bottom() - rows[1]), QColor("#c8e6c9"));
    // A few filled cells, as if there were data in them.
    p.fillRect(QRectF(cols[1], rows[2], cols[3] - cols[1], rows[3] - rows[2]), QColor("#e8f5e9"));
    p.fillRect(QRectF(cols[2], rows[4], cols[4] - cols[2], rows[5] - rows[4]), QColor("#a5d6a7"));
    p.restore();

    p.setPen(pen(QColor("#2e7d32"), 1));
    for (int i = 1; i < 4; ++i)
        p.drawLine(QPointF(cols[i], rows[0]), QPointF(cols[i], sheet.bottom()));
    for (int i = 1; i < 5; ++i)
        p.drawLine(QPointF(sheet.left(), rows[i]), QPointF(sheet.right(), rows[i]));
    p.setPen(pen(QColor("#1b5e20"), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(clip);
}

// A desk printer with a sheet going in and one coming out.
// A manila folder with a little curve on the paper inside: the recordings.
void drawFolder(QPainter& p)
{
    QPainterPath back;
    back.moveTo(4.5, 11);
    back.quadTo(4.5, 8.5, 7, 8.5);
    back.lineTo(17, 8.5);
    back.lineTo(21, 12.5);
    back.lineTo(41, 12.5);
    back.quadTo(43.5, 12.5, 43.5, 15);
    back.lineTo(43.5, 39);
    back.lineTo(4.5, 39);
    back.closeSubpath();
    p.fillPath(back, QColor("#d9a13b"));

    // The paper sticking out, with a recorded curve on it.
    p.fillPath(roundedRect(QRectF(9, 14, 30, 18), 1.5), Qt::white);
    p.setPen(pen(QColor("#1f6fb2"), 2));
    QPainterPath curve;
    curve.moveTo(12, 23);
    curve.cubicTo(16, 14.5, 19, 14.5, 23, 19.5);
    curve.cubicTo(27, 24.5, 31, 23.5, 36, 16.5);
    p.drawPath(curve);

    QPainterPath front;
    front.moveTo(4.5, 25);
    front.lineTo(43.5, 25);
    front.lineTo(43.5, 39.5);
    front.quadTo(43.5, 41.5, 41.5, 41.5);
    front.lineTo(6.5, 41.5);
    front.quadTo(4.5, 41.5, 4.5, 39.5);
    front.closeSubpath();
    p.fillPath(front, QColor("#f5c04e"));
    p.setPen(pen(QColor("#a8731b"), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(back);
    p.drawPath(front);
}

void drawPrinter(QPainter& p)
{
    p.setPen(pen(QColor("#90a4ae"), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(13.5, 3.5, 21, 16));

    p.setPen(pen(QColor("#37474f"), 1));
    p.setBrush(QColor("#607d8b"));
    p.drawPath(roundedRect(QRectF(4.5, 15.5, 39, 19), 4));
    p.fillRect(QRectF(6, 17, 36, 4), QColor("#78909c"));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#263238"));
    p.drawRoundedRect(QRectF(10, 28, 28, 3.5), 1.2, 1.2);
    p.setBrush(QColor("#76ff03"));
    p.drawEllipse(QPointF(37.5, 23.5), 1.7, 1.7);

    p.setPen(pen(QColor("#90a4ae"), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(12.5, 30.5, 23, 14));
    p.setPen(pen(QColor("#9e9e9e"), 1.2));
    p.drawLine(QPointF(16, 35), QPointF(32, 35));
    p.drawLine(QPointF(16, 38.5), QPointF(32, 38.5));
    p.drawLine(QPointF(16, 42), QPointF(26, 42));
}

// A bold high-voltage bolt; it has to read at 24x24 on the blue panel.
void drawLightning(QPainter& p)
{
    const QPolygonF bolt({ QPointF(26.5, 1.5), QPointF(37.5, 1.5), QPointF(27.5, 17.5),
                           QPointF(39.5, 17.5), QPointF(15.5, 46.5), QPointF(21, 27.5),
                           QPointF(9, 27.5) });
    p.setPen(pen(QColor("#c77800"), 1.8));
    p.setBrush(QColor("#ffd600"));
    p.drawPolygon(bolt);
}

struct Icon
{
    const char* file;
    std::function<void(QPainter&)> draw;
};

const std::vector<Icon>& icons()
{
    static const std::vector<Icon> list = {
        { "serial_logo.png", drawMeter },
        { "exit.png", drawExit },
        { "setting.png", drawGear },
        { "use.png", drawHelp },
        { "about.png", drawAbout },
        { "connect.png", [](QPainter& p) { drawPlug(p, true); } },
        { "disconnect.png", [](QPainter& p) { drawPlug(p, false); } },
        { "time.png", drawClock },
        { "pdf.png", drawPdf },
        { "excel.png", drawSheet },
        { "print.png", drawPrinter },
        { "lightning.png", drawLightning },
        { "folder.png", drawFolder },
    };
    return list;
}

// The icon drawn at pixels x pixels: the drawings are made on a 48x48 grid.
QImage render(const Icon& icon, int pixels = Size)
{
    QImage img(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(qreal(pixels) / Size, qreal(pixels) / Size);
    icon.draw(p);
    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}

// Every icon at 4x on three backgrounds, with the 24x24 and 16x16 versions below.
QImage contactSheet(const std::vector<QImage>& images)
{
    const int zoom = 4, cell = Size * zoom + 8;
    const QColor backgrounds[] = { QColor("#f4f4f4"), QColor("#303030"), QColor(0, 170, 255) };
    const int cols = int(images.size());
    QImage sheet(cols * cell, 3 * (cell + 40), QImage::Format_ARGB32);
    sheet.fill(Qt::black);
    QPainter p(&sheet);
    for (int b = 0; b < 3; ++b) {
        const int top = b * (cell + 40);
        p.fillRect(QRect(0, top, sheet.width(), cell + 40), backgrounds[b]);
        for (int i = 0; i < cols; ++i) {
            const QImage& img = images[size_t(i)];
            p.drawImage(QRect(i * cell + 4, top + 4, Size * zoom, Size * zoom), img);
            p.drawImage(QPoint(i * cell + 4, top + cell + 4),
                        img.scaled(24, 24, Qt::KeepAspectRatio, Qt::SmoothTransformation));
            p.drawImage(QPoint(i * cell + 34, top + cell + 8),
                        img.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        }
    }
    return sheet;
}

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);

    QStringList args = app.arguments().mid(1);
    // Takes "--option value" out of args; false when the value is missing.
    auto takeOption = [&args, &err](const char* option, QString* value) {
        const int at = args.indexOf(QLatin1String(option));
        if (at < 0)
            return true;
        if (at + 1 >= args.size()) {
            err << option << " needs a value\n";
            return false;
        }
        *value = args.at(at + 1);
        args.removeAt(at + 1);
        args.removeAt(at);
        return true;
    };
    QString sheetFile;
    QString themeDir;
    if (!takeOption("--sheet", &sheetFile) || !takeOption("--app-icon", &themeDir))
        return 2;
    if (args.size() != 1) {
        err << "usage: ravelo-makeicons <output folder> [--sheet <file.png>] [--app-icon <theme folder>]\n";
        return 2;
    }

    QDir out(args.first());
    if (!out.mkpath(QStringLiteral("."))) {
        err << "cannot create " << out.path() << "\n";
        return 1;
    }

    std::vector<QImage> images;
    for (const Icon& icon : icons()) {
        const QImage img = render(icon);
        const QString path = out.filePath(QString::fromLatin1(icon.file));
        if (!img.save(path, "PNG")) {
            err << "cannot write " << path << "\n";
            return 1;
        }
        images.push_back(img);
    }
    // The program's icon for the desktop's menu, in an icon theme's folders.
    if (!themeDir.isEmpty()) {
        for (int pixels : { 48, 256 }) {
            const QString folder = QStringLiteral("%1/%2x%2/apps").arg(themeDir).arg(pixels);
            const QString path = folder + QStringLiteral("/ravelo.png");
            if (!QDir().mkpath(folder) || !render(Icon{ "ravelo.png", drawMeter }, pixels).save(path, "PNG")) {
                err << "cannot write " << path << "\n";
                return 1;
            }
        }
    }
    if (!sheetFile.isEmpty() && !contactSheet(images).save(sheetFile, "PNG")) {
        err << "cannot write " << sheetFile << "\n";
        return 1;
    }
    return 0;
}
