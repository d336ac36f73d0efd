#include "cli/CommandLine.h"

#include "text/TextIds.h"

namespace quenvor::cli {

std::optional<std::int32_t> CommandLine::passesOf(const std::string& level) {
    if (level == "secure") return 4;
    if (level == "high") return 8;
    if (level == "paranoid") return 16;
    return std::nullopt;
}

CommandLine CommandLine::parse(const std::vector<std::string>& args) {
    CommandLine c;
    auto fail = [&](int id, const std::string& arg) {
        if (c.ok()) {
            c.errorId = id;
            c.errorArgument = arg;
        }
    };
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size() && c.ok(); ++i) {
        std::string arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            if (c.command == Command::None) {
                if (arg == "clean")
                    c.command = Command::Clean;
                else if (arg == "shred")
                    c.command = Command::Shred;
                else if (arg == "wipe-free-space")
                    c.command = Command::WipeFreeSpace;
                else
                    fail(text::CliUnknownCommand, arg);
            } else if (c.command == Command::Shred || c.command == Command::WipeFreeSpace) {
                c.paths.push_back(arg);
            } else {
                fail(text::CliUnexpectedArgument, arg);
            }
            continue;
        }
        // "--only=cache" as well as "--only cache".
        std::optional<std::string> attached;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            attached = arg.substr(eq + 1);
            arg.resize(eq);
        }
        auto valueOf = [&]() -> std::optional<std::string> {
            if (attached) return attached;
            if (i + 1 < args.size()) return args[++i];
            fail(text::CliMissingValue, arg);
            return std::nullopt;
        };
        const bool clean = c.command == Command::Clean, shred = c.command == Command::Shred,
                   wipe = c.command == Command::WipeFreeSpace;
        if (attached && arg != "--only" && arg != "--level") {
            fail(text::CliUnknownOption, args[i]);
        } else if (arg == "--help" || arg == "-h") {
            c.help = true;
        } else if (arg == "--version" && c.command == Command::None) {
            c.version = true;
        } else if (arg == "--json" && (clean || shred || wipe)) {
            c.json = true;
        } else if (arg == "--preview" && clean) {
            c.preview = true;
        } else if (arg == "--only" && clean) {
            const auto list = valueOf();
            if (!list) break;
            std::array<bool, 6> boxes{};
            std::size_t start = 0;
            while (start <= list->size()) {
                const auto comma = list->find(',', start);
                const std::string name =
                    list->substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                bool known = false;
                for (std::size_t n = 0; n < kAreaNames.size(); ++n)
                    if (name == kAreaNames[n]) boxes[n] = known = true;
                if (!known) fail(text::CliUnknownArea, name);
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
            c.only = boxes;
        } else if (arg == "--level" && shred) {
            const auto level = valueOf();
            if (!level) break;
            if (const auto passes = passesOf(*level))
                c.passes = *passes;
            else
                fail(text::CliUnknownLevel, *level);
        } else if ((arg == "--yes" || arg == "-y") && (shred || wipe)) {
            c.yes = true;
        } else if (arg == "--force" && shred) {
            c.force = true;
        } else if (arg == "--discard" && wipe) {
            c.discard = true;
        } else if (arg == "--" && (shred || wipe)) {
            optionsEnded = true;
        } else {
            fail(text::CliUnknownOption, arg);
        }
    }
    if (c.ok() && !c.help && !c.version && c.command == Command::None) fail(text::CliUsageCommands, {});
    if (c.ok() && !c.help && c.command == Command::Shred && c.paths.empty()) fail(text::CliNoPaths, {});
    if (c.ok() && !c.help && c.command == Command::WipeFreeSpace) {
        if (c.paths.empty()) fail(text::CliNoFolder, {});
        // The free space is the drive's: a second folder would be a second question.
        if (c.paths.size() > 1) fail(text::CliOneFolderOnly, c.paths[1]);
    }
    return c;
}

}  // namespace quenvor::cli
