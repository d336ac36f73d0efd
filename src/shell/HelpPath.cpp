#include "shell/HelpPath.h"

namespace quenvor::shell {

std::string BuildHelpPath(const std::string& programFolder, char separator, char alternate) {
    std::string path = programFolder + separator;
    if (alternate != 0)
        for (char& c : path)
            if (c == alternate) c = separator;
    // Collapse every run of separators, not just pairs, so "a///b" cannot survive as "a//b".
    // A leading pair on Windows names a network share and stays.
    std::string out;
    out.reserve(path.size());
    const bool networkShare = separator == '\\' && path.size() > 2 && path[0] == '\\' && path[1] == '\\';
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == separator && !out.empty() && out.back() == separator && !(networkShare && i == 1)) continue;
        out += path[i];
    }
    return out + "help" + separator + "quenvor.htm";
}

std::string BuildHelpPath(const std::string& programFolder) {
#ifdef _WIN32
    return BuildHelpPath(programFolder, '\\', '/');
#else
    // A backslash is an ordinary character in a POSIX file name, not a separator.
    return BuildHelpPath(programFolder, '/', 0);
#endif
}

}  // namespace quenvor::shell
