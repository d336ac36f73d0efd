#include "ui/PageOrder.h"

#include <array>

#include "ui/FormDesign.h"
#include "ui/IFormView.h"

namespace quenvor::ui {
namespace {

// Each page shows one of these and hides the other three.
constexpr std::array<const char*, kTabCount> kOnlyOn = {"cmdNext", "lblShredder", "pSettings", "lblAbout"};

}  // namespace

int PageOrder::shown(IFormView& view) {
    for (int page = kTabCount; page > 1; --page)
        if (view.isVisible(kOnlyOn[static_cast<std::size_t>(page - 1)])) return page;
    return 1;
}

int PageOrder::step(int page, PageStep step) {
    switch (step) {
        case PageStep::Next:
            return page % kTabCount + 1;
        case PageStep::Previous:
            return (page + kTabCount - 2) % kTabCount + 1;
        case PageStep::First:
            return 1;
        case PageStep::Last:
            return kTabCount;
    }
    return page;
}

std::string PageOrder::tabCaption(int page, int shown) {
    return FormDesign::member("lblP1Tab" + std::to_string(page), shown - 1);
}

const std::vector<std::string>& PageOrder::everyPage() {
    static const std::vector<std::string> buttons = {"cmdHelp", "cmdQuit"};
    return buttons;
}

}  // namespace quenvor::ui
