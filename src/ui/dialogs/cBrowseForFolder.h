#pragma once
// The folder-selection dialog as an object with properties; the dialog itself is shown
// through the UI seam.
#include <cstdint>
#include <string>

namespace quenvor::ui {

class IUiServices;

constexpr long kErrDialogNotShown = 26002;

class cBrowseForFolder {
public:
    explicit cBrowseForFolder(IUiServices& ui) : m_ui(ui) {}

    std::uintptr_t hwndOwner() const { return m_hwndOwner; }
    void setHwndOwner(std::uintptr_t h) { m_hwndOwner = h; }
    const std::string& Title() const { return m_title; }
    void setTitle(std::string t) { m_title = std::move(t); }
    const std::string& InitialDir() const { return m_initialDir; }
    void setInitialDir(std::string d) { m_initialDir = std::move(d); }
    const std::string& RootDir() const { return m_rootDir; }
    void setRootDir(std::string d) { m_rootDir = std::move(d); }
    bool EditBox() const { return m_editBox; }
    void setEditBox(bool on) { m_editBox = on; }
    bool StatusText() const { return m_statusText; }
    void setStatusText(bool on) { m_statusText = on; }
    bool FileSystemOnly() const { return m_fileSystemOnly; }
    void setFileSystemOnly(bool on) { m_fileSystemOnly = on; }
    bool ValidateEditBox() const { return m_validate; }
    void setValidateEditBox(bool on) { m_validate = on; }
    bool UseNewUI() const { return m_newUi; }
    void setUseNewUI(bool on) { m_newUi = on; }
    const std::string& DisplayName() const { return m_displayName; }

    // The dialog's flag bits for the properties above.
    std::uint32_t flags() const;
    // The chosen folder's full path, or "" when the user cancels.
    std::string BrowseForFolder();
    // Only while the dialog is shown; otherwise they raise error 26002.
    void SetFolder(const std::string& path);
    void SetStatus(const std::string& text);

private:
    static std::string fullPath(const std::string& path);

    IUiServices& m_ui;
    std::uintptr_t m_hwndOwner = 0;
    std::string m_title = "Choose Folder";
    std::string m_initialDir, m_rootDir, m_displayName;
    bool m_editBox = false, m_statusText = false, m_fileSystemOnly = false, m_validate = false, m_newUi = false;
    bool m_shown = false;
};

}  // namespace quenvor::ui
