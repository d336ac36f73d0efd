#pragma once
// The four pages of the main window: which controls each shows, the keyboard order, the
// tab strips and the bold hover effect on their captions.
#include <string>
#include <vector>

#include "shell/TabOrder.h"

namespace quenvor::shell {

class IFormView;
class StringTable;

class PageNavigation {
public:
    PageNavigation(IFormView& view, StringTable& strings);

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

    const TabOrder& tabOrder() const { return m_order; }

private:
    void frontStrip(int index);
    void showTab(int tab);
    void show(const std::vector<std::string>& names, bool visible);
    void tabStops(const std::vector<std::string>& names, bool on);
    void applyOrder();

    IFormView& m_view;
    StringTable& m_strings;
    TabOrder m_order;
};

}  // namespace quenvor::shell
