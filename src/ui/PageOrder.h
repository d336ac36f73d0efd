#pragma once
// The four pages as both windows step through them from the keyboard: which one is shown,
// where a key leads from it, and which controls stand for each tab.
#include <string>
#include <vector>

namespace quenvor::ui {

class IFormView;

// Ctrl+Tab / Ctrl+PageDown, Ctrl+Shift+Tab / Ctrl+PageUp, and Home / End on the tab strip.
enum class PageStep { Next, Previous, First, Last };

class PageOrder {
public:
    // The page shown, 1 to kTabCount, told by a control that only that page shows: the strip in
    // front is not proof, as a click beside the About strip's tabs raises another strip.
    static int shown(IFormView& view);
    // The page `step` leads to from `page`; Next and Previous wrap around.
    static int step(int page, PageStep step);
    // The caption of tab `page` on the strip in front while page `shown` is up: clicking it is
    // how a mouse shows that page, so the keyboard goes the same way.
    static std::string tabCaption(int page, int shown);
    // The buttons of every page, which keep their letters wherever they are: Alt+Q quits on
    // every page, and a page's own button on the same letter is the one that moves.
    static const std::vector<std::string>& everyPage();
};

}  // namespace quenvor::ui
