#include "ui/dialogs/cCommonDialog.h"

#include <filesystem>

#include "platform/Utf8Path.h"
#include "ui/IUiServices.h"

namespace quenvor::ui {

std::vector<std::pair<std::string, std::string>> cCommonDialog::parseFilter(const std::string& filter) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : filter) {
        if (c == '|' || c == ':' || c == '\0') {
            parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) parts.push_back(current);
    std::vector<std::pair<std::string, std::string>> pairs;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) pairs.emplace_back(parts[i], parts[i + 1]);
    if (parts.size() % 2 == 1 && !parts.back().empty()) pairs.emplace_back(parts.back(), std::string());
    return pairs;
}

void cCommonDialog::ShowOpen() {
    if (m_filterIndex == 0) m_filterIndex = 1;
    FileDialogRequest request;
    request.title = m_dialogTitle;
    request.initialDir = m_initDir;
    request.initialFile = m_filename;
    request.filters = parseFilter(m_filter);
    request.filterIndex = m_filterIndex;
    request.multiSelect = (m_flags & kOfnAllowMultiSelect) != 0;
    request.fileMustExist = (m_flags & kOfnFileMustExist) != 0;
    const FileDialogResult result = m_ui.openFileDialog(request);
    if (!result.accepted || result.files.empty()) {
        m_filename.clear();
        m_fileTitle.clear();
        m_filter.clear();
        m_flags = 0;
        m_filterIndex = -1;
        return;
    }
    if (result.files.size() == 1) {
        m_filename = result.files.front();
        m_fileTitle = platform::utf8Of(platform::pathFromUtf8(m_filename).filename());
    } else {
        // A folder, then the names, separated by NUL characters and ended by two.
        m_filename = platform::utf8Of(platform::pathFromUtf8(result.files.front()).parent_path());
        for (const auto& f : result.files) {
            m_filename += '\0';
            m_filename += platform::utf8Of(platform::pathFromUtf8(f).filename());
        }
        m_filename += std::string(2, '\0');
        m_fileTitle.clear();
    }
    m_filterIndex = result.filterIndex;
    const auto& filters = request.filters;
    if (m_filterIndex >= 1 && static_cast<std::size_t>(m_filterIndex) <= filters.size()) {
        const auto& chosen = filters[static_cast<std::size_t>(m_filterIndex - 1)];
        m_filter = chosen.first + std::string(1, '\0') + chosen.second;
    }
}

void cCommonDialog::ParseMultiFileName(std::string& folder, std::vector<std::string>& names, int& count) const {
    const auto dbl = m_filename.find(std::string(2, '\0'));
    if (dbl == std::string::npos) {
        count = 1;
        const auto slash = m_filename.find_last_of('/');
        if (slash != std::string::npos && slash >= 1) {
            folder = m_filename.substr(0, slash);
            names = {m_filename.substr(slash + 1)};
        } else {
            folder.clear();
            names = {m_filename};
        }
        return;
    }
    const std::string list = m_filename.substr(0, dbl);
    std::size_t start = 0;
    while (start <= list.size()) {
        const auto end = list.find('\0', start);
        const std::string part = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (folder.empty()) {
            folder = part;
        } else {
            names.push_back(part);
            ++count;
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
}

}  // namespace quenvor::ui
