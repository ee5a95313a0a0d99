#include "lesson/AppIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace sonavix {
namespace {

// Draws on a 16-unit square scaled to size pixels.
template <typename Draw> QPixmap Render(int size, Draw draw) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    draw(painter);
    return pixmap;
}

void DrawApp(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 90, 200));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    // A speaker cone and two waves.
    QPainterPath cone;
    cone.moveTo(3, 6.5);
    cone.lineTo(5, 6.5);
    cone.lineTo(8, 4);
    cone.lineTo(8, 12);
    cone.lineTo(5, 9.5);
    cone.lineTo(3, 9.5);
    cone.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(cone);
    QPen wave(Qt::white, 1.2, Qt::SolidLine, Qt::RoundCap);
    p.setPen(wave);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(6.5, 5.5, 5, 5), -50 * 16, 100 * 16);
    p.drawArc(QRectF(5.5, 3.5, 9, 9), -50 * 16, 100 * 16);
}

void DrawReplay(QPainter& p) {
    const QColor green(20, 140, 60);
    QPen pen(green, 2.0, Qt::SolidLine, Qt::FlatCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 270 * 16);
    // Arrow head at the open end of the arc, pointing along it.
    QPainterPath head;
    head.moveTo(9.2, 0.6);
    head.lineTo(13.4, 3.6);
    head.lineTo(8.6, 5.6);
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(green);
    p.drawPath(head);
}

} // namespace

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(Render(size, DrawApp));
    return icon;
}

QIcon ReplayIcon() {
    QIcon icon;
    for (int size : {16, 32})
        icon.addPixmap(Render(size, DrawReplay));
    return icon;
}

} // namespace sonavix
