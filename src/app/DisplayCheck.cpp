#include "app/DisplayCheck.h"

#include <string_view>

namespace quenvor::app {
namespace {

bool set(const Getenv& getenv, const char* name) {
    const char* value = getenv(name);
    return value && *value;
}

// One entry of QT_QPA_PLATFORM: a plugin name, its options after a colon.
bool platformUsable(const Getenv& getenv, std::string_view entry) {
    const std::string_view name = entry.substr(0, entry.find(':'));
    if (name.empty()) return false;
    if (name.starts_with("xcb")) return set(getenv, "DISPLAY");
    if (name.starts_with("wayland")) return set(getenv, "WAYLAND_DISPLAY");
    return true;
}

}  // namespace

bool displayAvailable(const Getenv& getenv) {
    const char* platform = getenv("QT_QPA_PLATFORM");
    if (!platform || !*platform) return set(getenv, "DISPLAY") || set(getenv, "WAYLAND_DISPLAY");
    // Qt tries each platform of a list in turn.
    std::string_view rest = platform;
    while (true) {
        const auto end = rest.find(';');
        if (platformUsable(getenv, rest.substr(0, end))) return true;
        if (end == std::string_view::npos) return false;
        rest.remove_prefix(end + 1);
    }
}

}  // namespace quenvor::app
