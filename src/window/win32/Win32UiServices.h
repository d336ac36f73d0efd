#pragma once
// The UI seam answered by Windows itself: message boxes, the common file dialog, the shell's
// folder picker, the pointer and the message queue.
#include <windows.h>

#include "ui/IUiServices.h"

namespace quenvor::window::win32 {

class frmStart;

class Win32UiServices : public ui::IUiServices {
public:
    void setWindow(frmStart* form) { m_form = form; }

    ui::MsgAnswer messageBox(const std::string& text, const std::string& title, ui::MsgButtons buttons,
                             ui::MsgIcon icon, ui::MsgDefault defaultButton = ui::MsgDefault::First) override;
    ui::MsgAnswer messageBoxWithDetails(const std::string& text, const std::string& title, ui::MsgButtons buttons,
                                        ui::MsgIcon icon, ui::MsgDefault defaultButton,
                                        const std::string& detailsButton,
                                        const std::vector<std::string>& details) override;
    ui::FileDialogResult openFileDialog(const ui::FileDialogRequest& request) override;
    std::string browseForFolder(const ui::FolderDialogRequest& request) override;
    void setMousePointer(ui::MousePointer pointer) override;
    void processPendingEvents() override;
    void endProgram() override;

    // "C:\dir\0a.txt\0b.txt\0\0" or "C:\dir\a.txt\0\0", as the file dialog answers: full paths.
    static std::vector<std::string> selectedFiles(const wchar_t* buffer);

private:
    HWND owner() const;
    frmStart* m_form = nullptr;
    bool m_busy = false;
};

}  // namespace quenvor::window::win32
