#include "tools/SamplePictures.h"

#include <QBuffer>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <functional>
#include <map>

namespace SamplePictures {

namespace {

// Filament colours: lit top, front, shaded side, edges.
const QColor Top(0xF6, 0xA5, 0x5E), Front(0xE8, 0x77, 0x2E), Side(0xB8, 0x57, 0x1C), Edge(0x7A, 0x3A, 0x12);

void face(QPainter& p, const QColor& fill, const QPolygonF& points)
{
    p.setBrush(fill);
    p.drawPolygon(points);
}

// An upright cylinder seen from slightly above: centre x, top y, width, height.
void cylinder(QPainter& p, qreal cx, qreal top, qreal w, qreal h)
{
    const qreal e = w * 0.3;   // height of the end ellipses
    QLinearGradient shade(cx - w / 2, 0, cx + w / 2, 0);
    shade.setColorAt(0, Side);
    shade.setColorAt(0.35, Front);
    shade.setColorAt(1, Side);
    QPainterPath body;
    body.moveTo(cx - w / 2, top + e / 2);
    body.lineTo(cx - w / 2, top + h);
    body.arcTo(QRectF(cx - w / 2, top + h - e / 2, w, e), 180, 180);
    body.lineTo(cx + w / 2, top + e / 2);
    body.closeSubpath();
    p.setBrush(shade);
    p.drawPath(body);
    p.setBrush(Top);
    p.drawEllipse(QRectF(cx - w / 2, top, w, e));
}

void cube(QPainter& p)
{
    face(p, Top, {{50, 18}, {82, 32}, {50, 46}, {18, 32}});
    face(p, Front, {{18, 32}, {50, 46}, {50, 84}, {18, 70}});
    face(p, Side, {{50, 46}, {82, 32}, {82, 70}, {50, 84}});
}

void stand(QPainter& p)
{
    // A slanted back to lean the phone on, a base and a lip at the front.
    face(p, Side, {{30, 20}, {40, 16}, {76, 70}, {66, 74}});
    face(p, Front, {{18, 74}, {66, 74}, {66, 84}, {18, 84}});
    face(p, Top, {{18, 74}, {28, 70}, {76, 70}, {66, 74}});
    face(p, Front, {{18, 64}, {24, 62}, {24, 74}, {18, 74}});
    face(p, Front, {{20, 24}, {30, 20}, {66, 74}, {56, 74}});
}

void clip(QPainter& p)
{
    // A ring open at the top on a flat foot with a screw hole.
    face(p, Side, {{20, 76}, {80, 76}, {80, 84}, {20, 84}});
    face(p, Top, {{24, 70}, {84, 70}, {80, 76}, {20, 76}});
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Edge, 15, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(QRectF(29, 27, 42, 42), 120 * 16, 300 * 16);
    p.setPen(QPen(Front, 11, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(QRectF(29, 27, 42, 42), 122 * 16, 296 * 16);
    p.setPen(QPen(Edge, 1));
    p.setBrush(QColor(0x55, 0x55, 0x55));
    p.drawEllipse(QRectF(72, 71, 7, 3));
}

void vase(QPainter& p)
{
    QPainterPath outline;
    outline.moveTo(38, 16);
    outline.cubicTo(40, 36, 18, 46, 24, 66);
    outline.cubicTo(27, 78, 34, 86, 50, 86);
    outline.cubicTo(66, 86, 73, 78, 76, 66);
    outline.cubicTo(82, 46, 60, 36, 62, 16);
    outline.closeSubpath();
    QLinearGradient shade(20, 0, 80, 0);
    shade.setColorAt(0, Side);
    shade.setColorAt(0.4, Top);
    shade.setColorAt(1, Side);
    p.setBrush(shade);
    p.drawPath(outline);
    p.setBrush(Edge);
    p.drawEllipse(QRectF(38, 13, 24, 7));
}

void key(QPainter& p)
{
    // A tag with a ring hole, lying flat and seen at a slant.
    QPainterPath tag;
    tag.addRoundedRect(QRectF(16, 36, 62, 34), 10, 10);
    QPainterPath hole;
    hole.addEllipse(QRectF(22, 46, 13, 13));
    p.setBrush(Side);
    p.drawPath(tag.translated(4, 5).subtracted(hole.translated(4, 5)));
    p.setBrush(Front);
    p.drawPath(tag.subtracted(hole));
    p.setBrush(Top);
    p.drawRoundedRect(QRectF(44, 46, 26, 5), 2, 2);
    p.drawRoundedRect(QRectF(44, 56, 18, 5), 2, 2);
    // The ring.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x88, 0x88, 0x88), 3));
    p.drawEllipse(QRectF(10, 26, 24, 24));
}

void pens(QPainter& p)
{
    const QColor inks[] = {QColor(0x2B, 0x6C, 0xB0), QColor(0x22, 0x22, 0x22), QColor(0xC2, 0x17, 0x2D)};
    for (int i = 0; i < 3; ++i) {
        const qreal x = 36 + i * 12, lean = 7 - i * 3, tip = 14 + i * 4;
        p.setBrush(inks[i]);
        p.drawPolygon(QPolygonF({{x, 40}, {x + lean, tip}, {x + lean + 3, tip}, {x + 6, 40}}));
    }
    cylinder(p, 50, 34, 48, 50);
    p.setBrush(Edge);
    p.drawEllipse(QRectF(30, 36, 40, 10));
}

void knob(QPainter& p)
{
    cylinder(p, 50, 46, 40, 36);   // the shaft collar
    cylinder(p, 50, 24, 64, 30);   // the grip
    p.setPen(QPen(Side, 2));
    for (int i = -3; i <= 3; ++i)
        p.drawLine(QPointF(50 + i * 8.5, 34), QPointF(50 + i * 8.5, 52));
    p.setPen(QPen(Edge, 1));
    p.setBrush(Front);
    p.drawEllipse(QRectF(44, 26, 12, 5));
}

void washer(QPainter& p)
{
    QPainterPath outer, inner;
    outer.addEllipse(QRectF(14, 34, 72, 40));
    inner.addEllipse(QRectF(36, 46, 28, 16));
    p.setBrush(Side);
    p.drawPath(outer.translated(0, 8).subtracted(inner.translated(0, 8)));
    p.setBrush(Top);
    p.drawPath(outer.subtracted(inner));
}

void gear(QPainter& p)
{
    // Teeth round a hub, tilted back; the same outline lower down is its thickness.
    QPolygonF rim;
    const int teeth = 12;
    for (int i = 0; i < teeth * 4; ++i) {
        const qreal a = i * M_PI * 2 / (teeth * 4);
        const qreal r = (i % 4 == 1 || i % 4 == 2) ? 38 : 30;
        rim << QPointF(50 + r * qCos(a), 50 + r * 0.6 * qSin(a));
    }
    QPainterPath body, hole;
    body.addPolygon(rim);
    body.closeSubpath();
    hole.addEllipse(QRectF(42, 45, 16, 10));
    p.setBrush(Side);
    p.drawPath(body.translated(0, 9).subtracted(hole.translated(0, 9)));
    p.setBrush(Top);
    p.drawPath(body.subtracted(hole));
}

const std::map<QString, std::function<void(QPainter&)>>& objects()
{
    static const std::map<QString, std::function<void(QPainter&)>> all{
        {"cube", cube}, {"stand", stand}, {"clip", clip}, {"vase", vase}, {"key", key},
        {"pens", pens}, {"knob", knob}, {"washer", washer}, {"gear", gear}};
    return all;
}

}  // namespace

QStringList names()
{
    QStringList out;
    for (const auto& o : objects())
        out << o.first;
    return out;
}

QImage draw(const QString& name, int w, int h)
{
    const auto found = objects().find(name.toLower());
    if (found == objects().end() || w < 1 || h < 1)
        return QImage();
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A 100 x 100 drawing, centred, as large as the picture allows.
    const qreal side = std::min(w, h);
    p.translate((w - side) / 2, (h - side) / 2);
    p.scale(side / 100, side / 100);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xD6, 0xD9, 0xDE));   // the build plate's shadow
    p.drawEllipse(QRectF(12, 78, 76, 14));
    p.setPen(QPen(Edge, 1));
    found->second(p);
    return image;
}

QByteArray png(const QString& name, int w, int h)
{
    const QImage image = draw(name, w, h);
    QByteArray bytes;
    if (image.isNull())
        return bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

}
