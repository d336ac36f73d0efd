#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "cleaning/CacheEntryKey.h"
#include "cleaning/cFireFox.h"
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
    CleanReport report;
    FirefoxProfiles::Services services{registry, ini, files, folders};

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
    const auto found = FirefoxProfiles(services).find();
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
    cFireFox ff(services, &processes);
    ff.setReport(&report);
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
    cFireFox ff(services, &processes);
    ff.setReport(&report);
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
    cFireFox ff(services, &processes);
    ff.setReport(&report);
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
        cFireFox ff(services, &processes);
        ff.setReport(&report);
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
    cFireFox ff(services, &processes);
    ff.setReport(&report);
    ff.ClearFirefoxCookies();
    ff.ClearFirefoxFormHistory();
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    ASSERT_EQ(report.failures().size(), 2u);
    EXPECT_NE(report.failures()[0].reason.find("locked"), std::string::npos) << report.failures()[0].reason;
    EXPECT_NE(report.failures()[1].reason.find("damaged"), std::string::npos) << report.failures()[1].reason;
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "2");
    EXPECT_EQ(TempDir::read(profile / "formhistory.sqlite"), std::string(4096, 'G'));
}

TEST(CacheEntryKey, ReadsTheKeyOfEntriesAndStripsItsTags) {
    TempDir dir;
    const std::string big(600 * 1024, 'b');  // three chunks of data before the metadata
    for (unsigned version : {1u, 2u, 3u}) {
        const auto bytes = FirefoxFixture::cacheEntry(
            "O^partitionKey=%28https%2Cx.example%29,a,:https://x.example/a?b=c", big, version);
        EXPECT_EQ(CacheEntryKey::parse(bytes), "O^partitionKey=%28https%2Cx.example%29,a,:https://x.example/a?b=c");
        TempDir::write(dir / "entry", bytes);
        EXPECT_EQ(CacheEntryKey::read(dir / "entry"), CacheEntryKey::parse(bytes)) << version;
    }
    EXPECT_EQ(CacheEntryKey::address("a,:https://example.com/"), "https://example.com/");
    EXPECT_EQ(CacheEntryKey::address(":http://plain.example/"), "http://plain.example/");
    EXPECT_EQ(CacheEntryKey::address("a,~1614261453,:https://x.example/"), "https://x.example/");
    EXPECT_EQ(CacheEntryKey::address("O^privateBrowsingId=1,a,:https://p.example/"), "https://p.example/");
}

TEST(CacheEntryKey, DamagedEntriesNeverCrashTheReader) {
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
        const auto key = CacheEntryKey::parse(bytes);
        if (key) {
            EXPECT_LE(key->size(), bytes.size());
        }
    }
}

}  // namespace
}  // namespace quenvor::cleaning
