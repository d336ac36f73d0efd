#include "cli/CleanCommand.h"

#include <algorithm>
#include <ostream>

#include "cleaning/CleaningRun.h"
#include "cleaning/RunAccount.h"
#include "cleaning/UrlCacheLists.h"
#include "cleaning/chromium/ChromiumUrlCache.h"
#include "cli/CommandLine.h"
#include "cli/ConsoleUi.h"
#include "cli/ConsoleView.h"
#include "cli/ExitCode.h"
#include "cli/JsonOut.h"
#include "platform/ISettingsStore.h"
#include "shell/SettingsPage.h"
#include "text/TextIds.h"
#include "ui/BusyState.h"
#include "ui/Guarded.h"
#include "ui/StringTable.h"

namespace quenvor::cli {

using cleaning::common::CleanArea;

const char* CleanCommand::areaName(CleanArea area) {
    switch (area) {
        case CleanArea::History:
            return "history";
        case CleanArea::Cache:
            return "cache";
        case CleanArea::FormData:
            return "forms";
        case CleanArea::Cookies:
            return "cookies";
        case CleanArea::Temp:
            return "temp";
        case CleanArea::Recent:
            return "recent";
        case CleanArea::TypedUrls:
            return "typed_urls";
        case CleanArea::SiteData:
            return "site_data";
        case CleanArea::Thumbnails:
            return "thumbnails";
    }
    return "history";
}

// The words the window's final message gives each thing it left.
std::string CleanCommand::leftLine(const cleaning::common::CleanFailure& f) {
    auto text = [&](int id) { return m_strings.LoadLangString(id); };
    if (f.browserRunning) {
        std::string browser = f.browser, profile = f.what;
        if (browser.empty()) cleaning::chromium::ChromiumUrlCache::splitBusyName(f.what, browser, profile);
        return browser.empty()
                   ? ui::replaceAll(text(text::FirefoxProfileInUse), "%1", profile)
                   : ui::replaceAll(ui::replaceAll(text(text::BrowserProfileInUse), "%2", profile), "%1", browser);
    }
    return text(cleaning::RunAccount::areaText(f.area)) + (f.what.empty() ? "" : ": " + f.what) +
           (f.reason.empty() ? "" : ": " + f.reason);
}

bool CleanCommand::stepLeft(const Step& s, const cleaning::common::CleanReport& report) {
    return std::any_of(report.failures().begin(), report.failures().end(), [&](const auto& f) {
        return f.area == s.area && !f.what.empty() && (f.what == s.what || f.what == s.profile);
    });
}

// The steps of page one's lists, which name the entries they take as the lists show them. (A
// browser's own steps may name the same cookie line as another browser's.)
bool CleanCommand::listStep(const Step& s) { return s.browser.empty() && s.what.empty() && !s.names.empty(); }

std::vector<std::string> CleanCommand::namesLeft(const Step& s, const std::set<std::string>& listed) {
    std::vector<std::string> left;
    if (!listStep(s)) return left;
    for (const auto& n : s.names)
        if (listed.contains(n)) left.push_back(n);
    return left;
}

void CleanCommand::writeStep(JsonOut& json, const Step& s) {
    json.value("area", areaName(s.area))
        .value("browser", s.browser)
        .value("profile", s.profile)
        .value("what", s.what)
        .value("items", s.items)
        .value("bytes", s.bytes);
    json.beginArray("names");
    for (const auto& n : s.names) json.item(n);
    json.endArray();
}

int CleanCommand::run(const CommandLine& cl, std::ostream& out) {
    auto text = [&](int id) { return ConsoleUi::consoleText(m_strings.LoadLangString(id)); };
    ConsoleView view;
    ConsoleUi ui;
    platform::ISettingsStore* store = m_services.settings;
    if (cl.only) {
        for (std::size_t n = 0; n < cl.only->size(); ++n)
            view.setCheckValue("chk" + std::to_string(n + 1), (*cl.only)[n] ? 1 : 0);
    } else {
        shell::SettingsPage(view, m_strings, store, ui).LoadOptions();
    }
    std::vector<std::string> areas;
    for (std::size_t n = 0; n < kAreaNames.size(); ++n)
        if (view.checkValue("chk" + std::to_string(n + 1)) == 1) areas.emplace_back(kAreaNames[n]);

    cleaning::common::CleanReport none;
    const cleaning::common::CleanReport* report = &none;
    std::vector<std::string> messages;
    std::vector<std::string> previewLines;
    std::unique_ptr<cleaning::CleaningRun> run;
    // The services the window's cleaning needs; without them it would have nothing to work on.
    if (!m_services.registry || !m_services.profiles || !m_services.files || !m_services.folders) {
        out << text(text::StartupPartsFailed) << "\n" << text(text::StartupCleaningPart) << "\n";
        return ExitCode::NothingDone;
    }
    if (!areas.empty()) {
        const auto keep = cleaning::common::KeepList::parse(
            store ? store->read(shell::kSettingsApp, shell::kSettingsSection, "KEEP", "") : std::string());
        // Page one's lists, as the window fills them when it starts: the run reads them.
        if (m_services.urlCache)
            ui::guarded([&] { cleaning::UrlCacheLists(view, ui, *m_services.urlCache).ListPagesAndCookies(); });
        ui::BusyState busy;
        run = std::make_unique<cleaning::CleaningRun>(cleaning::CleaningRun::Services{
            view, ui, m_strings, busy,
            cleaning::firefox::FirefoxProfiles::Services{*m_services.registry, *m_services.profiles, *m_services.files,
                                                         *m_services.folders},
            m_services.urlCache, m_services.urlHistory, m_services.processes});
        run->setKeepList(keep);
        run->setPlanWatcher([this](const cleaning::common::CleanPlan& plan) {
            m_plan.clear();
            for (const auto& s : plan.steps())
                m_plan.push_back({s.area, s.browser, s.profile, s.what, s.items, s.bytes, s.names});
        });
        ui.setAnswer(cl.preview ? ui::MsgAnswer::No : ui::MsgAnswer::Yes);
        run->cmdNext_Click();
        report = &run->lastReport();
        for (const auto& shown : ui.shown()) {
            if (!shown.details.empty() || shown.buttons != ui::MsgButtons::Ok)
                previewLines = shown.details;
            else
                messages.push_back(shown.text);
        }
    }

    // After the run page one's lists name what is still there: a listed entry the run could not
    // take (its browser is running) stays listed.
    std::set<std::string> listed;
    for (const char* list : {"LstB2", "LstB3"})
        for (const auto& item : view.listItems(list)) listed.insert(item);
    std::vector<bool> left(m_plan.size());
    for (std::size_t i = 0; i < m_plan.size(); ++i)
        left[i] =
            !cl.preview && (listStep(m_plan[i]) ? !namesLeft(m_plan[i], listed).empty() : stepLeft(m_plan[i], *report));
    // A failure is told once, however many steps met it.
    std::vector<cleaning::common::CleanFailure> failures;
    for (const auto& f : report->failures())
        if (std::none_of(failures.begin(), failures.end(), [&](const auto& g) {
                return g.area == f.area && g.what == f.what && g.reason == f.reason && g.browser == f.browser;
            }))
            failures.push_back(f);

    // Nothing done: every store asked for belongs to a running browser, and nothing else was taken.
    const bool onlyRunning =
        !failures.empty() && report->wholeFailures().empty() &&
        std::all_of(failures.begin(), failures.end(), [](const auto& f) { return f.browserRunning; }) &&
        std::all_of(left.begin(), left.end(), [](bool l) { return l; });
    int code = ExitCode::Done;
    if (!report->clean()) code = onlyRunning ? ExitCode::NothingDone : ExitCode::Partly;

    if (cl.json) {
        JsonOut json;
        json.beginObject().value("command", "clean").value("preview", cl.preview);
        json.value("language", m_strings.language() == ui::kSpanish ? "es" : "en");
        json.beginArray("areas");
        for (const auto& a : areas) json.item(a);
        json.endArray();
        std::uint64_t plannedItems = 0, plannedBytes = 0;
        json.beginArray("plan");
        for (const auto& s : m_plan) {
            json.beginObject();
            writeStep(json, s);
            json.endObject();
            plannedItems += s.items;
            plannedBytes += s.bytes;
        }
        json.endArray();
        json.beginArray("items");
        if (!cl.preview)
            for (std::size_t i = 0; i < m_plan.size(); ++i) {
                json.beginObject();
                writeStep(json, m_plan[i]);
                json.value("state", left[i] ? "left" : "removed");
                json.beginArray("names_left");
                for (const auto& n : namesLeft(m_plan[i], listed)) json.item(n);
                json.endArray().endObject();
            }
        for (const auto& site : report->keptSites())
            json.beginObject()
                .value("area", "cookies")
                .value("what", site)
                .value("state", "kept")
                .value("reason", text(text::KeptSiteMark))
                .endObject();
        for (const auto& f : failures)
            json.beginObject()
                .value("area", areaName(f.area))
                .value("what", f.what)
                .value("state", "left")
                .value("reason", leftLine(f))
                .value("browser", f.browser)
                .value("browser_running", f.browserRunning)
                .endObject();
        for (const auto& w : report->wholeFailures())
            json.beginObject()
                .value("what", "")
                .value("state", "left")
                .value("reason", ConsoleUi::consoleText(w))
                .endObject();
        json.endArray();
        json.beginObject("totals");
        if (cl.preview) {
            json.value("items", plannedItems).value("bytes", plannedBytes);
        } else {
            std::uint64_t items = 0, bytes = 0;
            json.beginObject("areas");
            for (const auto& [area, tally] : report->removedTally()) {
                json.beginObject(areaName(area)).value("items", tally.items).value("bytes", tally.bytes).endObject();
                items += tally.items;
                bytes += tally.bytes;
            }
            json.endObject();
            json.value("items", items).value("bytes", bytes);
        }
        json.value("left", static_cast<std::uint64_t>(failures.size() + report->wholeFailures().size()))
            .value("kept", static_cast<std::uint64_t>(report->keptSites().size()));
        json.endObject();
        json.value("exit_code", code).endObject();
        out << json.text();
        return code;
    }

    if (areas.empty()) {
        out << text(text::CliNothingSelected) << "\n";
        return code;
    }
    if (cl.preview) {
        for (const auto& line : previewLines) out << ConsoleUi::consoleText(line) << "\n";
        for (const auto& f : failures) out << leftLine(f) << "\n";
        for (const auto& w : report->wholeFailures()) out << ConsoleUi::consoleText(w) << "\n";
        out << "\n" << text(text::CliPreviewOnly) << "\n";
        return code;
    }
    for (const auto& m : messages) out << m << "\n";
    for (const auto& site : report->keptSites()) out << ui::replaceAll(text(text::CliKeptSite), "%1", site) << "\n";
    return code;
}

}  // namespace quenvor::cli
