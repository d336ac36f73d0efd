#pragma once
#include <string>

namespace quenvor::shell {

// The help page below the program's folder: folder, one separator, "help", "quenvor.htm".
// `alternate` (0 for none) is a second separator spelling that is turned into `separator`.
std::string BuildHelpPath(const std::string& programFolder, char separator, char alternate);
// The same for the system this program runs on.
std::string BuildHelpPath(const std::string& programFolder);

}  // namespace quenvor::shell
