// quenvor-cli.exe under Windows (Wine's, in CI), run as a console program: its help, and a
// preview that names WinINet's own cache entries and the Firefox and Chrome profiles of the
// user's application-data folders, changing none of them.
#include <windows.h>
// After windows.h, which it expects first.
#include <wininet.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "cleaning/formats/JsonValue.h"
#include "cli/ExitCode.h"
#include "platform/IKnownFolders.h"
#include "platform/NativePlatform.h"
#include "support/ChromiumFixture.h"
#include "support/FirefoxFixture.h"
#include "support/TempDir.h"

namespace quenvor::cli {
namespace {
namespace fs = std::filesystem;

struct Ran {
    int code = -1;
    std::string out;
};

// The program as a console starts it, its standard output read through a pipe.
Ran runProgram(const std::string& args) {
    std::string exe = QUENVOR_CLI;
    // The build names it by its Unix path; Wine shows the Unix root as drive Z:.
    if (!exe.empty() && exe[0] == '/') exe = "Z:" + exe;
    for (auto& c : exe)
        if (c == '/') c = '\\';
    Ran r;
    FILE* pipe = _popen(("\"" + exe + "\" " + args).c_str(), "rb");
    if (!pipe) return r;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) r.out.append(buffer, n);
    r.code = _pclose(pipe);
    return r;
}

TEST(CliWindows, HelpPrintsInTheConsoleAndThePreviewNamesEveryBrowserAndTheSystemCache) {
    const auto help = runProgram("--help");
    EXPECT_EQ(help.code, ExitCode::Done);
    EXPECT_NE(help.out.find("Exit codes"), std::string::npos) << help.out;

    platform::NativePlatform native;
    auto& folders = *native.services().folders;
    const fs::path firefox = folders.configHome() / "Mozilla/Firefox",
                   chrome = folders.cacheHome() / "Google/Chrome/User Data";
    for (const auto& f : {firefox, chrome})
        if (fs::exists(f)) GTEST_SKIP() << f << " exists: a real browser's folder is never touched";
    struct Remove {
        std::vector<fs::path> folders;
        ~Remove() {
            std::error_code ec;
            for (const auto& f : folders) fs::remove_all(f, ec);
        }
    } cleanUp{{firefox, folders.cacheHome() / "Mozilla/Firefox", chrome}};
    test::TempDir::write(firefox / "profiles.ini", "[Profile0]\nPath=Profiles/a\n");
    test::FirefoxFixture::makeProfile(firefox / "Profiles/a");
    test::ChromiumFixture::makeProfile(chrome / "Default");
    // A page in WinINet's cache, made as a browser makes one.
    const std::string page = "http://quenvor-cli.example/page";
    char file[MAX_PATH] = {};
    ASSERT_TRUE(CreateUrlCacheEntryA(page.c_str(), 0, "htm", file, 0)) << GetLastError();
    { std::ofstream(file, std::ios::binary) << "secret"; }
    FILETIME never{};
    ASSERT_TRUE(
        CommitUrlCacheEntryA(page.c_str(), file, never, never, NORMAL_CACHE_ENTRY, nullptr, 0, nullptr, nullptr));
    const std::string cookies = test::TempDir::read(firefox / "Profiles/a/cookies.sqlite");

    const auto r = runProgram("clean --preview --json --only history,cache,cookies");
    EXPECT_EQ(r.code, ExitCode::Done) << r.out;
    const auto report = cleaning::formats::JsonValue::parse(r.out);
    ASSERT_TRUE(report) << r.out;
    bool pageNamed = false, firefoxPlanned = false, chromePlanned = false;
    for (const auto& step : report->member("plan")->items()) {
        for (const auto& name : step.member("names")->items()) pageNamed = pageNamed || name.text() == page;
        firefoxPlanned = firefoxPlanned || step.member("browser")->text() == "Firefox";
        chromePlanned = chromePlanned || step.member("browser")->text().find("Chrome") != std::string::npos;
    }
    EXPECT_TRUE(pageNamed) << r.out;
    EXPECT_TRUE(firefoxPlanned) << r.out;
    EXPECT_TRUE(chromePlanned) << r.out;
    // Nothing changed.
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(test::TempDir::read(firefox / "Profiles/a/cookies.sqlite"), cookies);
    DeleteUrlCacheEntryA(page.c_str());
}

}  // namespace
}  // namespace quenvor::cli
