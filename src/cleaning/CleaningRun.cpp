#include "cleaning/CleaningRun.h"

#include <map>
#include <set>

#include "cleaning/UrlCacheLists.h"
#include "cleaning/cCleanInternet.h"
#include "cleaning/cFireFox.h"
#include "ui/BusyState.h"
#include "ui/Guarded.h"
#include "ui/IFormView.h"
#include "ui/IUiServices.h"
#include "ui/ListedMessage.h"
#include "ui/StringTable.h"

namespace quenvor::cleaning {
namespace {

int areaText(CleanArea a) {
    switch (a) {
        case CleanArea::History:
            return 172;
        case CleanArea::Cache:
            return 173;
        case CleanArea::FormData:
            return 174;
        case CleanArea::Cookies:
            return 175;
        case CleanArea::Temp:
            return 176;
        case CleanArea::Recent:
            return 177;
        case CleanArea::TypedUrls:
            return 178;
    }
    return 172;
}

}  // namespace

CleaningRun::CleaningRun(Services s) : m_s(s) {}
CleaningRun::~CleaningRun() = default;

cFireFox& CleaningRun::firefox() {
    if (!m_firefox) m_firefox = std::make_unique<cFireFox>(m_s.firefox, m_s.processes);
    return *m_firefox;
}

bool CleaningRun::selected(const char* box) { return m_s.view.checkValue(box) == 1; }

void CleaningRun::cmdNext_Click() {
    auto text = [&](int id) { return m_s.strings.LoadLangString(id); };
    if (m_s.ui.messageBox(ui::StringTable::ExpandLineBreaks(text(151)), text(152), ui::MsgButtons::YesNo,
                          ui::MsgIcon::Exclamation) != ui::MsgAnswer::Yes)
        return;
    m_report.clear();
    m_s.busy.beginRun(ui::BusyState::Run::Cleaning, m_s.view);
    ui::guarded([&] { m_s.ui.setMousePointer(ui::MousePointer::Hourglass); });
    ui::guarded([&] { m_s.ui.processPendingEvents(); });

    std::unique_ptr<cCleanInternet> windows;
    auto system = [&]() -> cCleanInternet& {
        if (!windows)
            windows = std::make_unique<cCleanInternet>(
                cCleanInternet::Services{m_s.firefox.registry, m_s.firefox.files, m_s.firefox.folders, m_s.history,
                                         m_s.processes},
                m_report);
        return *windows;
    };
    ui::guarded([&] { firefox().setReport(&m_report); });

    if (selected("chk2")) {
        if (m_s.urlCache) ui::guarded([&] { UrlCacheLists(m_s.view, m_s.ui, *m_s.urlCache).ClearUrlCache(&m_report); });
        ui::guarded([&] { firefox().ClearFirefoxCache(); });
        ui::guarded([&] {
            for (const char* list : {"LstB2", "LstB3"}) {
                m_s.view.clearList(list);
                m_s.view.addListItem(list, text(158));
            }
        });
    }
    if (selected("chk3")) {
        ui::guarded([&] { system().CleanTypedUrls(); });
        ui::guarded([&] { system().CleanFormData(); });
        ui::guarded([&] { firefox().ClearFirefoxFormHistory(); });
    }
    if (selected("chk1")) {
        ui::guarded([&] { system().ClearInternetHistory(); });
        ui::guarded([&] { firefox().ClearFirefoxHistory(); });
    }
    if (selected("chk6")) ui::guarded([&] { system().CleanRecentFilesMenu(); });
    if (selected("chk5")) ui::guarded([&] { system().EmptyTempFolder(); });
    if (selected("chk4")) ui::guarded([&] { firefox().ClearFirefoxCookies(); });

    ui::guarded([&] { firefox().setReport(nullptr); });
    ui::guarded([&] { m_s.ui.setMousePointer(ui::MousePointer::Default); });
    if (m_report.clean()) {
        m_s.ui.messageBox(text(159), text(154), ui::MsgButtons::Ok, ui::MsgIcon::Information);
    } else {
        m_s.ui.messageBox(summary(), text(154), ui::MsgButtons::Ok, ui::MsgIcon::Exclamation);
    }
    m_s.busy.endRun(ui::BusyState::Run::Cleaning, m_s.view);
}

std::string CleaningRun::summary() {
    auto text = [&](int id) { return m_s.strings.LoadLangString(id); };
    ui::ListedMessage msg(text(170), text(179));
    // A running browser is one line per profile, whatever it kept us from doing.
    std::set<std::string> running;
    for (const auto& f : m_report.failures()) {
        if (f.browserRunning) {
            if (running.insert(f.what).second) msg.addAlways(ui::replaceAll(text(171), "%1", f.what));
            continue;
        }
        msg.add(text(areaText(f.area)) + ": " + f.what + (f.reason.empty() ? "" : ": " + f.reason));
    }
    return msg.text();
}

}  // namespace quenvor::cleaning
