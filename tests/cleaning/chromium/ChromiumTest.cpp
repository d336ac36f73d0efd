#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <set>

#include "cleaning/CleaningRun.h"
#include "cleaning/CompositeUrlCache.h"
#include "cleaning/UrlCacheLists.h"
#include "cleaning/chromium/ChromiumProfiles.h"
#include "cleaning/chromium/ChromiumRunning.h"
#include "cleaning/chromium/ChromiumUrlCache.h"
#include "cleaning/chromium/cChromium.h"
#include "cleaning/firefox/FirefoxUrlCache.h"
#include "cleaning/formats/JsonValue.h"
#include "cleaning/formats/JsonWriter.h"
#include "platform/EmbeddedStringResource.h"
#include "support/ChromiumFixture.h"
#include "support/FakeFormView.h"
#include "support/FakeHome.h"
#include "support/FaultyFileService.h"
#include "support/FirefoxFixture.h"
#include "support/LevelDbFixture.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "ui/BusyState.h"
#include "ui/StringTable.h"

namespace quenvor::cleaning {
namespace {

using test::ChromiumFixture;
using test::FirefoxFixture;
using test::TempDir;
namespace fs = std::filesystem;

std::string host() {
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return name;
}

// The id of a process that has ended and been reaped.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

class Chromium : public ::testing::Test, protected test::FakeHome {
protected:
    common::CleanReport report;
    chromium::ChromiumProfiles::Services services{files, folders};
    fs::path root = home / ".config/chromium";
    fs::path profile = root / "Default";
    fs::path cacheRoot = home / ".cache/chromium";

    void SetUp() override { ChromiumFixture::makeProfile(profile); }
    chromium::cChromium cleaner() {
        chromium::cChromium c(services, &processes, report);
        return c;
    }
    void lock(const std::string& target) { fs::create_symlink(target, root / "SingletonLock"); }
    std::string failures() const {
        std::string all;
        for (const auto& f : report.failures()) all += f.what + ": " + f.reason + "\n";
        return all;
    }
};

TEST(Json, WellFormedDocumentsAreReadAndAnythingElseIsNothing) {
    const auto doc = formats::JsonValue::parse(R"( {"a": [1, -2.5e3, true, null], "b": {"c": "x\"\u00e9\ud83d\ude00\n"},
        "a": "last"} )");
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->member("a")->text(), "last");  // a name given twice means its last value
    EXPECT_EQ(doc->member("b")->member("c")->text(), "x\"\xc3\xa9\xf0\x9f\x98\x80\n");
    EXPECT_EQ(doc->member("missing"), nullptr);
    EXPECT_EQ(doc->member("b")->member("c")->member("x"), nullptr);  // a string has no members
    for (const char* bad : {"", "{", "{\"a\": 1", "{\"a\" 1}", "{\"a\": 1,}", "[1 2]", "\"\\ud800\"", "\"\\x\"",
                            "\"tab\there\"", "01x", "-", "1.", "{} {}", "nul", "\"\\u12\""})
        EXPECT_FALSE(formats::JsonValue::parse(bad)) << bad;
    // Nesting deep enough to exhaust the stack of a naive reader is refused, not followed.
    EXPECT_FALSE(formats::JsonValue::parse(std::string(100000, '[') + std::string(100000, ']')));
    EXPECT_TRUE(formats::JsonValue::parse(std::string(100, '[') + std::string(100, ']')));
}

TEST(Json, LocalStateListsOnlyProfilesThatAreOneFolderInside) {
    const auto listed = chromium::ChromiumProfiles::listedProfiles(R"({"profile": {"info_cache": {
        "Default": {"name": "Ana"}, "Profile 3": {"name": ""}, "Work": {},
        "../../etc": {"name": "x"}, "/": {"name": "x"}, "a/b": {"name": "x"}, "..": {}, ".": {},
        "..\\..\\Roaming\\Other": {"name": "x"}, "C:\\Users\\ana\\App": {}, "C:": {}, "a\u0000b": {},
        "Default": {"name": "Ana again"}}}})");
    EXPECT_EQ(listed, (std::vector<std::pair<std::string, std::string>>{
                          {"Default", "Ana"}, {"Profile 3", "Profile 3"}, {"Work", "Work"}}));
    for (const char* odd :
         {"", "{\"profile\": 1}", "{\"profile\": {\"info_cache\": []}}", "{\"profile\": {\"info", "[]"})
        EXPECT_TRUE(chromium::ChromiumProfiles::listedProfiles(odd).empty()) << odd;
}

TEST_F(Chromium, EveryProfileOfEveryInstallIsFoundAndNothingElse) {
    TempDir::write(root / "Local State", R"({"profile": {"info_cache": {"Default": {"name": "Ana"},
        "Work": {"name": "Work"}, "Escape": {"name": "x"}, "../outside": {"name": "x"},
        "System Profile": {"name": "x"}}}})");
    ChromiumFixture::makeProfile(root / "Profile 2");
    ChromiumFixture::makeProfile(root / "Work");
    ChromiumFixture::makeProfile(root / "Guest Profile");       // a guest's session, left by a crash
    fs::create_directories(root / "Profile 9");                 // no profile files in it
    TempDir::write(root / "System Profile/Preferences", "{}");  // the profile picker's own, even when listed
    ChromiumFixture::makeProfile(dir / "outside");
    fs::create_symlink(dir / "outside", root / "Escape");  // a name leading out through a link
    const auto snap = home / "snap/chromium/common/chromium/Default";
    const auto brave = home / ".var/app/com.brave.Browser/config/BraveSoftware/Brave-Browser/Default";
    TempDir::write(snap / "Preferences", "{}");
    TempDir::write(brave / "Preferences", "{}");
    // A browser folder linked elsewhere, as profile-sync tools do, is where its profiles are.
    const auto vivaldi = dir / "synced/vivaldi";
    TempDir::write(vivaldi / "Default/Preferences", "{}");
    fs::create_symlink(vivaldi, home / ".config/vivaldi");
    const auto chrome = dir / "chrome-home/google-chrome/Profile 1";
    TempDir::write(chrome / "Preferences", "{}");
    env["CHROME_CONFIG_HOME"] = (dir / "chrome-home").string();

    std::vector<std::string> seen;
    for (const auto& p : chromium::ChromiumProfiles(services).find())
        seen.push_back(p.browser + "|" + p.name + "|" + p.folder.string() + "|" + p.cacheFolder.string());
    EXPECT_EQ(
        seen,
        (std::vector<std::string>{
            "Google Chrome|Profile 1|" + chrome.string() + "|" +
                (cacheRoot.parent_path() / "google-chrome/Profile 1").string(),
            "Chromium|Ana|" + profile.string() + "|" + (cacheRoot / "Default").string(),
            "Chromium|Work|" + (root / "Work").string() + "|" + (cacheRoot / "Work").string(),
            "Chromium|Guest Profile|" + (root / "Guest Profile").string() + "|" +
                (cacheRoot / "Guest Profile").string(),
            "Chromium|Profile 2|" + (root / "Profile 2").string() + "|" + (cacheRoot / "Profile 2").string(),
            "Vivaldi|Default|" + (vivaldi / "Default").string() + "|" + (home / ".cache/vivaldi/Default").string(),
            "Chromium|Default|" + snap.string() + "|" +
                (home / "snap/chromium/common/.cache/chromium/Default").string(),
            "Brave|Default|" + brave.string() + "|" +
                (home / ".var/app/com.brave.Browser/cache/BraveSoftware/Brave-Browser/Default").string(),
        }));
}

TEST_F(Chromium, HistoryGoesWithEveryTraceAndBookmarksPasswordsAndCardsStay) {
    const std::string bookmarks = TempDir::read(profile / "Bookmarks");
    // Older builds moved visits past three months into a store of their own.
    FirefoxFixture::sql(profile / "Archived History", R"(
        CREATE TABLE urls (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR);
        CREATE TABLE visits (id INTEGER PRIMARY KEY, url INTEGER NOT NULL, visit_time INTEGER NOT NULL);
        INSERT INTO urls VALUES (1, 'https://old-clinic.example/', 'Old appointment');
        INSERT INTO visits VALUES (1, 1, 1);)");
    cleaner().ClearHistory();
    EXPECT_TRUE(report.clean()) << failures();
    const auto history = profile / "History";
    for (const char* table :
         {"urls", "visits", "keyword_search_terms", "downloads", "downloads_url_chains", "segments"})
        EXPECT_EQ(FirefoxFixture::queryOne(history, std::string("SELECT count(*) FROM ") + table), "0") << table;
    EXPECT_EQ(FirefoxFixture::queryOne(history, "SELECT value FROM meta"), "70");  // the schema's own record stays
    for (const char* db : {"Top Sites", "Shortcuts", "Network Action Predictor"})
        EXPECT_EQ(FirefoxFixture::rawBytes(profile / db).find("secret-clinic"), std::string::npos) << db;
    EXPECT_EQ(FirefoxFixture::rawBytes(history).find("secret-clinic"), std::string::npos);
    EXPECT_EQ(FirefoxFixture::rawBytes(history).find("opening hours"), std::string::npos);
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "Archived History", "SELECT count(*) FROM visits"), "0");
    EXPECT_EQ(FirefoxFixture::rawBytes(profile / "Archived History").find("old-clinic"), std::string::npos);
    // The bookmarked page keeps its icon; the visited one loses it.
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "Favicons", "SELECT group_concat(page_url) FROM icon_mapping"),
              "https://news.example/");
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "Favicons", "SELECT group_concat(url) FROM favicons"),
              "https://news.example/favicon.ico");
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "Favicons", "SELECT count(*) FROM favicon_bitmaps"), "1");
    EXPECT_EQ(FirefoxFixture::rawBytes(profile / "Favicons").find("secret-clinic"), std::string::npos);
    for (const char* gone : {"History-journal", "Visited Links", "Current Session", "Last Tabs", "Sessions/Session_1",
                             "Sessions_Encrypted/Tabs_1"})
        EXPECT_FALSE(fs::exists(profile / gone)) << gone;
    EXPECT_EQ(TempDir::read(profile / "Bookmarks"), bookmarks);
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "Login Data", "SELECT count(*) FROM logins"), "1");
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "Web Data", "SELECT count(*) FROM credit_cards"), "1");
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "Network/Cookies", "SELECT count(*) FROM cookies"), "2");
}

// Bookmarks that cannot be read might own any icon: the icons stay and the run says so, while
// the rest of the history still goes.
TEST_F(Chromium, UnreadableBookmarksKeepTheIconsAndAreReported) {
    TempDir::write(profile / "Bookmarks", "{\"roots\": {\"bookmark_bar\": ");
    cleaner().ClearHistory();
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "Favicons", "SELECT count(*) FROM icon_mapping"), "2");
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "History", "SELECT count(*) FROM urls"), "0");
    ASSERT_EQ(report.failures().size(), 1u) << failures();
    EXPECT_EQ(report.failures()[0].what, (profile / "Favicons").string());
    // No bookmarks file at all is no bookmark.
    fs::remove(profile / "Bookmarks");
    report.clear();
    cleaner().ClearHistory();
    EXPECT_TRUE(report.clean()) << failures();
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "Favicons", "SELECT count(*) FROM favicons"), "0");
}

// Bookmarked addresses are bound, never spelt into the SQL: whatever they hold and however many
// there are, each keeps its icon, and a page beside each (one character longer) loses its own.
TEST_F(Chromium, EveryBookmarkKeepsItsIconWhateverItsAddressHoldsAndNothingElseDoes) {
    const std::vector<std::string> awkward = {"https://o'brien.example/it''s", "https://a.example/back\\slash\\",
                                              "https://café.example/ñandú?q=日本", "https://x.example/') OR 1=1 --",
                                              "https://y.example/%27\"quoted\""};
    for (const std::size_t count : {awkward.size(), std::size_t{5000}}) {
        std::vector<std::string> kept = awkward;
        while (kept.size() < count) kept.push_back("https://site" + std::to_string(kept.size()) + ".example/");
        std::string children;
        for (const auto& url : kept) {
            std::string escaped;
            for (char c : url) escaped += c == '"' || c == '\\' ? std::string{'\\', c} : std::string(1, c);
            children += (children.empty() ? "" : ",") + std::string(R"({"type": "url", "url": ")") + escaped + "\"}";
        }
        TempDir::write(profile / "Bookmarks",
                       R"({"roots": {"other": {"type": "folder", "children": [)" + children + "]}}, \"version\": 1}");
        fs::remove(profile / "Favicons");
        FirefoxFixture::sql(profile / "Favicons", R"(
            CREATE TABLE icon_mapping (id INTEGER PRIMARY KEY, page_url LONGVARCHAR NOT NULL, icon_id INTEGER);
            CREATE TABLE favicons (id INTEGER PRIMARY KEY, url LONGVARCHAR NOT NULL, icon_type INTEGER DEFAULT 1);
            CREATE TABLE favicon_bitmaps (id INTEGER PRIMARY KEY, icon_id INTEGER NOT NULL, image_data BLOB);
            INSERT INTO favicons VALUES (1, 'https://icons.example/1.ico', 1);)");
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(fs::path(profile / "Favicons").c_str(), &db), SQLITE_OK);
        sqlite3_stmt* add = nullptr;
        ASSERT_EQ(
            sqlite3_prepare_v2(db, "INSERT INTO icon_mapping (page_url, icon_id) VALUES (?, 1)", -1, &add, nullptr),
            SQLITE_OK);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        for (const auto& url : kept)
            for (const std::string& page : {url, url + "/"}) {
                sqlite3_bind_text(add, 1, page.c_str(), -1, SQLITE_TRANSIENT);
                EXPECT_EQ(sqlite3_step(add), SQLITE_DONE);
                sqlite3_reset(add);
            }
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_finalize(add);
        sqlite3_close(db);

        report.clear();
        cleaner().ClearHistory();
        EXPECT_TRUE(report.clean()) << failures();
        std::string left = FirefoxFixture::queryOne(profile / "Favicons",
                                                    "SELECT group_concat(page_url, char(10)) FROM "
                                                    "(SELECT page_url FROM icon_mapping ORDER BY page_url)");
        std::vector<std::string> pages;
        for (std::size_t at = 0, end = 0; at <= left.size(); at = end + 1) {
            end = std::min(left.find('\n', at), left.size());
            pages.push_back(left.substr(at, end - at));
        }
        std::sort(kept.begin(), kept.end());
        EXPECT_EQ(pages, kept) << count;
        EXPECT_EQ(FirefoxFixture::queryOne(profile / "Favicons", "SELECT count(*) FROM favicons"), "1");
    }
}

// A store another program holds locked is left as it was, journal included: the journal may be
// what repairs it.
TEST_F(Chromium, ALockedStoreKeepsItsJournalAndIsReported) {
    TempDir::write(profile / "History-journal", "");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open((profile / "History").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    cleaner().ClearHistory();
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(fs::exists(profile / "History-journal"));
    ASSERT_FALSE(report.clean());
    EXPECT_EQ(report.failures()[0].what, (profile / "History").string());
    EXPECT_NE(report.failures()[0].reason.find("locked"), std::string::npos) << failures();
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "History", "SELECT count(*) FROM urls"), "2");
}

TEST_F(Chromium, CookiesAndFormDataGoInEveryStoreTheBrowserUsed) {
    FirefoxFixture::sql(profile / "Cookies", R"(
        CREATE TABLE cookies (host_key TEXT NOT NULL, name TEXT NOT NULL, value TEXT NOT NULL, path TEXT NOT NULL);
        INSERT INTO cookies VALUES ('old.example', 'o', 'old-build-secret', '/');)");
    fs::copy_file(profile / "Cookies", profile / "Extension Cookies");
    auto c = cleaner();
    c.ClearCookies();
    c.ClearFormData();
    EXPECT_TRUE(report.clean()) << failures();
    for (const char* db : {"Network/Cookies", "Cookies", "Extension Cookies"}) {
        EXPECT_EQ(FirefoxFixture::queryOne(profile / db, "SELECT count(*) FROM cookies"), "0") << db;
        EXPECT_EQ(FirefoxFixture::queryOne(profile / db, "PRAGMA integrity_check"), "ok") << db;
    }
    EXPECT_EQ(FirefoxFixture::rawBytes(profile / "Network/Cookies").find("clinic-session-secret"), std::string::npos);
    EXPECT_EQ(FirefoxFixture::rawBytes(profile / "Cookies").find("old-build-secret"), std::string::npos);
    const auto web = profile / "Web Data";
    EXPECT_EQ(FirefoxFixture::queryOne(web, "SELECT count(*) FROM autofill"), "0");
    EXPECT_EQ(FirefoxFixture::queryOne(web, "SELECT count(*) FROM autofill_profile_names"), "0");
    EXPECT_EQ(FirefoxFixture::rawBytes(web).find("typed-form-secret"), std::string::npos);
    EXPECT_EQ(FirefoxFixture::queryOne(web, "SELECT name_on_card FROM credit_cards"), "ANA CARD");
    EXPECT_EQ(FirefoxFixture::queryOne(web, "SELECT short_name FROM keywords"), "Search");
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "Login Data", "SELECT count(*) FROM logins"), "1");
}

// What a site stores besides cookies goes with them, folders named after the sites included;
// extensions' own storage and the browser's own database stay, and no link leads the run out.
TEST_F(Chromium, SiteDataGoesWithCookiesAndNoLinkLeadsOut) {
    ChromiumFixture::writeSiteData(profile);
    TempDir::write(dir / "outside/precious.txt", "not the browser's");
    fs::create_symlink(dir / "outside", profile / "IndexedDB/https_linked.example_0.indexeddb.leveldb");
    cleaner().ClearCookies();
    EXPECT_TRUE(report.clean()) << failures();
    for (const char* f : ChromiumFixture::kSiteDataFolders) {
        EXPECT_TRUE(fs::is_directory(fs::symlink_status(profile / f))) << f;
        const std::string name = f;
        const bool holdsAnExtensions = name == "IndexedDB" || name == "databases" || name.ends_with(" Storage");
        if (!holdsAnExtensions) {
            EXPECT_TRUE(fs::is_empty(profile / f)) << f;
        }
    }
    // The stores all sites share keep the extension's entries and their own.
    const auto local = test::LevelDbFixture::read(profile / "Local Storage/leveldb");
    EXPECT_EQ(local.size(), 2u);
    EXPECT_TRUE(local.contains("VERSION"));
    EXPECT_EQ(local.at(test::LevelDbFixture::localValue("chrome-extension://abcdefghijklmnop", "tabs")), "\x01saved");
    EXPECT_EQ(test::LevelDbFixture::read(profile / "Session Storage").size(), 1u);
    EXPECT_EQ(test::LevelDbFixture::bytes(profile / "Local Storage").find("secret-clinic"), std::string::npos);
    EXPECT_GE(report.removedTally().at(common::CleanArea::SiteData).items, 2u);
    // What an extension keeps in its own entry of the sites' folders is not a site's.
    EXPECT_EQ(TempDir::read(profile / "IndexedDB/chrome-extension_abcdefghijklmnop_0.indexeddb.leveldb/000003.log"),
              "an extension's saved tabs");
    EXPECT_TRUE(fs::exists(profile / "databases/chrome-extension_abcdefghijklmnop_0/1"));
    for (const char* f : {"IndexedDB", "databases"})
        EXPECT_EQ(std::distance(fs::directory_iterator(profile / f), fs::directory_iterator()), 1) << f;
    for (const char* f : {"TransportSecurity", "Network/TransportSecurity", "Network/Network Persistent State",
                          "Network/Reporting and NEL", "Network/Reporting and NEL-journal", "Shared Storage"})
        EXPECT_FALSE(fs::exists(profile / f)) << f;
    for (const char* kept : {"shared_proto_db/000003.log", "Local Extension Settings/abcdefghijklmnop/000003.log",
                             "Extension State/000003.log", "Login Data", "Bookmarks", "Preferences", "Web Data"})
        EXPECT_TRUE(fs::exists(profile / kept)) << kept;
    EXPECT_EQ(TempDir::read(dir / "outside/precious.txt"), "not the browser's");

    // A storage folder that is itself a link is not followed, and what it leads to is named.
    fs::remove_all(profile / "Service Worker");
    fs::create_symlink(dir / "outside", profile / "Service Worker");
    cleaner().ClearCookies();
    ASSERT_EQ(report.failures().size(), 1u) << failures();
    EXPECT_EQ(report.failures()[0].what, (profile / "Service Worker").string());
    EXPECT_EQ(report.failures()[0].area, common::CleanArea::Cookies);
    EXPECT_EQ(TempDir::read(dir / "outside/precious.txt"), "not the browser's");

    // Nor does a link inside a store all sites share: the store is named and left unopened.
    fs::remove(profile / "Service Worker");
    fs::create_symlink(dir / "outside/precious.txt", profile / "Local Storage/leveldb/000009.ldb");
    report.clear();
    cleaner().ClearCookies();
    ASSERT_EQ(report.failures().size(), 1u) << failures();
    EXPECT_EQ(report.failures()[0].what, (profile / "Local Storage/leveldb").string());
    EXPECT_TRUE(fs::is_symlink(profile / "Local Storage/leveldb/000009.ldb"));
    EXPECT_EQ(TempDir::read(dir / "outside/precious.txt"), "not the browser's");
}

// A kept site keeps its cookies (its subdomains' too, however the host is spelt), its storage
// folders and its storage buckets' rows and folders; every other site's go.
TEST_F(Chromium, TheKeepListKeepsItsSitesCookiesAndStorageAndNothingElse) {
    ChromiumFixture::writeSiteData(profile);
    fs::remove(profile / "WebStorage/QuotaManager");
    FirefoxFixture::sql(profile / "WebStorage/QuotaManager", R"(
        CREATE TABLE buckets (id INTEGER PRIMARY KEY, storage_key TEXT NOT NULL, host TEXT NOT NULL);
        INSERT INTO buckets VALUES (1, 'https://secret-clinic.example/', 'secret-clinic.example'),
                                   (2, 'https://news.example/', 'news.example');)");
    for (const char* bucket : {"WebStorage/1/IndexedDB/x", "WebStorage/2/IndexedDB/x"})
        TempDir::write(profile / bucket, "");
    TempDir::write(profile / "IndexedDB/https_news.example_0.indexeddb.leveldb/000003.log", "news");
    auto c = cleaner();
    c.setKeepList(common::KeepList::parse(".Secret-Clinic.example;unvisited.example"));
    c.ClearCookies();
    EXPECT_TRUE(report.clean()) << failures();
    EXPECT_EQ(report.keptSites(), std::set<std::string>{"secret-clinic.example"});
    const auto cookies = profile / "Network/Cookies";
    EXPECT_EQ(FirefoxFixture::queryOne(cookies, "SELECT group_concat(host_key) FROM cookies"),
              ".secret-clinic.example");
    EXPECT_EQ(FirefoxFixture::rawBytes(cookies).find("news.example"), std::string::npos);
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "WebStorage/QuotaManager", "SELECT group_concat(id) FROM buckets"),
              "1");
    for (const char* kept : {"IndexedDB/https_secret-clinic.example_0.indexeddb.leveldb/000003.log",
                             "IndexedDB/https_secret-clinic.example_0.indexeddb.blob/1/00/1",
                             "databases/https_secret-clinic.example_0/1", "WebStorage/1/IndexedDB/x"})
        EXPECT_TRUE(fs::exists(profile / kept)) << kept;
    for (const char* gone : {"IndexedDB/https_news.example_0.indexeddb.leveldb", "WebStorage/2", "File System/000",
                             "Service Worker/ScriptCache"})
        EXPECT_FALSE(fs::exists(profile / gone)) << gone;
    EXPECT_EQ(report.removedTally().at(common::CleanArea::Cookies).items > 2, true);

    // The service workers of all sites are one store: whole while a kept site has one in it,
    // but for the other sites' caches.
    ChromiumFixture::writeSiteData(profile);
    fs::remove(profile / "WebStorage/QuotaManager");
    TempDir::write(profile / "Service Worker/Database/000003.log", "REG:https://secret-clinic.example/\x01");
    for (const char* site : {"secret-clinic.example", "news.example"})
        TempDir::write(profile / "Service Worker/CacheStorage" / site / "index.txt",
                       std::string("\x08https://") + site + "/\x12");
    c.ClearCookies();
    EXPECT_TRUE(report.clean()) << failures();
    for (const char* kept : {"Service Worker/ScriptCache/4f3e2d1c0b0a0908_0", "Service Worker/Database/CURRENT",
                             "Service Worker/CacheStorage/secret-clinic.example/index.txt"})
        EXPECT_TRUE(fs::exists(profile / kept)) << kept;
    for (const char* gone :
         {"Service Worker/CacheStorage/news.example", "Service Worker/CacheStorage/0a1b2c", "File System/000"})
        EXPECT_FALSE(fs::exists(profile / gone)) << gone;
}

// The entries "Preferences" keeps per site go in their own step, visits with the history and
// settings with the cookies unless the site is kept; every other member of the file stays as it
// was, and the file is replaced whole.
TEST_F(Chromium, PreferencesLoseOnlyTheirPerSiteEntries) {
    const std::string prefs = R"({"browser": {"window_placement": {"left": 10, "maximized": false}},
        "profile": {"content_settings": {"exceptions": {
            "site_engagement": {"https://gone.example:443,*": {"setting": {"rawScore": 4.5e0}},
                                "https://kept.example:443,*": {"setting": {"rawScore": 1}}},
            "media_engagement": {"http://127.0.0.1:8080,*": {"setting": {"visits": 2}}},
            "notifications": {"https://gone.example:443,*": {"setting": 1},
                              "[*.]kept.example,*": {"setting": 1}, "*,*": {"setting": 2}},
            "cookies": {}}},
            "name": "Ana \"\u00e9\" \n"},
        "partition": {"per_host_zoom_levels": {"x": {"gone.example": {"zoom_level": 1.5},
                                                     "www.kept.example": {"zoom_level": -1.0}}}},
        "sessions": [1, {"a": null}]})";
    const auto file = profile / "Preferences";
    struct Step {
        const char* name;
        void (chromium::cChromium::*run)();
        std::vector<formats::JsonWriter::Path> gone;
    };
    const std::vector<std::string> ex = {"profile", "content_settings", "exceptions"};
    auto at = [&](std::string type, std::string pattern) {
        auto p = ex;
        p.push_back(std::move(type));
        p.push_back(std::move(pattern));
        return p;
    };
    const std::vector<Step> steps = {
        {"history",
         &chromium::cChromium::ClearHistory,
         {at("site_engagement", "https://gone.example:443,*"), at("site_engagement", "https://kept.example:443,*"),
          at("media_engagement", "http://127.0.0.1:8080,*")}},
        {"cookies",
         &chromium::cChromium::ClearCookies,
         {at("notifications", "https://gone.example:443,*"),
          {"partition", "per_host_zoom_levels", "x", "gone.example"}}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        report.clear();
        TempDir::write(file, prefs);
        struct ::stat before {};
        ASSERT_EQ(::stat(file.c_str(), &before), 0);
        auto c = cleaner();
        c.setKeepList(common::KeepList::parse("kept.example"));
        (c.*step.run)();
        EXPECT_TRUE(report.clean()) << failures();
        const auto doc = formats::JsonValue::parse(TempDir::read(file));
        ASSERT_TRUE(doc);
        const std::set<formats::JsonWriter::Path> gone(step.gone.begin(), step.gone.end());
        EXPECT_EQ(formats::JsonWriter::write(*doc),
                  formats::JsonWriter::write(*formats::JsonValue::parse(prefs), gone));
        EXPECT_EQ(report.removedTally()
                          .at(step.run == &chromium::cChromium::ClearHistory ? common::CleanArea::History
                                                                             : common::CleanArea::Cookies)
                          .items > 0,
                  true);
        struct ::stat after {};
        ASSERT_EQ(::stat(file.c_str(), &after), 0);
        EXPECT_NE(before.st_ino, after.st_ino) << "replaced whole, never rewritten in place";
        for (const auto& e : fs::directory_iterator(profile)) {
            const auto name = e.path().filename().string();
            EXPECT_TRUE(name == "Preferences" || name.find("Preferences") == std::string::npos)
                << name << " left behind";
        }
    }
    EXPECT_EQ(report.keptSites(), std::set<std::string>{"kept.example"});

    // A file that is not JSON, or a link, is reported and left as it was.
    TempDir::write(dir / "elsewhere.json", prefs);
    for (const std::string& bad : {std::string("{\"profile\": "), std::string("link")}) {
        report.clear();
        fs::remove(file);
        if (bad == "link")
            fs::create_symlink(dir / "elsewhere.json", file);
        else
            TempDir::write(file, bad);
        cleaner().ClearCookies();
        ASSERT_EQ(report.failures().size(), 1u) << bad;
        EXPECT_EQ(report.failures()[0].what, file.string());
        EXPECT_EQ(TempDir::read(file), bad == "link" ? prefs : bad);
    }
    EXPECT_EQ(TempDir::read(dir / "elsewhere.json"), prefs);
}

TEST_F(Chromium, TheCachesEmptyWithoutFollowingLinksOut) {
    TempDir::write(cacheRoot / "Default/Cache/Cache_Data/feed_0", "cached");
    TempDir::write(cacheRoot / "Profile 7/Code Cache/js/x", "left by a removed profile");
    TempDir::write(dir / "precious.txt", "not the browser's");
    fs::create_symlink(dir / "precious.txt", profile / "Cache/Cache_Data/link_0");
    fs::create_symlink(dir.path(), cacheRoot / "Default/linked-folder");
    cleaner().ClearCache();
    EXPECT_TRUE(report.clean()) << failures();
    EXPECT_TRUE(fs::is_empty(profile / "Cache/Cache_Data"));
    EXPECT_TRUE(fs::is_empty(profile / "Code Cache/js"));
    EXPECT_TRUE(fs::is_empty(profile / "GPUCache"));
    EXPECT_FALSE(fs::exists(cacheRoot / "Default/Cache/Cache_Data/feed_0"));
    EXPECT_FALSE(fs::exists(cacheRoot / "Profile 7/Code Cache/js/x"));
    EXPECT_TRUE(fs::is_directory(cacheRoot / "Profile 7/Code Cache/js"));
    EXPECT_EQ(TempDir::read(dir / "precious.txt"), "not the browser's");
    EXPECT_TRUE(fs::exists(profile / "Preferences"));

    // A cache folder linked elsewhere (to a memory-backed folder, say) keeps its files there: the
    // link is not followed, and the run says the cache was not emptied rather than that it was.
    TempDir::write(dir / "ram/data_1", "gpu cache kept in memory");
    fs::remove_all(profile / "GPUCache");
    fs::create_symlink(dir / "ram", profile / "GPUCache");
    cleaner().ClearCache();
    ASSERT_EQ(report.failures().size(), 1u) << failures();
    EXPECT_EQ(report.failures()[0].what, (profile / "GPUCache").string());
    EXPECT_TRUE(fs::exists(dir / "ram/data_1"));
}

// A profile's cache folder lies below the browser's cache root, which is emptied as well: each
// file is found once, so what the plan counts is what the run removes.
TEST_F(Chromium, APlannedCacheCountsEachFileOnce) {
    TempDir::write(cacheRoot / "Default/Code Cache/js/x", "compiled");
    TempDir::write(cacheRoot / "Default/GPUCache/data_0", "shader");
    common::CleanPlan plan;
    auto c = cleaner();
    c.setPlan(&plan);
    c.ClearCache();
    std::multiset<std::string> planned;
    std::uint64_t items = 0;
    for (const auto& s : plan.steps()) {
        if (s.items) planned.insert(s.what);
        items += s.items;
    }
    EXPECT_EQ(planned.count((cacheRoot / "Default/Code Cache/js/x").string()), 1u);
    for (auto& s : plan.steps()) s.act();
    EXPECT_TRUE(report.clean()) << failures();
    EXPECT_EQ(report.removedTally().at(common::CleanArea::Cache).items, items);
    EXPECT_FALSE(fs::exists(cacheRoot / "Default/GPUCache/data_0"));
}

TEST_F(Chromium, ARunningBrowserIsLeftAloneAndAStaleLockIsNot) {
    const auto still = [&] {
        return FirefoxFixture::queryOne(profile / "Network/Cookies", "SELECT count(*) FROM cookies");
    };
    ChromiumFixture::writeSiteData(profile);
    lock(host() + "-" + std::to_string(::getpid()));
    EXPECT_TRUE(chromium::ChromiumRunning::running(root, files, &processes));
    cleaner().ClearCookies();
    EXPECT_EQ(still(), "2");
    EXPECT_TRUE(fs::exists(profile / "Local Storage/leveldb/000003.log"));
    EXPECT_TRUE(fs::exists(profile / "TransportSecurity"));
    ASSERT_EQ(report.failures().size(), 1u);
    EXPECT_TRUE(report.failures()[0].browserRunning);
    EXPECT_EQ(report.failures()[0].browser, "Chromium");
    EXPECT_EQ(report.failures()[0].what, "Default");
    EXPECT_FALSE(chromium::ChromiumRunning::running(root, files, nullptr));

    // A link left by a crash, by another machine sharing the home, or not a lock at all.
    for (const std::string& stale :
         {host() + "-" + std::to_string(endedProcess()), "another-machine-" + std::to_string(::getpid()), host() + "-",
          host() + "-12ab", host(), "-" + std::to_string(::getpid()), host() + "-99999999999999999999"}) {
        fs::remove(root / "SingletonLock");
        lock(stale);
        EXPECT_FALSE(chromium::ChromiumRunning::running(root, files, &processes)) << stale;
    }
    // A sandboxed browser's id means nothing here; its open stores tell it runs.
    fs::remove(root / "SingletonLock");
    lock(host() + "-" + std::to_string(endedProcess()));
    {
        const int fd = ::open((profile / "History").c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        EXPECT_TRUE(chromium::ChromiumRunning::running(root, files, &processes));
        ::close(fd);
    }
    EXPECT_FALSE(chromium::ChromiumRunning::running(root, files, &processes));
    fs::remove(root / "SingletonLock");
    TempDir::write(root / "SingletonLock", host() + "-" + std::to_string(::getpid()));  // a file, not a link
    EXPECT_FALSE(chromium::ChromiumRunning::running(root, files, &processes));
    report.clear();
    cleaner().ClearCookies();
    EXPECT_TRUE(report.clean()) << failures();
    EXPECT_EQ(still(), "0");
    EXPECT_FALSE(fs::exists(profile / "Local Storage/leveldb/000003.log"));
    EXPECT_FALSE(fs::exists(profile / "TransportSecurity"));
}

// Chrome's own folder and $CHROME_CONFIG_HOME's share one cache folder: while the browser runs
// with either, that cache stays whole, and the idle folder's own files still go.
TEST_F(Chromium, ACacheFolderSharedWithARunningBrowserStays) {
    const auto running = dir / "chrome-home/google-chrome";
    TempDir::write(running / "Default/Preferences", "{}");
    fs::create_symlink(host() + "-" + std::to_string(::getpid()), running / "SingletonLock");
    env["CHROME_CONFIG_HOME"] = (dir / "chrome-home").string();
    const auto idle = home / ".config/google-chrome/Default";
    TempDir::write(idle / "Preferences", "{}");
    TempDir::write(idle / "GPUCache/data_0", "gpu");
    TempDir::write(home / ".cache/google-chrome/Default/Cache/Cache_Data/abc_0", "in use");
    cleaner().ClearCache();
    EXPECT_FALSE(fs::exists(idle / "GPUCache/data_0"));
    EXPECT_TRUE(fs::exists(home / ".cache/google-chrome/Default/Cache/Cache_Data/abc_0"));
    ASSERT_EQ(report.failures().size(), 2u) << failures();
    EXPECT_TRUE(report.failures()[0].browserRunning);
    EXPECT_EQ(report.failures()[1].what, (home / ".cache/google-chrome").string());
}

TEST(ChromiumCacheKey, OnlyWhatTheHeaderPromisesIsRead) {
    const std::string key = "1/0/_dk_https://a.example https://a.example https://cdn.example/x.js?q=1";
    const std::string entry = ChromiumFixture::cacheEntry(key);
    EXPECT_EQ(chromium::ChromiumUrlCache::parseEntryKey(entry, entry.size()), key);
    std::string wrongMagic = entry;
    wrongMagic[0] ^= 1;
    EXPECT_FALSE(chromium::ChromiumUrlCache::parseEntryKey(wrongMagic, entry.size()));
    EXPECT_FALSE(chromium::ChromiumUrlCache::parseEntryKey(entry.substr(0, 20), entry.size()));
    EXPECT_FALSE(chromium::ChromiumUrlCache::parseEntryKey(entry.substr(0, 24 + key.size() - 1), 24 + key.size() - 1));
    std::string huge = entry;
    huge[12] = huge[13] = huge[14] = huge[15] = '\xff';  // a key longer than any file
    EXPECT_FALSE(chromium::ChromiumUrlCache::parseEntryKey(huge, entry.size()));
    std::string empty = entry;
    empty[12] = empty[13] = empty[14] = empty[15] = 0;
    EXPECT_FALSE(chromium::ChromiumUrlCache::parseEntryKey(empty, entry.size()));

    // From the file: a key longer than the first read is read whole; a cut file, or a link in
    // the entry's place, gives nothing.
    TempDir dir;
    const std::string longKey = "https://long.example/" + std::string(3000, 'k');
    TempDir::write(dir / "a_0", ChromiumFixture::cacheEntry(longKey));
    EXPECT_EQ(chromium::ChromiumUrlCache::entryKey(dir / "a_0"), longKey);
    TempDir::write(dir / "b_0", ChromiumFixture::cacheEntry(longKey).substr(0, 2000));
    EXPECT_FALSE(chromium::ChromiumUrlCache::entryKey(dir / "b_0"));
    fs::create_symlink(dir / "a_0", dir / "c_0");
    EXPECT_FALSE(chromium::ChromiumUrlCache::entryKey(dir / "c_0"));
    EXPECT_FALSE(chromium::ChromiumUrlCache::entryKey(dir / "missing_0"));

    EXPECT_EQ(chromium::ChromiumUrlCache::address(key), "https://cdn.example/x.js?q=1");
    EXPECT_EQ(chromium::ChromiumUrlCache::address("https://plain.example/"), "https://plain.example/");
    EXPECT_EQ(chromium::ChromiumUrlCache::address("1/0/https://old.example/a"), "https://old.example/a");
    EXPECT_EQ(chromium::ChromiumUrlCache::address("_key no address"), "");
    EXPECT_EQ(chromium::ChromiumUrlCache::address("https://bad.example/\x01"), "");
}

class ChromiumLists : public Chromium {
protected:
    chromium::ChromiumUrlCache cache{services, &processes, "ana"};
    test::FakeFormView view;
    test::ScriptedUi ui;
    fs::path entry = profile / "Cache/Cache_Data/0123456789abcdef";

    std::vector<std::string> names(platform::IUrlCache& c) {
        std::vector<std::string> out;
        platform::UrlCacheFind find = 0;
        for (auto e = c.findFirst(find); e; e = find ? c.findNext(find) : std::nullopt) out.push_back(e->sourceUrlName);
        if (find) c.findClose(find);
        return out;
    }
};

TEST_F(ChromiumLists, PageOneShowsCachedAddressesAndCookieHosts) {
    ChromiumFixture::writeCacheEntry(cacheRoot / "Default/Cache/Cache_Data", "fedcba9876543210",
                                     "1/0/_dk_https://news.example https://news.example https://news.example/today");
    TempDir::write(cacheRoot / "Default/Cache/Cache_Data/0000000000000000_0", "damaged");
    UrlCacheLists lists(view, ui, cache);
    lists.ListVisitedSites();
    lists.ListCookies();
    EXPECT_EQ(view.listItems("LstB2"),
              (std::vector<std::string>{"https://secret-clinic.example/appointment", "https://news.example/today"}));
    EXPECT_EQ(view.listItems("LstB3"),
              (std::vector<std::string>{"Cookie:ana@news.example/world", "Cookie:ana@secret-clinic.example/"}));

    // Deleting an entry removes its streams; deleting a cookie host removes its rows.
    EXPECT_TRUE(cache.deleteEntry("https://secret-clinic.example/appointment").ok());
    EXPECT_FALSE(fs::exists(entry.string() + "_0"));
    EXPECT_FALSE(fs::exists(entry.string() + "_1"));
    EXPECT_TRUE(cache.deleteEntry("Cookie:ana@secret-clinic.example/").ok());
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "Network/Cookies", "SELECT group_concat(name) FROM cookies"), "pref");
    EXPECT_EQ(cache.deleteEntry("https://never.example/").error().code, ENOENT);
}

TEST_F(ChromiumLists, ARunningBrowsersEntriesAreListedNotDeletedAndNamedWithTheirBrowser) {
    lock(host() + "-" + std::to_string(::getpid()));
    EXPECT_EQ(names(cache).size(), 3u);
    const auto s = cache.deleteEntry("https://secret-clinic.example/appointment");
    EXPECT_EQ(s.error().code, EBUSY);
    EXPECT_TRUE(fs::exists(entry.string() + "_0"));

    // Through the run, the page-one cache step and the browser's own step name one profile once,
    // with its browser; another browser's profile of the same name has a line of its own.
    const fs::path chrome = home / ".config/google-chrome";
    ChromiumFixture::makeProfile(chrome / "Default");
    fs::create_symlink(host() + "-" + std::to_string(::getpid()), chrome / "SingletonLock");
    platform::EmbeddedStringResource res;
    ui::StringTable strings{&res, &ui};
    strings.setLanguage(ui::kEnglish);
    ui::BusyState busy;
    CompositeUrlCache both({&cache});
    for (int n = 1; n <= 6; ++n) view.setCheckValue("chk" + std::to_string(n), n == 2 ? 1 : 0);
    CleaningRun run{{view, ui, strings, busy, {registry, ini, files, folders}, &both, nullptr, &processes}};
    run.cmdNext_Click();
    const std::string text = test::verdictOf(ui.messages.back().text);
    EXPECT_NE(
        text.find("Chromium is running with the profile Default: it was left alone. Close Chromium and try again."),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("Google Chrome is running with the profile Default: it was left alone. Close Google Chrome"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("Firefox"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2) << text;
    EXPECT_TRUE(fs::exists(profile / "GPUCache/data_0"));
}

// The page's two lists and the run share one reading of each cache folder; a change made to the
// folder after that reading, or a deletion, is never hidden by it.
TEST_F(ChromiumLists, BothListsShareOneReadingAndAChangeIsNeverHidden) {
    test::FaultyFileService counted(files);
    chromium::ChromiumUrlCache shared({counted, folders}, &processes, "ana");
    const auto data = profile / "Cache/Cache_Data";
    TempDir::write(data / "0123456789abcdef_s", "sparse data");
    auto age = [&] { fs::last_write_time(data, fs::file_time_type::clock::now() - std::chrono::hours(1)); };
    int listings = 0;
    counted.beforeCall = [&](const std::string& call, const std::string& path) {
        listings += call == "list" && path == data.string();
    };
    auto readings = [&] { return listings; };
    age();
    UrlCacheLists lists(view, ui, shared);
    lists.ListVisitedSites();
    lists.ListCookies();
    EXPECT_EQ(readings(), 1);
    EXPECT_EQ(view.listItems("LstB2"), (std::vector<std::string>{"https://secret-clinic.example/appointment"}));

    ChromiumFixture::writeCacheEntry(data, "fedcba9876543210", "https://new.example/");
    age();
    lists.ListVisitedSites();
    EXPECT_EQ(readings(), 2);
    EXPECT_EQ(view.listItems("LstB2").back(), "https://new.example/");

    // The run removes each entry by the files the listing saw, its sparse data too, and reads
    // the folder again afterwards.
    lists.ClearUrlCache(&report);
    EXPECT_TRUE(report.clean()) << failures();
    for (const char* f :
         {"0123456789abcdef_0", "0123456789abcdef_1", "0123456789abcdef_s", "fedcba9876543210_0", "fedcba9876543210_1"})
        EXPECT_FALSE(fs::exists(data / f)) << f;
    EXPECT_TRUE(fs::exists(data / "index"));
    lists.ListVisitedSites();
    EXPECT_TRUE(view.listItems("LstB2").empty());
    EXPECT_EQ(readings(), 3);
}

// Firefox's and Chromium's caches read as one list; each entry is deleted where it was listed,
// the same address in both caches from both.
TEST_F(ChromiumLists, TheBrowsersCachesAreWalkedAsOne) {
    firefox::FirefoxProfiles::Services ff{registry, ini, files, folders};
    TempDir::write(home / ".config/mozilla/firefox/profiles.ini", "[Profile0]\nPath=Profiles/a\n");
    FirefoxFixture::makeProfile(home / ".config/mozilla/firefox/Profiles/a");
    const auto ffCache = home / ".cache/mozilla/firefox/Profiles/a";
    FirefoxFixture::writeCacheEntry(ffCache, "01", "a,:https://secret-clinic.example/appointment");
    firefox::FirefoxUrlCache firefox(ff, &processes, "ana");
    CompositeUrlCache all({&firefox, nullptr, &cache});
    const auto listed = names(all);
    ASSERT_EQ(listed.size(), 6u);
    EXPECT_EQ(listed[0], "https://secret-clinic.example/appointment");
    EXPECT_EQ(listed[3], "https://secret-clinic.example/appointment");
    EXPECT_EQ(listed[5], "Cookie:ana@secret-clinic.example/");
    EXPECT_TRUE(all.deleteEntry("https://secret-clinic.example/appointment").ok());
    EXPECT_FALSE(fs::exists(ffCache / "cache2/entries/01"));
    EXPECT_FALSE(fs::exists(entry.string() + "_0"));
    EXPECT_EQ(all.deleteEntry("https://never.example/").error().code, ENOENT);
    // An enumeration closed halfway leaves nothing open, and a fresh one starts over.
    platform::UrlCacheFind find = 0;
    ASSERT_TRUE(all.findFirst(find));
    all.findClose(find);
    EXPECT_FALSE(all.findNext(find));
    EXPECT_EQ(names(all).size(), 4u);
    CompositeUrlCache none({});
    EXPECT_TRUE(names(none).empty());
}

}  // namespace
}  // namespace quenvor::cleaning
