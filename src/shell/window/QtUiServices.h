#pragma once
#include <QPointer>
#include <QWidget>

#include "shell/IUiServices.h"

namespace quenvor::window {

// The UI seam answered with Qt's message boxes and dialogs.
class QtUiServices : public shell::IUiServices {
public:
    void setParentWindow(QWidget* window) { m_parent = window; }

    shell::MsgAnswer messageBox(const std::string& text, const std::string& title, shell::MsgButtons buttons,
                                shell::MsgIcon icon) override;
    shell::FileDialogResult openFileDialog(const shell::FileDialogRequest& request) override;
    std::string browseForFolder(const shell::FolderDialogRequest& request) override;
    void setMousePointer(shell::MousePointer pointer) override;
    void processPendingEvents() override;
    void endProgram() override;

private:
    QPointer<QWidget> m_parent;
    bool m_busyCursor = false;
};

}  // namespace quenvor::window
