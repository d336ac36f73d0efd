#pragma once
// The file-open dialog as an object with properties (filter string, flags, the chosen file
// and its title); the dialog itself is shown through the UI seam.
#include <cstdint>
#include <string>
#include <vector>

namespace quenvor::ui {

class IUiServices;

constexpr std::int32_t kOfnReadOnly = 0x1;
constexpr std::int32_t kOfnHideReadOnly = 0x4;
constexpr std::int32_t kOfnAllowMultiSelect = 0x200;
constexpr std::int32_t kOfnPathMustExist = 0x800;
constexpr std::int32_t kOfnFileMustExist = 0x1000;

class cCommonDialog {
public:
    explicit cCommonDialog(IUiServices& ui) : m_ui(ui) {}

    bool CancelError() const { return m_cancelError; }
    void setCancelError(bool on) { m_cancelError = on; }
    const std::string& Filter() const { return m_filter; }
    void setFilter(std::string f) { m_filter = std::move(f); }
    std::int32_t FilterIndex() const { return m_filterIndex; }
    void setFilterIndex(std::int32_t i) { m_filterIndex = i; }
    const std::string& Filename() const { return m_filename; }
    void setFilename(std::string f) { m_filename = std::move(f); }
    const std::string& FileTitle() const { return m_fileTitle; }
    void setFileTitle(std::string f) { m_fileTitle = std::move(f); }
    std::int32_t flags() const { return m_flags; }
    void setFlags(std::int32_t f) { m_flags = f; }
    const std::string& DialogTitle() const { return m_dialogTitle; }
    void setDialogTitle(std::string t) { m_dialogTitle = std::move(t); }
    const std::string& InitDir() const { return m_initDir; }
    void setInitDir(std::string d) { m_initDir = std::move(d); }
    const std::string& DefaultExt() const { return m_defaultExt; }
    void setDefaultExt(std::string e) { m_defaultExt = std::move(e); }
    std::uintptr_t hwnd() const { return m_hwnd; }
    void setHwnd(std::uintptr_t h) { m_hwnd = h; }

    // Shows the open dialog. A cancel is no error: Filename, FileTitle and Filter become
    // empty, flags 0 and FilterIndex -1.
    void ShowOpen();

    // Splits a multiple selection ("folder\0name\0name") or a single path into a folder and names.
    void ParseMultiFileName(std::string& folder, std::vector<std::string>& names, int& count) const;

    // "desc|pattern|desc|pattern" as description/pattern pairs; a colon also separates.
    static std::vector<std::pair<std::string, std::string>> parseFilter(const std::string& filter);

private:
    IUiServices& m_ui;
    bool m_cancelError = false;
    std::string m_filter;
    std::int32_t m_filterIndex = 1;
    std::string m_filename, m_fileTitle, m_dialogTitle, m_initDir, m_defaultExt;
    std::int32_t m_flags = 0;
    std::uintptr_t m_hwnd = 0;
};

}  // namespace quenvor::ui
