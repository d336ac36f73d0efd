#pragma once
// The questions and messages of the page logic, answered without a window: a question gets the
// answer the command line already gave, and every message is kept for the console's report.
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "ui/IUiServices.h"

namespace quenvor::ui {
class StringTable;
}

namespace quenvor::cli {

class ConsoleUi : public ui::IUiServices {
public:
    struct Shown {
        std::string text;
        std::vector<std::string> details;
        ui::MsgButtons buttons = ui::MsgButtons::Ok;
        ui::MsgIcon icon = ui::MsgIcon::None;
    };
    // The answer to every question (Yes/No boxes); a plain message is always Ok.
    void setAnswer(ui::MsgAnswer answer) { m_answer = answer; }
    const std::vector<Shown>& shown() const { return m_shown; }

    ui::MsgAnswer messageBox(const std::string& text, const std::string& title, ui::MsgButtons buttons,
                             ui::MsgIcon icon, ui::MsgDefault defaultButton) override;
    ui::MsgAnswer messageBoxWithDetails(const std::string& text, const std::string& title, ui::MsgButtons buttons,
                                        ui::MsgIcon icon, ui::MsgDefault defaultButton,
                                        const std::string& detailsButton,
                                        const std::vector<std::string>& details) override;
    ui::FileDialogResult openFileDialog(const ui::FileDialogRequest&) override { return {}; }
    std::string browseForFolder(const ui::FolderDialogRequest&) override { return {}; }
    void setMousePointer(ui::MousePointer) override {}
    void processPendingEvents() override {}
    void endProgram() override {}

    // The window's line breaks ("\r\n", or the table's two-character "\n") as the console's.
    static std::string consoleText(const std::string& text);
    // Only the "\r\n" breaks, for a message built from texts consoleText already gave: a path in
    // it keeps a backslash followed by n ("C:\Users\nina") as it is.
    static std::string consoleLines(const std::string& text);
    // A question (built from consoleText's texts) put on the terminal and answered on standard
    // input after the prompt of text id `prompt`: true for yes; no answer (the end of the input,
    // an empty line) is no.
    static bool ask(ui::StringTable& strings, std::ostream& questions, const std::string& question, int prompt);

private:
    ui::MsgAnswer m_answer = ui::MsgAnswer::No;
    std::vector<Shown> m_shown;
};

}  // namespace quenvor::cli
