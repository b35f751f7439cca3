// Paints the program's icons and background as flat drawings and writes them,
// with a resource file listing them under the prefix "/Resource/icon", into a folder:
//
//   orlenk-icon-painter <folder> [--qrc <file.qrc>]    paint every icon
//   orlenk-icon-painter --list                           print the names
//
// To add an icon: write a draw function below (it paints into a 100 x 100
// square) and add one row to the table in icons(). A row names its variants:
// the plain picture, pressed twins ("_c", "_h") in the pressed colour and a
// disabled one ("_d") in grey.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QCoreApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSaveFile>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Colours: ink for normal icons, red for pressed twins, light ink for the dark status row.
const QColor kInk(0x3a, 0x3d, 0x42);
const QColor kPressed(0xC2, 0x17, 0x2D);
const QColor kLight(0xf2, 0xf2, 0xf2);
const QColor kMuted(0x8a, 0x8f, 0x98);
const QColor kDisabled(0xc4, 0xc7, 0xcc);

struct Pen {
    QColor ink;      // main strokes and fills
    QColor accent;   // second colour for details
};

using DrawFn = std::function<void(QPainter&, const Pen&)>;

enum VariantFlag { V_P = 1, V_C = 2, V_H = 4, V_D = 8, V_PC = V_P | V_C };

struct Icon {
    const char* name;
    int width;
    int height;
    int variants;    // VariantFlag bits
    DrawFn draw;     // null: the page background
    QColor ink = kInk;   // of the plain picture; pressed ones are red, disabled ones grey
};

QPen stroke(const QColor& c, qreal w = 7)
{
    QPen p(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    return p;
}

void ring(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(50, 50), 44, 44);
}

void arrowHead(QPainter& p, const QColor& c, QPointF tip, qreal angleDeg, qreal size)
{
    const qreal a = angleDeg * M_PI / 180.0;
    QPointF back(tip.x() - size * std::cos(a), tip.y() - size * std::sin(a));
    QPointF side(-std::sin(a) * size * 0.6, std::cos(a) * size * 0.6);
    QPolygonF tri({tip, back + side, back - side});
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(tri);
}

// ---- circled controls -------------------------------------------------------

void drawBack(QPainter& p, const Pen& c)
{
    ring(p, c);
    p.setPen(stroke(c.ink, 8));
    p.drawLine(QPointF(30, 50), QPointF(70, 50));
    p.drawPolyline(QPolygonF({QPointF(48, 32), QPointF(30, 50), QPointF(48, 68)}));
}

void drawPause(QPainter& p, const Pen& c)
{
    ring(p, c);
    p.setPen(Qt::NoPen);
    p.setBrush(c.ink);
    p.drawRoundedRect(QRectF(34, 30, 11, 40), 3, 3);
    p.drawRoundedRect(QRectF(55, 30, 11, 40), 3, 3);
}

void drawResume(QPainter& p, const Pen& c)
{
    ring(p, c);
    p.setPen(stroke(c.ink, 4));
    p.setBrush(c.ink);
    p.drawPolygon(QPolygonF({QPointF(40, 30), QPointF(70, 50), QPointF(40, 70)}));
}

void drawStop(QPainter& p, const Pen& c)
{
    ring(p, c);
    p.setPen(Qt::NoPen);
    p.setBrush(c.ink);
    p.drawRoundedRect(QRectF(33, 33, 34, 34), 4, 4);
}

void drawMore(QPainter& p, const Pen& c)
{
    ring(p, c);
    p.setPen(Qt::NoPen);
    p.setBrush(c.ink);
    for (qreal x : {30.0, 50.0, 70.0})
        p.drawEllipse(QPointF(x, 50), 6, 6);
}



void drawArrow(QPainter& p, const Pen& c, qreal angle)
{
    p.save();
    p.translate(50, 50);
    p.rotate(angle);
    p.setPen(stroke(c.ink, 11));
    p.setBrush(Qt::NoBrush);
    // A chevron pointing right before rotation.
    p.drawPolyline(QPolygonF({QPointF(-14, -28), QPointF(14, 0), QPointF(-14, 28)}));
    p.restore();
}

// ---- machine parts ------------------------------------------------------------

void drawNozzle(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 5));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(30, 12, 40, 14));           // heat sink
    p.drawLine(QPointF(34, 19), QPointF(66, 19));
    p.setBrush(c.ink);
    p.drawRoundedRect(QRectF(26, 32, 48, 24), 4, 4);   // heater block
    p.drawPolygon(QPolygonF({QPointF(40, 60), QPointF(60, 60), QPointF(50, 78)}));
    p.setPen(stroke(c.accent, 4));
    p.drawLine(QPointF(50, 82), QPointF(50, 90));
}

void drawPlatform(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 5));
    p.setBrush(c.ink);
    p.drawPolygon(QPolygonF({QPointF(22, 66), QPointF(86, 66), QPointF(78, 80), QPointF(14, 80)}));
    p.setBrush(Qt::NoBrush);
    p.setPen(stroke(c.accent, 5));
    for (qreal x : {32.0, 50.0, 68.0}) {
        QPainterPath wave;
        wave.moveTo(x, 56);
        wave.cubicTo(x - 8, 46, x + 8, 38, x, 26);
        p.drawPath(wave);
    }
}

void drawSpeed(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 7));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(10, 18, 80, 80), 0 * 16, 180 * 16);
    p.setPen(stroke(c.ink, 4));
    for (int i = 0; i <= 4; ++i) {
        const qreal a = M_PI - i * M_PI / 4;
        p.drawLine(QPointF(50 + 32 * std::cos(a), 58 - 32 * std::sin(a)),
                   QPointF(50 + 25 * std::cos(a), 58 - 25 * std::sin(a)));
    }
    p.setPen(stroke(c.accent, 6));
    p.drawLine(QPointF(50, 58), QPointF(70, 36));
    p.setPen(Qt::NoPen);
    p.setBrush(c.ink);
    p.drawEllipse(QPointF(50, 58), 7, 7);
}

void drawZMove(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 6));
    p.drawLine(QPointF(30, 22), QPointF(30, 78));
    arrowHead(p, c.ink, QPointF(30, 10), -90, 16);
    arrowHead(p, c.ink, QPointF(30, 90), 90, 16);
    p.setPen(stroke(c.ink, 8));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(52, 30), QPointF(80, 30), QPointF(52, 70), QPointF(80, 70)}));
}

void drawSpool(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(42, 50), 32, 32);
    p.drawEllipse(QPointF(42, 50), 9, 9);
    p.setPen(stroke(c.accent, 3));
    for (int r = 16; r <= 26; r += 5)
        p.drawEllipse(QPointF(42, 50), r, r);
}

void drawFilament(QPainter& p, const Pen& c)
{
    drawSpool(p, c);
    p.setPen(stroke(c.accent, 4));
    p.setBrush(Qt::NoBrush);
    QPainterPath tail;
    tail.moveTo(68, 34);
    tail.cubicTo(86, 40, 90, 60, 88, 92);
    p.drawPath(tail);
}








// ---- files and storage ----------------------------------------------------------

QPainterPath documentOutline(QRectF r, qreal fold)
{
    QPainterPath d;
    d.moveTo(r.left(), r.top());
    d.lineTo(r.right() - fold, r.top());
    d.lineTo(r.right(), r.top() + fold);
    d.lineTo(r.right(), r.bottom());
    d.lineTo(r.left(), r.bottom());
    d.closeSubpath();
    return d;
}

void drawDocument(QPainter& p, const Pen& c, QRectF r)
{
    p.setPen(stroke(c.ink, 5));
    p.setBrush(Qt::white);
    p.drawPath(documentOutline(r, 16));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(r.right() - 16, r.top()), QPointF(r.right() - 16, r.top() + 16),
                              QPointF(r.right(), r.top() + 16)}));
}

void drawGFile(QPainter& p, const Pen& c)
{
    drawDocument(p, c, QRectF(18, 8, 64, 84));
    // A "G" drawn as an open ring with a bar.
    p.setPen(stroke(c.accent, 7));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(32, 38, 36, 36), 40 * 16, 280 * 16);
    p.drawLine(QPointF(52, 57), QPointF(66, 57));
    p.drawLine(QPointF(66, 57), QPointF(66, 66));
}

void drawFolder(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 5));
    p.setBrush(c.accent);
    QPainterPath f;
    f.moveTo(10, 24);
    f.lineTo(40, 24);
    f.lineTo(48, 32);
    f.lineTo(90, 32);
    f.lineTo(90, 82);
    f.lineTo(10, 82);
    f.closeSubpath();
    p.drawPath(f);
    p.setBrush(c.ink);
    p.drawRect(QRectF(10, 42, 80, 40));
}

void drawUsb(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 6));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(50, 24), QPointF(50, 80));
    arrowHead(p, c.ink, QPointF(50, 6), -90, 18);
    p.drawPolyline(QPolygonF({QPointF(50, 62), QPointF(28, 46), QPointF(28, 36)}));
    p.drawPolyline(QPolygonF({QPointF(50, 54), QPointF(72, 40), QPointF(72, 32)}));
    p.setPen(Qt::NoPen);
    p.setBrush(c.ink);
    p.drawEllipse(QPointF(28, 32), 7, 7);
    p.drawRect(QRectF(66, 20, 12, 12));
    p.drawEllipse(QPointF(50, 84), 10, 10);
}

void drawStorage(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(22, 22, 56, 56), 6, 6);
    for (qreal t : {34.0, 50.0, 66.0}) {
        p.drawLine(QPointF(t, 8), QPointF(t, 20));
        p.drawLine(QPointF(t, 80), QPointF(t, 92));
        p.drawLine(QPointF(8, t), QPointF(20, t));
        p.drawLine(QPointF(80, t), QPointF(92, t));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(c.accent);
    p.drawRoundedRect(QRectF(36, 36, 28, 28), 3, 3);
}

void drawDelete(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 6));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(16, 24), QPointF(84, 24));
    p.drawPolyline(QPolygonF({QPointF(38, 24), QPointF(40, 12), QPointF(60, 12), QPointF(62, 24)}));
    p.drawPolyline(QPolygonF({QPointF(24, 32), QPointF(30, 90), QPointF(70, 90), QPointF(76, 32)}));
    p.setPen(stroke(c.accent, 5));
    for (qreal x : {40.0, 50.0, 60.0})
        p.drawLine(QPointF(x, 42), QPointF(x, 78));
}

void drawCopy(QPainter& p, const Pen& c)
{
    drawDocument(p, c, QRectF(12, 8, 48, 62));
    drawDocument(p, c, QRectF(38, 30, 48, 62));
}

void drawPrint(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(8, 8, 84, 84), 14, 14);
    p.setBrush(c.ink);
    p.drawPolygon(QPolygonF({QPointF(38, 28), QPointF(72, 50), QPointF(38, 72)}));
}

// ---- main window --------------------------------------------------------------

void drawBuild(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 6));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(10, 8, 80, 84));                 // frame
    p.drawLine(QPointF(10, 24), QPointF(90, 24));      // gantry
    p.setBrush(c.ink);
    p.drawRect(QRectF(40, 20, 20, 14));                // carriage
    p.drawPolygon(QPolygonF({QPointF(44, 34), QPointF(56, 34), QPointF(50, 44)}));
    p.setPen(Qt::NoPen);
    p.setBrush(c.accent);
    p.drawRect(QRectF(34, 60, 32, 18));                // the part
    p.drawRect(QRectF(40, 50, 20, 10));
    p.setPen(stroke(c.ink, 6));
    p.drawLine(QPointF(20, 80), QPointF(80, 80));      // plate
}

void drawSetting(QPainter& p, const Pen& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c.ink);
    p.save();
    p.translate(50, 50);
    for (int i = 0; i < 8; ++i) {
        p.drawRoundedRect(QRectF(-8, -44, 16, 20), 3, 3);
        p.rotate(45);
    }
    p.restore();
    p.drawEllipse(QPointF(50, 50), 30, 30);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(50, 50), 13, 13);
}

void drawInfo(QPainter& p, const Pen& c)
{
    ring(p, c);
    p.setPen(Qt::NoPen);
    p.setBrush(c.ink);
    p.drawEllipse(QPointF(50, 28), 7, 7);
    p.drawRoundedRect(QRectF(44, 40, 12, 36), 3, 3);
}

void drawControl(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 6));
    for (qreal y : {24.0, 50.0, 76.0})
        p.drawLine(QPointF(12, y), QPointF(88, y));
    p.setPen(stroke(c.ink, 5));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(34, 24), 10, 10);
    p.drawEllipse(QPointF(66, 50), 10, 10);
    p.drawEllipse(QPointF(44, 76), 10, 10);
}

// ---- small pictures ------------------------------------------------------------

void drawTime(QPainter& p, const Pen& c)
{
    ring(p, c);
    p.setPen(stroke(c.ink, 6));
    p.drawLine(QPointF(50, 50), QPointF(50, 24));
    p.drawLine(QPointF(50, 50), QPointF(68, 60));
}

void drawLayer(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 5));
    for (int i = 0; i < 3; ++i) {
        const qreal y = 24 + i * 22;
        p.setBrush(i == 0 ? c.accent : QColor(Qt::white));
        p.drawPolygon(QPolygonF({QPointF(50, y - 12), QPointF(88, y + 4), QPointF(50, y + 20), QPointF(12, y + 4)}));
    }
}

void drawCheckOn(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 6));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(8, 8, 84, 84), 12, 12);
    p.setPen(stroke(kPressed, 11));
    p.drawPolyline(QPolygonF({QPointF(24, 52), QPointF(42, 70), QPointF(76, 30)}));
}

void drawCheckOff(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 6));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(8, 8, 84, 84), 12, 12);
}

// ---- levelling page ------------------------------------------------------------

// A ringed arrow pointing up or down over a line standing for the platform.
void drawPlatformArrow(QPainter& p, const Pen& c, bool down)
{
    ring(p, c);
    p.setPen(stroke(c.ink, 5));
    p.drawLine(QPointF(28, down ? 76 : 24), QPointF(72, down ? 76 : 24));
    p.setPen(stroke(c.ink, 9));
    p.drawLine(QPointF(50, down ? 22 : 78), QPointF(50, 50));
    arrowHead(p, c.ink, QPointF(50, down ? 66 : 34), down ? 90 : -90, 22);
}
// ---- in-print menu, adjustments and filament change ---------------------------

// Two bent arrows around a spool: one filament out, the next one in.
void drawChange(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(50, 50), 16, 16);
    p.drawEllipse(QPointF(50, 50), 5, 5);
    p.setPen(stroke(c.ink, 7));
    p.drawArc(QRectF(10, 10, 80, 80), 30 * 16, 120 * 16);
    p.drawArc(QRectF(10, 10, 80, 80), 210 * 16, 120 * 16);
    arrowHead(p, c.ink, QPointF(12, 40), 100, 16);
    arrowHead(p, c.ink, QPointF(88, 60), -80, 16);
}

void drawLamp(QPainter& p, const Pen& c, bool lit)
{
    QPainterPath bulb;
    bulb.moveTo(38, 66);
    bulb.cubicTo(22, 54, 22, 18, 50, 16);
    bulb.cubicTo(78, 18, 78, 54, 62, 66);
    bulb.closeSubpath();
    p.setPen(stroke(c.ink, 6));
    p.setBrush(lit ? QColor(0xf6, 0xc3, 0x43) : QColor(Qt::white));
    p.drawPath(bulb);
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(40, 76), QPointF(60, 76));
    p.drawLine(QPointF(43, 86), QPointF(57, 86));
    if (!lit)
        return;
    p.setPen(stroke(c.ink, 5));
    for (const QLineF& ray : {QLineF(14, 38, 4, 36), QLineF(86, 38, 96, 36), QLineF(22, 12, 14, 4),
                              QLineF(78, 12, 86, 4), QLineF(50, 6, 50, 0)})
        p.drawLine(ray);
}

// Sliders in a ring: the print settings.
void drawMoreSet(QPainter& p, const Pen& c)
{
    ring(p, c);
    p.setPen(stroke(c.ink, 5));
    for (qreal y : {34.0, 50.0, 66.0})
        p.drawLine(QPointF(26, y), QPointF(74, y));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(40, 34), 6, 6);
    p.drawEllipse(QPointF(60, 50), 6, 6);
    p.drawEllipse(QPointF(46, 66), 6, 6);
}

// The menu's card, drawn in pixels (not the 100 x 100 square) so its frame stays thin.
void drawMenuCard(QPainter& p, const Pen&)
{
    p.resetTransform();
    const QRectF r(0.5, 0.5, p.device()->width() - 1.0, p.device()->height() - 1.0);
    p.setPen(QPen(QColor(0xcc, 0xcc, 0xcc), 1));
    p.setBrush(Qt::white);
    p.drawRect(r);
}






// ---- tool menu, preheat and jog pages -------------------------------------------

void drawPreheat(QPainter& p, const Pen& c)
{
    // A thermometer beside three heat waves.
    p.setPen(stroke(c.ink, 6));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(24, 10, 18, 58), 9, 9);
    p.setPen(Qt::NoPen);
    p.setBrush(c.ink);
    p.drawEllipse(QPointF(33, 76), 15, 15);
    p.drawRect(QRectF(30, 36, 6, 40));
    p.setPen(stroke(c.accent, 5));
    p.setBrush(Qt::NoBrush);
    for (qreal x : {60.0, 78.0}) {
        QPainterPath wave;
        wave.moveTo(x, 84);
        wave.cubicTo(x - 9, 70, x + 9, 56, x, 42);
        wave.cubicTo(x - 9, 30, x + 5, 20, x, 14);
        p.drawPath(wave);
    }
}

void drawJogCross(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 6));
    p.drawLine(QPointF(50, 22), QPointF(50, 78));
    p.drawLine(QPointF(22, 50), QPointF(78, 50));
    arrowHead(p, c.ink, QPointF(50, 6), -90, 18);
    arrowHead(p, c.ink, QPointF(50, 94), 90, 18);
    arrowHead(p, c.ink, QPointF(6, 50), 180, 18);
    arrowHead(p, c.ink, QPointF(94, 50), 0, 18);
    p.setPen(Qt::NoPen);
    p.setBrush(c.accent);
    p.drawEllipse(QPointF(50, 50), 8, 8);
}

void drawHouse(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 7));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(10, 50), QPointF(50, 14), QPointF(90, 50)}));
    p.drawPolyline(QPolygonF({QPointF(22, 42), QPointF(22, 86), QPointF(78, 86), QPointF(78, 42)}));
    p.setPen(Qt::NoPen);
    p.setBrush(c.accent);
    p.drawRoundedRect(QRectF(41, 58, 18, 28), 3, 3);
}

// The spool with an arrow into (load) or out of (unload) the nozzle.
void drawFilamentMove(QPainter& p, const Pen& c, bool load)
{
    drawSpool(p, c);
    p.setPen(stroke(c.accent, 6));
    p.drawLine(QPointF(84, 22), QPointF(84, 78));
    if (load)
        arrowHead(p, c.ink, QPointF(84, 96), 90, 20);
    else
        arrowHead(p, c.ink, QPointF(84, 4), -90, 20);
}

void drawLevel(QPainter& p, const Pen& c)
{
    p.setPen(stroke(c.ink, 5));
    p.setBrush(c.ink);
    p.drawPolygon(QPolygonF({QPointF(22, 70), QPointF(86, 70), QPointF(78, 84), QPointF(14, 84)}));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(18, 30, 64, 20), 10, 10);
    p.setPen(Qt::NoPen);
    p.setBrush(c.accent);
    p.drawEllipse(QPointF(50, 40), 7, 7);
    p.setPen(stroke(c.ink, 3));
    p.drawLine(QPointF(40, 32), QPointF(40, 48));
    p.drawLine(QPointF(60, 32), QPointF(60, 48));
}

void drawStepButton(QPainter& p, const Pen& c, bool plus)
{
    ring(p, c);
    p.setPen(stroke(c.ink, 9));
    p.drawLine(QPointF(30, 50), QPointF(70, 50));
    if (plus)
        p.drawLine(QPointF(50, 30), QPointF(50, 70));
}

// A jog arrow: a filled triangle pointing at angle (0 right, 90 down) in a ring.
void drawJogArrow(QPainter& p, const Pen& c, qreal angle)
{
    ring(p, c);
    const qreal a = angle * M_PI / 180.0;
    arrowHead(p, c.ink, QPointF(50 + 26 * std::cos(a), 50 + 26 * std::sin(a)), angle, 46);
}

// Settings page: the probing entry, a nozzle over the nine points of the plate.
void drawProbe(QPainter& p, const Pen& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c.ink);
    p.drawRoundedRect(QRectF(36, 6, 28, 18), 3, 3);
    p.drawPolygon(QPolygonF({QPointF(40, 24), QPointF(60, 24), QPointF(50, 40)}));
    p.setPen(stroke(c.ink, 3));
    p.drawLine(QPointF(50, 44), QPointF(50, 56));
    p.setPen(stroke(c.ink, 5));
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(QPolygonF({QPointF(22, 62), QPointF(78, 62), QPointF(94, 92), QPointF(6, 92)}));
    p.setPen(Qt::NoPen);
    p.setBrush(c.ink);
    for (int row = 0; row < 3; ++row) {
        const qreal y = 68 + row * 9, half = 22 + row * 8;
        for (int col = 0; col < 3; ++col)
            p.drawEllipse(QPointF(50 - half + col * half, y), 3, 3);
    }
}

// The page background: light, calm, with a faint plate line at the bottom.
void paintBackground(QImage& img)
{
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, img.height());
    g.setColorAt(0, QColor(0xf7, 0xf7, 0xf8));
    g.setColorAt(1, QColor(0xdd, 0xdf, 0xe3));
    p.fillRect(img.rect(), g);
    QRadialGradient glow(QPointF(img.width() / 2.0, img.height() * 0.35), img.width() * 0.6);
    glow.setColorAt(0, QColor(255, 255, 255, 120));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(img.rect(), glow);
    p.setPen(QPen(QColor(0xc8, 0xcb, 0xd0), 1));
    p.drawLine(0, img.height() - 1, img.width(), img.height() - 1);
}

// Every icon of the program, one row per picture. Variants: P plain "<name>.png",
// C pressed "<name>_c.png", H pressed "<name>_h.png", D disabled "<name>_d.png".
// Sizes matter for pictures used as style-sheet backgrounds (drawn unscaled).
const std::vector<Icon>& icons()
{
    using P = QPainter;
    static const std::vector<Icon> table = {
        // name                w    h   variants  drawing
        {"bg",               480, 232, V_P,       nullptr},
        // main window
        {"build",             80,  80, V_PC,      drawBuild},
        {"setting",           80,  80, V_PC,      drawSetting},
        {"info",              80,  80, V_PC,      drawInfo},
        {"control",           80,  80, V_PC,      drawControl},
        {"status_nozzle",     24,  24, V_P,       drawNozzle,   kLight},
        {"status_platform",   24,  24, V_P,       drawPlatform, kLight},
        {"status_usb_on",     24,  24, V_P,       drawUsb,      kLight},
        {"status_usb_off",    24,  24, V_P,       drawUsb,      QColor(0x6a, 0x6e, 0x75)},
        // every page
        {"Back",              32,  32, V_PC,      drawBack},
        // storage choice, file list, file page
        {"Internal Memory",  100, 100, V_PC,      drawStorage},
        {"USB Stick",        100, 100, V_PC | V_D, drawUsb},
        {"G_File",           120, 120, V_P,       drawGFile},
        {"Folder",           100, 100, V_P,       drawFolder},
        {"checked",           24,  24, V_P,       drawCheckOn},
        {"unchecked",         24,  24, V_P,       drawCheckOff},
        {"Previous",          44,  44, V_PC | V_D, [](P& p, const Pen& c) { drawArrow(p, c, 180); }},
        {"Next",              44,  44, V_PC | V_D, [](P& p, const Pen& c) { drawArrow(p, c, 0); }},
        {"copy",              44,  44, V_PC,      drawCopy},
        {"delete",            44,  44, V_PC,      drawDelete},
        {"model_build",       64,  64, V_PC,      drawPrint},
        {"model_copy",        64,  64, V_PC,      drawCopy},
        {"model_delete",      64,  64, V_PC,      drawDelete},
        {"time",              24,  24, V_P,       drawTime},
        {"filament_s",        24,  24, V_P,       drawFilament},
        {"layerHight",        24,  24, V_P,       drawLayer},
        {"printSpeed",        24,  24, V_P,       drawSpeed},
        // printing page
        {"Pause",             64,  64, V_PC,      drawPause},
        {"Resume",            64,  64, V_PC,      drawResume},
        {"stop",              64,  64, V_PC,      drawStop},
        {"More",              64,  64, V_PC,      drawMore},
        {"nozzle",            32,  32, V_P,       drawNozzle},
        {"platform",          32,  32, V_P,       drawPlatform},
        {"speed",             32,  32, V_P,       drawSpeed},
        {"z-move",            32,  32, V_P,       drawZMove},
        // levelling page: the platform arrows (down raises Z, up lowers it)
        {"down",              72,  72, V_P | V_H, [](P& p, const Pen& c) { drawPlatformArrow(p, c, true); }},
        {"up",                72,  72, V_PC,      [](P& p, const Pen& c) { drawPlatformArrow(p, c, false); }},
        // in-print menu (PrintCtl), adjustments (PrintDetail), filament change
        {"change",            56,  56, V_PC,      drawChange},
        {"lamp",              56,  56, V_P,       [](P& p, const Pen& c) { drawLamp(p, c, true); }},
        {"lamp_n",            56,  56, V_P,       [](P& p, const Pen& c) { drawLamp(p, c, false); }},
        {"more_set",          56,  56, V_PC,      drawMoreSet},
        {"more_bg",          233,  68, V_P,       drawMenuCard},
        // tool menu, preheat and jog pages
        {"prePreheat",        56,  56, V_PC,      drawPreheat},
        {"manual_control",    56,  56, V_PC,      drawJogCross},
        {"home",              56,  56, V_PC,      drawHouse},
        {"Load",              56,  56, V_PC,      [](P& p, const Pen& c) { drawFilamentMove(p, c, true); }},
        {"Unload",            56,  56, V_PC,      [](P& p, const Pen& c) { drawFilamentMove(p, c, false); }},
        {"Level",             56,  56, V_PC,      drawLevel},
        {"reduce",            44,  44, V_PC | V_D, [](P& p, const Pen& c) { drawStepButton(p, c, false); }},
        {"add",               44,  44, V_PC | V_D, [](P& p, const Pen& c) { drawStepButton(p, c, true); }},
        {"nozzle2",           48,  48, V_P,       drawNozzle},
        {"platform2",         48,  48, V_P,       drawPlatform},
        {"l",                 52,  52, V_P | V_H, [](P& p, const Pen& c) { drawJogArrow(p, c, 180); }},
        {"r",                 52,  52, V_P | V_H, [](P& p, const Pen& c) { drawJogArrow(p, c, 0); }},
        {"b",                 52,  52, V_P | V_H, [](P& p, const Pen& c) { drawJogArrow(p, c, -90); }},
        {"f",                 52,  52, V_P | V_H, [](P& p, const Pen& c) { drawJogArrow(p, c, 90); }},
        {"u",                 52,  52, V_P | V_H, [](P& p, const Pen& c) { drawJogArrow(p, c, -90); }},
        {"d",                 52,  52, V_P | V_H, [](P& p, const Pen& c) { drawJogArrow(p, c, 90); }},
        // settings page, probing page
        {"probe",             80,  80, V_PC,      drawProbe},
    };
    return table;
}

struct Variant {
    int flag;
    const char* suffix;
};
const Variant kVariants[] = {{V_P, ""}, {V_C, "_c"}, {V_H, "_h"}, {V_D, "_d"}};

QImage paint(const Icon& icon, int variant)
{
    QImage img(icon.width, icon.height, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    if (!icon.draw) {
        paintBackground(img);
        return img;
    }
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(icon.width / 100.0, icon.height / 100.0);
    Pen pen;
    if (variant == V_C || variant == V_H) {
        pen.ink = kPressed;
        pen.accent = kPressed.lighter(130);
    } else if (variant == V_D) {
        pen.ink = kDisabled;
        pen.accent = kDisabled;
    } else {
        pen.ink = icon.ink;
        pen.accent = icon.ink == kInk ? kMuted : icon.ink;
    }
    icon.draw(p, pen);
    return img;
}

QStringList fileNames()
{
    QStringList names;
    for (const Icon& icon : icons())
        for (const Variant& v : kVariants)
            if (icon.variants & v.flag)
                names << QString::fromLatin1(icon.name) + v.suffix + ".png";
    return names;
}

// Writes only when the content changed, so an unchanged resource is not rebuilt.
bool writeIfChanged(const QString& path, const QByteArray& data)
{
    QFile old(path);
    if (old.open(QIODevice::ReadOnly) && old.readAll() == data)
        return true;
    old.close();
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(data);
    return f.commit();
}

QByteArray pngBytes(const QImage& img)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return bytes;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 2 && args[1] == "--list") {
        for (const QString& n : fileNames())
            std::printf("%s\n", qPrintable(n));
        return 0;
    }
    if (args.size() != 2 && !(args.size() == 4 && args[2] == "--qrc")) {
        std::fprintf(stderr, "usage: %s <folder> [--qrc <file.qrc>] | --list\n", argv[0]);
        return 2;
    }
    const QString folder = args[1];
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
        return 1;
    }
    for (const Icon& icon : icons()) {
        for (const Variant& v : kVariants) {
            if (!(icon.variants & v.flag))
                continue;
            const QString name = QString::fromLatin1(icon.name) + v.suffix + ".png";
            if (!writeIfChanged(folder + "/" + name, pngBytes(paint(icon, v.flag)))) {
                std::fprintf(stderr, "cannot write %s/%s\n", qPrintable(folder), qPrintable(name));
                return 1;
            }
        }
    }
    if (args.size() == 4) {
        QByteArray qrc;
        QTextStream out(&qrc);
        out << "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/Resource/icon\">\n";
        const QString rel = QDir(QFileInfo(args[3]).absolutePath()).relativeFilePath(QDir(folder).absolutePath());
        for (const QString& n : fileNames())
            out << "  <file alias=\"" << n << "\">" << rel << "/" << n << "</file>\n";
        out << "</qresource>\n</RCC>\n";
        out.flush();
        if (!writeIfChanged(args[3], qrc)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(args[3]));
            return 1;
        }
    }
    return 0;
}
