#pragma once
#include <QColor>

namespace quenvor::window {

// The window's few colours, in one place so the artwork stays consistent.
struct Palette {
    static QColor accent() { return {32, 96, 140}; }
    static QColor accentDark() { return {18, 58, 92}; }
    static QColor page() { return {246, 248, 251}; }
    static QColor darkGrey() { return {64, 64, 64}; }
};

}  // namespace quenvor::window
