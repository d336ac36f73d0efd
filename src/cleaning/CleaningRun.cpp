#include "cleaning/CleaningRun.h"

#include <map>
#include <set>

#include "cleaning/UrlCacheLists.h"
#include "cleaning/chromium/ChromiumUrlCache.h"
#include "cleaning/chromium/cChromium.h"
#include "cleaning/desktop/cCleanInternet.h"
#include "cleaning/firefox/cFireFox.h"
#include "platform/IRegistry.h"
#include "platform/Utf8Path.h"
#include "text/TextIds.h"
#include "ui/BusyState.h"
#include "ui/Guarded.h"
#include "ui/IFormView.h"
#include "ui/IUiServices.h"
#include "ui/ListedMessage.h"
#include "ui/StringTable.h"

namespace quenvor::cleaning {
namespace {

int areaText(common::CleanArea a) {
    switch (a) {
        case common::CleanArea::History:
            return text::AreaHistory;
        case common::CleanArea::Cache:
            return text::AreaInternetFiles;
        case common::CleanArea::FormData:
            return text::AreaFormData;
        case common::CleanArea::Cookies:
            return text::AreaCookies;
        case common::CleanArea::Temp:
            return text::AreaTemporaryFiles;
        case common::CleanArea::Recent:
            return text::AreaRecentDocuments;
        case common::CleanArea::TypedUrls:
            return text::AreaTypedAddresses;
        case common::CleanArea::SiteData:
            return text::AreaSiteData;
        case common::CleanArea::Thumbnails:
            return text::AreaThumbnails;
    }
    return text::AreaHistory;
}

}  // namespace

CleaningRun::CleaningRun(Services s) : m_s(s) {}
CleaningRun::~CleaningRun() = default;

firefox::cFireFox& CleaningRun::firefox() {
    if (!m_firefox) m_firefox = std::make_unique<firefox::cFireFox>(m_s.firefox, m_s.processes, m_report);
    m_firefox->setKeepList(m_keep);
    return *m_firefox;
}

bool CleaningRun::selected(const char* box) { return m_s.view.checkValue(box) == 1; }

void CleaningRun::cmdNext_Click() {
    auto text = [&](int id) { return m_s.strings.LoadLangString(id); };
    if (m_s.ui.messageBox(ui::StringTable::ExpandLineBreaks(text(text::ConfirmCleaning)),
                          text(text::ConfirmCleaningTitle), ui::MsgButtons::YesNo, ui::MsgIcon::Exclamation,
                          ui::MsgDefault::Second) != ui::MsgAnswer::Yes)
        return;
    m_report.clear();
    m_s.busy.beginRun(ui::BusyState::Run::Cleaning, m_s.view);
    ui::guarded([&] { m_s.ui.setMousePointer(ui::MousePointer::Hourglass); });
    ui::guarded([&] { m_s.ui.processPendingEvents(); });

    std::unique_ptr<desktop::cCleanInternet> windows;
    auto system = [&]() -> desktop::cCleanInternet& {
        if (!windows)
            windows = std::make_unique<desktop::cCleanInternet>(
                desktop::cCleanInternet::Services{m_s.firefox.registry, m_s.firefox.files, m_s.firefox.folders,
                                                  m_s.history, m_s.processes},
                m_report);
        return *windows;
    };
    chromium::cChromium chromium({m_s.firefox.files, m_s.firefox.folders}, m_s.processes, m_report);
    chromium.setKeepList(m_keep);
    // An operation that throws is told as not done, in its area.
    auto run = [&](common::CleanArea area, const std::string& what, auto&& step) {
        ui::reportedStep(step, [&](const std::string& why) {
            m_report.fail(area, what, why.empty() ? text(text::UnexpectedError) : why);
        });
    };

    const bool cache = selected("chk2");
    if (cache) {
        if (m_s.urlCache)
            run(common::CleanArea::Cache, "",
                [&] { UrlCacheLists(m_s.view, m_s.ui, *m_s.urlCache).ClearUrlCache(&m_report); });
        run(common::CleanArea::Cache, "Firefox", [&] { firefox().ClearFirefoxCache(); });
        run(common::CleanArea::Cache, "Chromium", [&] { chromium.ClearCache(); });
    }
    if (selected("chk3")) {
        run(common::CleanArea::TypedUrls, desktop::kTypedUrlsKey, [&] { system().CleanTypedUrls(); });
        run(common::CleanArea::FormData, desktop::kFormDataKey, [&] { system().CleanFormData(); });
        run(common::CleanArea::FormData, "Firefox", [&] { firefox().ClearFirefoxFormHistory(); });
        run(common::CleanArea::FormData, "Chromium", [&] { chromium.ClearFormData(); });
    }
    if (selected("chk1")) {
        run(common::CleanArea::History, "", [&] { system().ClearInternetHistory(); });
        run(common::CleanArea::History, "Firefox", [&] { firefox().ClearFirefoxHistory(); });
        run(common::CleanArea::History, "Chromium", [&] { chromium.ClearHistory(); });
    }
    if (selected("chk6")) run(common::CleanArea::Recent, "", [&] { system().CleanRecentFilesMenu(); });
    if (selected("chk5")) run(common::CleanArea::Temp, "", [&] { system().EmptyTempFolder(); });
    if (selected("chk4")) {
        run(common::CleanArea::Cookies, "Firefox", [&] { firefox().ClearFirefoxCookies(); });
        run(common::CleanArea::Cookies, "Chromium", [&] { chromium.ClearCookies(); });
        // What the lists still name as a cookie (the system's own store): after the browsers'
        // steps, so a browser's cookie is not taken twice.
        if (m_s.urlCache)
            run(common::CleanArea::Cookies, "",
                [&] { UrlCacheLists(m_s.view, m_s.ui, *m_s.urlCache).ClearCookies(&m_report, &m_keep); });
    }
    // The page's lists show what is left once every step has run (a running browser keeps its
    // entries, cookies stay unless they were chosen); "all deleted" only for a list left empty.
    if (cache) ui::guarded([&] { showWhatRemains(); });
    ui::reportedStep(
        [&] { reportDamagedStore(); },
        [&](const std::string& why) { m_report.failWhole(why.empty() ? text(text::UnexpectedError) : why); });

    ui::guarded([&] { m_s.ui.setMousePointer(ui::MousePointer::Default); });
    if (m_report.clean()) {
        m_s.ui.messageBox(text(text::CleaningDone), text(text::AppTitle), ui::MsgButtons::Ok, ui::MsgIcon::Information);
    } else {
        m_s.ui.messageBox(summary(), text(text::AppTitle), ui::MsgButtons::Ok, ui::MsgIcon::Exclamation);
    }
    m_s.busy.endRun(ui::BusyState::Run::Cleaning, m_s.view);
}

void CleaningRun::showWhatRemains() {
    for (const char* list : {"LstB2", "LstB3"}) m_s.view.clearList(list);
    if (m_s.urlCache) {
        UrlCacheLists lists(m_s.view, m_s.ui, *m_s.urlCache);
        ui::guarded([&] { lists.ListVisitedSites(); });
        ui::guarded([&] { lists.ListCookies(); });
    }
    for (const char* list : {"LstB2", "LstB3"})
        if (m_s.view.listItems(list).empty())
            m_s.view.addListItem(list, m_s.strings.LoadLangString(text::ListClearedItem));
}

// The store the system's traces are kept in could not be read whole: the run cleaned the part
// it could read, so the rest is named rather than claimed as deleted.
void CleaningRun::reportDamagedStore() {
    const auto damage = m_s.firefox.registry.damage();
    if (!damage) return;
    const bool setAside = damage->keptAs != damage->file;
    std::string line = m_s.strings.LoadLangString(setAside ? text::StoreDamagedSetAside : text::StoreDamagedUntouched);
    line = ui::replaceAll(line, "%1", platform::utf8Of(damage->file));
    // The line is enough to find the damage, and reads in the language in force.
    const std::string where =
        damage->line ? ui::replaceAll(m_s.strings.LoadLangString(text::DamageLine), "%1", std::to_string(damage->line))
                     : damage->detail;
    line = ui::replaceAll(line, "%2", where);
    line = ui::replaceAll(line, "%3", platform::utf8Of(damage->keptAs));
    m_report.failWhole(line);
}

std::string CleaningRun::summary() {
    auto text = [&](int id) { return m_s.strings.LoadLangString(id); };
    ui::ListedMessage msg(text(text::CleaningIncomplete), text(text::CleaningAndMore));
    // A running browser is one line per profile, whatever it kept us from doing.
    for (const auto& line : m_report.wholeFailures()) msg.addAlways(line);
    std::set<std::pair<std::string, std::string>> running;
    for (const auto& f : m_report.failures()) {
        if (f.browserRunning) {
            // The cache list names a Chromium-family profile with its browser inside the name.
            std::string browser = f.browser, profile = f.what;
            if (browser.empty()) chromium::ChromiumUrlCache::splitBusyName(f.what, browser, profile);
            if (!running.insert({browser, profile}).second) continue;
            msg.addAlways(
                browser.empty()
                    ? ui::replaceAll(text(text::FirefoxProfileInUse), "%1", profile)
                    : ui::replaceAll(ui::replaceAll(text(text::BrowserProfileInUse), "%2", profile), "%1", browser));
            continue;
        }
        msg.add(text(areaText(f.area)) + (f.what.empty() ? "" : ": " + f.what) +
                (f.reason.empty() ? "" : ": " + f.reason));
    }
    return msg.text();
}

}  // namespace quenvor::cleaning
