#pragma once
#include <QPointer>
#include <QWidget>

#include "ui/IUiServices.h"

namespace quenvor::window {

// The UI seam answered with Qt's message boxes and dialogs.
class QtUiServices : public ui::IUiServices {
public:
    void setParentWindow(QWidget* window) { m_parent = window; }

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

private:
    QPointer<QWidget> m_parent;
    bool m_busyCursor = false;
};

}  // namespace quenvor::window
