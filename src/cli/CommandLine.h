#pragma once
// What the console program was asked to do, read from its arguments. Nothing here touches the
// system: a command line that cannot be understood is told by the text id of its fault and the
// argument at fault.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quenvor::cli {

// The six options of page one by the names the command line gives them, in the order of the
// window's boxes chk1..chk6 (history, cache, forms, cookies, temporary files, recent documents).
constexpr std::array<const char*, 6> kAreaNames = {"history", "cache", "forms", "cookies", "temp", "recent"};

struct CommandLine {
    enum class Command { None, Clean, Shred, WipeFreeSpace };
    Command command = Command::None;
    bool help = false, version = false;
    bool json = false;
    // clean
    bool preview = false;
    std::optional<std::array<bool, 6>> only;  // the boxes chosen by --only, by chk number - 1
    // shred
    std::int32_t passes = 4;  // the window's first level, selected when it starts
    bool yes = false, force = false;
    std::vector<std::string> paths;  // wipe-free-space: exactly one, the folder
    // wipe-free-space
    bool discard = false;

    int errorId = 0;  // a text id when the arguments make no sense
    std::string errorArgument;
    bool ok() const { return errorId == 0; }

    static CommandLine parse(const std::vector<std::string>& args);
    // secure, high, paranoid: 4, 8, 16 passes; nullopt for any other name.
    static std::optional<std::int32_t> passesOf(const std::string& level);
};

}  // namespace quenvor::cli
