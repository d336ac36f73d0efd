#pragma once
// Removes Firefox's history (keeping bookmarks) and saved session, cookies with site data, form
// history and disk cache from every profile of the user, leaving alone any profile whose Firefox is running.
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cleaning/common/CleanReport.h"
#include "cleaning/common/KeepList.h"
#include "cleaning/firefox/FirefoxProfiles.h"

namespace quenvor::platform {
class IProcessTable;
}

namespace quenvor::cleaning::firefox {

class cFireFox {
public:
    // What could not be removed goes to `report`, which outlives this cleaner.
    cFireFox(FirefoxProfiles::Services s, platform::IProcessTable* processes, common::CleanReport& report)
        : m_s(s), m_processes(processes), m_report(report) {}

    void ClearFirefoxHistory();
    void ClearFirefoxCache();
    void ClearFirefoxCookies();
    void ClearFirefoxFormHistory();

    // The sites whose cookies and site data stay; none unless set.
    void setKeepList(common::KeepList keep) { m_keep = std::move(keep); }

private:
    void forEachIdleProfile(common::CleanArea area, const std::function<void(const FirefoxProfile&)>& work);
    void removeFile(common::CleanArea area, const std::filesystem::path& p);
    bool linkedAway(common::CleanArea area, const std::filesystem::path& base, const std::filesystem::path& dir);
    void removeFilesIn(common::CleanArea area, const std::filesystem::path& dir,
                       const std::function<bool(const std::filesystem::path&)>& toldAlready = {});
    void removeTreeIn(common::CleanArea area, const std::filesystem::path& dir);
    void fail(common::CleanArea area, const std::string& what, const std::string& why, bool running = false);

    FirefoxProfiles::Services m_s;
    platform::IProcessTable* m_processes;
    common::CleanReport& m_report;
    common::KeepList m_keep;
    std::set<std::filesystem::path> m_namedLinks;  // links already named in the report
};

}  // namespace quenvor::cleaning::firefox
