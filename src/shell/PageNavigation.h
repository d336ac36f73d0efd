#pragma once
// The four pages of the main window: which controls each shows, the keyboard order, the
// tab strips and the bold hover effect on their captions.
#include <string>
#include <vector>

#include "ui/TabOrder.h"

namespace quenvor::ui {
class IFormView;
class StringTable;
}  // namespace quenvor::ui

namespace quenvor::shell {

class PageNavigation {
public:
    PageNavigation(ui::IFormView& view, ui::StringTable& strings);

    void ShowTracksPage();
    void ShowShredderPage();
    void ShowSettingsPage();
    void ShowAboutPage();

    // Click on the hot area or the caption of tab `tab` (1 to 4) on any strip.
    void imgP1Tab_Click(int tab);
    void lblP1Tab_Click(int tab);
    // Click on the About strip's picture outside its tabs.
    void imgTab4_Click();
    // Pointer over the hot area or caption of tab `tab` (1 to 4) on any strip.
    void P1Tab_MouseMove(int tab);

    const ui::TabOrder& tabOrder() const { return m_order; }

private:
    void frontStrip(int index);
    void showTab(int tab);
    void show(const std::vector<std::string>& names, bool visible);
    void tabStops(const std::vector<std::string>& names, bool on);
    void applyOrder();

    ui::IFormView& m_view;
    ui::StringTable& m_strings;
    ui::TabOrder m_order;
};

}  // namespace quenvor::shell
