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
#include <fstream>
#include <set>
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

pid_t spawn(const std::string& exe, const fs::path& home, std::vector<std::string> args) {
    std::vector<std::string> env = {"HOME=" + home.string(), "MOZ_HEADLESS=1", "PATH=/usr/bin:/bin",
                                    "XDG_RUNTIME_DIR=" + home.string()};
    args.insert(args.begin(), {exe, "--headless", "--no-remote"});
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    for (auto& e : env) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_t pid = 0;
    return ::posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv.data(), envp.data()) == 0 ? pid : -1;
}

// Waits for Firefox to end by itself, or ends it after 180 seconds: its exit status, or below zero.
int waitFor(pid_t pid) {
    if (pid < 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(180);
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

// Runs Firefox headless on the profile until it has saved `url` and quit.
int runFirefox(const std::string& exe, const fs::path& home, const fs::path& profile, const std::string& url) {
    return waitFor(
        spawn(exe, home, {"--profile", profile.string(), "--screenshot", (home / "shot.png").string(), url}));
}

// Asks a Firefox started with --marionette to quit as a user would (every store closed and
// written), through the remote-control protocol's length-prefixed JSON messages.
bool quitThroughMarionette(int port) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int fd = -1;
    while (std::chrono::steady_clock::now() < deadline) {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) break;
        ::close(fd);
        fd = -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    if (fd < 0) return false;
    auto receive = [&] {
        std::string length, body;
        char c = 0;
        while (::recv(fd, &c, 1, 0) == 1 && c != ':') length += c;
        body.resize(length.empty() ? 0 : std::stoul(length));
        for (std::size_t got = 0; got < body.size();) {
            const auto n = ::recv(fd, body.data() + got, body.size() - got, 0);
            if (n <= 0) return std::string();
            got += static_cast<std::size_t>(n);
        }
        return body;
    };
    auto send = [&](const std::string& json) {
        const std::string m = std::to_string(json.size()) + ":" + json;
        return ::send(fd, m.data(), m.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(m.size());
    };
    const bool ok = !receive().empty() && send(R"([0,1,"WebDriver:NewSession",{}])") && !receive().empty() &&
                    send(R"([0,2,"Marionette:Quit",{"flags":["eAttemptQuit"]}])") && !receive().empty();
    ::close(fd);
    return ok;
}

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0;
    ::close(fd);
    return ok ? ntohs(a.sin_port) : 0;
}

// Undoes the LZ4 block inside Firefox's "mozLz40" files (session, search engines, crash
// records), so their text can be searched like any other file's.
std::string mozLz4Text(const std::string& file) {
    if (file.compare(0, 8, std::string("mozLz40\0", 8)) != 0 || file.size() < 12) return {};
    std::string out;
    std::size_t i = 12;
    auto length = [&](std::size_t n) {
        if (n != 15) return n;
        for (unsigned char b = 255; b == 255 && i < file.size(); n += b) b = static_cast<unsigned char>(file[i++]);
        return n;
    };
    while (i < file.size()) {
        const auto token = static_cast<unsigned char>(file[i++]);
        const std::size_t literal = length(token >> 4u);
        out += file.substr(i, literal);
        i += literal;
        if (i + 2 > file.size()) break;
        const std::size_t offset = static_cast<unsigned char>(file[i]) |
                                   static_cast<std::size_t>(static_cast<unsigned char>(file[i + 1])) << 8u;
        i += 2;
        const std::size_t match = length(token & 15u) + 4;
        if (offset == 0 || offset > out.size()) break;  // not the block it claims to be
        for (std::size_t k = 0, from = out.size() - offset; k < match; ++k) out += out[from + k];
    }
    return out;
}

// Every file below `root` (links not followed) whose bytes, or decompressed text, hold `token`.
std::vector<std::string> filesHolding(const fs::path& root, const std::string& token) {
    std::vector<std::string> found;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        if (!it->is_regular_file() || it->is_symlink()) continue;
        std::ifstream in(it->path(), std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        if (bytes.find(token) != std::string::npos || mozLz4Text(bytes).find(token) != std::string::npos)
            found.push_back(fs::relative(it->path(), root).string());
    }
    return found;
}

// Tokened pages on two loopback hosts: each keeps a cookie, local storage and an IndexedDB
// value, then moves on by itself (a form sent to the next host, then a link back), and the last
// one says it is finished.
std::string tokenedPage(const std::string& target, int port, std::atomic<bool>& finished) {
    const std::string origin127 = "http://127.0.0.1:" + std::to_string(port);
    std::string next;
    if (target.rfind("/tokalpha-path/", 0) == 0)
        next = "document.forms[0].action = 'http://localhost:" + std::to_string(port) +
               "/tokbeta-path/page.html'; document.forms[0].submit()";
    else if (target.rfind("/tokbeta-path/", 0) == 0)
        next = "location.href = '" + origin127 + "/tokomega-path/end.html?q=tokomega-query'";
    else if (target.rfind("/tokomega-path/", 0) == 0)
        next = "fetch('/finished')";
    else if (target == "/finished")
        finished = true;
    return "<html><head><title>tokgamma-title</title></head><body><form><input name='q' value='tokbeta-form'></form>"
           "<script>localStorage.setItem('k', 'stored-on-' + location.host);"
           "const r = indexedDB.open('db'); r.onupgradeneeded = () => r.result.createObjectStore('s');"
           "r.onsuccess = () => { const t = r.result.transaction('s', 'readwrite');"
           "t.objectStore('s').put('idb-of-' + location.host, 'k');"
           "t.oncomplete = () => setTimeout(() => { " +
           next + " }, 1000); };</script></body></html>";
}

// One session visits pages on 127.0.0.1 and on localhost, with "localhost" kept; after the
// history, cache, cookie and form steps no file Firefox wrote anywhere holds an address or the
// host of 127.0.0.1's pages, localhost keeps its cookie and storage, and Firefox opens the
// cleaned profile again as usual.
TEST(RealFirefox, NoVisitedAddressIsLeftAnywhereButTheKeptSiteStays) {
    const std::string exe = firefox();
    if (exe.empty()) GTEST_SKIP() << "Firefox is not installed";
    test::FakeHome h;
    const fs::path& home = h.home;
    const fs::path profile = home / "profiles/real";
    const int marionette = freePort();
    TempDir::write(profile / "user.js", "user_pref(\"marionette.port\", " + std::to_string(marionette) + ");\n");
    std::atomic<bool> finished{false};
    int port = 0;
    test::LoopbackServer server([&](const std::string& target) { return tokenedPage(target, port, finished); });
    port = server.port();
    const std::string url = server.url("/tokalpha-path/page.html?q=tokalpha-query");
    const pid_t pid = spawn(exe, home, {"--marionette", "--profile", profile.string(), url});
    // A loaded machine takes its time over two hosts' pages.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(180);
    while (!finished && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const bool quit = quitThroughMarionette(marionette);
    ASSERT_EQ(waitFor(pid), 0);
    ASSERT_TRUE(finished && quit) << "Firefox did not go through the pages or did not quit when asked";

    const auto places = profile / "places.sqlite";
    ASSERT_NE(FirefoxFixture::queryOne(places, "SELECT count(*) FROM moz_places WHERE url = '" + url + "'"), "0");
    ASSERT_EQ(
        FirefoxFixture::queryOne(profile / "cookies.sqlite", "SELECT group_concat(DISTINCT host) FROM moz_cookies"),
        "127.0.0.1,localhost");
    const std::string bookmarks = FirefoxFixture::queryOne(places, "SELECT count(*) FROM moz_bookmarks");
    ASSERT_FALSE(filesHolding(home, "tokomega-query").empty());  // what the search must find is there to find

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
    ff.setKeepList(common::KeepList::parse("localhost"));
    ff.ClearFirefoxHistory();
    ff.ClearFirefoxCookies();
    ff.ClearFirefoxFormHistory();
    ff.ClearFirefoxCache();
    ASSERT_TRUE(report.clean()) << report.failures().front().what << ": " << report.failures().front().reason;
    EXPECT_EQ(report.keptSites(), (std::set<std::string>{"localhost"}));

    for (const char* token : {"tokalpha", "tokbeta", "tokomega", "tokgamma", "stored-on-127", "idb-of-127"})
        EXPECT_EQ(filesHolding(home, token), std::vector<std::string>{}) << token;
    // Firefox's own compiled scripts spell the loopback address out as a constant, whatever was visited.
    std::vector<std::string> holding127;
    for (const auto& f : filesHolding(home, "127.0.0.1"))
        if (f.find("/startupCache/") == std::string::npos) holding127.push_back(f);
    EXPECT_EQ(holding127, std::vector<std::string>{});
    EXPECT_EQ(
        FirefoxFixture::queryOne(profile / "cookies.sqlite", "SELECT group_concat(DISTINCT host) FROM moz_cookies"),
        "localhost");
    EXPECT_TRUE(fs::exists(profile / ("storage/default/http+++localhost+" + std::to_string(port))));
    EXPECT_EQ(FirefoxFixture::queryOne(places, "SELECT count(*) FROM moz_historyvisits"), "0");
    EXPECT_EQ(FirefoxFixture::queryOne(places, "SELECT count(*) FROM moz_bookmarks"), bookmarks);
    for (const char* db : {"places.sqlite", "cookies.sqlite", "favicons.sqlite", "formhistory.sqlite",
                           "permissions.sqlite", "content-prefs.sqlite", "storage.sqlite", "webappsstore.sqlite"}) {
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
