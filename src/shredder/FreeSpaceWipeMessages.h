#pragma once
// The words of a wipe of free space: the confirmation, the progress line, and the final account
// of what was written, how much, and what may remain and why. No UI calls, no file access: the
// page and a console build their messages from the same report.
#include <cstdint>
#include <functional>
#include <string>

#include "shredder/FreeSpaceWipe.h"
#include "shredder/IWipeEvents.h"
#include "shredder/PendingFill.h"

namespace quenvor::shredder {

class FreeSpaceWipeMessages {
public:
    using Lookup = std::function<std::string(int)>;
    struct Shown {
        std::string text;
        bool warn = false;
    };

    explicit FreeSpaceWipeMessages(Lookup text) : m_text(std::move(text)) {}

    std::string confirm(const std::string& folder) const;
    std::string progressLine(const WipeProgress& p) const;
    // The status line as a step begins; empty for the fill, whose progress line says it all.
    std::string stepLine(WipeStep step) const;
    Shown result(const FreeSpaceWipe::Report& r) const;
    // What the start did with a fill left behind; empty text when there was none.
    Shown recovered(const PendingFill::Cleanup& c) const;
    // Whether result() names something that may remain (its "What may remain" part).
    bool namesWhatMayRemain(const FreeSpaceWipe::Report& r) const { return !remains(r).empty(); }

    // "1,5 GB", "320 KB" in the language's number format.
    std::string size(std::uint64_t bytes) const;
    // "1 h 5 min", "3 min 20 s", "42 s".
    static std::string duration(std::int64_t seconds);

private:
    std::string count(std::uint64_t n) const;
    std::string remains(const FreeSpaceWipe::Report& r) const;

    Lookup m_text;
};

}  // namespace quenvor::shredder
