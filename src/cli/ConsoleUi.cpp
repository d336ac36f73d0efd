#include "cli/ConsoleUi.h"

#include "ui/Guarded.h"

namespace quenvor::cli {

ui::MsgAnswer ConsoleUi::messageBox(const std::string& text, const std::string& title, ui::MsgButtons buttons,
                                    ui::MsgIcon icon, ui::MsgDefault defaultButton) {
    return messageBoxWithDetails(text, title, buttons, icon, defaultButton, {}, {});
}

ui::MsgAnswer ConsoleUi::messageBoxWithDetails(const std::string& text, const std::string& /*title*/,
                                               ui::MsgButtons buttons, ui::MsgIcon icon,
                                               ui::MsgDefault /*defaultButton*/, const std::string& /*detailsButton*/,
                                               const std::vector<std::string>& details) {
    m_shown.push_back({consoleText(text), details, buttons, icon});
    if (buttons == ui::MsgButtons::Ok) return ui::MsgAnswer::Ok;
    if (buttons == ui::MsgButtons::OkCancel)
        return m_answer == ui::MsgAnswer::Yes ? ui::MsgAnswer::Ok : ui::MsgAnswer::Cancel;
    return m_answer == ui::MsgAnswer::Yes
               ? ui::MsgAnswer::Yes
               : (buttons == ui::MsgButtons::YesNoCancel ? ui::MsgAnswer::Cancel : ui::MsgAnswer::No);
}

std::string ConsoleUi::consoleText(const std::string& text) {
    return ui::replaceAll(ui::replaceAll(text, "\r\n", "\n"), "\\n", "\n");
}

}  // namespace quenvor::cli
