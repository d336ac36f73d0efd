#pragma once
// Steps that must not stop the ones after them run through these. Two kinds:
//  - guarded(): a step whose failure loses nothing the user asked for (a view update, the mouse
//    pointer). An exception it throws is dropped.
//  - reportedStep(): a step the user asked for (a cleaning operation, a removal). When it
//    throws, or returns a failed Status or Result, `record` is called with the reason, so the
//    report the run ends with says what was not done instead of claiming success.
#include <concepts>
#include <exception>
#include <string>
#include <type_traits>

#include "platform/Result.h"

namespace quenvor::ui {

template <class F>
void guarded(F&& step) {
    try {
        step();
    } catch (...) {
        // nothing the user asked for depends on this step
    }
}

// `record(std::string reason)` gets the exception's words, the Status's message, or an empty
// text for an exception that carries none (the caller words that case in its own language).
// True when the step completed.
template <class F, class Record>
bool reportedStep(F&& step, Record&& record) {
    std::string reason;
    try {
        using Outcome = std::invoke_result_t<F&>;
        if constexpr (std::is_void_v<Outcome>) {
            step();
            return true;
        } else {
            static_assert(
                requires(const Outcome& o) {
                    { o.ok() } -> std::convertible_to<bool>;
                    o.error().message;
                },
                "a reported step returns nothing, a Status or a Result");
            const Outcome outcome = step();
            if (outcome.ok()) return true;
            reason = outcome.error().message;
        }
    } catch (const std::exception& e) {
        reason = e.what();
    } catch (...) {
        reason.clear();
    }
    // Recording must not be the step that stops the run either.
    guarded([&] { record(reason); });
    return false;
}

// Every occurrence of `what` in `text` replaced by `with` ("%1" placeholders of the texts).
inline std::string replaceAll(std::string text, const std::string& what, const std::string& with) {
    if (what.empty()) return text;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

}  // namespace quenvor::ui
