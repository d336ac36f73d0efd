#pragma once
// Whether the window can find a display, told before Qt is asked: Qt aborts the process when its
// platform cannot connect, so the user would see a crash instead of a reason.
#include <functional>

namespace quenvor::app {

using Getenv = std::function<const char*(const char*)>;

// True when QT_QPA_PLATFORM names a platform that needs no display (offscreen, minimal, ...), or
// one whose display is named (xcb: DISPLAY, wayland: WAYLAND_DISPLAY); unset, either display will
// do.
bool displayAvailable(const Getenv& getenv);

}  // namespace quenvor::app
