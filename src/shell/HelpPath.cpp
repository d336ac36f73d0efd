#include "shell/HelpPath.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "ui/StringTable.h"

namespace quenvor::shell {

namespace {

// The folder with exactly one separator at its end.
std::string FolderWithSeparator(const std::string& folder, char separator, char alternate) {
    std::string path = folder + separator;
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
    return out;
}

}  // namespace

std::string HelpPageName(std::int32_t language) { return language == ui::kSpanish ? "quenvor-es.htm" : "quenvor.htm"; }

std::string BuildHelpPath(const std::string& programFolder, char separator, char alternate, const std::string& page) {
    return FolderWithSeparator(programFolder, separator, alternate) + "help" + separator + page;
}

std::string BuildInstalledHelpPath(const std::string& programFolder, char separator, char alternate,
                                   const std::string& page) {
    std::string folder = FolderWithSeparator(programFolder, separator, alternate);
    folder.pop_back();
    const auto cut = folder.rfind(separator);
    // "/" and "C:\" have no parent; a relative folder's parent is not known here.
    if (cut == std::string::npos) return {};
    const std::string s(1, separator);
    return folder.substr(0, cut + 1) + "share" + s + "quenvor" + s + "help" + s + page;
}

std::string FindHelpPath(const std::string& programFolder, char separator, char alternate,
                         const std::function<bool(const std::string&)>& isFile, std::int32_t language) {
    const std::string own = HelpPageName(language);
    const std::string english = HelpPageName(ui::kEnglish);
    std::vector<std::string> pages{own};
    if (own != english) pages.push_back(english);
    for (const std::string& page : pages) {
        std::string beside = BuildHelpPath(programFolder, separator, alternate, page);
        if (isFile(beside)) return beside;
        std::string installed = BuildInstalledHelpPath(programFolder, separator, alternate, page);
        if (!installed.empty() && isFile(installed)) return installed;
    }
    return BuildHelpPath(programFolder, separator, alternate, own);
}

std::string BuildHelpPath(const std::string& programFolder, std::int32_t language) {
    const auto isFile = [](const std::string& path) {
        std::error_code ec;
        return std::filesystem::is_regular_file(path, ec);
    };
#ifdef _WIN32
    return FindHelpPath(programFolder, '\\', '/', isFile, language);
#else
    // A backslash is an ordinary character in a POSIX file name, not a separator.
    return FindHelpPath(programFolder, '/', 0, isFile, language);
#endif
}

}  // namespace quenvor::shell
