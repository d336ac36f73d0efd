#pragma once
// LibreOffice's list of recently opened documents (with their thumbnails): the entries below
// "org.openoffice.Office.Histories" in the user's registrymodifications.xcu. The file holds
// every other setting too, so it is rewritten whole and atomically, byte for byte except for
// those entries, and left untouched when it is not laid out as LibreOffice writes it. While
// LibreOffice runs with the profile the file is left alone too: LibreOffice writes its list back
// when it ends, so a rewrite would be undone; that is reported as for a running browser.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cleaning/common/CleanReport.h"

namespace quenvor::platform {
class IFileService;
class IKnownFolders;
class IProcessTable;
}  // namespace quenvor::platform

namespace quenvor::cleaning::desktop {

class LibreOfficeRecent {
public:
    LibreOfficeRecent(platform::IFileService& files, platform::IKnownFolders& folders,
                      platform::IProcessTable* processes, common::CleanReport& report)
        : m_files(files), m_folders(folders), m_processes(processes), m_report(report) {}

    // The history entries of one settings file, by their paths, found without changing it.
    struct Found {
        std::filesystem::path file;
        std::set<std::string> paths;
        std::uint64_t bytes = 0;  // what they take in the file
    };
    // Every settings file's entries; what keeps a file from being cleaned is told to the report.
    std::vector<Found> find();
    // Takes out exactly the entries found, whatever the file holds besides by now.
    void remove(const Found& found);
    void clear();

    // The file without its history entries (only those of `only`, when given); nothing when it
    // is not a well-formed list of items (a cut or foreign file is not rewritten). `removed`
    // names the entries dropped.
    static std::optional<std::string> withoutHistory(const std::string& xcu, std::set<std::string>* removed = nullptr,
                                                     const std::set<std::string>* only = nullptr);

private:
    // The file's text when LibreOffice may be cleaned of it; nothing, told, when not.
    std::optional<std::string> readIdle(const std::filesystem::path& xcu);

    platform::IFileService& m_files;
    platform::IKnownFolders& m_folders;
    platform::IProcessTable* m_processes;
    common::CleanReport& m_report;
};

}  // namespace quenvor::cleaning::desktop
