#include "window/qt/TabStripPicture.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "ui/FormDesign.h"
#include "window/qt/Palette.h"

namespace quenvor::window {

TabStripPicture::TabStripPicture(int currentTab, QWidget* parent) : QWidget(parent), m_current(currentTab) {}

void TabStripPicture::setFocusShown(bool shown) {
    if (shown == m_focusShown) return;
    m_focusShown = shown;
    update();
}

void TabStripPicture::paintEvent(QPaintEvent*) {
    using ui::FormDesign;
    using ui::kTwipsPerPixel;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    const int baseY = height() - 4;
    p.fillRect(QRect(0, baseY, width(), 4), Palette::accent());

    auto tabPath = [](QRectF r) {
        QPainterPath path;
        const qreal slant = 6, radius = 5;
        path.moveTo(r.left(), r.bottom());
        path.lineTo(r.left() + slant, r.top() + radius);
        path.quadTo(r.left() + slant, r.top(), r.left() + slant + radius, r.top());
        path.lineTo(r.right() - slant - radius, r.top());
        path.quadTo(r.right() - slant, r.top(), r.right() - slant, r.top() + radius);
        path.lineTo(r.right(), r.bottom());
        path.closeSubpath();
        return path;
    };

    const auto hotArea = [this](int tab) {
        return FormDesign::find(FormDesign::member("imgP1Tab" + std::to_string(tab + 1), m_current));
    };
    // The other tabs share one top line, whatever the heights of their hot areas, and the
    // current one stands above them; each hot area lies inside its painted tab.
    int restTop = 810;
    for (int j = 0; j < ui::kTabCount; ++j)
        if (const auto* hot = hotArea(j); hot && j != m_current) restTop = std::min(restTop, hot->top);
    const qreal rest = restTop / double(kTwipsPerPixel);
    constexpr qreal kLift = 7;

    // Draw the other tabs first so the current one overlaps its neighbours.
    for (int pass = 0; pass < 2; ++pass) {
        for (int j = 0; j < ui::kTabCount; ++j) {
            const bool current = j == m_current;
            if (current != (pass == 1)) continue;
            const auto* hot = hotArea(j);
            if (!hot) continue;
            const qreal x = hot->left / double(kTwipsPerPixel);
            const qreal w = hot->width / double(kTwipsPerPixel);
            const qreal top = current ? rest - kLift : rest;
            QRectF r(x - 4, top, w + 8, baseY - top + (current ? 4 : 0));
            QLinearGradient g(r.topLeft(), r.bottomLeft());
            if (current) {
                g.setColorAt(0, QColor(255, 255, 255));
                g.setColorAt(1, Palette::page());
            } else {
                g.setColorAt(0, QColor(226, 233, 240));
                g.setColorAt(1, QColor(196, 208, 220));
            }
            const auto path = tabPath(r);
            p.fillPath(path, g);
            p.setPen(QPen(current ? Palette::accent() : QColor(150, 165, 180), 1));
            p.drawPath(path);
            if (current) {
                p.fillRect(QRectF(r.left() + 10, r.top() + 1, r.width() - 20, 2), Palette::accent());
                if (m_focusShown) {
                    // Dotted, inside the tab and clear of its edges, as a focused tab bar draws it.
                    p.setRenderHint(QPainter::Antialiasing, false);
                    p.setPen(QPen(Qt::black, 1, Qt::DotLine));
                    p.setBrush(Qt::NoBrush);
                    p.drawRect(r.adjusted(9, 5, -9, -3).toRect());
                    p.setRenderHint(QPainter::Antialiasing);
                }
            }
        }
    }
}

void TabStripPicture::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit clicked();
    QWidget::mouseReleaseEvent(event);
}

}  // namespace quenvor::window
