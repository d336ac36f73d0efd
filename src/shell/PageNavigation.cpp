#include "shell/PageNavigation.h"

#include "text/TextIds.h"
#include "ui/FormDesign.h"
#include "ui/IFormView.h"
#include "ui/StringTable.h"

namespace quenvor::shell {
namespace {

std::vector<std::string> designOrder() {
    std::vector<std::string> names;
    for (const auto& c : ui::FormDesign::controls()) names.push_back(c.name);
    return names;
}

const std::vector<std::string> kChecks = {"chk1", "chk2", "chk3", "chk4", "chk5", "chk6"};

std::vector<std::string> join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

PageNavigation::PageNavigation(ui::IFormView& view, ui::StringTable& strings)
    : m_view(view), m_strings(strings), m_order(designOrder()) {}

void PageNavigation::frontStrip(int index) { m_view.bringToFront(ui::FormDesign::member("pTab1", index)); }

void PageNavigation::show(const std::vector<std::string>& names, bool visible) {
    for (const auto& n : names) m_view.setVisible(n, visible);
}

void PageNavigation::tabStops(const std::vector<std::string>& names, bool on) {
    for (const auto& n : names) m_view.setTabStop(n, on);
}

void PageNavigation::applyOrder() { m_view.applyTabOrder(m_order.order()); }

void PageNavigation::ShowTracksPage() {
    frontStrip(0);
    m_view.setCaption("lblTitle", m_strings.LoadLangString(text::StartPageTitle));
    show({"LstB2", "LstB3", "cmdKeep", "lblStart", "lblCookies", "cmdNext"}, true);
    m_order.setTabIndex("cmdNext", 0);
    m_order.setTabIndex("LstB2", 1);
    m_order.setTabIndex("LstB3", 2);
    m_order.setTabIndex("cmdKeep", 3);
    tabStops({"cmdNext", "LstB2", "LstB3", "cmdKeep"}, true);
    tabStops(join(kChecks, {"pSettings", "cmbSecure", "cmdFolder", "cmdDelete", "cmdFile", "cmdSave", "cmdCancel"}),
             false);
    show({"pSettings", "lblAbout"}, false);
    show({"lblRecentFiles"}, true);
    show({"cmbSecure", "lblStat", "pbCurrentPrgrs", "cmdFolder", "cmdDelete", "lblShredder", "lblDeleteSel", "cmdFile",
          "cmdSave", "cmdCancel", "lblStatus", "lblChosen"},
         false);
    show({"cmdWipeFree", "cmdChosenList"}, false);
    tabStops({"cmdWipeFree"}, false);
    applyOrder();
}

void PageNavigation::ShowShredderPage() {
    frontStrip(1);
    m_view.setCaption("lblTitle", m_strings.LoadLangString(text::ShredderPageTitle));
    show({"LstB2", "LstB3", "cmdKeep", "lblStart", "lblCookies", "cmdNext", "lblRecentFiles"}, false);
    m_order.setTabIndex("cmdFile", 0);
    m_order.setTabIndex("cmdFolder", 1);
    m_order.setTabIndex("cmdDelete", 2);
    m_order.setTabIndex("cmbSecure", 3);
    tabStops({"cmdFile", "cmdFolder", "cmdDelete", "cmbSecure"}, true);
    tabStops(join(kChecks, {"pSettings", "LstB2", "LstB3", "cmdKeep", "cmdCancel", "cmdSave"}), false);
    show({"pSettings", "lblAbout", "cmdSave", "cmdCancel", "lblStat"}, false);
    show({"lblShredder", "lblDeleteSel", "cmbSecure", "cmdFile", "cmdFolder", "cmdDelete", "lblChosen"}, true);
    m_view.setCaption("lblStatus", "");
    show({"lblStatus"}, true);
    // Wipe free space belongs to the shredder page alone.
    show({"cmdWipeFree"}, true);
    tabStops({"cmdWipeFree"}, true);
    applyOrder();
}

void PageNavigation::ShowSettingsPage() {
    frontStrip(2);
    m_view.setCaption("lblTitle", m_strings.LoadLangString(text::SettingsPageTitle));
    show({"LstB2", "LstB3", "cmdKeep", "lblStart", "lblCookies", "cmdNext"}, false);
    tabStops(join({"cmdSave"}, join(kChecks, {"cmbLanguage"})), true);
    m_order.setTabIndex("cmbLanguage", 7);
    m_order.setTabIndex("cmdSave", 7);
    m_order.setTabIndex("chk1", 0);
    m_order.setTabIndex("chk2", 1);
    m_order.setTabIndex("chk3", 2);
    m_order.setTabIndex("chk4", 4);
    m_order.setTabIndex("chk5", 5);
    m_order.setTabIndex("chk6", 3);
    tabStops({"pSettings", "LstB2", "LstB3", "cmdKeep", "cmdNext", "cmbSecure", "cmdFolder", "cmdDelete", "cmdFile",
              "cmdCancel"},
             false);
    show({"lblAbout", "cmbSecure", "lblStat", "pbCurrentPrgrs", "cmdFolder", "cmdDelete", "lblShredder", "lblDeleteSel",
          "cmdFile", "cmdCancel", "lblStatus", "lblChosen"},
         false);
    show({"pSettings", "cmdSave"}, true);
    show({"cmdWipeFree", "cmdChosenList"}, false);
    tabStops({"cmdWipeFree"}, false);
    applyOrder();
}

void PageNavigation::ShowAboutPage() {
    frontStrip(3);
    m_view.setCaption("lblTitle", m_strings.LoadLangString(text::AboutPageTitle));
    show({"LstB2", "LstB3", "cmdKeep", "lblStart", "lblCookies", "cmdNext", "lblRecentFiles"}, false);
    tabStops(join({"pSettings"}, join(kChecks, {"LstB2", "LstB3", "cmdKeep", "cmdNext", "cmbSecure", "cmdFolder",
                                                "cmdDelete", "cmdFile", "cmdSave", "cmdCancel"})),
             false);
    show({"pSettings", "cmbSecure", "lblStat", "pbCurrentPrgrs", "cmdFolder", "cmdDelete", "lblShredder",
          "lblDeleteSel", "cmdFile", "cmdSave", "cmdCancel", "lblStatus", "lblChosen"},
         false);
    show({"lblAbout"}, true);
    show({"cmdWipeFree", "cmdChosenList"}, false);
    tabStops({"cmdWipeFree"}, false);
    applyOrder();
}

void PageNavigation::showTab(int tab) {
    switch (tab) {
        case 1:
            ShowTracksPage();
            break;
        case 2:
            ShowShredderPage();
            break;
        case 3:
            ShowSettingsPage();
            break;
        case 4:
            ShowAboutPage();
            break;
        default:
            break;
    }
}

// Some handlers raise a strip before the page routine raises its own; the routine's wins.
void PageNavigation::imgP1Tab_Click(int tab) {
    if (tab == 1) frontStrip(0);
    if (tab == 3) frontStrip(2);
    showTab(tab);
}

void PageNavigation::lblP1Tab_Click(int tab) {
    if (tab == 3) frontStrip(2);
    showTab(tab);
}

void PageNavigation::imgTab4_Click() { frontStrip(1); }

void PageNavigation::P1Tab_MouseMove(int tab) {
    for (int strip = 0; strip < ui::kTabCount; ++strip) {
        for (int j = 1; j <= ui::kTabCount; ++j) {
            if (strip == 0 && j == 1) continue;  // keeps the bold of the window's design
            m_view.setBold(ui::FormDesign::member("lblP1Tab" + std::to_string(j), strip), j == tab || j == strip + 1);
        }
    }
}

}  // namespace quenvor::shell
