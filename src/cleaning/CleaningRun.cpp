#include "cleaning/CleaningRun.h"

#include <map>
#include <set>

#include "cleaning/PlanPreview.h"
#include "cleaning/RunAccount.h"
#include "cleaning/UrlCacheLists.h"
#include "cleaning/chromium/ChromiumUrlCache.h"
#include "cleaning/chromium/cChromium.h"
#include "cleaning/common/PlanSink.h"
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
    m_report.clear();
    // The cleaners live until the plan they fill is carried out.
    std::unique_ptr<desktop::cCleanInternet> windows;
    // Named, as the plan's steps call it when they are carried out.
    const std::function<desktop::cCleanInternet&()> system = [&]() -> desktop::cCleanInternet& {
        if (!windows) windows = makeSystem(m_report);
        return *windows;
    };
    chromium::cChromium chromium({m_s.firefox.files, m_s.firefox.folders}, m_s.processes, m_report);
    chromium.setKeepList(m_keep);
    common::CleanPlan plan;
    const bool cache = selected("chk2"), forms = selected("chk3"), history = selected("chk1");
    ui::guarded([&] { m_s.ui.setMousePointer(ui::MousePointer::Hourglass); });
    ui::reportedStep(
        [&] { makePlan(plan, chromium, system, cache, forms, history); },
        [&](const std::string& why) { m_report.failWhole(why.empty() ? text(text::UnexpectedError) : why); });
    chromium.setPlan(nullptr);
    firefox().setPlan(nullptr);
    if (windows) windows->setPlan(nullptr);
    ui::guarded([&] { m_s.ui.setMousePointer(ui::MousePointer::Default); });

    if (m_watch) ui::guarded([&] { m_watch(plan); });
    // The question is the one it always was; what the plan holds is there for the asking.
    if (m_s.ui.messageBoxWithDetails(ui::StringTable::ExpandLineBreaks(text(text::ConfirmCleaning)),
                                     text(text::ConfirmCleaningTitle), ui::MsgButtons::YesNo, ui::MsgIcon::Exclamation,
                                     ui::MsgDefault::Second, text(text::PreviewButton),
                                     PlanPreview(m_s.strings).lines(plan)) != ui::MsgAnswer::Yes)
        return;
    m_s.busy.beginRun(ui::BusyState::Run::Cleaning, m_s.view);
    ui::guarded([&] { m_s.ui.setMousePointer(ui::MousePointer::Hourglass); });
    ui::guarded([&] { m_s.ui.processPendingEvents(); });
    // Exactly what was planned, in order; a step that throws is told as not done, in its area.
    for (auto& step : plan.steps())
        ui::reportedStep(step.act, [&](const std::string& why) {
            m_report.fail(step.area, step.what, why.empty() ? text(text::UnexpectedError) : why);
        });

    // The page's lists show what is left once every step has run (a running browser keeps its
    // entries, cookies stay unless they were chosen, kept sites stay); "all deleted" only for a
    // list left empty. Whatever was chosen, a list that still named what went would mislead.
    ui::guarded([&] { showWhatRemains(); });
    std::vector<std::string> onTheSystem;
    ui::guarded([&] { onTheSystem = appearedOnTheSystem(plan, forms, history); });
    ui::guarded([&] { reportAppeared(plan, cache, selected("chk4"), onTheSystem); });
    ui::reportedStep(
        [&] { reportDamagedStore(); },
        [&](const std::string& why) { m_report.failWhole(why.empty() ? text(text::UnexpectedError) : why); });

    ui::guarded([&] { m_s.ui.setMousePointer(ui::MousePointer::Default); });
    // What went and what stayed follows the verdict, whichever it is.
    std::string account;
    ui::guarded([&] { account = "\n\n" + RunAccount(m_s.strings).text(m_report, history || forms); });
    if (m_report.clean()) {
        m_s.ui.messageBox(text(text::CleaningDone) + account, text(text::AppTitle), ui::MsgButtons::Ok,
                          ui::MsgIcon::Information);
    } else {
        m_s.ui.messageBox(summary() + account, text(text::AppTitle), ui::MsgButtons::Ok, ui::MsgIcon::Exclamation);
    }
    m_s.busy.endRun(ui::BusyState::Run::Cleaning, m_s.view);
}

std::unique_ptr<desktop::cCleanInternet> CleaningRun::makeSystem(common::CleanReport& report) {
    return std::make_unique<desktop::cCleanInternet>(
        desktop::cCleanInternet::Services{m_s.firefox.registry, m_s.firefox.files, m_s.firefox.folders, m_s.history,
                                          m_s.processes},
        report);
}

void CleaningRun::makePlan(common::CleanPlan& plan, chromium::cChromium& chromium,
                           const std::function<desktop::cCleanInternet&()>& system, bool cache, bool forms,
                           bool history) {
    auto text = [&](int id) { return m_s.strings.LoadLangString(id); };
    chromium.setPlan(&plan);
    firefox().setPlan(&plan);
    common::PlanSink sink;
    sink.attach(&plan);
    // Finding what would go may fail too: told in its area, as a failed removal would be.
    auto find = [&](common::CleanArea area, const std::string& what, auto&& step) {
        ui::reportedStep(step, [&](const std::string& why) {
            m_report.fail(area, what, why.empty() ? text(text::UnexpectedError) : why);
        });
    };
    // The system's own traces are found here as the browsers' are, item by item.
    auto sys = [&]() -> desktop::cCleanInternet& {
        auto& s = system();
        s.setPlan(&plan);
        return s;
    };
    if (cache) {
        // The page's list of addresses, a cache folder at a time, each entry counted in its
        // browser's group; the browsers' own steps then take what else their caches hold.
        if (m_s.urlCache)
            find(common::CleanArea::Cache, "",
                 [&] { UrlCacheLists(m_s.view, m_s.ui, *m_s.urlCache).ClearUrlCache(&m_report, &sink); });
        find(common::CleanArea::Cache, "Firefox", [&] { firefox().ClearFirefoxCache(); });
        find(common::CleanArea::Cache, "Chromium", [&] { chromium.ClearCache(); });
    }
    if (forms) {
        find(common::CleanArea::TypedUrls, desktop::kTypedUrlsKey, [&] { sys().CleanTypedUrls(); });
        find(common::CleanArea::FormData, desktop::kFormDataKey, [&] { sys().CleanFormData(); });
        find(common::CleanArea::FormData, "Firefox", [&] { firefox().ClearFirefoxFormHistory(); });
        find(common::CleanArea::FormData, "Chromium", [&] { chromium.ClearFormData(); });
    }
    if (history) {
        find(common::CleanArea::History, "", [&] { sys().ClearInternetHistory(); });
        find(common::CleanArea::History, "Firefox", [&] { firefox().ClearFirefoxHistory(); });
        find(common::CleanArea::History, "Chromium", [&] { chromium.ClearHistory(); });
    }
    if (selected("chk6")) find(common::CleanArea::Recent, "", [&] { sys().CleanRecentFilesMenu(); });
    if (selected("chk5")) find(common::CleanArea::Temp, "", [&] { sys().EmptyTempFolder(); });
    if (selected("chk4")) {
        find(common::CleanArea::Cookies, "Firefox", [&] { firefox().ClearFirefoxCookies(); });
        find(common::CleanArea::Cookies, "Chromium", [&] { chromium.ClearCookies(); });
        // What the lists name as a cookie (the system's own store among them), after the
        // browsers' steps: a browser's cookie they took is gone by then, and not counted twice.
        // The browsers' cookies are counted by their stores' own steps, the system's here.
        if (m_s.urlCache)
            find(common::CleanArea::Cookies, "",
                 [&] { UrlCacheLists(m_s.view, m_s.ui, *m_s.urlCache).ClearCookies(&m_report, &sink, &m_keep); });
    }
}

// The system's traces are found again, as they are now, into a plan that is never carried out.
// What the first plan took is gone, and what it failed to take it held: anything else came
// after it. Items are told by their names; a store counted whole (a settings file's entries)
// that the plan held is taken as one it failed on.
std::vector<std::string> CleaningRun::appearedOnTheSystem(const common::CleanPlan& plan, bool forms, bool history) {
    const bool recent = selected("chk6"), temp = selected("chk5");
    if (!forms && !history && !recent && !temp) return {};
    auto identities = [](const common::CleanPlan& p) {
        std::multiset<std::string> out;
        for (const auto& s : p.steps()) {
            if (!s.browser.empty() || !s.profile.empty() || s.area == common::CleanArea::Cache ||
                s.area == common::CleanArea::Cookies || s.items == 0)
                continue;
            if (!s.names.empty())
                out.insert(s.names.begin(), s.names.end());
            else
                out.insert(s.what);
        }
        return out;
    };
    common::CleanReport unseen;  // what cannot be read now was told when the plan was made
    common::CleanPlan now;
    auto again = makeSystem(unseen);
    again->setPlan(&now);
    if (forms) {
        ui::guarded([&] { again->CleanTypedUrls(); });
        ui::guarded([&] { again->CleanFormData(); });
    }
    if (history) ui::guarded([&] { again->ClearInternetHistory(); });
    if (recent) ui::guarded([&] { again->CleanRecentFilesMenu(); });
    if (temp) ui::guarded([&] { again->EmptyTempFolder(); });
    auto planned = identities(plan);
    std::vector<std::string> appeared;
    for (const auto& id : identities(now)) {
        if (auto it = planned.find(id); it != planned.end())
            planned.erase(it);
        else
            appeared.push_back(id);
    }
    return appeared;
}

// Entries the lists name now that the plan did not hold came after it was made: the run left
// them, and says so rather than calling the lists' areas clean.
void CleaningRun::reportAppeared(const common::CleanPlan& plan, bool cache, bool cookies,
                                 const std::vector<std::string>& onTheSystem) {
    std::set<std::string> planned;
    for (const auto& s : plan.steps()) planned.insert(s.names.begin(), s.names.end());
    const std::string cleared = m_s.strings.LoadLangString(text::ListClearedItem);
    std::vector<std::string> appeared;
    auto check = [&](const char* list) {
        for (const auto& item : m_s.view.listItems(list))
            if (item != cleared && !planned.contains(item) && !m_keep.keeps(item)) appeared.push_back(item);
    };
    if (cache) check("LstB2");
    if (cookies) check("LstB3");
    appeared.insert(appeared.end(), onTheSystem.begin(), onTheSystem.end());
    if (appeared.empty()) return;
    ui::ListedMessage msg(ui::replaceAll(m_s.strings.LoadLangString(text::AppearedAfterPreview), "%1",
                                         RunAccount(m_s.strings).count(appeared.size())),
                          m_s.strings.LoadLangString(text::CleaningAndMore));
    for (const auto& a : appeared) msg.add(a);
    m_report.failWhole(msg.text());
}

void CleaningRun::showWhatRemains() {
    for (const char* list : {"LstB2", "LstB3"}) m_s.view.clearList(list);
    if (m_s.urlCache) {
        // One walk for both lists, as at start-up.
        ui::guarded([&] { UrlCacheLists(m_s.view, m_s.ui, *m_s.urlCache).ListPagesAndCookies(); });
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
        msg.add(text(RunAccount::areaText(f.area)) + (f.what.empty() ? "" : ": " + f.what) +
                (f.reason.empty() ? "" : ": " + f.reason));
    }
    return msg.text();
}

}  // namespace quenvor::cleaning
