#include "window/qt/SideBand.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "window/qt/Palette.h"

namespace quenvor::window {

SideBand::SideBand(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }

void SideBand::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRect band = rect();
    QLinearGradient g(band.topLeft(), band.bottomRight());
    g.setColorAt(0, Palette::accent());
    g.setColorAt(1, Palette::accentDark());
    p.fillRect(band, g);

    const QPointF c(band.width() / 2.0, 76);
    QPainterPath shield;
    shield.moveTo(c.x(), c.y() - 40);
    shield.cubicTo(c.x() + 18, c.y() - 30, c.x() + 34, c.y() - 30, c.x() + 36, c.y() - 28);
    shield.cubicTo(c.x() + 38, c.y() + 10, c.x() + 22, c.y() + 32, c.x(), c.y() + 44);
    shield.cubicTo(c.x() - 22, c.y() + 32, c.x() - 38, c.y() + 10, c.x() - 36, c.y() - 28);
    shield.cubicTo(c.x() - 34, c.y() - 30, c.x() - 18, c.y() - 30, c.x(), c.y() - 40);
    p.setPen(QPen(QColor(255, 255, 255, 220), 3));
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawPath(shield);
    // Three strokes fading out: traces being wiped away.
    for (int i = 0; i < 3; ++i) {
        QColor line(255, 255, 255, 230 - i * 70);
        p.setPen(QPen(line, 4, Qt::SolidLine, Qt::RoundCap));
        const qreal y = c.y() - 14 + i * 14;
        p.drawLine(QPointF(c.x() - 18 + i * 3, y), QPointF(c.x() + 18 - i * 3, y));
    }
    QFont f = font();
    f.setPixelSize(18);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 136, band.width(), 26), Qt::AlignCenter, QStringLiteral("Quenvor"));
}

}  // namespace quenvor::window
