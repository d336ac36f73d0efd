#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <set>

#include "cleaning/firefox/CacheEntryKey.h"
#include "cleaning/firefox/FirefoxSiteData.h"
#include "cleaning/firefox/FirefoxUrlCache.h"
#include "cleaning/firefox/cFireFox.h"
#include "platform/IniProfileReader.h"
#include "platform/RegistryStore.h"
#include "platform/linux/LinuxFileService.h"
#include "platform/linux/LinuxKnownFolders.h"
#include "platform/linux/LinuxProcessTable.h"
#include "support/FakeHome.h"
#include "support/FirefoxFixture.h"
#include "support/HeldLock.h"
#include "support/TempDir.h"

namespace quenvor::cleaning {
namespace {

using test::FirefoxFixture;
using test::TempDir;
namespace fs = std::filesystem;

// A home folder with the XDG places below it.
class FakeHome : public ::testing::Test, protected test::FakeHome {
protected:
    common::CleanReport report;
    firefox::FirefoxProfiles::Services services{registry, ini, files, folders};

    fs::path firefoxRoot() { return home / ".config/mozilla/firefox"; }
    fs::path cacheRoot() { return home / ".cache/mozilla/firefox"; }
    void profilesIni(const std::string& text) { TempDir::write(firefoxRoot() / "profiles.ini", text); }
};

TEST_F(FakeHome, EveryListedProfileIsFoundWhereverItLives) {
    const fs::path elsewhere = dir / "elsewhere/work-profile";
    profilesIni(
        "[Profile0]\nName=old\nIsRelative=1\nPath=Profiles\\old.default\n\n"
        "[Profile1]\nName=main\nIsRelative=1\nPath=Profiles/main.default-release\nDefault=1\n\n"
        "[Profile2]\nName=work\nIsRelative=0\nPath=" +
        elsewhere.string() + "\n\n[General]\nVersion=2\n");
    TempDir::write(home / ".mozilla/firefox/profiles.ini", "[Profile0]\nName=legacy\nPath=abc.legacy\n");
    for (const auto& f : {firefoxRoot() / "Profiles/old.default", firefoxRoot() / "Profiles/main.default-release",
                          elsewhere, home / ".mozilla/firefox/abc.legacy"}) {
        TempDir::write(f / "prefs.js", "");
        TempDir::write(f / "times.json", "{}");
    }
    const auto found = firefox::FirefoxProfiles(services).find();
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[0].folder, firefoxRoot() / "Profiles/old.default");  // a backslash works too
    EXPECT_EQ(found[0].cacheFolder, cacheRoot() / "Profiles/old.default");
    EXPECT_EQ(found[1].name, "main");
    EXPECT_EQ(found[2].folder, elsewhere);
    EXPECT_EQ(found[2].cacheFolder, elsewhere);  // kept inside the profile itself
    EXPECT_EQ(found[3].folder, home / ".mozilla/firefox/abc.legacy");
    EXPECT_EQ(found[3].cacheFolder, home / ".cache/mozilla/firefox/abc.legacy");
}

TEST_F(FakeHome, HistoryGoesBookmarksStayAndNothingLingersInTheFiles) {
    profilesIni("[Profile0]\nPath=Profiles/a.default\n");
    const auto profile = firefoxRoot() / "Profiles/a.default";
    FirefoxFixture::makeProfile(profile);
    TempDir::write(profile / "history.dat", "old history");
    firefox::cFireFox ff(services, &processes, report);
    ff.ClearFirefoxHistory();
    EXPECT_TRUE(report.clean()) << report.failures().front().reason;
    const auto places = profile / "places.sqlite";
    EXPECT_FALSE(fs::exists(profile / "history.dat"));
    EXPECT_EQ(FirefoxFixture::queryOne(places, "SELECT count(*) FROM moz_historyvisits"), "0");
    EXPECT_EQ(FirefoxFixture::queryOne(places, "SELECT group_concat(url) FROM moz_places"), "https://news.example/");
    EXPECT_EQ(FirefoxFixture::queryOne(places, "SELECT visit_count FROM moz_places"), "0");
    EXPECT_EQ(FirefoxFixture::queryOne(places, "SELECT count(*) FROM moz_bookmarks"), "2");
    EXPECT_EQ(FirefoxFixture::queryOne(places, "SELECT count(*) FROM moz_inputhistory"), "0");
    EXPECT_EQ(FirefoxFixture::queryOne(places, "SELECT group_concat(host) FROM moz_origins"), "news.example");
    EXPECT_EQ(FirefoxFixture::queryOne(places, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(FirefoxFixture::queryOne(places, "PRAGMA foreign_key_check"), "");
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "favicons.sqlite", "SELECT group_concat(icon_url) FROM moz_icons"),
              "https://news.example/favicon.ico");
    // The removed address is gone from the raw bytes of every file, logs included.
    for (const char* db : {"places.sqlite", "favicons.sqlite"})
        EXPECT_EQ(FirefoxFixture::rawBytes(profile / db).find("secret-clinic"), std::string::npos) << db;
}

TEST_F(FakeHome, CookiesFormsAndCacheAreEmptied) {
    profilesIni("[Profile0]\nPath=Profiles/a.default\n");
    const auto profile = firefoxRoot() / "Profiles/a.default";
    FirefoxFixture::makeProfile(profile);
    TempDir::write(profile / "cookies.txt", "x");
    TempDir::write(profile / "formhistory.dat", "x");
    FirefoxFixture::writeCacheEntry(cacheRoot() / "Profiles/a.default", "ABCDEF", "a,:https://secret-clinic.example/");
    TempDir::write(cacheRoot() / "Profiles/a.default/Cache/_CACHE_001_", "old cache");
    TempDir::write(cacheRoot() / "Profiles/a.default/Cache/sub/keep", "subfolder");
    firefox::cFireFox ff(services, &processes, report);
    ff.ClearFirefoxCookies();
    ff.ClearFirefoxFormHistory();
    ff.ClearFirefoxCache();
    EXPECT_TRUE(report.clean());
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "0");
    EXPECT_EQ(FirefoxFixture::rawBytes(profile / "cookies.sqlite").find("secret-session"), std::string::npos);
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "formhistory.sqlite", "SELECT count(*) FROM moz_formhistory"), "0");
    EXPECT_FALSE(fs::exists(profile / "cookies.txt"));
    EXPECT_FALSE(fs::exists(profile / "formhistory.dat"));
    EXPECT_TRUE(fs::is_empty(cacheRoot() / "Profiles/a.default/cache2/entries"));
    EXPECT_FALSE(fs::exists(cacheRoot() / "Profiles/a.default/Cache/_CACHE_001_"));
    EXPECT_TRUE(fs::exists(cacheRoot() / "Profiles/a.default/Cache/sub/keep"));
}

TEST_F(FakeHome, NoFirefoxOrMissingFilesIsNothingToReport) {
    firefox::cFireFox ff(services, &processes, report);
    ff.ClearFirefoxHistory();
    ff.ClearFirefoxCookies();
    profilesIni("[Profile0]\nPath=Profiles/empty\n");
    fs::create_directories(firefoxRoot() / "Profiles/empty");
    ff.ClearFirefoxHistory();
    ff.ClearFirefoxCache();
    ff.ClearFirefoxFormHistory();
    EXPECT_TRUE(report.clean());
}

TEST_F(FakeHome, ARunningFirefoxKeepsItsProfileUntouched) {
    profilesIni("[Profile0]\nName=busy\nPath=Profiles/busy\n\n[Profile1]\nName=idle\nPath=Profiles/idle\n");
    const auto busy = firefoxRoot() / "Profiles/busy";
    const auto idle = firefoxRoot() / "Profiles/idle";
    FirefoxFixture::makeProfile(busy);
    FirefoxFixture::makeProfile(idle);
    TempDir::write(busy / ".parentlock", "");
    TempDir::write(idle / ".parentlock", "");  // left behind by a Firefox that has ended
    {
        test::HeldLock firefox(busy / ".parentlock");
        ASSERT_TRUE(firefox.held());
        firefox::cFireFox ff(services, &processes, report);
        ff.ClearFirefoxCookies();
    }
    EXPECT_EQ(FirefoxFixture::queryOne(busy / "cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "2");
    EXPECT_EQ(FirefoxFixture::queryOne(idle / "cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "0");
    ASSERT_EQ(report.failures().size(), 1u);
    EXPECT_TRUE(report.failures()[0].browserRunning);
    EXPECT_EQ(report.failures()[0].what, "busy");
}

TEST_F(FakeHome, ALockedOrDamagedStoreIsReportedAndLeftAsItWas) {
    profilesIni("[Profile0]\nPath=Profiles/a\n");
    const auto profile = firefoxRoot() / "Profiles/a";
    FirefoxFixture::makeProfile(profile);
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open((profile / "cookies.sqlite").c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE; DELETE FROM moz_cookies WHERE name = 'pref';", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    TempDir::write(profile / "formhistory.sqlite", std::string(4096, 'G'));
    firefox::cFireFox ff(services, &processes, report);
    ff.ClearFirefoxCookies();
    ff.ClearFirefoxFormHistory();
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    ASSERT_EQ(report.failures().size(), 2u);
    EXPECT_NE(report.failures()[0].reason.find("locked"), std::string::npos) << report.failures()[0].reason;
    EXPECT_NE(report.failures()[1].reason.find("damaged"), std::string::npos) << report.failures()[1].reason;
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "2");
    EXPECT_EQ(TempDir::read(profile / "formhistory.sqlite"), std::string(4096, 'G'));

    // A reader that keeps the write-ahead log from being folded back leaves the removed rows in
    // the store's own file: they are gone from the store, and that they linger there is said.
    report.clear();
    FirefoxFixture::sql(profile / "cookies.sqlite", "PRAGMA journal_mode = WAL;");
    ASSERT_EQ(sqlite3_open((profile / "cookies.sqlite").c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN; SELECT count(*) FROM moz_cookies;", nullptr, nullptr, nullptr), SQLITE_OK);
    ff.ClearFirefoxCookies();
    sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    ASSERT_EQ(report.failures().size(), 1u);
    EXPECT_NE(report.failures()[0].reason.find("removed rows are still in the file"), std::string::npos)
        << report.failures()[0].reason;
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "0");
}

// A profile list can name any folder. Only real profile folders are touched: a link that leads
// out of the home (for the profile or its cache), the root, the home itself, a folder with none
// of Firefox's files and a relative path climbing out of the Firefox folder are each reported
// and left exactly as they were.
TEST_F(FakeHome, AHostileProfileListReachesNothingOutsideItsProfiles) {
    const fs::path outside = dir / "outside";
    TempDir::write(outside / "prefs.js", "");
    TempDir::write(outside / "Cache/precious", "x");
    TempDir::write(outside / "cache2/entries/ABC", "x");
    TempDir::write(outside / "cookies.txt", "x");
    fs::create_directories(home / "links");
    fs::create_symlink(outside, home / "links/out");
    // A relative profile whose cache folder was replaced by a link out of the home.
    TempDir::write(firefoxRoot() / "Profiles/c/prefs.js", "");
    fs::create_directories(cacheRoot() / "Profiles");
    fs::create_symlink(outside, cacheRoot() / "Profiles/c");
    TempDir::write(home / "notes/keep.txt", "x");
    TempDir::write(home / "cookies.txt", "x");
    const fs::path inside = home / "synced/profile";  // a profile-sync tool's link within the home
    FirefoxFixture::makeProfile(inside);
    fs::create_symlink(inside, home / "links/synced");
    profilesIni("[Profile0]\nName=out\nIsRelative=0\nPath=" + (home / "links/out").string() +
                "\n\n[Profile1]\nName=root\nIsRelative=0\nPath=/\n\n[Profile2]\nName=home\nIsRelative=0\nPath=" +
                home.string() + "\n\n[Profile3]\nName=notes\nIsRelative=0\nPath=" + (home / "notes").string() +
                "\n\n[Profile4]\nName=climb\nPath=../../../../notes\n\n[Profile5]\nName=synced\nIsRelative=0\nPath=" +
                (home / "links/synced").string() + "\n\n[Profile6]\nName=cachelink\nPath=Profiles/c\n");

    const auto found = firefox::FirefoxProfiles(services).find();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, "synced");
    EXPECT_EQ(found[0].folder, fs::canonical(inside));

    firefox::cFireFox ff(services, &processes, report);
    ff.ClearFirefoxCache();
    ff.ClearFirefoxCookies();
    EXPECT_TRUE(fs::exists(outside / "Cache/precious"));
    EXPECT_TRUE(fs::exists(outside / "cache2/entries/ABC"));
    EXPECT_TRUE(fs::exists(outside / "cookies.txt"));
    EXPECT_TRUE(fs::exists(home / "cookies.txt"));
    EXPECT_TRUE(fs::exists(home / "notes/keep.txt"));
    EXPECT_EQ(FirefoxFixture::queryOne(inside / "cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "0");
    std::set<std::string> refused;
    for (const auto& f : report.failures())
        if (f.area == common::CleanArea::Cookies) refused.insert(f.what);
    EXPECT_EQ(refused,
              (std::set<std::string>{(home / "links/out").string(), "/", home.string(), (home / "notes").string(),
                                     (firefoxRoot() / "../../../../notes").lexically_normal().string(),
                                     (firefoxRoot() / "Profiles/c").string()}));
}

// SQLite's own no-follow flag refuses a link anywhere in the name: a home reached through a
// link must still be cleaned and listed; only a store that is itself a link is refused, and said.
TEST_F(FakeHome, AHomeReachedThroughALinkIsStillCleaned) {
    const fs::path real = dir / "var/home";
    fs::create_directories(real);
    fs::create_symlink(real, dir / "linked-home");
    env["HOME"] = (dir / "linked-home").string();
    const fs::path list = dir / "linked-home/.config/mozilla/firefox/profiles.ini";
    TempDir::write(list, "[Profile0]\nName=a\nPath=Profiles/a\n\n[Profile1]\nName=b\nPath=Profiles/b\n");
    const auto a = dir / "linked-home/.config/mozilla/firefox/Profiles/a";
    const auto b = dir / "linked-home/.config/mozilla/firefox/Profiles/b";
    FirefoxFixture::makeProfile(a);
    FirefoxFixture::makeProfile(dir / "elsewhere");
    TempDir::write(b / "prefs.js", "");
    TempDir::write(b / "times.json", "{}");
    fs::create_symlink(dir / "elsewhere/cookies.sqlite", b / "cookies.sqlite");

    firefox::FirefoxUrlCache cache(services, &processes, "ana");
    platform::UrlCacheFind find = 0;
    std::vector<std::string> names;
    for (auto e = cache.findFirst(find); e; e = cache.findNext(find)) names.push_back(e->sourceUrlName);
    cache.findClose(find);
    EXPECT_EQ(names, (std::vector<std::string>{"Cookie:ana@news.example/world", "Cookie:ana@secret-clinic.example/"}));

    firefox::cFireFox ff(services, &processes, report);
    ff.ClearFirefoxCookies();
    ff.ClearFirefoxHistory();
    EXPECT_EQ(FirefoxFixture::queryOne(a / "cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "0");
    EXPECT_EQ(FirefoxFixture::queryOne(a / "places.sqlite", "SELECT count(*) FROM moz_historyvisits"), "0");
    EXPECT_EQ(FirefoxFixture::queryOne(dir / "elsewhere/cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "2");
    ASSERT_EQ(report.failures().size(), 1u);
    EXPECT_EQ(report.failures()[0].what, (b / "cookies.sqlite").string());
    EXPECT_NE(report.failures()[0].reason.find("symbolic link"), std::string::npos) << report.failures()[0].reason;
}

// Rows that point at removed pages follow the references the database declares itself, tables
// this program has never heard of included; a damaged store is named, not the one beside it.
TEST_F(FakeHome, HistoryFollowsTheSchemasOwnReferencesAndNamesTheDamagedFile) {
    profilesIni("[Profile0]\nPath=Profiles/a\n");
    const auto profile = firefoxRoot() / "Profiles/a";
    FirefoxFixture::makeProfile(profile);
    FirefoxFixture::sql(profile / "places.sqlite", R"(
        CREATE TABLE moz_newtab_shortcuts_interaction (id INTEGER PRIMARY KEY, place_id INTEGER NOT NULL,
            timestamp INTEGER, FOREIGN KEY (place_id) REFERENCES moz_places(id) ON DELETE CASCADE);
        CREATE TABLE later_notes (id INTEGER PRIMARY KEY, interaction INTEGER
            REFERENCES moz_newtab_shortcuts_interaction(id) ON DELETE CASCADE);
        CREATE TABLE soft_link (id INTEGER PRIMARY KEY, place_id INTEGER REFERENCES moz_places ON DELETE SET NULL);
        INSERT INTO moz_newtab_shortcuts_interaction VALUES (1, 1, 5), (2, 2, 6);
        INSERT INTO later_notes VALUES (1, 1), (2, 2);
        INSERT INTO soft_link VALUES (1, 1), (2, 2);
    )");
    firefox::cFireFox ff(services, &processes, report);
    ff.ClearFirefoxHistory();
    EXPECT_TRUE(report.clean()) << report.failures().front().reason;
    const auto places = profile / "places.sqlite";
    EXPECT_EQ(FirefoxFixture::queryOne(places, "PRAGMA foreign_key_check"), "");
    EXPECT_EQ(FirefoxFixture::queryOne(places, "SELECT group_concat(place_id) FROM moz_newtab_shortcuts_interaction"),
              "2");  // the bookmarked page keeps its row
    EXPECT_EQ(FirefoxFixture::queryOne(places, "SELECT group_concat(interaction) FROM later_notes"), "2");
    EXPECT_EQ(FirefoxFixture::queryOne(places, "SELECT count(*) FROM soft_link WHERE place_id IS NULL"), "1");
    EXPECT_EQ(FirefoxFixture::queryOne(places, "SELECT count(*) FROM soft_link"), "2");

    for (const char* damaged : {"places.sqlite", "favicons.sqlite"}) {
        FirefoxFixture::makeProfile(firefoxRoot() / "Profiles/b");
        profilesIni("[Profile0]\nPath=Profiles/b\n");
        const auto file = firefoxRoot() / "Profiles/b" / damaged;
        fs::remove(file.string() + "-wal");
        fs::resize_file(file, 1000);  // a store cut short by a full disk or a copy
        common::CleanReport seen;
        firefox::cFireFox(services, &processes, seen).ClearFirefoxHistory();
        ASSERT_EQ(seen.failures().size(), 1u) << damaged;
        EXPECT_EQ(seen.failures()[0].reason.rfind(std::string(damaged) + ": ", 0), 0u) << seen.failures()[0].reason;
        EXPECT_NE(seen.failures()[0].reason.find("damaged"), std::string::npos) << seen.failures()[0].reason;
        fs::remove_all(firefoxRoot() / "Profiles/b");
    }
}

// Beside the stores: the saved session goes with the history, every site's storage with the
// cookies (the browser's own storage stays), and the doomed entries and page thumbnails with the cache.
TEST_F(FakeHome, SessionSiteDataAndTheRestOfTheCacheGoWithTheirOptions) {
    profilesIni("[Profile0]\nPath=Profiles/a\n");
    const auto profile = firefoxRoot() / "Profiles/a";
    const auto cache = cacheRoot() / "Profiles/a";
    FirefoxFixture::makeProfile(profile);
    const std::vector<fs::path> session = {
        profile / "sessionstore.jsonlz4", profile / "sessionstore-backups/recovery.jsonlz4",
        profile / "sessionstore-backups/recovery.baklz4", profile / "sessionstore-backups/previous.jsonlz4",
        profile / "sessionstore-backups/upgrade.jsonlz4-20250101000000"};
    for (const auto& f : session) TempDir::write(f, "mozLz40 tabs");
    TempDir::write(profile / "sessionstore-backups/other.txt", "kept");
    const auto site = profile / "storage/default/https+++secret-clinic.example";
    TempDir::write(site / "ls/data.sqlite", "local storage");
    TempDir::write(site / "idb/123.sqlite", "indexeddb");
    TempDir::write(profile / "storage/permanent/chrome/idb/x.sqlite", "browser's own");
    FirefoxFixture::sql(profile / "storage.sqlite", R"(
        CREATE TABLE repository (id INTEGER PRIMARY KEY, name TEXT NOT NULL);
        CREATE TABLE origin (repository_id INTEGER NOT NULL, suffix TEXT, group_ TEXT NOT NULL, origin TEXT NOT NULL,
            usage INTEGER, PRIMARY KEY (repository_id, suffix, origin));
        INSERT INTO repository VALUES (0, 'persistent'), (2, 'default');
        INSERT INTO origin VALUES (0, '', 'chrome', 'chrome', 1), (2, '', 'secret-clinic.example',
            'https://secret-clinic.example', 9);
    )");
    FirefoxFixture::writeCacheEntry(cache, "D00M", "a,:https://secret-clinic.example/x");
    fs::create_directories(cache / "cache2/doomed");
    fs::rename(cache / "cache2/entries/D00M", cache / "cache2/doomed/1234");
    TempDir::write(cache / "thumbnails/abc.png", "picture of a page");
    // Beside the entries: the index of their addresses' hashes, per-site eviction records and a
    // trash folder of old entries; and in the profile, what sites answer on other ports.
    const std::vector<fs::path> cacheTraces = {cache / "cache2/index",
                                               cache / "cache2/ce_YSw=", cache / "cache2/trash1234/ABCD",
                                               profile / "AlternateServices.txt"};
    for (const auto& f : cacheTraces) TempDir::write(f, "secret-clinic.example");
    FirefoxFixture::sql(profile / "bounce-tracking-protection.sqlite", R"(
        CREATE TABLE sites (originAttributeSuffix TEXT NOT NULL, siteHost TEXT NOT NULL, entryType INTEGER NOT NULL,
            timeStamp INTEGER NOT NULL, PRIMARY KEY (originAttributeSuffix, siteHost));
        INSERT INTO sites VALUES ('', 'secret-clinic.example', 0, 1);
    )");

    firefox::cFireFox ff(services, &processes, report);
    ff.ClearFirefoxHistory();
    for (const auto& f : session) EXPECT_FALSE(fs::exists(f)) << f;
    EXPECT_TRUE(fs::exists(profile / "sessionstore-backups/other.txt"));
    EXPECT_TRUE(fs::exists(site / "ls/data.sqlite"));  // site data is not history
    EXPECT_EQ(FirefoxFixture::rawBytes(profile / "bounce-tracking-protection.sqlite").find("secret-clinic"),
              std::string::npos);
    ff.ClearFirefoxCookies();
    EXPECT_TRUE(fs::is_directory(profile / "storage/default"));
    EXPECT_TRUE(fs::is_empty(profile / "storage/default"));
    EXPECT_TRUE(fs::exists(profile / "storage/permanent/chrome/idb/x.sqlite"));
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "storage.sqlite", "SELECT group_concat(origin) FROM origin"),
              "chrome");
    EXPECT_EQ(FirefoxFixture::rawBytes(profile / "storage.sqlite").find("secret-clinic"), std::string::npos);
    ff.ClearFirefoxCache();
    EXPECT_TRUE(fs::is_empty(cache / "cache2/doomed"));
    EXPECT_TRUE(fs::is_empty(cache / "thumbnails"));
    for (const auto& f : cacheTraces) EXPECT_FALSE(fs::exists(f)) << f;
    EXPECT_FALSE(fs::exists(cache / "cache2/trash1234"));
    EXPECT_TRUE(fs::is_directory(cache / "cache2/entries"));
    EXPECT_TRUE(report.clean()) << report.failures().front().what << ": " << report.failures().front().reason;
}

// A profile list may name any folder: one of the user's own, holding files that only share a
// name with what old Firefox versions wrote, is reported and left whole by every step.
TEST_F(FakeHome, AFolderOfTheUsersOwnIsNeverTakenForAProfile) {
    const fs::path notes = home / "Documents/Notes";
    for (const char* f : {"cookies.txt", "letter.docx", "Cache/scan-of-passport.pdf", "history.dat"})
        TempDir::write(notes / f, "the user's own");
    profilesIni("[Profile0]\nName=notes\nIsRelative=0\nPath=" + notes.string() + "\n");
    firefox::cFireFox ff(services, &processes, report);
    ff.ClearFirefoxHistory();
    ff.ClearFirefoxCache();
    ff.ClearFirefoxCookies();
    ff.ClearFirefoxFormHistory();
    for (const char* f : {"cookies.txt", "letter.docx", "Cache/scan-of-passport.pdf", "history.dat"})
        EXPECT_TRUE(fs::exists(notes / f)) << f;
    ASSERT_EQ(report.failures().size(), 4u);  // once per step
    EXPECT_EQ(report.failures()[0].what, notes.string());
    EXPECT_EQ(report.failures()[0].reason, "not a profile folder");
}

// A cache folder linked elsewhere is named as such and left with everything where it leads,
// by the cache step and by the address list alike.
TEST_F(FakeHome, ALinkedCacheFolderIsNamedAndNeverFollowed) {
    profilesIni("[Profile0]\nPath=Profiles/a\n\n[Profile1]\nPath=Profiles/b\n");
    FirefoxFixture::makeProfile(firefoxRoot() / "Profiles/a");
    FirefoxFixture::makeProfile(firefoxRoot() / "Profiles/b");
    const fs::path elsewhere = home / "elsewhere";
    FirefoxFixture::writeCacheEntry(elsewhere, "E1", "a,:https://secret-clinic.example/");
    TempDir::write(home / "Pictures/photo.jpg", "a photo");
    const fs::path entries = cacheRoot() / "Profiles/a/cache2/entries";
    const fs::path oldCache = cacheRoot() / "Profiles/b/Cache";
    fs::create_directories(entries.parent_path());
    fs::create_directories(oldCache.parent_path());
    fs::create_symlink(elsewhere / "cache2/entries", entries);
    fs::create_symlink(home / "Pictures", oldCache);

    firefox::FirefoxUrlCache cache(services, &processes, "ana");
    platform::UrlCacheFind find = 0;
    for (auto e = cache.findFirst(find); e; e = cache.findNext(find))
        EXPECT_EQ(e->sourceUrlName.rfind("Cookie:", 0), 0u) << e->sourceUrlName;
    cache.findClose(find);
    firefox::cFireFox ff(services, &processes, report);
    ff.ClearFirefoxCache();
    EXPECT_TRUE(fs::exists(elsewhere / "cache2/entries/E1"));
    EXPECT_TRUE(fs::exists(home / "Pictures/photo.jpg"));
    EXPECT_TRUE(fs::is_symlink(entries));
    EXPECT_TRUE(fs::is_symlink(oldCache));
    std::set<std::string> named;
    for (const auto& f : report.failures()) {
        EXPECT_EQ(f.reason, "a link to somewhere else, not followed") << f.what;
        named.insert(f.what);
    }
    EXPECT_EQ(named, (std::set<std::string>{entries.string(), oldCache.string()}));
    EXPECT_EQ(report.failures().size(), 2u);
}

// The keep list decides per site: a kept site (and its subdomains) keeps its cookies, storage,
// permissions and per-site preferences; every other site loses them from every store, and
// neither its name nor its host lingers in the stores' bytes. The browser's and extensions'
// own storage is no site's. What would go is found first without changing anything.
TEST_F(FakeHome, KeptSitesKeepTheirCookiesStorageAndSettings) {
    profilesIni("[Profile0]\nPath=Profiles/a\n");
    const auto profile = firefoxRoot() / "Profiles/a";
    FirefoxFixture::makeProfile(profile);
    const auto storage = profile / "storage";
    const std::vector<fs::path> gone = {storage / "default/https+++secret-clinic.example^userContextId=1/idb/1.sqlite",
                                        storage / "temporary/https+++secret-clinic.example+8443/cache/morgue/1",
                                        storage / "to-be-removed/8f2e/ls/data.sqlite",
                                        profile / "SiteSecurityServiceState.txt"};
    const std::vector<fs::path> stay = {storage / "default/https+++news.example/ls/data.sqlite",
                                        storage / "permanent/https+++www.news.example/idb/2.sqlite",
                                        storage / "default/moz-extension+++0a1b^userContextId=4294967295/idb/3.sqlite",
                                        storage / "permanent/chrome/idb/4.sqlite"};
    for (const auto& f : gone) TempDir::write(f, "secret-clinic.example data");
    for (const auto& f : stay) TempDir::write(f, "kept");
    FirefoxFixture::sql(profile / "storage.sqlite", R"(
        CREATE TABLE repository (id INTEGER PRIMARY KEY, name TEXT NOT NULL);
        CREATE TABLE origin (repository_id INTEGER NOT NULL, suffix TEXT, group_ TEXT NOT NULL, origin TEXT NOT NULL,
            usage INTEGER, PRIMARY KEY (repository_id, origin));
        INSERT INTO repository VALUES (0, 'persistent'), (2, 'default');
        INSERT INTO origin VALUES (0, '', 'chrome', 'chrome', 1), (2, '', 'news.example', 'https://news.example', 1),
            (2, '', 'x', 'moz-extension://0a1b', 1), (2, '', 'secret-clinic.example', 'https://secret-clinic.example', 9);
    )");
    for (const char* store : {"webappsstore.sqlite", "storage/ls-archive.sqlite"})
        FirefoxFixture::sql(profile / store, R"(
            CREATE TABLE webappsstore2 (originAttributes TEXT, originKey TEXT, scope TEXT, key TEXT, value TEXT);
            INSERT INTO webappsstore2 VALUES ('', 'elpmaxe.swen.:https:443', '', 'k', 'kept'),
                ('', 'elpmaxe.cinilc-terces.:https:443', '', 'k', 'secret-value');
        )");
    FirefoxFixture::sql(profile / "permissions.sqlite", R"(
        CREATE TABLE moz_perms (id INTEGER PRIMARY KEY, origin TEXT, type TEXT, permission INTEGER, expireType INTEGER,
            expireTime INTEGER, modificationTime INTEGER);
        CREATE TABLE moz_hosts (id INTEGER PRIMARY KEY, host TEXT, type TEXT, permission INTEGER, expireType INTEGER,
            expireTime INTEGER, modificationTime INTEGER, isInBrowserElement INTEGER);
        CREATE TABLE moz_origin_interactions (origin TEXT PRIMARY KEY, lastInteractionTime INTEGER);
        INSERT INTO moz_perms (origin, type, permission) VALUES ('https://news.example', 'cookie', 1),
            ('https://secret-clinic.example^userContextId=1', 'desktop-notification', 1), ('file:///', 'popup', 1);
        INSERT INTO moz_hosts (host, type, permission) VALUES ('secret-clinic.example', 'popup', 1);
        INSERT INTO moz_origin_interactions VALUES ('https://secret-clinic.example', 1);
    )");
    FirefoxFixture::sql(profile / "content-prefs.sqlite", R"(
        CREATE TABLE groups (id INTEGER PRIMARY KEY, name TEXT NOT NULL);
        CREATE TABLE settings (id INTEGER PRIMARY KEY, name TEXT NOT NULL);
        CREATE TABLE prefs (id INTEGER PRIMARY KEY, groupID INTEGER REFERENCES groups(id), settingID INTEGER NOT NULL,
            value BLOB, timestamp INTEGER NOT NULL DEFAULT 0);
        INSERT INTO groups VALUES (1, 'news.example'), (2, 'secret-clinic.example');
        INSERT INTO settings VALUES (1, 'browser.content.full-zoom');
        INSERT INTO prefs (groupID, settingID, value) VALUES (1, 1, 1.5), (2, 1, 1.2), (NULL, 1, 1.1);
    )");

    const std::string certHeader = "# PSM Certificate Override Settings file\n# This is a generated file!\n";
    const std::string certKept = "news.example:443:\tOID.2.16.840.1.101.3.4.2.1\tAB:CD\t\n";
    TempDir::write(profile / "cert_override.txt",
                   certHeader + "secret-clinic.example:8443:\tOID.2.16.840.1.101.3.4.2.1\tEF:01\t\n" + certKept);
    const auto keep = common::KeepList::parse("news.example");
    const auto profiles = firefox::FirefoxProfiles(services).find();
    ASSERT_EQ(profiles.size(), 1u);
    const auto found = firefox::FirefoxSiteData(files, keep).find(profiles[0]);
    EXPECT_EQ(found.sites(), (std::set<std::string>{"secret-clinic.example"}));
    EXPECT_EQ(found.folders.size(), 3u);
    for (const auto& f : gone) EXPECT_TRUE(fs::exists(f)) << f;  // finding took nothing

    firefox::cFireFox ff(services, &processes, report);
    ff.setKeepList(keep);
    ff.ClearFirefoxCookies();
    EXPECT_TRUE(report.clean()) << report.failures().front().what << ": " << report.failures().front().reason;
    for (const auto& f : gone) EXPECT_FALSE(fs::exists(f)) << f;
    for (const auto& f : stay) EXPECT_TRUE(fs::exists(f)) << f;
    EXPECT_FALSE(fs::exists(storage / "default/https+++secret-clinic.example^userContextId=1"));
    const std::vector<std::pair<const char*, const char*>> left = {
        {"cookies.sqlite", "SELECT group_concat(host) FROM moz_cookies"},
        {"storage.sqlite", "SELECT group_concat(origin) FROM origin ORDER BY origin"},
        {"webappsstore.sqlite", "SELECT group_concat(originKey) FROM webappsstore2"},
        {"storage/ls-archive.sqlite", "SELECT group_concat(originKey) FROM webappsstore2"},
        {"permissions.sqlite", "SELECT group_concat(origin) FROM moz_perms"},
        {"permissions.sqlite", "SELECT count(*) FROM moz_hosts"},
        {"permissions.sqlite", "SELECT count(*) FROM moz_origin_interactions"},
        {"content-prefs.sqlite", "SELECT group_concat(name) FROM groups"},
        {"content-prefs.sqlite", "SELECT group_concat(value) FROM prefs"}};
    const std::vector<std::string> expected = {"news.example",
                                               "chrome,https://news.example,moz-extension://0a1b",
                                               "elpmaxe.swen.:https:443",
                                               "elpmaxe.swen.:https:443",
                                               "https://news.example,file:///",
                                               "0",
                                               "0",
                                               "news.example",
                                               "1.5,1.1"};
    for (std::size_t i = 0; i < left.size(); ++i) {
        EXPECT_EQ(FirefoxFixture::queryOne(profile / left[i].first, left[i].second), expected[i]) << left[i].second;
        const auto bytes = FirefoxFixture::rawBytes(profile / left[i].first);
        EXPECT_EQ(bytes.find("secret-clinic"), std::string::npos) << left[i].first;
        EXPECT_EQ(bytes.find("cinilc-terces"), std::string::npos) << left[i].first;
    }
    EXPECT_EQ(TempDir::read(profile / "cert_override.txt"), certHeader + certKept);
    EXPECT_EQ(report.keptSites(), (std::set<std::string>{"news.example"}));
    EXPECT_EQ(report.removedTally().at(common::CleanArea::Cookies).items, 1u);
    EXPECT_GE(report.removedTally().at(common::CleanArea::SiteData).items, 8u);
}

// The notifications sites showed: the going sites' records leave the store, a kept site's and
// an extension's stay with every other member as it was; a store that is a link or no JSON
// object is named and left as it is.
TEST_F(FakeHome, NotificationsOfTheGoingSitesLeaveTheirStore) {
    profilesIni("[Profile0]\nPath=Profiles/a\n");
    const auto profile = firefoxRoot() / "Profiles/a";
    FirefoxFixture::makeProfile(profile);
    const auto store = profile / "notificationstore.json";
    const std::string kept = R"("https://news.example":{"n1":{"id":"n1","title":"Kept","timestamp":1.5e12}})";
    const std::string extension = R"("moz-extension://0a1b":{"e1":{"id":"e1","title":"Extension"}})";
    const std::string going = R"("https://secret-clinic.example^userContextId=1":{"a":{"title":"Your results"},)"
                              R"("b":{"title":"Appointment"}})";
    struct Case {
        std::string before;  // empty: no store, or (with `link`) a link to it
        bool link;
        std::string after;
        std::uint64_t removed;
        bool failure;
    };
    const std::vector<Case> cases = {
        {"{" + kept + "," + going + "," + extension + "}", false, "{" + kept + "," + extension + "}", 2, false},
        {"{" + going + "}", false, "{}", 2, false},
        {"{" + kept + "}", false, "{" + kept + "}", 0, false},
        {"{" + going, false, "{" + going, 0, true},
        {"[" + kept + "]", false, "[" + kept + "]", 0, true},
        {"{" + going + "}", true, "{" + going + "}", 0, true},
        {"", false, "", 0, false},
    };
    const auto keep = common::KeepList::parse("news.example");
    for (const auto& c : cases) {
        fs::remove(store);
        const auto target = dir / "elsewhere.json";
        if (c.link) {
            TempDir::write(target, c.before);
            fs::create_symlink(target, store);
        } else if (!c.before.empty()) {
            TempDir::write(store, c.before);
        }
        common::CleanReport seen;
        firefox::cFireFox ff(services, &processes, seen);
        ff.setKeepList(keep);
        ff.ClearFirefoxCookies();
        const auto& path = c.link ? target : store;
        if (!c.before.empty()) {
            EXPECT_EQ(TempDir::read(path), c.after) << c.before;
        }
        EXPECT_EQ(fs::exists(fs::symlink_status(store)), !c.before.empty()) << c.before;
        const auto& tally = seen.removedTally();
        EXPECT_EQ(tally.contains(common::CleanArea::SiteData) ? tally.at(common::CleanArea::SiteData).items : 0,
                  c.removed)
            << c.before;
        EXPECT_EQ(!seen.clean(), c.failure) << c.before;
        if (c.failure && !seen.failures().empty()) {
            EXPECT_EQ(seen.failures()[0].what, store.string()) << c.before;
        }
    }
}

TEST(CacheEntryKey, ReadsTheKeyOfEntriesAndStripsItsTags) {
    TempDir dir;
    const std::string big(std::size_t{600} * 1024, 'b');  // three chunks of data before the metadata
    for (unsigned version : {1u, 2u, 3u}) {
        const auto bytes = FirefoxFixture::cacheEntry(
            "O^partitionKey=%28https%2Cx.example%29,a,:https://x.example/a?b=c", big, version);
        EXPECT_EQ(firefox::CacheEntryKey::parse(bytes),
                  "O^partitionKey=%28https%2Cx.example%29,a,:https://x.example/a?b=c");
        TempDir::write(dir / "entry", bytes);
        EXPECT_EQ(firefox::CacheEntryKey::read(dir / "entry"), firefox::CacheEntryKey::parse(bytes)) << version;
    }
    EXPECT_EQ(firefox::CacheEntryKey::address("a,:https://example.com/"), "https://example.com/");
    EXPECT_EQ(firefox::CacheEntryKey::address(":http://plain.example/"), "http://plain.example/");
    EXPECT_EQ(firefox::CacheEntryKey::address("a,~1614261453,:https://x.example/"), "https://x.example/");
    EXPECT_EQ(firefox::CacheEntryKey::address("O^privateBrowsingId=1,a,:https://p.example/"), "https://p.example/");
}

TEST(CacheEntryKey, DamagedEntriesNeverCrashTheReader) {
    TempDir dir;
    std::mt19937 gen(12345);
    const std::string good = FirefoxFixture::cacheEntry("a,:https://example.com/", "data");
    for (int i = 0; i < 5000; ++i) {
        std::string bytes = good;
        switch (i % 4) {
            case 0:
                bytes.resize(gen() % (good.size() + 1));
                break;
            case 1:
                for (int k = 0; k < 4; ++k) bytes[gen() % bytes.size()] = static_cast<char>(gen());
                break;
            case 2:
                bytes = std::string(gen() % 64, static_cast<char>(gen()));
                break;
            default:
                for (auto& b : bytes) b = static_cast<char>(gen());
        }
        const auto key = firefox::CacheEntryKey::parse(bytes);
        if (key) {
            EXPECT_LE(key->size(), bytes.size());
        }
        // The file reader takes shortcuts through the entry's tail: it must agree with the parser.
        if (i % 10 == 0) {
            TempDir::write(dir / "entry", bytes);
            EXPECT_EQ(firefox::CacheEntryKey::read(dir / "entry"), key) << i;
        }
    }
    // A key longer than the tail the reader takes first, after data of several chunks.
    const std::string longKey = "a,:https://x.example/?" + std::string(9000, 'q');
    const auto bytes = FirefoxFixture::cacheEntry(longKey, std::string(std::size_t{300} * 1024, 'd'));
    TempDir::write(dir / "entry", bytes);
    EXPECT_EQ(firefox::CacheEntryKey::read(dir / "entry"), longKey);
}

}  // namespace
}  // namespace quenvor::cleaning
