#pragma once
// The "Erase my tracks" button: confirmation, the selected operations in their fixed order,
// and a final message that says whether everything selected was removed.
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cleaning/common/CleanPlan.h"
#include "cleaning/common/CleanReport.h"
#include "cleaning/common/KeepList.h"
#include "cleaning/firefox/FirefoxProfiles.h"

namespace quenvor::platform {
class IProcessTable;
class IUrlCache;
class IUrlHistory;
}  // namespace quenvor::platform
namespace quenvor::ui {
class BusyState;
class IFormView;
class IUiServices;
class StringTable;
}  // namespace quenvor::ui

namespace quenvor::cleaning::firefox {
class cFireFox;
}
namespace quenvor::cleaning::chromium {
class cChromium;
}
namespace quenvor::cleaning::desktop {
class cCleanInternet;
}

namespace quenvor::cleaning {

class CleaningRun {
public:
    struct Services {
        quenvor::ui::IFormView& view;
        quenvor::ui::IUiServices& ui;
        quenvor::ui::StringTable& strings;
        quenvor::ui::BusyState& busy;
        firefox::FirefoxProfiles::Services firefox;  // registry, profile reader, files, folders
        platform::IUrlCache* urlCache;
        platform::IUrlHistory* history;
        platform::IProcessTable* processes;
    };

    explicit CleaningRun(Services s);
    ~CleaningRun();

    void cmdNext_Click();
    // The sites whose cookies and site data every later run keeps.
    void setKeepList(common::KeepList keep) { m_keep = std::move(keep); }
    const common::CleanReport& lastReport() const { return m_report; }
    // Shown each plan once it is made, before the question: for a front end that tells it in a
    // form of its own (the console's report).
    void setPlanWatcher(std::function<void(const common::CleanPlan&)> watch) { m_watch = std::move(watch); }
    // The message the last run ended with.
    std::string summary();

private:
    bool selected(const char* box);
    firefox::cFireFox& firefox();
    void reportDamagedStore();
    void showWhatRemains();
    std::unique_ptr<desktop::cCleanInternet> makeSystem(common::CleanReport& report);
    void makePlan(common::CleanPlan& plan, chromium::cChromium& chromium,
                  const std::function<desktop::cCleanInternet&()>& system, bool cache, bool forms, bool history);
    // The system's own traces found once the plan has run that it did not hold: they came after it.
    std::vector<std::string> appearedOnTheSystem(const common::CleanPlan& plan, bool forms, bool history);
    void reportAppeared(const common::CleanPlan& plan, bool cache, bool cookies,
                        const std::vector<std::string>& onTheSystem);

    Services m_s;
    std::unique_ptr<firefox::cFireFox> m_firefox;  // kept for the window's life, made on first use
    common::CleanReport m_report;
    common::KeepList m_keep;
    std::function<void(const common::CleanPlan&)> m_watch;
};

}  // namespace quenvor::cleaning
