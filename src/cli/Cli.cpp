#include "cli/Cli.h"

#include <memory>
#include <ostream>

#include "cli/CleanCommand.h"
#include "cli/CommandLine.h"
#include "cli/ConsoleUi.h"
#include "cli/ConsoleView.h"
#include "cli/ExitCode.h"
#include "cli/ShredCommand.h"
#include "cli/WipeFreeSpaceCommand.h"
#include "platform/IKnownFolders.h"
#include "platform/IniSettingsFile.h"
#include "shell/AppServices.h"
#include "shell/SettingsPage.h"
#include "text/TextIds.h"
#include "ui/Guarded.h"
#include "ui/StringTable.h"

#ifndef QUENVOR_VERSION
#define QUENVOR_VERSION "0"
#endif

namespace quenvor::cli {

int Cli::run(const std::vector<std::string>& args, Streams io) {
    ConsoleUi ui;
    ui::StringTable strings(m_native.strings, &ui);
    auto text = [&](int id) { return ConsoleUi::consoleText(strings.LoadLangString(id)); };
    // Where the window has no store of the system's own (Linux), the Qt window's settings file.
    std::unique_ptr<platform::IniSettingsFile> qtSettings;
    if (!m_native.settings && m_native.folders) {
        qtSettings = std::make_unique<platform::IniSettingsFile>(m_native.folders->configHome() / shell::kSettingsApp /
                                                                 (std::string(shell::kSettingsApp) + ".conf"));
        m_native.settings = qtSettings.get();
    }
    {
        ConsoleView view;
        shell::SettingsPage(view, strings, m_native.settings, ui).LoadLanguage();
    }

    const CommandLine cl = CommandLine::parse(args);
    if (!cl.ok()) {
        if (cl.errorId == text::CliUsageCommands) {
            io.err << text(text::CliUsageCommands) << "\n";
        } else {
            io.err << ui::replaceAll(text(cl.errorId), "%1", cl.errorArgument) << "\n"
                   << text(text::CliSeeHelp) << "\n";
        }
        return ExitCode::Usage;
    }
    if (cl.version) {
        io.out << "quenvor-cli " << QUENVOR_VERSION << "\n";
        return ExitCode::Done;
    }
    if (cl.help) {
        io.out << text(cl.command == CommandLine::Command::Clean           ? text::CliCleanUsage
                       : cl.command == CommandLine::Command::Shred         ? text::CliShredUsage
                       : cl.command == CommandLine::Command::WipeFreeSpace ? text::CliWipeUsage
                                                                           : text::CliUsageCommands)
               << "\n";
        return ExitCode::Done;
    }
    if (cl.command == CommandLine::Command::Shred)
        return ShredCommand(m_native, strings, io.err, io.progress).run(cl, io.out);
    if (cl.command == CommandLine::Command::WipeFreeSpace)
        return WipeFreeSpaceCommand(m_native, strings, io.err, io.progress).run(cl, io.out);

    shell::AppServices app(m_native);
    return CleanCommand(app.services(), strings).run(cl, io.out);
}

}  // namespace quenvor::cli
