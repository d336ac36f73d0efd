// Chromium itself, run headless against a server on the loopback address, fills a profile with
// history, cookies and cache; Quenvor then lists and cleans it, and Chromium opens it again.
// A Chromium that is still running keeps its profile until it ends, even by a crash.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): kill() is POSIX, not in <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cleaning/chromium/ChromiumRunning.h"
#include "cleaning/chromium/ChromiumUrlCache.h"
#include "cleaning/chromium/cChromium.h"
#include "support/FakeHome.h"
#include "support/FirefoxFixture.h"
#include "support/LevelDbFixture.h"
#include "support/LoopbackServer.h"
#include "support/TempDir.h"

namespace quenvor::cleaning {
namespace {

using test::FirefoxFixture;
using test::TempDir;
namespace fs = std::filesystem;

std::string chromium() {
    for (const char* p : {"/usr/bin/chromium", "/usr/bin/chromium-browser"})
        if (::access(p, X_OK) == 0) return p;
    return {};
}

class Browser {
public:
    // Starts Chromium on the profile folder; with `dumpAndQuit` it loads the page, saves its
    // profile and quits by itself, after `pagesFor` of the page's own time when the page goes on
    // to others, or after `stayMs` of real time when given.
    Browser(const std::string& exe, const fs::path& home, const fs::path& userData, const std::string& url,
            bool dumpAndQuit, std::chrono::milliseconds pagesFor = {}, int stayMs = 0) {
        std::vector<std::string> env = {
            "HOME=" + home.string(), "PATH=/usr/bin:/bin", "XDG_RUNTIME_DIR=" + home.string(),
            "XDG_CONFIG_HOME=" + (home / ".config").string(), "XDG_CACHE_HOME=" + (home / ".cache").string()};
        std::vector<std::string> args = {exe,
                                         "--headless",
                                         "--no-sandbox",
                                         "--disable-gpu",
                                         "--no-first-run",
                                         "--disable-background-networking",
                                         "--disable-component-update",
                                         "--disable-sync",
                                         "--password-store=basic",
                                         "--user-data-dir=" + userData.string()};
        if (dumpAndQuit) args.emplace_back("--dump-dom");
        if (pagesFor.count() > 0) args.push_back("--virtual-time-budget=" + std::to_string(pagesFor.count()));
        if (stayMs > 0) args.push_back("--timeout=" + std::to_string(stayMs));
        args.push_back(url);
        std::vector<char*> argv, envp;
        for (auto& a : args) argv.push_back(a.data());
        for (auto& e : env) envp.push_back(e.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        // Its own process group, so the browser's helpers end with it.
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attr, 0);
        posix_spawn_file_actions_t io;
        posix_spawn_file_actions_init(&io);
        m_log = home / ("chromium-" + std::to_string(++s_runs) + ".log");
        posix_spawn_file_actions_addopen(&io, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&io, 2, m_log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (::posix_spawn(&m_pid, exe.c_str(), &io, &attr, argv.data(), envp.data()) != 0) m_pid = 0;
        posix_spawn_file_actions_destroy(&io);
        posix_spawnattr_destroy(&attr);
    }
    ~Browser() { kill(); }
    bool started() const { return m_pid > 0; }

    // The exit status once it has quit by itself (-2 when it had to be stopped).
    int wait(std::chrono::seconds limit = std::chrono::seconds(90)) {
        if (m_pid <= 0) return -1;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (::waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill();
                return -2;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        m_pid = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
    }
    // Ends it the way a crash does: nothing is tidied up.
    void kill() {
        if (m_pid <= 0) return;
        ::kill(-m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = 0;
    }
    // What it complained about, the system bus it cannot reach aside.
    std::string complaints() const {
        std::ifstream in(m_log);
        std::string line, out;
        while (std::getline(in, line))
            if (line.find("sql") != std::string::npos || line.find("orrupt") != std::string::npos ||
                line.find("atabase") != std::string::npos)
                out += line + "\n";
        return out;
    }

private:
    pid_t m_pid = 0;
    fs::path m_log;
    static inline int s_runs = 0;
};

std::string blob(const fs::path& db, const std::string& select) {
    return FirefoxFixture::queryOne(db, "SELECT hex(" + select + ")");
}

std::string unhex(const std::string& h) {
    std::string out;
    for (std::size_t i = 0; i + 1 < h.size(); i += 2) out += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
    return out;
}

// Every file below `dir` whose bytes hold `needle`, as paths relative to `dir`.
std::vector<std::string> filesHolding(const fs::path& dir, const std::string& needle) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(dir, ec))
        if (e.is_regular_file() && FirefoxFixture::rawBytes(e.path()).find(needle) != std::string::npos)
            out.push_back(fs::relative(e.path(), dir).string());
    return out;
}

class RealChromium : public ::testing::Test, protected test::FakeHome {
protected:
    void SetUp() override {
        exe = chromium();
        if (exe.empty()) GTEST_SKIP() << "Chromium is not installed";
        fs::create_directories(home);
    }
    std::string exe;
    test::LoopbackServer server;
    fs::path userData = home / ".config/chromium";
    fs::path profile = userData / "Default";
    chromium::ChromiumProfiles::Services services{files, folders};
};

TEST_F(RealChromium, AProfileWrittenByChromiumIsListedCleanedAndStillOpens) {
    const std::string url = server.url("/stored/private-page.html");
    {
        Browser b(exe, home, userData, url, true);
        ASSERT_EQ(b.wait(), 0);
    }
    const auto history = profile / "History";
    const auto cookies = fs::exists(profile / "Network/Cookies") ? profile / "Network/Cookies" : profile / "Cookies";
    ASSERT_EQ(FirefoxFixture::queryOne(history, "SELECT count(*) FROM urls WHERE url = '" + url + "'"), "1");
    ASSERT_EQ(FirefoxFixture::queryOne(cookies, "SELECT name FROM cookies"), "sid");
    // The cookie's value may be stored encrypted: then those bytes are what must leave the file.
    const std::string sealed = unhex(blob(cookies, "encrypted_value FROM cookies"));
    const fs::path cacheData = home / ".cache/chromium/Default/Cache/Cache_Data";
    ASSERT_TRUE(fs::exists(cacheData)) << "the disk cache lives below the cache folder";
    // The page kept a value in its local storage, which goes with the cookies.
    const auto stored = [&] {
        std::string all;
        std::error_code ec;
        for (const auto& e : fs::recursive_directory_iterator(profile / "Local Storage", ec))
            if (e.is_regular_file()) all += FirefoxFixture::rawBytes(e.path());
        return all.find("loopback-storage-secret") != std::string::npos;
    };
    EXPECT_TRUE(stored());
    const std::string bookmarked = server.url("/bookmarked.html");
    TempDir::write(profile / "Bookmarks",
                   R"({"roots": {"bookmark_bar": {"children": [{"id": "6", "name": "Kept", "type": "url", "url": ")" +
                       bookmarked + R"("}], "id": "1", "name": "Bookmarks bar", "type": "folder"},
                   "other": {"children": [], "id": "2", "name": "Other bookmarks", "type": "folder"},
                   "synced": {"children": [], "id": "3", "name": "Mobile bookmarks", "type": "folder"}}, "version": 1})");

    // The page and its cookie show in page one's lists, read from Chromium's own files.
    chromium::ChromiumUrlCache cache(services, &processes, "ana");
    std::vector<std::string> names;
    platform::UrlCacheFind find = 0;
    for (auto e = cache.findFirst(find); e; e = cache.findNext(find)) names.push_back(e->sourceUrlName);
    cache.findClose(find);
    EXPECT_NE(std::find(names.begin(), names.end(), url), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "Cookie:ana@127.0.0.1/"), names.end());

    common::CleanReport report;
    chromium::cChromium c(services, &processes, report);
    c.ClearHistory();
    c.ClearCookies();
    c.ClearFormData();
    c.ClearCache();
    ASSERT_TRUE(report.clean()) << report.failures().front().what << ": " << report.failures().front().reason;

    EXPECT_EQ(FirefoxFixture::queryOne(history, "SELECT count(*) FROM urls"), "0");
    EXPECT_EQ(FirefoxFixture::queryOne(history, "SELECT count(*) FROM visits"), "0");
    EXPECT_EQ(FirefoxFixture::queryOne(cookies, "SELECT count(*) FROM cookies"), "0");
    EXPECT_EQ(FirefoxFixture::rawBytes(history).find("private-page"), std::string::npos);
    const std::string cookieBytes = FirefoxFixture::rawBytes(cookies);
    if (!sealed.empty()) {
        EXPECT_EQ(cookieBytes.find(sealed), std::string::npos);
    }
    EXPECT_EQ(cookieBytes.find("loopback-secret"), std::string::npos);
    EXPECT_FALSE(stored());
    for (const fs::path& db : {history, cookies, profile / "Favicons", profile / "Web Data"}) {
        if (!fs::exists(db)) continue;
        EXPECT_EQ(FirefoxFixture::queryOne(db, "PRAGMA integrity_check"), "ok") << db;
    }
    for (const auto& e : fs::recursive_directory_iterator(home / ".cache/chromium"))
        EXPECT_FALSE(e.is_regular_file()) << e.path();
    EXPECT_NE(TempDir::read(profile / "Bookmarks").find(bookmarked), std::string::npos);

    // Chromium opens the cleaned profile, records a new visit as usual and keeps the bookmark.
    const std::string again = server.url("/after.html");
    Browser b(exe, home, userData, again, true);
    ASSERT_EQ(b.wait(), 0);
    EXPECT_EQ(FirefoxFixture::queryOne(history, "SELECT group_concat(url) FROM urls"), again);
    EXPECT_EQ(b.complaints(), "");
    EXPECT_NE(TempDir::read(profile / "Bookmarks").find(bookmarked), std::string::npos);
}

TEST_F(RealChromium, ARunningChromiumKeepsItsProfileUntilItEndsEvenByACrash) {
    Browser b(exe, home, userData, server.url("/open-tab.html"), false);
    ASSERT_TRUE(b.started());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(profile / "History") || !fs::is_symlink(userData / "SingletonLock")) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "Chromium did not start";
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    ASSERT_TRUE(chromium::ChromiumRunning::running(userData, files, &processes));
    common::CleanReport report;
    chromium::cChromium c(services, &processes, report);
    const auto before = fs::last_write_time(profile / "History");
    c.ClearHistory();
    ASSERT_EQ(report.failures().size(), 1u);
    EXPECT_TRUE(report.failures()[0].browserRunning);
    EXPECT_EQ(report.failures()[0].browser, "Chromium");
    EXPECT_EQ(fs::last_write_time(profile / "History"), before);

    b.kill();
    ASSERT_TRUE(fs::is_symlink(userData / "SingletonLock"));  // left behind by the crash
    EXPECT_FALSE(chromium::ChromiumRunning::running(userData, files, &processes));
    report.clear();
    c.ClearHistory();
    EXPECT_TRUE(report.clean()) << report.failures().front().what << ": " << report.failures().front().reason;
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "History", "SELECT count(*) FROM urls"), "0");
}

// Two sites, each with a cookie, local storage and an IndexedDB record, visited at addresses
// with their own marks. After the history, cache, cookie and form-data steps no byte of the
// browser's folders (stores, their journals and free pages, settings, caches) names the site
// that was not kept, nor any page visited; the kept site keeps its cookie and storage, until a
// run without a keep list takes those too.
TEST_F(RealChromium, NoVisitedAddressIsLeftAnywhereAndOnlyAKeptSitesCookiesAndStorageStay) {
    const std::string kept = server.url("/indexed/kept-path-mark.html?kept-query-mark=1", "localhost");
    const std::string gone = server.url("/stored/indexed/gone-path-mark.html?gone-query-mark=1&next=" + kept);
    {
        Browser b(exe, home, userData, gone, true, std::chrono::milliseconds(8000));
        ASSERT_EQ(b.wait(), 0);
    }
    const fs::path config = userData, cache = home / ".cache/chromium";
    const auto cookies = fs::exists(profile / "Network/Cookies") ? profile / "Network/Cookies" : profile / "Cookies";
    const std::string byHost = "SELECT group_concat(host_key) FROM (SELECT DISTINCT host_key FROM cookies ORDER BY 1)";
    ASSERT_EQ(FirefoxFixture::queryOne(cookies, byHost), "127.0.0.1,localhost") << "both pages were visited";
    const auto indexed = [&](const std::string& host) {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(profile / "IndexedDB", ec))
            if (e.path().filename().string().rfind("http_" + host + "_", 0) == 0) return true;
        return false;
    };
    ASSERT_TRUE(indexed("127.0.0.1") && indexed("localhost"));
    for (const char* mark : {"gone-path-mark", "gone-query-mark", "kept-path-mark", "kept-query-mark"})
        ASSERT_FALSE(filesHolding(config, mark).empty()) << mark;

    common::CleanReport report;
    chromium::cChromium c(services, &processes, report);
    c.setKeepList(common::KeepList::parse("localhost"));
    c.ClearHistory();
    c.ClearCache();
    c.ClearCookies();
    c.ClearFormData();
    ASSERT_TRUE(report.clean()) << report.failures().front().what << ": " << report.failures().front().reason;
    EXPECT_EQ(report.keptSites(), std::set<std::string>{"localhost"});
    for (auto area : {common::CleanArea::History, common::CleanArea::Cookies, common::CleanArea::Cache})
        EXPECT_GT(report.removedTally().contains(area) ? report.removedTally().at(area).items : 0u, 0u);

    // A kept site's visits are history like any other's.
    for (const fs::path& top : {config, cache}) {
        for (const char* mark : {"gone-path-mark", "gone-query-mark", "kept-path-mark", "kept-query-mark"})
            EXPECT_EQ(filesHolding(top, mark), std::vector<std::string>{}) << mark;
    }
    for (const auto& f : filesHolding(config, "127.0.0.1"))
        EXPECT_TRUE(f.ends_with("Bookmarks") || f.ends_with("Login Data")) << f << " names the site that went";
    EXPECT_EQ(FirefoxFixture::queryOne(cookies, byHost), "localhost");
    EXPECT_FALSE(indexed("127.0.0.1"));
    EXPECT_TRUE(indexed("localhost"));
    for (const auto& e : fs::recursive_directory_iterator(config)) {
        if (e.is_regular_file() &&
            FirefoxFixture::rawBytes(e.path()).starts_with(std::string("SQLite format 3\0", 16))) {
            EXPECT_EQ(FirefoxFixture::queryOne(e.path(), "PRAGMA integrity_check"), "ok") << e.path();
        }
    }

    // Without a keep list the kept site goes too.
    report.clear();
    c.setKeepList({});
    c.ClearCookies();
    ASSERT_TRUE(report.clean()) << report.failures().front().what << ": " << report.failures().front().reason;
    EXPECT_TRUE(report.keptSites().empty());
    EXPECT_EQ(FirefoxFixture::queryOne(cookies, "SELECT count(*) FROM cookies"), "0");
    EXPECT_FALSE(indexed("localhost"));
    for (const char* site : {"127.0.0.1", "localhost"})
        for (const auto& f : filesHolding(config, site))
            EXPECT_TRUE(f.ends_with("Bookmarks") || f.ends_with("Login Data")) << f << " names " << site;
}

// The stores every site and extension shares, as Chromium wrote them: 127.0.0.1's values go from
// every byte of them, and localhost (kept, framed by 127.0.0.1) and an extension keep theirs.
TEST_F(RealChromium, LocalAndSessionStorageLoseOnlyTheSitesThatGo) {
    using test::LevelDbFixture;
    const fs::path local = profile / "Local Storage/leveldb", session = profile / "Session Storage";
    const auto sessionSaved = [&] {
        std::string all;
        for (const auto& [key, value] : LevelDbFixture::read(session)) all += value;
        return all.find(LevelDbFixture::utf16("session-127_0_0_1-storage-token")) != std::string::npos &&
               all.find(LevelDbFixture::utf16("session-localhost-storage-token")) != std::string::npos;
    };
    // Session storage reaches the disk some seconds after the page set it, later on a busy
    // machine, and sometimes only at a later visit.
    for (int visit = 0; visit < 5 && (visit == 0 || !sessionSaved()); ++visit) {
        Browser b(exe, home, userData, server.url("/both-storages.html"), true, {}, 9000);
        ASSERT_EQ(b.wait(), 0);
    }
    // What the browser never wrote cannot show what the cleaning leaves of it.
    if (!sessionSaved()) GTEST_SKIP() << "Chromium did not save the page's session storage in five visits";
    const std::string extension = "chrome-extension://abcdefghijklmnopabcdefghijklmnop";
    LevelDbFixture::write(local, {{LevelDbFixture::localValue(extension, "tabs"),
                                   "\x01"
                                   "extension-storage-token"}});
    LevelDbFixture::write(session, {{LevelDbFixture::tabEntry(LevelDbFixture::kTab, extension), "900"},
                                    {"map-900-tabs", LevelDbFixture::utf16("extension-storage-token")}});
    struct Value {
        fs::path store;
        std::string bytes;  // as the store holds it
        bool stays;
    };
    const Value values[] = {
        {local, "local-127_0_0_1-storage-token", false},
        {session, LevelDbFixture::utf16("session-127_0_0_1-storage-token"), false},
        {local, "local-localhost-storage-token", true},
        {session, LevelDbFixture::utf16("session-localhost-storage-token"), true},
        {local, "extension-storage-token", true},
        {session, LevelDbFixture::utf16("extension-storage-token"), true},
    };
    const auto readable = [](const Value& v) {
        for (const auto& [key, value] : LevelDbFixture::read(v.store))
            if (value.find(v.bytes) != std::string::npos) return true;
        return false;
    };
    for (const auto& v : values) ASSERT_TRUE(readable(v)) << v.store << " " << v.bytes;

    common::CleanReport report;
    chromium::cChromium c(services, &processes, report);
    c.setKeepList(common::KeepList::parse("localhost"));
    c.ClearCookies();
    ASSERT_TRUE(report.clean()) << report.failures().front().what << ": " << report.failures().front().reason;
    EXPECT_EQ(report.keptSites(), (std::set<std::string>{"localhost"}));
    EXPECT_GE(report.removedTally().at(common::CleanArea::SiteData).items, 2u);
    for (const auto& v : values) {
        EXPECT_EQ(readable(v), v.stays) << v.store << " " << v.bytes;
        if (!v.stays) {
            EXPECT_EQ(LevelDbFixture::bytes(v.store).find(v.bytes), std::string::npos) << v.bytes;
        }
    }
}

}  // namespace
}  // namespace quenvor::cleaning
