#pragma once
// Steps that must not stop the ones after them (a window's load step, a cleaning run, a
// handler's cosmetic updates) run through these.
#include <string>

namespace quenvor::ui {

template <class F>
void guarded(F&& step) {
    try {
        step();
    } catch (...) {
        // the next step runs regardless; a failure that matters is reported by the step itself
    }
}

// Every occurrence of `what` in `text` replaced by `with` ("%1" placeholders of the texts).
inline std::string replaceAll(std::string text, const std::string& what, const std::string& with) {
    if (what.empty()) return text;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

}  // namespace quenvor::ui
