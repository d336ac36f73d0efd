#include "cli/ConsoleUi.h"

#include <ostream>

#include "platform/Console.h"
#include "text/TextIds.h"
#include "ui/Guarded.h"
#include "ui/StringTable.h"

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

std::string ConsoleUi::consoleLines(const std::string& text) { return ui::replaceAll(text, "\r\n", "\n"); }

bool ConsoleUi::ask(ui::StringTable& strings, std::ostream& questions, const std::string& question, int prompt) {
    questions << consoleLines(question) << "\n" << strings.LoadLangString(prompt) << std::flush;
    std::string answer;
    if (!platform::Console::readLine(answer)) {
        questions << "\n";
        return false;
    }
    const std::string yes = strings.LoadLangString(text::CliYesLetter);
    if (answer.empty()) return false;
    const std::string first = answer.substr(0, 1);
    return first == yes || first == "y" || first == "Y" || (yes.size() == 1 && first[0] == yes[0] - 'a' + 'A');
}

}  // namespace quenvor::cli
