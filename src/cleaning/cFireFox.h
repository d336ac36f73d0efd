#pragma once
// Removes Firefox's history (keeping bookmarks) and saved session, cookies with site data, form
// history and disk cache from every profile of the user, leaving alone any profile whose Firefox is running.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "cleaning/CleanReport.h"
#include "cleaning/FirefoxProfiles.h"

namespace quenvor::platform {
class IProcessTable;
}

namespace quenvor::cleaning {

class cFireFox {
public:
    cFireFox(FirefoxProfiles::Services s, platform::IProcessTable* processes) : m_s(s), m_processes(processes) {}

    void setReport(CleanReport* report) { m_report = report; }

    void ClearFirefoxHistory();
    void ClearFirefoxCache();
    void ClearFirefoxCookies();
    void ClearFirefoxFormHistory();

private:
    void forEachIdleProfile(CleanArea area, const std::function<void(const FirefoxProfile&)>& work);
    void removeFile(CleanArea area, const std::filesystem::path& p);
    void removeFilesIn(CleanArea area, const std::filesystem::path& dir);
    void removeTreeIn(CleanArea area, const std::filesystem::path& dir);
    void fail(CleanArea area, const std::string& what, const std::string& why, bool running = false);

    FirefoxProfiles::Services m_s;
    platform::IProcessTable* m_processes;
    CleanReport* m_report = nullptr;
};

}  // namespace quenvor::cleaning
