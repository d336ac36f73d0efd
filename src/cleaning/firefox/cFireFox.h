#pragma once
// Removes Firefox's history (keeping bookmarks) and saved session, cookies with site data, form
// history and disk cache from every profile of the user, leaving alone any profile whose Firefox is running.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cleaning/common/CleanReport.h"
#include "cleaning/common/KeepList.h"
#include "cleaning/common/PlanSink.h"
#include "cleaning/firefox/FirefoxProfiles.h"
#include "cleaning/formats/SqliteCleaner.h"

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
    // While a plan is set, the steps above only find what they would remove and add it to the
    // plan, whose actions remove exactly that later; without one they act at once.
    void setPlan(common::CleanPlan* plan) { m_sink.attach(plan); }

private:
    void forEachIdleProfile(common::CleanArea area, const std::function<void(const FirefoxProfile&)>& work);
    void removeFile(common::CleanArea area, const std::filesystem::path& p);
    bool linkedAway(common::CleanArea area, const std::filesystem::path& base, const std::filesystem::path& dir);
    void removeFilesIn(common::CleanArea area, const std::filesystem::path& dir,
                       const std::function<bool(const std::filesystem::path&)>& toldAlready = {});
    void removeTreeIn(common::CleanArea area, const std::filesystem::path& dir);
    void removeListed(common::CleanArea area, const std::filesystem::path& p, std::uint64_t items, std::uint64_t bytes,
                      const std::function<bool(const std::filesystem::path&)>& toldAlready = {});
    void siteData(const FirefoxProfile& p);
    void siteFiles(const FirefoxProfile& p, common::CleanArea area);
    void cleanStore(common::CleanArea area, const std::filesystem::path& db,
                    const std::vector<formats::SqliteCleaner::Statement>& statements,
                    const std::vector<formats::SqliteCleaner::Attachment>& attachments = {});
    void fail(common::CleanArea area, const std::string& what, const std::string& why, bool running = false);

    FirefoxProfiles::Services m_s;
    platform::IProcessTable* m_processes;
    common::CleanReport& m_report;
    common::KeepList m_keep;
    common::PlanSink m_sink;
    std::set<std::filesystem::path> m_namedLinks;  // links already named in the report
};

}  // namespace quenvor::cleaning::firefox
