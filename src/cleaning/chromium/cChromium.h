#pragma once
// Removes the history (keeping bookmarks), cookies with the sites' own storage, form data and
// caches of every profile of the Chromium-family browsers, leaving alone every profile of a
// browser that is running. Saved passwords ("Login Data") and payment cards are not form data
// and stay; what extensions store for themselves in their own folders and entries is not a
// site's and stays too. Local and session storage are one store each for sites and extensions
// alike: only the entries of the sites that go are taken out. The service workers' store is
// emptied whole, or kept whole while a kept site has a worker, as it cannot be split without
// the browser.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cleaning/chromium/ChromiumProfiles.h"
#include "cleaning/chromium/KeptSiteData.h"
#include "cleaning/chromium/PreferencesSites.h"
#include "cleaning/common/CleanReport.h"
#include "cleaning/common/KeepList.h"
#include "cleaning/common/PlanSink.h"
#include "cleaning/formats/LevelDbSites.h"
#include "cleaning/formats/SqliteCleaner.h"

namespace quenvor::platform {
class IProcessTable;
}

namespace quenvor::cleaning::chromium {

class cChromium {
public:
    // What could not be removed goes to `report`, which outlives this cleaner.
    cChromium(ChromiumProfiles::Services s, platform::IProcessTable* processes, common::CleanReport& report)
        : m_s(s), m_processes(processes), m_report(report) {}

    void ClearHistory();
    void ClearCache();
    void ClearCookies();
    void ClearFormData();

    // The sites whose cookies and site data stay; none unless set.
    void setKeepList(common::KeepList keep) { m_keep = std::move(keep); }
    // While a plan is set, the steps above only find what they would remove and add it to the
    // plan, whose actions remove exactly that later; without one they act at once.
    void setPlan(common::CleanPlan* plan) { m_sink.attach(plan); }

private:
    void forEachIdleProfile(common::CleanArea area, const std::function<void(const ChromiumProfile&)>& work);
    void removeFile(common::CleanArea area, const std::filesystem::path& p);
    // Caches keep their folders, which the browser expects to find; a site's storage goes
    // folders and all, as the folders are named after the sites.
    enum class Folders { Keep, Remove };
    void removeFilesBelow(common::CleanArea area, const std::filesystem::path& dir, Folders folders = Folders::Keep,
                          int depth = 0);
    // Cleans one store and, once that is done, its rollback journal, which still holds the
    // removed pages; a journal the store could not be cleaned with may be needed to repair it.
    void cleanStore(common::CleanArea area, const std::filesystem::path& db, const std::vector<std::string>& tables,
                    std::vector<formats::SqliteCleaner::Statement> extra = {});
    // The rows of the hosts found to go, and no other.
    void cleanRows(common::CleanArea area, const KeptSiteData::Rows& rows, const std::string& table,
                   const std::string& column);
    void cleanPreferences(common::CleanArea area, const std::filesystem::path& file, PreferencesSites::Kind kind);
    void cleanIcons(const ChromiumProfile& p);
    void pruneSiteStorage(const std::filesystem::path& folder, formats::LevelDbSites::Kind kind);
    void fail(common::CleanArea area, const std::string& what, const std::string& why);

    ChromiumProfiles::Services m_s;
    platform::IProcessTable* m_processes;
    common::CleanReport& m_report;
    common::KeepList m_keep;
    common::PlanSink m_sink;
    // While one profile's site data goes: its files and folders the keep list keeps.
    std::set<std::filesystem::path> m_keptPaths;
    // While the caches go: the folders gone through already (a profile's cache folder lies below
    // the browser's cache root, which is gone through as well), each found and counted once.
    std::set<std::filesystem::path>* m_cacheFoldersSeen = nullptr;
};

}  // namespace quenvor::cleaning::chromium
