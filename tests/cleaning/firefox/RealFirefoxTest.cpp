// Firefox itself, run headless against a server on the loopback address, fills a profile with
// history, cookies and cache; Quenvor then lists and cleans it, and Firefox opens it again.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): kill() is POSIX, not in <csignal>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "cleaning/firefox/FirefoxUrlCache.h"
#include "cleaning/firefox/cFireFox.h"
#include "platform/IniProfileReader.h"
#include "platform/RegistryStore.h"
#include "platform/linux/LinuxFileService.h"
#include "platform/linux/LinuxKnownFolders.h"
#include "platform/linux/LinuxProcessTable.h"
#include "support/FakeHome.h"
#include "support/FirefoxFixture.h"
#include "support/LoopbackServer.h"
#include "support/TempDir.h"

extern char** environ;

namespace quenvor::cleaning {
namespace {

using test::FirefoxFixture;
using test::TempDir;
namespace fs = std::filesystem;

std::string firefox() {
    for (const char* p : {"/usr/bin/firefox-esr", "/usr/bin/firefox"})
        if (::access(p, X_OK) == 0) return p;
    return {};
}

// Runs Firefox headless on the profile until it has saved `url` and quit.
int runFirefox(const std::string& exe, const fs::path& home, const fs::path& profile, const std::string& url) {
    std::vector<std::string> env = {"HOME=" + home.string(), "MOZ_HEADLESS=1", "PATH=/usr/bin:/bin",
                                    "XDG_RUNTIME_DIR=" + home.string()};
    std::vector<std::string> args = {
        exe, "--headless", "--no-remote", "--profile", profile.string(), "--screenshot", (home / "shot.png").string(),
        url};
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    for (auto& e : env) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -2;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
}

TEST(RealFirefox, AProfileWrittenByFirefoxIsListedCleanedAndStillOpens) {
    const std::string exe = firefox();
    if (exe.empty()) GTEST_SKIP() << "Firefox is not installed";
    test::FakeHome h;
    const fs::path& home = h.home;
    const fs::path profile = home / "profiles/real";
    fs::create_directories(profile);
    test::LoopbackServer server;
    const std::string url = server.url("/private-page.html");
    ASSERT_EQ(runFirefox(exe, home, profile, url), 0);

    const auto places = profile / "places.sqlite";
    ASSERT_NE(FirefoxFixture::queryOne(places, "SELECT count(*) FROM moz_places WHERE url = '" + url + "'"), "0");
    ASSERT_EQ(FirefoxFixture::queryOne(profile / "cookies.sqlite", "SELECT value FROM moz_cookies"), "loopback-secret");
    const std::string bookmarks = FirefoxFixture::queryOne(places, "SELECT count(*) FROM moz_bookmarks");

    TempDir::write(home / ".config/mozilla/firefox/profiles.ini",
                   "[Profile0]\nName=real\nIsRelative=0\nPath=" + profile.string() + "\n");
    firefox::FirefoxProfiles::Services s{h.registry, h.ini, h.files, h.folders};

    // The page and its cookie show in the lists, read from Firefox's own files.
    firefox::FirefoxUrlCache cache(s, &h.processes, "ana");
    std::vector<std::string> names;
    platform::UrlCacheFind find = 0;
    for (auto e = cache.findFirst(find); e; e = cache.findNext(find)) names.push_back(e->sourceUrlName);
    cache.findClose(find);
    EXPECT_NE(std::find(names.begin(), names.end(), url), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "Cookie:ana@127.0.0.1/"), names.end());

    common::CleanReport report;
    firefox::cFireFox ff(s, &h.processes, report);
    ff.ClearFirefoxHistory();
    ff.ClearFirefoxCookies();
    ff.ClearFirefoxFormHistory();
    ff.ClearFirefoxCache();
    ASSERT_TRUE(report.clean()) << report.failures().front().what << ": " << report.failures().front().reason;

    EXPECT_EQ(FirefoxFixture::queryOne(places, "SELECT count(*) FROM moz_historyvisits"), "0");
    EXPECT_EQ(FirefoxFixture::queryOne(places, "SELECT count(*) FROM moz_bookmarks"), bookmarks);
    EXPECT_EQ(FirefoxFixture::rawBytes(places).find("private-page"), std::string::npos);
    EXPECT_EQ(FirefoxFixture::rawBytes(profile / "cookies.sqlite").find("loopback-secret"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(profile / "cache2/entries"));
    for (const char* db : {"places.sqlite", "cookies.sqlite", "favicons.sqlite", "formhistory.sqlite"}) {
        if (!fs::exists(profile / db)) continue;
        EXPECT_EQ(FirefoxFixture::queryOne(profile / db, "PRAGMA integrity_check"), "ok") << db;
        EXPECT_EQ(FirefoxFixture::queryOne(profile / db, "PRAGMA foreign_key_check"), "") << db;
    }

    // Firefox opens the cleaned profile and records a new visit as usual.
    const std::string again = server.url("/after.html");
    ASSERT_EQ(runFirefox(exe, home, profile, again), 0);
    EXPECT_EQ(FirefoxFixture::queryOne(places, "SELECT count(*) FROM moz_places WHERE url = '" + again + "'"), "1");
    EXPECT_EQ(FirefoxFixture::queryOne(places, "SELECT count(*) FROM moz_bookmarks"), bookmarks);
}

}  // namespace
}  // namespace quenvor::cleaning
