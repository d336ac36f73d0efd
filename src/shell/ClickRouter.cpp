#include "shell/ClickRouter.h"

#include <cassert>
#include <cstdio>

#include "shell/StartForm.h"
#include "shredder/ShredderPage.h"
#include "ui/FormDesign.h"

namespace quenvor::shell {

ClickRouter::ClickRouter(StartForm& form) : m_form(form) {
    auto& pages = form.pages();
    for (int strip = 0; strip < ui::kTabCount; ++strip) {
        for (int tab = 1; tab <= ui::kTabCount; ++tab) {
            const std::string hot = ui::FormDesign::member("imgP1Tab" + std::to_string(tab), strip);
            const std::string caption = ui::FormDesign::member("lblP1Tab" + std::to_string(tab), strip);
            // The shredder page's choice is shown again with its page (its list button included).
            m_clicks[hot] = [&form, &pages, tab] {
                pages.imgP1Tab_Click(tab);
                if (auto* page = form.shredderPage()) page->showChoice();
            };
            m_clicks[caption] = [&form, &pages, tab] {
                pages.lblP1Tab_Click(tab);
                if (auto* page = form.shredderPage()) page->showChoice();
            };
            m_tabs[hot] = m_tabs[caption] = tab;
        }
    }
    m_clicks["imgTab4"] = [&pages] { pages.imgTab4_Click(); };
    m_clicks["cmdHelp"] = [&form] { form.cmdHelp_Click(); };
    m_clicks["cmdNext"] = [&form] { form.cmdNext_Click(); };
    m_clicks["cmdQuit"] = [&form] { form.cmdQuit_Click(); };
    auto& settings = form.settings();
    m_clicks["cmbLanguage"] = [&settings] { settings.cmbLanguage_Click(); };
    m_clicks["cmdSave"] = [&settings] { settings.cmdSave_Click(); };
    // A click on the cookie list is a change of the picked row.
    auto& keep = form.keepSites();
    m_clicks["LstB3"] = [&keep] { keep.LstB3_Click(); };
    m_clicks["cmdKeep"] = [&keep] { keep.cmdKeep_Click(); };
    m_menus["LstB3"] = [&keep] { keep.LstB3_ContextMenu(); };
    // The shredder page exists once the load step has run; before, its buttons do nothing.
    const auto onShredder = [&form](void (shredder::ShredderPage::*handler)()) {
        return [&form, handler] {
            if (auto* page = form.shredderPage()) (page->*handler)();
        };
    };
    m_clicks["cmdFile"] = onShredder(&shredder::ShredderPage::cmdFile_Click);
    m_clicks["cmdFolder"] = onShredder(&shredder::ShredderPage::cmdFolder_Click);
    m_clicks["cmdDelete"] = onShredder(&shredder::ShredderPage::cmdDelete_Click);
    m_clicks["cmdCancel"] = onShredder(&shredder::ShredderPage::cmdCancel_Click);
    m_clicks["cmdWipeFree"] = onShredder(&shredder::ShredderPage::cmdWipeFree_Click);
    m_clicks["cmdChosenList"] = onShredder(&shredder::ShredderPage::cmdChosenList_Click);
}

bool ClickRouter::routes(const std::string& name) const { return m_clicks.contains(name); }

void ClickRouter::click(const std::string& name) {
    const auto it = m_clicks.find(name);
    if (it == m_clicks.end()) {
#ifndef NDEBUG
        std::fprintf(stderr, "a click on \"%s\", which has no handler\n", name.c_str());
        assert(false && "every click the windows forward has a handler");
#endif
        return;
    }
    it->second();
}

void ClickRouter::contextMenu(const std::string& name) {
    if (const auto it = m_menus.find(name); it != m_menus.end()) it->second();
}

void ClickRouter::pointerOver(const std::string& name) {
    if (const auto it = m_tabs.find(name); it != m_tabs.end()) m_form.pages().P1Tab_MouseMove(it->second);
}

}  // namespace quenvor::shell
