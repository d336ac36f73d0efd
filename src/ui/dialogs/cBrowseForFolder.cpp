#include "ui/dialogs/cBrowseForFolder.h"

#include <filesystem>
#include <system_error>

#include "platform/RaisedError.h"
#include "ui/IUiServices.h"

namespace quenvor::ui {

std::uint32_t cBrowseForFolder::flags() const {
    std::uint32_t f = 0;
    if (m_editBox) f |= 0x10;
    if (m_statusText) f |= 0x04;
    if (m_fileSystemOnly) f |= 0x09;
    if (m_validate) f |= 0x20;
    if (m_newUi) f |= 0x40;
    return f;
}

std::string cBrowseForFolder::fullPath(const std::string& path) {
    std::error_code ec;
    auto full = std::filesystem::absolute(path, ec);
    if (ec)
        throw platform::RaisedError(-2147192504L + ec.value(), platform::errorSource("cBrowseForFolder"), ec.message());
    return full.lexically_normal().string();
}

std::string cBrowseForFolder::BrowseForFolder() {
    if (!m_rootDir.empty()) m_rootDir = fullPath(m_rootDir);
    if (!m_initialDir.empty()) m_initialDir = fullPath(m_initialDir);
    FolderDialogRequest request;
    request.title = m_title;
    request.initialDir = m_initialDir;
    m_shown = true;
    std::string chosen;
    try {
        chosen = m_ui.browseForFolder(request);
    } catch (...) {
        m_shown = false;
        throw;
    }
    m_shown = false;
    // Only a full path is a choice: anything else ("", blanks, a bare name) would be resolved
    // against the working folder, which the user never saw, so it counts as a cancel.
    if (!std::filesystem::path(chosen).is_absolute()) chosen.clear();
    m_displayName = chosen.empty() ? std::string() : std::filesystem::path(chosen).filename().string();
    if (m_displayName.empty() && !chosen.empty()) m_displayName = chosen;  // a root such as "/"
    return chosen;
}

void cBrowseForFolder::SetFolder(const std::string&) {
    if (!m_shown)
        throw platform::RaisedError(kErrDialogNotShown, platform::errorSource("cBrowseForFolder"),
                                    "Operation invalid unless dialog is displayed.");
}

void cBrowseForFolder::SetStatus(const std::string&) {
    if (!m_shown)
        throw platform::RaisedError(kErrDialogNotShown, platform::errorSource("cBrowseForFolder"),
                                    "Operation invalid unless dialog is displayed.");
}

}  // namespace quenvor::ui
