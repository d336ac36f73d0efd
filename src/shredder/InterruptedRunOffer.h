#pragma once
// At start-up: a shred the program never saw end is told of once, with what it had left, and
// the user may have it finished. One that another Quenvor still carries out is left to it. Whatever else happens, the
// record is forgotten: one that cannot be read, or whose choice is gone or replaced, is never acted on.
#include <optional>
#include <string>

#include "shredder/InterruptedRun.h"

namespace quenvor::platform {
class IFileService;
class IProcessTable;
}  // namespace quenvor::platform

namespace quenvor::ui {
class IUiServices;
class StringTable;
}  // namespace quenvor::ui

namespace quenvor::shredder {

class InterruptedRunOffer {
public:
    struct Services {
        quenvor::ui::IUiServices& ui;
        quenvor::ui::StringTable& strings;
        platform::IFileService& files;
        platform::IProcessTable* processes;  // null: every recorded run counts as over
    };

    explicit InterruptedRunOffer(Services s) : m_s(s) {}

    // The run to finish when the user said Yes; its record stays until that run replaces it, so
    // a crash before it starts still finds it.
    std::optional<InterruptedRun::Record> ask(InterruptedRun& run);

private:
    std::optional<InterruptedRun::Record> forget(InterruptedRun& run, std::string said, bool warn);
    std::string text(int id);

    Services m_s;
};

}  // namespace quenvor::shredder
