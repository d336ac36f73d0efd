#pragma once
#include <QColor>
#include <QPalette>

namespace quenvor::window {

// The window's few colours, in one place so the artwork stays consistent.
struct Palette {
    static QColor accent() { return {32, 96, 140}; }
    static QColor accentDark() { return {18, 58, 92}; }
    static QColor page() { return {246, 248, 251}; }
    static QColor darkGrey() { return {64, 64, 64}; }

    // Every colour the window paints with, texts and the controls' own grounds included. The
    // artwork is light whatever the desktop's scheme, so a text coloured by a dark scheme would
    // come out light on light; one light palette throughout keeps every text dark on light.
    static QPalette window() {
        QPalette p(Qt::black, QColor(239, 239, 239), Qt::white, QColor(160, 160, 160), QColor(200, 200, 200), Qt::black,
                   Qt::white, Qt::white, page());
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            p.setColor(group, QPalette::ButtonText, Qt::black);
            p.setColor(group, QPalette::Midlight, QColor(227, 227, 227));
            p.setColor(group, QPalette::Shadow, QColor(105, 105, 105));
            p.setColor(group, QPalette::AlternateBase, QColor(245, 245, 245));
            p.setColor(group, QPalette::Highlight, accent());
            p.setColor(group, QPalette::HighlightedText, Qt::white);
            p.setColor(group, QPalette::Link, QColor(0, 0, 238));
            p.setColor(group, QPalette::LinkVisited, QColor(82, 24, 139));
            p.setColor(group, QPalette::ToolTipBase, QColor(255, 255, 220));
            p.setColor(group, QPalette::ToolTipText, Qt::black);
            p.setColor(group, QPalette::PlaceholderText, QColor(110, 110, 110));
        }
        // Greyed, as a light scheme greys what cannot be used.
        for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            p.setColor(QPalette::Disabled, role, QColor(120, 120, 120));
        p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(145, 145, 145));
        return p;
    }
};

}  // namespace quenvor::window
