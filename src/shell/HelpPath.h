#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace quenvor::shell {

// The help page's file name for a language id: the Spanish page for Spanish, else the English.
std::string HelpPageName(std::int32_t language);

// The page below the program's folder: folder, one separator, "help", `page`.
// `alternate` (0 for none) is a second separator spelling that is turned into `separator`.
std::string BuildHelpPath(const std::string& programFolder, char separator, char alternate,
                          const std::string& page = "quenvor.htm");

// The page in the data folder of an installed program: "<prefix>/bin" gives
// "<prefix>/share/quenvor/help/<page>". Empty when the folder has no parent.
std::string BuildInstalledHelpPath(const std::string& programFolder, char separator, char alternate,
                                   const std::string& page = "quenvor.htm");

// The language's page beside the program when it is there (a build folder, a Windows install),
// else the installed one; failing both, the English page in the same two places (a page
// missing from an install is better read in English than not at all); else the language's
// page beside the program, the first place looked in, which is what a failure then names.
std::string FindHelpPath(const std::string& programFolder, char separator, char alternate,
                         const std::function<bool(const std::string&)>& isFile, std::int32_t language = 0);

// FindHelpPath for the system this program runs on, asking its file system.
std::string BuildHelpPath(const std::string& programFolder, std::int32_t language = 0);

}  // namespace quenvor::shell
