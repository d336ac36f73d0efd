#pragma once
// LibreOffice's list of recently opened documents (with their thumbnails): the entries below
// "org.openoffice.Office.Histories" in the user's registrymodifications.xcu. The file holds
// every other setting too, so it is rewritten whole and atomically, byte for byte except for
// those entries, and left untouched when it is not laid out as LibreOffice writes it. While
// LibreOffice runs with the profile the file is left alone too: LibreOffice writes its list back
// when it ends, so a rewrite would be undone; that is reported as for a running browser.
#include <filesystem>
#include <optional>
#include <string>

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

    void clear();

    // The file without its history entries; nothing when it is not a well-formed list of
    // items (a cut or foreign file is not rewritten). `removed` counts the entries dropped.
    static std::optional<std::string> withoutHistory(const std::string& xcu, std::size_t* removed = nullptr);

private:
    void clearFile(const std::filesystem::path& xcu);

    platform::IFileService& m_files;
    platform::IKnownFolders& m_folders;
    platform::IProcessTable* m_processes;
    common::CleanReport& m_report;
};

}  // namespace quenvor::cleaning::desktop
