#include "shell/HelpPath.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "ui/StringTable.h"

namespace quenvor::shell {
namespace {

TEST(HelpPath, InstalledPageSitsInTheDataFolderBesideTheProgramFolder) {
    EXPECT_EQ(BuildInstalledHelpPath("/usr/bin", '/', 0), "/usr/share/quenvor/help/quenvor.htm");
    EXPECT_EQ(BuildInstalledHelpPath("/usr/local/bin/", '/', 0), "/usr/local/share/quenvor/help/quenvor.htm");
    EXPECT_EQ(BuildInstalledHelpPath("//opt//q///bin//", '/', 0), "/opt/q/share/quenvor/help/quenvor.htm");
    EXPECT_EQ(BuildInstalledHelpPath("/bin", '/', 0), "/share/quenvor/help/quenvor.htm");
    EXPECT_EQ(BuildInstalledHelpPath("C:/Tools/Quenvor", '\\', '/'), "C:\\Tools\\share\\quenvor\\help\\quenvor.htm");
    // No parent to look in: the root, a drive, a folder given without one.
    EXPECT_EQ(BuildInstalledHelpPath("/", '/', 0), "");
    EXPECT_EQ(BuildInstalledHelpPath("///", '/', 0), "");
    EXPECT_EQ(BuildInstalledHelpPath("C:\\", '\\', '/'), "");
    EXPECT_EQ(BuildInstalledHelpPath("bin", '/', 0), "");
}

TEST(HelpPath, ThePageBesideTheProgramWinsThenTheInstalledOneThenTheFirstPlaceLookedIn) {
    const std::string beside = "/usr/bin/help/quenvor.htm";
    const std::string installed = "/usr/share/quenvor/help/quenvor.htm";
    std::set<std::string> files;
    std::vector<std::string> asked;
    const auto isFile = [&](const std::string& path) {
        asked.push_back(path);
        return files.contains(path);
    };

    files = {beside, installed};
    EXPECT_EQ(FindHelpPath("/usr/bin", '/', 0, isFile), beside);
    files = {installed};
    EXPECT_EQ(FindHelpPath("/usr/bin", '/', 0, isFile), installed);
    files = {};
    EXPECT_EQ(FindHelpPath("/usr/bin", '/', 0, isFile), beside);

    asked.clear();
    EXPECT_EQ(FindHelpPath("/", '/', 0, isFile), "/help/quenvor.htm");
    EXPECT_EQ(asked, std::vector<std::string>{"/help/quenvor.htm"});  // never an empty name
}

// Each language has its page; where an install lacks it, the English page serves.
TEST(HelpPath, TheLanguagesOwnPageComesFirstThenTheEnglishOne) {
    const std::string es = "/usr/bin/help/quenvor-es.htm";
    const std::string esInstalled = "/usr/share/quenvor/help/quenvor-es.htm";
    const std::string en = "/usr/bin/help/quenvor.htm";
    const std::string enInstalled = "/usr/share/quenvor/help/quenvor.htm";
    struct Case {
        std::set<std::string> files;
        std::string found;
    };
    for (const auto& c : std::vector<Case>{{{es, en}, es},
                                           {{esInstalled, en}, esInstalled},
                                           {{en, enInstalled}, en},
                                           {{enInstalled}, enInstalled},
                                           {{}, es}}) {
        const auto isFile = [&](const std::string& path) { return c.files.contains(path); };
        EXPECT_EQ(FindHelpPath("/usr/bin", '/', 0, isFile, ui::kSpanish), c.found);
    }
    const auto all = [](const std::string&) { return true; };
    EXPECT_EQ(FindHelpPath("/usr/bin", '/', 0, all, ui::kEnglish), en);
    EXPECT_EQ(FindHelpPath("C:\\Quenvor", '\\', '/', all, ui::kSpanish), "C:\\Quenvor\\help\\quenvor-es.htm");
}

// The layouts the program really runs from: the build folder and an installed prefix.
TEST(HelpPath, TheRunningSystemFindsThePageInTheBuildAndInTheInstalledLayout) {
    test::TempDir root;
    const auto bin = root / "usr/bin";
    std::filesystem::create_directories(bin);
    const auto installed = root / "usr/share/quenvor/help/quenvor.htm";
    const auto beside = root / "usr/bin/help/quenvor.htm";

    // Compared as paths: the page is named with the system's own separator.
    const auto found = [&](const std::string& folder) { return std::filesystem::path(BuildHelpPath(folder)); };
    EXPECT_EQ(found(bin.string()), beside) << "nothing there yet";
    test::TempDir::write(installed, "<html></html>");
    EXPECT_EQ(found(bin.string()), installed);
    EXPECT_EQ(found(bin.string() + "/"), installed);
    test::TempDir::write(beside, "<html></html>");
    EXPECT_EQ(found(bin.string()), beside);

    // A folder of the page's name is no page.
    std::filesystem::remove(beside);
    std::filesystem::create_directories(beside);
    EXPECT_EQ(found(bin.string()), installed);
}

}  // namespace
}  // namespace quenvor::shell
