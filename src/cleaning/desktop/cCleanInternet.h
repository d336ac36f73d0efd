#pragma once
// Removes the traces the system and the desktop keep for the user: typed addresses, saved form
// data, the history service and folder, the recent-documents folder and list, and the user's
// own idle files in the temporary folder that are an hour old and no live program keeps (on
// Windows, one whose removal is refused because a program holds it open is in use).
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "cleaning/common/CleanReport.h"

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

private:
    std::string ReadStringValue(std::uintptr_t root, const std::string& subKey, const std::string& name,
                                const std::string& fallback);
    bool CreateRegKey(std::uintptr_t root, const std::string& subKey);
    bool DeleteRegKey(std::uintptr_t root, const std::string& subKey, common::CleanArea area);
    enum class PurgeRule { AnyFile, IdleOwnFiles };
    void purge(const std::string& folder, common::CleanArea area, PurgeRule rule);
    void emptyDesktopRecentList();
    void emptyOldRecentList();

    Services m_s;
    common::CleanReport& m_report;
};

}  // namespace quenvor::cleaning::desktop
