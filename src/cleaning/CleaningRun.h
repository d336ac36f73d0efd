#pragma once
// The "Erase my tracks" button: confirmation, the selected operations in their fixed order,
// and a final message that says whether everything selected was removed.
#include <memory>
#include <string>

#include "cleaning/CleanReport.h"
#include "cleaning/FirefoxProfiles.h"

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

namespace quenvor::cleaning {

class cFireFox;

class CleaningRun {
public:
    struct Services {
        quenvor::ui::IFormView& view;
        quenvor::ui::IUiServices& ui;
        quenvor::ui::StringTable& strings;
        quenvor::ui::BusyState& busy;
        FirefoxProfiles::Services firefox;  // registry, profile reader, files, folders
        platform::IUrlCache* urlCache;
        platform::IUrlHistory* history;
        platform::IProcessTable* processes;
    };

    explicit CleaningRun(Services s);
    ~CleaningRun();

    void cmdNext_Click();
    const CleanReport& lastReport() const { return m_report; }
    // The message the last run ended with.
    std::string summary();

private:
    bool selected(const char* box);
    cFireFox& firefox();
    void reportDamagedStore();
    void showWhatRemains();

    Services m_s;
    std::unique_ptr<cFireFox> m_firefox;  // kept for the window's life, made on first use
    CleanReport m_report;
};

}  // namespace quenvor::cleaning
