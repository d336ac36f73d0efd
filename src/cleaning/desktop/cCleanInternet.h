#pragma once
// Removes the traces the system and the desktop keep for the user: typed addresses, saved form
// data, the history service and folder, the recent-documents folder and list, and the user's
// own idle files in the temporary folder that are an hour old and no live program keeps (on
// Windows, one whose removal is refused because a program holds it open is in use).
//
// Each operation first finds what it would remove without changing anything: every file (as
// the file it was, not merely its name), registry value and list entry. With a plan set they go
// into it as steps, which later remove exactly that: what came in between stays, and a file
// that changed or was opened in between is in use and stays too. Without a plan they go at once.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cleaning/common/CleanReport.h"
#include "cleaning/common/PlanSink.h"
#include "platform/IFileService.h"

namespace quenvor::platform {
class IFileService;
class IKnownFolders;
class IProcessTable;
class IRegistry;
class IUrlHistory;
}  // namespace quenvor::platform

namespace quenvor::cleaning::desktop {

constexpr const char* kTypedUrlsKey = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
// Windows 8 and later: when each typed address was last typed, by the same value names.
constexpr const char* kTypedUrlsTimeKey = "Software\\Microsoft\\Internet Explorer\\TypedURLsTime";
constexpr const char* kFormDataKey = "Software\\Microsoft\\Internet Explorer\\IntelliForms\\Storage1";
constexpr const char* kRecentDocsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs\\";
constexpr long kErrCreateKey = 1001;
// The desktop's list of recent files, and the older one it replaced.
constexpr const char* kRecentlyUsedXbel = "recently-used.xbel";
constexpr const char* kOldRecentList = ".recently-used";

class cCleanInternet {
public:
    struct Services {
        platform::IRegistry& registry;
        platform::IFileService& files;
        platform::IKnownFolders& folders;
        platform::IUrlHistory* history;      // null: the system keeps none
        platform::IProcessTable* processes;  // null: every file counts as in use in the temp folder
    };
    cCleanInternet(Services s, common::CleanReport& report) : m_s(s), m_report(report) {}

    void CleanTypedUrls();  // raises RaisedError 1001 when the key cannot be made again
    void CleanFormData();
    void ClearInternetHistory();
    void CleanRecentFilesMenu();
    void EmptyTempFolder();

    void setPlan(common::CleanPlan* plan) { m_sink.attach(plan); }

private:
    std::string ReadStringValue(std::uintptr_t root, const std::string& subKey, const std::string& name,
                                const std::string& fallback);
    bool CreateRegKey(std::uintptr_t root, const std::string& subKey);
    bool DeleteRegKey(std::uintptr_t root, const std::string& subKey, common::CleanArea area);
    void removeKeyIfEmpty(const std::string& key, common::CleanArea area);
    enum class PurgeRule { AnyFile, IdleOwnFiles };
    // The files open anywhere on the system, read once when the first file found goes.
    struct OpenFiles {
        bool read = false;
        std::set<std::pair<std::uint64_t, std::uint64_t>> files;
    };
    void purge(const std::string& folder, common::CleanArea area, PurgeRule rule);
    // One file found: its step removes it only while it is still the file found, unchanged.
    void planFile(common::CleanArea area, const std::filesystem::path& path, const platform::FileStatus& was,
                  PurgeRule rule, std::shared_ptr<OpenFiles> open);
    void removeFile(common::CleanArea area, const std::filesystem::path& path, const platform::FileStatus& was,
                    PurgeRule rule, OpenFiles& open);
    void emptyDesktopRecentList();
    void emptyOldRecentList();

    Services m_s;
    common::CleanReport& m_report;
    common::PlanSink m_sink;
};

}  // namespace quenvor::cleaning::desktop
