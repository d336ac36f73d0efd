#pragma once
#include <functional>
#include <string>

namespace quenvor::shell {

// The help page below the program's folder: folder, one separator, "help", "quenvor.htm".
// `alternate` (0 for none) is a second separator spelling that is turned into `separator`.
std::string BuildHelpPath(const std::string& programFolder, char separator, char alternate);

// The page in the data folder of an installed program: "<prefix>/bin" gives
// "<prefix>/share/quenvor/help/quenvor.htm". Empty when the folder has no parent.
std::string BuildInstalledHelpPath(const std::string& programFolder, char separator, char alternate);

// The page beside the program when it is there (a build folder, a Windows install), else the
// installed one when that is there, else the one beside the program, so that the browser's
// complaint names the first place looked in.
std::string FindHelpPath(const std::string& programFolder, char separator, char alternate,
                         const std::function<bool(const std::string&)>& isFile);

// FindHelpPath for the system this program runs on, asking its file system.
std::string BuildHelpPath(const std::string& programFolder);

}  // namespace quenvor::shell
