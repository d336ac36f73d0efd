#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <tuple>

#include "cleaning/Cache.h"
#include "cleaning/CleaningRun.h"
#include "cleaning/CompositeUrlCache.h"
#include "cleaning/UrlCacheLists.h"
#include "cleaning/common/PlanSink.h"
#include "cleaning/desktop/RegistryTraces.h"
#include "cleaning/desktop/cCleanInternet.h"
#include "cleaning/firefox/FirefoxUrlCache.h"
#include "cleaning/firefox/cFireFox.h"
#include "platform/EmbeddedStringResource.h"
#include "platform/ErrorKinds.h"
#include "platform/IniProfileReader.h"
#include "platform/RaisedError.h"
#include "platform/RegistryStore.h"
#include "platform/cRegistry.h"
#include "platform/linux/LinuxFileService.h"
#include "platform/linux/LinuxKnownFolders.h"
#include "platform/linux/LinuxProcessTable.h"
#include "support/FakeFormView.h"
#include "support/FakeHome.h"
#include "support/FaultyFileService.h"
#include "support/FirefoxFixture.h"
#include "support/HeldLock.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "ui/BusyState.h"
#include "ui/Guarded.h"
#include "ui/StringTable.h"

#include "text/TextIds.h"

namespace quenvor::cleaning {
namespace {

using platform::kCurrentUser;
using test::FirefoxFixture;
using test::TempDir;
namespace fs = std::filesystem;

// Makes every file below `folder` two hours old, past the age at which temporary files may go.
void ageAll(const fs::path& folder) {
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(2);
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file() && !e.is_symlink()) fs::last_write_time(e.path(), old);
}

class Home : public ::testing::Test, protected test::FakeHome {
protected:
    common::CleanReport report;
    desktop::cCleanInternet clean{{registry, files, folders, nullptr, &processes}, report};

    platform::cRegistry reg(const std::string& key, const std::string& value) {
        platform::cRegistry r(registry);
        r.setClassKey(static_cast<std::int32_t>(kCurrentUser));
        r.setSectionKey(key);
        r.setValueKey(value);
        return r;
    }
    void set(const std::string& key, const std::string& value, const std::string& text) {
        auto r = reg(key, value);
        r.setValueType(platform::kRegSz);
        r.setValue(text);
    }
    void setBinary(const std::string& key, const std::string& value, const std::vector<std::uint8_t>& data) {
        platform::RegKey k = 0;
        ASSERT_EQ(registry.createKey(kCurrentUser, key, k), platform::kErrorSuccess);
        ASSERT_EQ(registry.setValue(k, value, platform::kRegBinary, data), platform::kErrorSuccess);
        EXPECT_EQ(registry.closeKey(k), platform::kErrorSuccess);
    }
    // The recent-documents list as Windows writes it: per document a numbered value that starts
    // with its name in UTF-16 (then the shell's own data), an MRUListEx of their order, and the
    // same again below a subkey per file type.
    void writeWindowsRecentDocs() {
        auto entry = [](const std::u16string& name) {
            std::vector<std::uint8_t> v;
            for (char16_t c : name + u'\0') v.insert(v.end(), {std::uint8_t(c & 0xFF), std::uint8_t(c >> 8)});
            v.insert(v.end(), {0x14, 0x00, 0x1F, 0x50});
            return v;
        };
        const std::string docs = desktop::kRecentDocsKey;
        setBinary(docs, "0", entry(u"Informe año.docx"));
        setBinary(docs, "1", entry(u"Fotos"));
        setBinary(docs, "MRUListEx", {1, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
        setBinary(docs + ".docx", "0", entry(u"Informe año.docx"));
        setBinary(docs + ".docx", "MRUListEx", {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
        setBinary(docs + "Folder", "0", entry(u"Fotos"));
        setBinary(docs + "Folder\\Deeper", "0", entry(u"Fotos"));
    }
    std::size_t valuesAndSubkeys(const std::string& key) {
        std::vector<std::string> names, subkeys;
        std::int32_t count = 0, subCount = 0;
        reg(key, "").EnumerateValues(names, count);
        reg(key, "").EnumerateSections(subkeys, subCount);
        return names.size() + subkeys.size();
    }
};

TEST_F(Home, TypedAddressesAndFormData) {
    set(desktop::kTypedUrlsKey, "url1", "http://secret.example/");
    setBinary(desktop::kTypedUrlsTimeKey, "url1", {1, 2, 3, 4, 5, 6, 7, 8});
    set(desktop::kFormDataKey, "x", "saved form");
    clean.CleanTypedUrls();
    clean.CleanFormData();
    std::vector<std::string> names;
    std::int32_t count = -1;
    EXPECT_TRUE(reg(desktop::kTypedUrlsKey, "").KeyExists());
    reg(desktop::kTypedUrlsKey, "").EnumerateValues(names, count);
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(reg(desktop::kTypedUrlsTimeKey, "").KeyExists());
    // One address, with its time counted as no entry of its own.
    const auto typed = report.removedTally().at(common::CleanArea::TypedUrls);
    EXPECT_EQ(typed.items, 1u);
    EXPECT_EQ(typed.bytes, std::string("http://secret.example/").size() + 1 + 8);
    EXPECT_FALSE(reg(desktop::kFormDataKey, "").KeyExists());
    clean.CleanFormData();  // nothing there: no trouble, and not made again
    EXPECT_FALSE(reg(desktop::kFormDataKey, "").KeyExists());
    clean.CleanTypedUrls();  // absent before: present and empty after
    EXPECT_TRUE(reg(desktop::kTypedUrlsKey, "").KeyExists());
    EXPECT_TRUE(report.clean());
}

TEST_F(Home, RecentDocumentsFolderValuesAndTheDesktopList) {
    const auto recent = home / ".local/share/RecentDocuments";
    TempDir::write(recent / "report.odt.desktop", "x");
    TempDir::write(recent / "deeper/old.desktop", "x");
    TempDir::write(home / ".local/share/recently-used.xbel",
                   "<?xml version=\"1.0\"?><xbel><bookmark href=\"file:///home/secret.pdf\"/></xbel>");
    TempDir::write(home / ".recently-used", "old list");
    for (const char* v : {"a", "q", "z", "MRUList"}) set(desktop::kRecentDocsKey, v, "doc");
    writeWindowsRecentDocs();
    desktop::RegistryTraces traces(registry, report, common::CleanArea::Recent);
    const auto found = traces.find(kCurrentUser, desktop::kRecentDocsKey);
    EXPECT_EQ(found.items, 11u);
    EXPECT_EQ(std::count(found.names.begin(), found.names.end(), "Informe año.docx"), 2);
    EXPECT_EQ(std::count(found.names.begin(), found.names.end(), std::string(desktop::kRecentDocsKey) + "MRUListEx"),
              1);
    EXPECT_TRUE(report.removedTally().empty());  // finding changes nothing
    clean.CleanRecentFilesMenu();
    EXPECT_FALSE(fs::exists(recent / "report.odt.desktop"));
    EXPECT_FALSE(fs::exists(recent / "deeper/old.desktop"));
    EXPECT_TRUE(fs::is_directory(recent / "deeper"));  // folders stay
    const std::string xbel = TempDir::read(home / ".local/share/recently-used.xbel");
    EXPECT_EQ(xbel.find("secret.pdf"), std::string::npos);
    EXPECT_NE(xbel.find("<xbel version=\"1.0\""), std::string::npos);
    EXPECT_NE(xbel.find("</xbel>"), std::string::npos);
    EXPECT_FALSE(fs::exists(home / ".recently-used"));
    EXPECT_TRUE(reg(desktop::kRecentDocsKey, "").KeyExists());  // Explorer writes on in it
    EXPECT_EQ(valuesAndSubkeys(desktop::kRecentDocsKey), 0u);
    // Two files, the desktop list's one bookmark, the old list.
    EXPECT_EQ(report.removedTally().at(common::CleanArea::Recent).items, 4u + found.items);
    EXPECT_TRUE(report.clean());
}

TEST_F(Home, HistoryOnASystemWithoutAHistoryFolderRemovesNothing) {
    TempDir::write(home / "History/keep.txt", "x");
    clean.ClearInternetHistory();
    EXPECT_TRUE(fs::exists(home / "History/keep.txt"));
    EXPECT_TRUE(report.clean());
}

TEST_F(Home, TheTempFolderLosesOnlyTheUsersIdleFiles) {
    TempDir::write(tmp / "old.log", "x");
    TempDir::write(tmp / "deep/er/cache.bin", "x");
    TempDir::write(tmp / "in-use.db", "x");
    TempDir::write(tmp / "someone-elses", "x");
    TempDir::write(dir / "outside.txt", "x");
    fs::create_symlink(dir / "outside.txt", tmp / "link");
    ASSERT_EQ(::mkfifo((tmp / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(::chown((tmp / "someone-elses").c_str(), 65534, 65534), 0);
    ageAll(tmp);
    const int held = ::open((tmp / "in-use.db").c_str(), O_RDONLY);
    clean.EmptyTempFolder();
    ::close(held);
    EXPECT_FALSE(fs::exists(tmp / "old.log"));
    EXPECT_FALSE(fs::exists(tmp / "deep/er/cache.bin"));
    EXPECT_TRUE(fs::is_directory(tmp / "deep/er"));
    EXPECT_TRUE(fs::exists(tmp / "in-use.db"));
    EXPECT_TRUE(fs::exists(tmp / "someone-elses"));
    EXPECT_TRUE(fs::exists(fs::symlink_status(tmp / "link")));
    EXPECT_TRUE(fs::exists(fs::symlink_status(tmp / "fifo")));
    EXPECT_TRUE(fs::exists(dir / "outside.txt"));
    EXPECT_TRUE(report.clean());  // skipping a file in use is no failure
    EXPECT_EQ(report.removedTally().at(common::CleanArea::Temp).items, 2u);
    EXPECT_EQ(report.removedTally().at(common::CleanArea::Temp).bytes, 2u);
}

// Files a running program needs without holding them open: the X authority file of a display
// in use, a ticket cache, an agent's socket folder. They stay, as does anything younger than an
// hour; only the old and unclaimed goes, and a temporary folder set to the home is refused whole.
TEST_F(Home, TheTempFolderKeepsWhatLiveProgramsNeed) {
    const std::vector<std::string> kept = {"krb5cc_1000",           ".X99-lock",
                                           "xauth-1000-_99",        ".Xauthority-abc",
                                           "ssh-XXXXabc/agent.123", "systemd-private-9f-colord.service-x/tmp/f",
                                           "tmux-1000/default",     "pulse-PKdhtXMmr18n/pid",
                                           "dbus-abcdef",           ".ICE-unix/4242",
                                           ".X11-unix/X0"};
    for (const auto& k : kept) TempDir::write(tmp / k, "x");
    TempDir::write(tmp / "old.tmp", "x");
    TempDir::write(tmp / "sub/X0-lock-alike", "x");
    ageAll(tmp);
    TempDir::write(tmp / "just-written.tmp", "x");  // a program may be about to open it
    clean.EmptyTempFolder();
    for (const auto& k : kept) EXPECT_TRUE(fs::exists(tmp / k)) << k;
    EXPECT_TRUE(fs::exists(tmp / "just-written.tmp"));
    EXPECT_FALSE(fs::exists(tmp / "old.tmp"));
    EXPECT_FALSE(fs::exists(tmp / "sub/X0-lock-alike"));
    EXPECT_TRUE(report.clean());

    TempDir::write(home / "thesis.odt", "years of work");
    ageAll(home);
    env["TMPDIR"] = home.string() + "/";
    clean.EmptyTempFolder();
    EXPECT_TRUE(fs::exists(home / "thesis.odt"));
    ASSERT_EQ(report.failures().size(), 1u);
    EXPECT_EQ(report.failures()[0].area, common::CleanArea::Temp);
}

// The desktop writes its list of recent documents through a link when the list is one: the file
// it leads to is emptied when it lies in the home, and a link leading out of it is reported.
TEST_F(Home, ALinkedRecentListIsEmptiedWhereItLeads) {
    const auto xbel = home / ".local/share/recently-used.xbel";
    const auto synced = home / "dotfiles/recently-used.xbel";
    const std::string list = "<?xml version=\"1.0\"?><xbel><bookmark href=\"file:///home/secret.pdf\"/></xbel>";
    TempDir::write(synced, list);
    fs::create_directories(xbel.parent_path());
    fs::create_symlink(synced, xbel);
    clean.CleanRecentFilesMenu();
    EXPECT_TRUE(fs::is_symlink(xbel));
    EXPECT_EQ(TempDir::read(synced).find("secret.pdf"), std::string::npos);
    EXPECT_NE(TempDir::read(synced).find("</xbel>"), std::string::npos);
    EXPECT_TRUE(report.clean());

    const auto outside = dir / "shared/recently-used.xbel";
    TempDir::write(outside, list);
    fs::remove(xbel);
    fs::create_symlink(outside, xbel);
    clean.CleanRecentFilesMenu();
    EXPECT_EQ(TempDir::read(outside), list);
    ASSERT_EQ(report.failures().size(), 1u);
    EXPECT_EQ(report.failures()[0].what, xbel.string());
}

TEST_F(Home, ALongShellFolderPathIsReadWhole) {
    const std::string longName(200, 'r');
    env["XDG_DATA_HOME"] = (dir / longName).string();
    TempDir::write(dir / longName / "RecentDocuments/x.desktop", "x");
    clean.CleanRecentFilesMenu();
    EXPECT_FALSE(fs::exists(dir / longName / "RecentDocuments/x.desktop"));
}

class Lists : public Home {
protected:
    firefox::FirefoxProfiles::Services ff{registry, ini, files, folders};
    firefox::FirefoxUrlCache cache{ff, &processes, "ana"};
    test::FakeFormView view;
    test::ScriptedUi ui;
    fs::path profile = home / ".config/mozilla/firefox/Profiles/a";
    fs::path cacheFolder = home / ".cache/mozilla/firefox/Profiles/a";

    void SetUp() override {
        TempDir::write(home / ".config/mozilla/firefox/profiles.ini", "[Profile0]\nPath=Profiles/a\n");
        FirefoxFixture::makeProfile(profile);
        FirefoxFixture::writeCacheEntry(cacheFolder, "01", "a,:https://secret-clinic.example/appointment");
        FirefoxFixture::writeCacheEntry(cacheFolder, "02",
                                        "O^partitionKey=%28https%2Cnews.example%29,:https://cdn.example/x.js");
        TempDir::write(cacheFolder / "cache2/entries/03", "damaged");
    }
};

TEST_F(Lists, PageOneShowsCachedAddressesAndCookies) {
    UrlCacheLists lists(view, ui, cache);
    lists.ListVisitedSites();
    lists.ListCookies();
    EXPECT_EQ(view.listItems("LstB2"),
              (std::vector<std::string>{"https://secret-clinic.example/appointment", "https://cdn.example/x.js"}));
    EXPECT_EQ(view.listItems("LstB3"),
              (std::vector<std::string>{"Cookie:ana@news.example/world", "Cookie:ana@secret-clinic.example/"}));
    EXPECT_EQ(ui.pointers.back(), ui::MousePointer::Default);
}

// An entry that cannot be removed is named once, by its address, though both the address list
// and the cache step try it; one without an address is named by its file.
TEST_F(Lists, AnEntryThatCannotBeRemovedIsNamedOnce) {
    test::FaultyFileService faulty(files);
    for (const char* e : {"01", "02", "03"}) faulty.failRemoveFor.insert((cacheFolder / "cache2/entries" / e).string());
    firefox::FirefoxProfiles::Services s{registry, ini, faulty, folders};
    firefox::FirefoxUrlCache failing(s, &processes, "ana");
    UrlCacheLists(view, ui, failing).ClearUrlCache(&report);
    firefox::cFireFox(s, &processes, report).ClearFirefoxCache();
    std::vector<std::string> named;
    for (const auto& f : report.failures()) named.push_back(f.what);
    EXPECT_EQ(named, (std::vector<std::string>{"https://secret-clinic.example/appointment", "https://cdn.example/x.js",
                                               (cacheFolder / "cache2/entries/03").string()}));
}

TEST_F(Lists, ClearingCookiesLeavesTheKeptSites) {
    const auto keep = common::KeepList::parse(".NEWS.example");
    UrlCacheLists(view, ui, cache).ClearCookies(&report, nullptr, &keep);
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "cookies.sqlite", "SELECT group_concat(host) FROM moz_cookies"),
              "news.example");
    EXPECT_TRUE(report.clean());
}

TEST_F(Lists, ClearingTheCacheKeepsCookies) {
    UrlCacheLists lists(view, ui, cache);
    lists.ClearUrlCache(&report);
    EXPECT_FALSE(fs::exists(cacheFolder / "cache2/entries/01"));
    EXPECT_FALSE(fs::exists(cacheFolder / "cache2/entries/02"));
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "2");
    EXPECT_TRUE(report.clean());
    // A cookie entry can be deleted by its name.
    EXPECT_TRUE(cache.deleteEntry("Cookie:ana@secret-clinic.example/").ok());
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "cookies.sqlite", "SELECT group_concat(name) FROM moz_cookies"),
              "pref");
}

TEST_F(Lists, ARunningFirefoxsEntriesAreListedButNotDeleted) {
    TempDir::write(profile / ".parentlock", "");
    {
        test::HeldLock firefox(profile / ".parentlock");
        ASSERT_TRUE(firefox.held());
        UrlCacheLists lists(view, ui, cache);
        lists.ListVisitedSites();
        lists.ClearUrlCache(&report);
    }
    EXPECT_EQ(view.listItems("LstB2").size(), 2u);
    EXPECT_TRUE(fs::exists(cacheFolder / "cache2/entries/01"));
    ASSERT_FALSE(report.clean());
    EXPECT_TRUE(report.failures()[0].browserRunning);
}

TEST_F(Lists, EnumerationRules) {
    Cache c(cache);
    EXPECT_FALSE(c.GetNextCacheEntry());  // nothing open yet
    ASSERT_TRUE(c.GetFirstCacheEntry());
    EXPECT_EQ(c.GetCacheEntryType(), platform::kNormalCacheEntry);
    int n = 1;
    while (c.GetNextCacheEntry()) ++n;
    EXPECT_EQ(n, 4);  // two pages and two cookie entries; the damaged file is no entry
    c.CloseCacheEnum();
    EXPECT_FALSE(c.GetNextCacheEntry());
}

// Firefox partitions its cache: one image embedded by two sites is kept under two keys with the
// same address. Removing the first removes neither twice nor reports the second as a failure.
TEST_F(Lists, OneAddressUnderTwoKeysIsRemovedWithoutAFalseFailure) {
    FirefoxFixture::writeCacheEntry(cacheFolder, "04",
                                    "O^partitionKey=%28https%2Ca.example%29,a,:https://cdn.example/i.png");
    FirefoxFixture::writeCacheEntry(cacheFolder, "05",
                                    "O^partitionKey=%28https%2Cb.example%29,a,:https://cdn.example/i.png");
    UrlCacheLists lists(view, ui, cache);
    lists.ListVisitedSites();
    lists.ClearUrlCache(&report);
    EXPECT_TRUE(report.clean()) << report.failures().front().what << ": " << report.failures().front().reason;
    for (const char* f : {"01", "02", "04", "05"}) EXPECT_FALSE(fs::exists(cacheFolder / "cache2/entries" / f)) << f;
    // Already gone is gone, and not counted as removed a second time.
    const auto again = cache.deleteEntry("https://cdn.example/i.png");
    EXPECT_TRUE(!again.ok() && platform::isGone(again.error()));
}

// Both lists share one reading of the cache, but a change made after it is never hidden.
TEST_F(Lists, AWalkAfterAChangeSeesTheChange) {
    UrlCacheLists lists(view, ui, cache);
    lists.ListVisitedSites();
    FirefoxFixture::writeCacheEntry(cacheFolder, "06", "a,:https://new.example/");
    FirefoxFixture::sql(profile / "cookies.sqlite",
                        "INSERT INTO moz_cookies (name, value, host, path) VALUES ('n', 'v', 'new.example', '/'),"
                        " ('l', 'v', '.a-much-longer-host-name.example', '/with/a/long/path/to/it')");
    lists.ListVisitedSites();
    lists.ListCookies();
    EXPECT_EQ(view.listItems("LstB2").back(), "https://new.example/");
    // Each line is its own name in full, whatever length the line before it had.
    EXPECT_EQ(view.listItems("LstB3"),
              (std::vector<std::string>{"Cookie:ana@a-much-longer-host-name.example/with/a/long/path/to/it",
                                        "Cookie:ana@new.example/", "Cookie:ana@news.example/world",
                                        "Cookie:ana@secret-clinic.example/"}));
    lists.ClearUrlCache(&report);
    lists.ListVisitedSites();
    EXPECT_TRUE(view.listItems("LstB2").empty());
}

// The plan takes a browser's cache a folder at a time from the listing it holds: each entry is
// counted once, in its browser's group, the system's own cache in a group of its own, and the
// folder's other names are left to the browser's own step.
TEST_F(Lists, APlanCountsEachEntryOnceInItsOwnGroup) {
    struct SystemCache : platform::IUrlCache {
        bool listed = false, deleted = false;
        std::optional<platform::UrlCacheEntry> findFirst(platform::UrlCacheFind& find) override {
            find = 1;
            listed = true;
            return platform::UrlCacheEntry{"https://system.example/", platform::kNormalCacheEntry};
        }
        std::optional<platform::UrlCacheEntry> findNext(platform::UrlCacheFind) override { return std::nullopt; }
        void findClose(platform::UrlCacheFind) override {}
        platform::Status deleteEntry(const std::string&) override {
            deleted = true;
            return {};
        }
    } system;
    CompositeUrlCache both({&cache, &system});
    common::CleanPlan plan;
    common::PlanSink sink;
    sink.attach(&plan);
    UrlCacheLists(view, ui, both).ClearUrlCache(&report, &sink);
    const auto groups = plan.groups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].browser, "Firefox");
    EXPECT_EQ(groups[0].items, 2u);
    EXPECT_GT(groups[0].bytes, 0u);
    EXPECT_EQ(groups[1].browser, "");
    EXPECT_EQ(groups[1].items, 1u);
    const auto rest = plan.takeRest(cacheFolder / "cache2/entries");
    ASSERT_TRUE(rest);
    ASSERT_EQ(rest->size(), 1u);
    EXPECT_EQ(rest->front().name, "03");                                  // no entry: the browser's own step takes it
    EXPECT_TRUE(plan.takeRest(cacheFolder / "cache2/entries")->empty());  // handed out once
    EXPECT_TRUE(fs::exists(cacheFolder / "cache2/entries/01"));           // nothing done yet
    for (auto& step : plan.steps()) step.act();
    EXPECT_FALSE(fs::exists(cacheFolder / "cache2/entries/01"));
    EXPECT_TRUE(fs::exists(cacheFolder / "cache2/entries/03"));
    EXPECT_TRUE(system.deleted);
    EXPECT_TRUE(report.clean());
    EXPECT_EQ(report.removedTally().at(common::CleanArea::Cache).items, 3u);
}

// Between the plan and its run the cache folder is moved and a link put in its place, or a new
// entry comes: the run follows no link, removes no name it did not list, and says what it left.
TEST_F(Lists, APlannedFolderRemovesOnlyWhatItListedWhereItListedIt) {
    const auto entries = cacheFolder / "cache2/entries";
    for (const bool swapped : {false, true}) {
        SCOPED_TRACE(swapped);
        FirefoxFixture::writeCacheEntry(cacheFolder, "01", "a,:https://secret-clinic.example/appointment");
        common::CleanReport said;
        common::CleanPlan plan;
        common::PlanSink sink;
        sink.attach(&plan);
        UrlCacheLists(view, ui, cache).ClearUrlCache(&said, &sink);
        FirefoxFixture::writeCacheEntry(cacheFolder, "09", "a,:https://came-later.example/");
        const auto moved = cacheFolder / "cache2/moved";
        if (swapped) {
            fs::rename(entries, moved);
            fs::create_directory_symlink(moved, entries);
        }
        for (auto& step : plan.steps()) step.act();
        EXPECT_TRUE(fs::exists(entries / "09"));
        EXPECT_EQ(fs::exists(entries / "01"), swapped);
        if (swapped) {
            ASSERT_EQ(said.failures().size(), 1u);
            EXPECT_EQ(said.failures()[0].what, entries.string());
            EXPECT_NE(said.failures()[0].reason.find("not followed"), std::string::npos);
            fs::remove(entries);
            fs::rename(moved, entries);
        } else {
            EXPECT_TRUE(said.clean());
        }
    }
}

class Run : public Lists {
protected:
    platform::EmbeddedStringResource res;
    ui::StringTable strings{&res, &ui};
    ui::BusyState busy;
    CleaningRun run{{view, ui, strings, busy, ff, &cache, nullptr, &processes}};

    void SetUp() override {
        Lists::SetUp();
        strings.setLanguage(ui::kEnglish);
        for (int n = 1; n <= 6; ++n) view.setCheckValue("chk" + std::to_string(n), n == 5 ? 0 : 1);
        view.addListItem("LstB2", "https://secret-clinic.example/appointment");
    }
};

TEST_F(Run, NoChangesNothing) {
    ui.answers.push_back(ui::MsgAnswer::No);
    run.cmdNext_Click();
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Confirm removal");
    EXPECT_EQ(ui.messages[0].defaultButton, ui::MsgDefault::Second);  // Enter alone cleans nothing
    // Finding what would go shows the hourglass, and the pointer is back as it was.
    EXPECT_EQ(ui.pointers.back(), ui::MousePointer::Default);
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "2");
    EXPECT_EQ(view.listItems("LstB2").size(), 1u);
}

TEST_F(Run, TheDefaultOptionsCleanEverythingAndSaySo) {
    TempDir::write(tmp / "kept-without-chk5", "x");
    run.cmdNext_Click();
    EXPECT_EQ(test::verdictOf(ui.messages.back().text), "Your Internet History is now deleted.");
    // Then what went, area by area, and what stayed on purpose.
    EXPECT_NE(ui.messages.back().text.find("\n\nRemoved:\nHistory: "), std::string::npos) << ui.messages.back().text;
    EXPECT_NE(ui.messages.back().text.find("\nCookies: 2 items\nKept: your bookmarks and saved passwords."),
              std::string::npos)
        << ui.messages.back().text;
    EXPECT_EQ(ui.messages.back().icon, ui::MsgIcon::Information);
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "0");
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "formhistory.sqlite", "SELECT count(*) FROM moz_formhistory"), "0");
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "places.sqlite", "SELECT count(*) FROM moz_historyvisits"), "0");
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "places.sqlite", "SELECT count(*) FROM moz_bookmarks"), "2");
    EXPECT_TRUE(fs::exists(tmp / "kept-without-chk5"));
    EXPECT_EQ(view.listItems("LstB2"), (std::vector<std::string>{"All files were deleted.."}));
    EXPECT_EQ(view.listItems("LstB3"), (std::vector<std::string>{"All files were deleted.."}));
    EXPECT_EQ(ui.pendingEventCalls, 1);
    EXPECT_EQ(ui.pointers.front(), ui::MousePointer::Hourglass);
    EXPECT_EQ(ui.pointers.back(), ui::MousePointer::Default);
    for (const char* b : {"cmdNext", "cmdFile", "cmdFolder"}) EXPECT_TRUE(view.isEnabled(b)) << b;
}

// "All files were deleted.." only stands in a list that is really empty after the run: what a
// running Firefox kept, or cookies that were not chosen, are still listed.
TEST_F(Run, TheListsShowWhatTheRunLeft) {
    view.setCheckValue("chk4", 0);
    run.cmdNext_Click();
    EXPECT_EQ(view.listItems("LstB2"), (std::vector<std::string>{"All files were deleted.."}));
    EXPECT_EQ(view.listItems("LstB3"),
              (std::vector<std::string>{"Cookie:ana@news.example/world", "Cookie:ana@secret-clinic.example/"}));

    FirefoxFixture::writeCacheEntry(cacheFolder, "07", "a,:https://still-open.example/");
    TempDir::write(profile / ".parentlock", "");
    view.setCheckValue("chk4", 1);
    {
        test::HeldLock firefox(profile / ".parentlock");
        ASSERT_TRUE(firefox.held());
        run.cmdNext_Click();
    }
    EXPECT_EQ(view.listItems("LstB2"), (std::vector<std::string>{"https://still-open.example/"}));
    EXPECT_EQ(view.listItems("LstB3").size(), 2u);
}

TEST_F(Run, NothingSelectedOrGreyedDeletesNothing) {
    for (int n = 1; n <= 6; ++n) view.setCheckValue("chk" + std::to_string(n), n % 2 ? 0 : 2);
    run.cmdNext_Click();
    EXPECT_EQ(ui.messages.back().text, "Your Internet History is now deleted.\n\nThere was nothing to remove.");
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "2");
    EXPECT_TRUE(fs::exists(cacheFolder / "cache2/entries/01"));
    // The lists name what is there now.
    EXPECT_EQ(view.listItems("LstB2"),
              (std::vector<std::string>{"https://secret-clinic.example/appointment", "https://cdn.example/x.js"}));
}

TEST_F(Run, OnlyCookiesLeavesTheRestAndTheLists) {
    for (int n = 1; n <= 6; ++n) view.setCheckValue("chk" + std::to_string(n), n == 4 ? 1 : 0);
    run.cmdNext_Click();
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "0");
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "places.sqlite", "SELECT count(*) FROM moz_historyvisits"), "2");
    EXPECT_EQ(view.listItems("LstB2"),
              (std::vector<std::string>{"https://secret-clinic.example/appointment", "https://cdn.example/x.js"}));
    EXPECT_EQ(view.listItems("LstB3"), (std::vector<std::string>{"All files were deleted.."}));
}

// The question carries the plan, and the run carries out that plan and nothing else: what came
// while the question was open stays, and is named apart. A kept site's cookies stay too.
TEST_F(Run, TheRunCarriesOutThePlanItShowedAndNamesWhatCameAfter) {
    run.setKeepList(common::KeepList::parse("news.example"));
    ui.onMessage = [&] {
        if (ui.messages.size() == 1)
            FirefoxFixture::writeCacheEntry(cacheFolder, "09", "a,:https://came-later.example/");
    };
    run.cmdNext_Click();
    const auto& question = ui.messages.front();
    EXPECT_EQ(question.detailsButton, "&Show what will be removed");
    auto listed = [&](const std::string& line) {
        return std::find(question.details.begin(), question.details.end(), line) != question.details.end();
    };
    std::string all;
    for (const auto& d : question.details) all += d + "\n";
    EXPECT_TRUE(listed("Firefox, profile Profile0:")) << all;
    // Two entries with their sizes and the damaged file beside them.
    EXPECT_NE(all.find("    " + strings.LoadLangString(text::AreaInternetFiles) + ": 3 items, "), std::string::npos)
        << all;
    EXPECT_TRUE(listed("https://secret-clinic.example/appointment"));
    EXPECT_TRUE(listed("Cookie:ana@secret-clinic.example/"));
    EXPECT_FALSE(listed("Cookie:ana@news.example/world"));

    EXPECT_TRUE(fs::exists(cacheFolder / "cache2/entries/09"));
    EXPECT_FALSE(fs::exists(cacheFolder / "cache2/entries/01"));
    const std::string said = ui.messages.back().text;
    EXPECT_NE(said.find("1 items appeared after the list of what would be removed was made"), std::string::npos)
        << said;
    EXPECT_NE(said.find("https://came-later.example/"), std::string::npos) << said;
    EXPECT_EQ(view.listItems("LstB2"), (std::vector<std::string>{"https://came-later.example/"}));
}

// The system's own traces are found item by item before the question and shown with their
// count and size per area; the run takes exactly those. What came while the question was open
// stays and is named apart; a temporary file opened or written to since is in use, and stays
// without a word.
TEST_F(Run, TheSystemsTracesAreFoundItemByItemAndOnlyThoseGo) {
    for (int n = 1; n <= 6; ++n) view.setCheckValue("chk" + std::to_string(n), n == 3 || n >= 5 ? 1 : 0);
    const auto xbel = home / ".local/share/recently-used.xbel";
    auto xbelWith = [&](const std::vector<std::string>& names) {
        std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\">\n";
        for (const auto& f : names)
            text += "  <bookmark href=\"file:///home/ana/" + f +
                    "\" added=\"2026-12-01T10:00:00Z\">\n    <info><metadata/></info>\n  </bookmark>\n";
        TempDir::write(xbel, text + "</xbel>\n");
    };
    auto ageOne = [](const fs::path& f, int hours) {
        fs::last_write_time(f, fs::file_time_type::clock::now() - std::chrono::hours(hours));
    };
    const std::string typedUrls = desktop::kTypedUrlsKey;
    auto typed = [&](const std::string& name) { return reg(typedUrls, name).Value(); };
    const auto thumbs = home / ".cache/thumbnails/normal";
    int held = -1;
    struct Row {
        const char* area;  // the preview's line for it, up to the size
        std::function<void()> before, during, after;
        std::string appeared;
    };
    const std::vector<Row> rows = {
        {"    Temporary files: 3 items, 12 B",
         [&] {
             for (const char* f : {"a.log", "b.log", "c"}) TempDir::write(tmp / f, "four");
             ageAll(tmp);
         },
         [&] {
             TempDir::write(tmp / "b.log", "rewritten");
             ageOne(tmp / "b.log", 3);
             held = ::open((tmp / "c").c_str(), O_RDONLY);
             TempDir::write(tmp / "late.log", "x");
             ageOne(tmp / "late.log", 2);
         },
         [&] {
             EXPECT_FALSE(fs::exists(tmp / "a.log"));
             for (const char* f : {"b.log", "c", "late.log"}) EXPECT_TRUE(fs::exists(tmp / f)) << f;
         },
         (tmp / "late.log").string()},
        {"    Recent documents: 2 items, ",
         [&] {
             xbelWith({"secret.pdf", "notes.odt"});
         },
         [&] {
             xbelWith({"late.odt", "secret.pdf", "notes.odt"});
         },
         [&] {
             const auto left = TempDir::read(xbel);
             EXPECT_NE(left.find("late.odt"), std::string::npos) << left;
             EXPECT_EQ(left.find("secret.pdf"), std::string::npos) << left;
             EXPECT_EQ(left.find("notes.odt"), std::string::npos) << left;
         },
         "file:///home/ana/late.odt"},
        {"    Typed addresses: 1 items, 23 B", [&] { set(typedUrls, "url1", "http://secret.example/"); },
         [&] { set(typedUrls, "url2", "http://late.example/"); },
         [&] {
             EXPECT_EQ(typed("url1"), platform::RegVariant());
             EXPECT_EQ(typed("url2"), platform::RegVariant(std::string("http://late.example/")));
         },
         typedUrls + "\\url2"},
        {"    Thumbnails: 1 items, 7 B", [&] { TempDir::write(thumbs / "a.png", "picture"); },
         [&] { TempDir::write(thumbs / "late.png", "picture"); },
         [&] {
             EXPECT_FALSE(fs::exists(thumbs / "a.png"));
             EXPECT_TRUE(fs::exists(thumbs / "late.png"));
         },
         (thumbs / "late.png").string()},
    };
    for (const auto& r : rows) r.before();
    ui.onMessage = [&] {
        if (ui.messages.size() == 1)
            for (const auto& r : rows) r.during();
    };
    run.cmdNext_Click();
    ::close(held);
    const auto& details = ui.messages.front().details;
    std::string all;
    for (const auto& d : details) all += d + "\n";
    // The system's areas under one heading, though Firefox's steps came between them.
    EXPECT_EQ(std::count(details.begin(), details.end(), "This computer:"), 1) << all;
    const std::string said = ui.messages.back().text;
    EXPECT_NE(said.find("4 items appeared after the list of what would be removed was made"), std::string::npos)
        << said;
    for (const auto& r : rows) {
        EXPECT_NE(all.find(std::string(r.area)), std::string::npos) << r.area << "\n" << all;
        r.after();
        EXPECT_NE(said.find(r.appeared), std::string::npos) << r.appeared << "\n" << said;
    }
    for (const char* quiet : {"b.log", "c"}) EXPECT_EQ(said.find((tmp / quiet).string()), std::string::npos) << said;
}

TEST_F(Run, FailuresAreToldNotHidden) {
    TempDir::write(profile / "formhistory.sqlite", std::string(4096, 'G'));  // damaged
    run.cmdNext_Click();
    const auto& m = ui.messages.back();
    EXPECT_EQ(m.icon, ui::MsgIcon::Exclamation);
    EXPECT_EQ(m.text.rfind("Not everything could be cleaned:", 0), 0u) << m.text;
    EXPECT_NE(m.text.find("Form data: "), std::string::npos);
    EXPECT_NE(m.text.find("damaged"), std::string::npos);
    EXPECT_TRUE(view.isEnabled("cmdNext"));
}

TEST_F(Run, ARunDuringAShredLeavesTheShreddersButtonsDisabled) {
    busy.begin(ui::BusyState::Run::Shred);
    view.setEnabled("cmdFile", false);
    run.cmdNext_Click();
    EXPECT_FALSE(view.isEnabled("cmdFile"));
    EXPECT_FALSE(view.isEnabled("cmdNext"));
}

// The store the system's traces are kept in holds a value nobody can read: the run still
// empties everything else, cleans the readable part of the store, and ends by naming the store
// and the copy kept of it instead of claiming that everything was deleted.
TEST_F(Run, ADamagedStoreIsNamedAndTheCookiesStillGo) {
    const auto file = dir / "damaged/registry.reg";
    TempDir::write(file, std::string("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\") +
                             desktop::kTypedUrlsKey + "]\r\n\"url1\"=\"http://secret.example/\"\r\n\"x\"=dword:zz\r\n");
    platform::RegistryStore damaged{file, &folders};
    CleaningRun hurt{{view, ui, strings, busy, {damaged, ini, files, folders}, &cache, nullptr, &processes}};
    hurt.cmdNext_Click();

    EXPECT_EQ(FirefoxFixture::queryOne(profile / "cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "0");
    const auto& m = ui.messages.back();
    EXPECT_EQ(m.icon, ui::MsgIcon::Exclamation);
    EXPECT_EQ(m.text.rfind("Not everything could be cleaned:", 0), 0u) << m.text;
    const auto kept = damaged.damage()->keptAs;
    EXPECT_NE(m.text.find("(" + file.string() + ") was damaged (line 5). Its original"), std::string::npos) << m.text;
    EXPECT_NE(m.text.find("kept as " + kept.string() + ";"), std::string::npos) << m.text;
    EXPECT_NE(TempDir::read(kept).find("dword:zz"), std::string::npos);
    EXPECT_EQ(TempDir::read(file).find("secret.example"), std::string::npos);  // the readable part was cleaned
    EXPECT_EQ(hurt.lastReport().failures().size(), 0u) << "only the store is named";
}

// A registry whose calls throw, or refuse, the way a failing disk or an unforeseen fault would.
class FailingRegistry : public platform::IRegistry {
public:
    enum class Mode { ThrowStd, ThrowOther, Refuse } mode = Mode::ThrowStd;
    std::string closedKey;  // when it exists, it refuses to open
    explicit FailingRegistry(platform::IRegistry& real) : m_real(real) {}
    long openKey(platform::RegKey p, const std::string& s, platform::RegKey& o) override {
        const long rc = m_real.openKey(p, s, o);
        if (rc != platform::kErrorSuccess || s != closedKey) return rc;
        EXPECT_EQ(m_real.closeKey(o), platform::kErrorSuccess);
        o = 0;
        return platform::kErrorAccessDenied;
    }
    long createKey(platform::RegKey p, const std::string& s, platform::RegKey& o, bool* e) override {
        return m_real.createKey(p, s, o, e);
    }
    long closeKey(platform::RegKey k) override { return m_real.closeKey(k); }
    long queryValue(platform::RegKey k, const std::string& n, std::uint32_t& t, std::vector<std::uint8_t>& d,
                    std::uint32_t& size) override {
        return m_real.queryValue(k, n, t, d, size);
    }
    long setValue(platform::RegKey k, const std::string& n, std::uint32_t t,
                  const std::vector<std::uint8_t>& d) override {
        return m_real.setValue(k, n, t, d);
    }
    long deleteKey(platform::RegKey, const std::string&) override {
        if (mode == Mode::ThrowStd) throw std::runtime_error("the disk went away");
        if (mode == Mode::ThrowOther) throw 42;
        return platform::kErrorAccessDenied;
    }
    long deleteTree(platform::RegKey p, const std::string& s) override { return deleteKey(p, s); }
    long deleteValue(platform::RegKey k, const std::string& n) override { return m_real.deleteValue(k, n); }
    long enumKey(platform::RegKey k, std::uint32_t i, std::string& n) override { return m_real.enumKey(k, i, n); }
    long enumValue(platform::RegKey k, std::uint32_t i, std::string& n, std::uint32_t& t) override {
        return m_real.enumValue(k, i, n, t);
    }

private:
    platform::IRegistry& m_real;
};

TEST_F(Run, AStepThatThrowsOrIsRefusedIsToldAsNotDone) {
    FailingRegistry failing(registry);
    // A step that throws is told by the key it cleans; a refusal names the subkey refused.
    const std::string typedKey = std::string("Typed addresses: ") + desktop::kTypedUrlsKey;
    const std::string form = std::string("Form data: ") + desktop::kFormDataKey + ": ";
    for (auto [mode, why, typedWhat] :
         {std::tuple{FailingRegistry::Mode::ThrowStd, "the disk went away", ": "},
          std::tuple{FailingRegistry::Mode::ThrowOther, "an unexpected error stopped this step", ": "},
          std::tuple{FailingRegistry::Mode::Refuse, "the store refused the change", "\\older: "}}) {
        const std::string typed = typedKey + typedWhat;
        set(std::string(desktop::kTypedUrlsKey) + "\\older", "url1", "http://secret.example/");
        set(desktop::kFormDataKey, "x", "saved form");
        failing.mode = mode;
        fs::remove_all(profile);
        FirefoxFixture::makeProfile(profile);
        test::ScriptedUi answers;
        CleaningRun withFailures{
            {view, answers, strings, busy, {failing, ini, files, folders}, &cache, nullptr, &processes}};
        withFailures.cmdNext_Click();
        EXPECT_EQ(FirefoxFixture::queryOne(profile / "cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "0");
        const auto& m = answers.messages.back();
        EXPECT_EQ(m.text.rfind("Not everything could be cleaned:", 0), 0u) << m.text;
        EXPECT_NE(m.text.find(typed + why), std::string::npos) << m.text;
        EXPECT_NE(m.text.find(form + why), std::string::npos) << m.text;
        EXPECT_TRUE(view.isEnabled("cmdNext"));
    }
}

// A key that is not there holds nothing to delete; one that is there but will not open keeps its
// values, and says so once.
TEST_F(Home, ARecentDocumentsKeyThatWillNotOpenIsReported) {
    FailingRegistry failing(registry);
    failing.closedKey = desktop::kRecentDocsKey;
    common::CleanReport seen;
    desktop::cCleanInternet withIt{{failing, files, folders, nullptr, &processes}, seen};
    withIt.CleanRecentFilesMenu();
    EXPECT_TRUE(seen.clean());
    set(desktop::kRecentDocsKey, "a", "doc");
    set(desktop::kRecentDocsKey, "MRUList", "a");
    withIt.CleanRecentFilesMenu();
    ASSERT_EQ(seen.failures().size(), 1u);
    EXPECT_EQ(seen.failures()[0].area, common::CleanArea::Recent);
    EXPECT_EQ(seen.failures()[0].what, desktop::kRecentDocsKey);
    EXPECT_EQ(seen.failures()[0].reason, "the key could not be opened (access denied)");
    EXPECT_EQ(reg(desktop::kRecentDocsKey, "a").Value(), platform::RegVariant(std::string("doc")));
}

// A subkey the store will not delete keeps its documents and is named; every value still goes,
// and only what went is counted.
TEST_F(Home, ARecentDocumentsSubkeyThatWillNotGoIsReported) {
    FailingRegistry failing(registry);
    failing.mode = FailingRegistry::Mode::Refuse;
    common::CleanReport seen;
    desktop::cCleanInternet withIt{{failing, files, folders, nullptr, &processes}, seen};
    writeWindowsRecentDocs();
    withIt.CleanRecentFilesMenu();
    const std::string docs = desktop::kRecentDocsKey;
    ASSERT_EQ(seen.failures().size(), 2u);
    EXPECT_EQ(seen.failures()[0].what, docs + ".docx");
    EXPECT_EQ(seen.failures()[1].what, docs + "Folder");
    EXPECT_EQ(seen.failures()[1].reason, "the store refused the change");
    EXPECT_EQ(valuesAndSubkeys(docs), 2u);
    EXPECT_EQ(valuesAndSubkeys(docs + "Folder\\Deeper"), 1u);
    EXPECT_EQ(seen.removedTally().at(common::CleanArea::Recent).items, 3u);
}

// A folder that cannot be read still holds what the user asked to remove: it is named, not
// passed over as if it were empty. A folder that is not there is nothing to clean.
class UnlistableFolders : public test::FaultyFileService {
public:
    using FaultyFileService::FaultyFileService;
    std::set<std::string> claimRegular;  // a folder passed off as a file, whose reading then fails
    platform::Result<platform::FileStatus> status(const fs::path& p) override {
        auto st = FaultyFileService::status(p);
        if (st && claimRegular.contains(p.string())) st->type = platform::FileType::Regular;
        return st;
    }
};

TEST_F(Home, FoldersThatCannotBeReadAreReported) {
    UnlistableFolders unlistable(files);
    const auto recent = home / ".local/share/RecentDocuments";
    const auto cache = home / ".cache/mozilla/firefox/Profiles/o/cache2/entries";
    TempDir::write(recent / "closed/doc.desktop", "x");
    TempDir::write(cache / "entry", "x");
    TempDir::write(home / ".config/mozilla/firefox/profiles.ini", "[Profile0]\nPath=Profiles/o\n");
    fs::create_directories(home / ".config/mozilla/firefox/Profiles/o");
    unlistable.failListFor = {(recent / "closed").string(), cache.string()};
    common::CleanReport seen;
    desktop::cCleanInternet system{{registry, unlistable, folders, nullptr, &processes}, seen};
    system.CleanRecentFilesMenu();
    firefox::cFireFox firefox{{registry, ini, unlistable, folders}, &processes, seen};
    firefox.ClearFirefoxCache();
    ASSERT_EQ(seen.failures().size(), 2u);
    EXPECT_EQ(seen.failures()[0].area, common::CleanArea::Recent);
    EXPECT_EQ(seen.failures()[0].what, (recent / "closed").string());
    EXPECT_EQ(seen.failures()[0].reason, "Permission denied");
    EXPECT_EQ(seen.failures()[1].area, common::CleanArea::Cache);
    EXPECT_EQ(seen.failures()[1].what, cache.string());

    // A profile list that cannot be read hides its profiles: that is said, not taken as "no Firefox".
    const auto list = home / ".mozilla/firefox/profiles.ini";
    fs::create_directories(list);
    unlistable.claimRegular = {list.string()};
    common::CleanReport cookies;
    firefox::cFireFox(firefox::FirefoxProfiles::Services{registry, ini, unlistable, folders}, &processes, cookies)
        .ClearFirefoxCookies();
    ASSERT_EQ(cookies.failures().size(), 1u);
    EXPECT_EQ(cookies.failures()[0].what, list.string());
    EXPECT_EQ(cookies.failures()[0].reason.rfind("cannot read " + list.string(), 0), 0u)
        << cookies.failures()[0].reason;

    common::CleanReport none;
    desktop::cCleanInternet nothing{{registry, files, folders, nullptr, &processes}, none};
    fs::remove_all(recent);
    nothing.CleanRecentFilesMenu();
    EXPECT_TRUE(none.clean());
}

// A cache that cannot be walked is told as not cleaned, and the pointer still comes back.
TEST_F(Run, ACacheThatCannotBeWalkedIsToldAsNotCleaned) {
    struct Unwalkable : platform::IUrlCache {
        std::optional<platform::UrlCacheEntry> findFirst(platform::UrlCacheFind&) override {
            throw std::runtime_error("the cache index is unreadable");
        }
        std::optional<platform::UrlCacheEntry> findNext(platform::UrlCacheFind) override { return std::nullopt; }
        void findClose(platform::UrlCacheFind) override {}
        platform::Status deleteEntry(const std::string&) override { return {}; }
    } unwalkable;
    CleaningRun withIt{{view, ui, strings, busy, ff, &unwalkable, nullptr, &processes}};
    withIt.cmdNext_Click();
    EXPECT_NE(ui.messages.back().text.find(strings.LoadLangString(text::AreaInternetFiles) +
                                           ": the cache index is unreadable"),
              std::string::npos)
        << ui.messages.back().text;
    EXPECT_EQ(ui.pointers.back(), ui::MousePointer::Default);
    EXPECT_EQ(FirefoxFixture::queryOne(profile / "cookies.sqlite", "SELECT count(*) FROM moz_cookies"), "0");
}

TEST(ReportedStep, RecordsWhatWasNotDoneAndNeverThrows) {
    std::vector<std::string> recorded;
    auto record = [&](const std::string& why) { recorded.push_back(why); };
    EXPECT_TRUE(ui::reportedStep([] {}, record));
    EXPECT_TRUE(ui::reportedStep([] { return platform::Status(); }, record));
    EXPECT_TRUE(recorded.empty());
    EXPECT_FALSE(ui::reportedStep([] { return platform::Status(platform::Error{5, "refused"}); }, record));
    EXPECT_TRUE(ui::reportedStep([] { return platform::Result<int>(1); }, record));
    EXPECT_FALSE(ui::reportedStep([] { return platform::Result<int>(platform::Error{2, "missing"}); }, record));
    EXPECT_FALSE(ui::reportedStep([] { throw std::runtime_error("thrown"); }, record));
    EXPECT_FALSE(ui::reportedStep([] { throw 1; }, record));
    EXPECT_EQ(recorded, (std::vector<std::string>{"refused", "missing", "thrown", ""}));
    // A recorder that fails in turn does not stop the caller either.
    EXPECT_FALSE(ui::reportedStep([] { throw 1; }, [](const std::string&) { throw 2; }));
}

TEST_F(Home, TheRunFollowsItsFixedOrder) {
    // Each option leaves one file of its own to remove, so the order of removals is the order of the run.
    test::FaultyFileService recording(files);
    firefox::FirefoxProfiles::Services ff{registry, ini, recording, folders};
    const auto profile = home / ".config/mozilla/firefox/Profiles/o";
    TempDir::write(home / ".config/mozilla/firefox/profiles.ini", "[Profile0]\nPath=Profiles/o\n");
    for (const char* f : {"prefs.js", "times.json", "history.dat", "cookies.txt", "formhistory.dat"})
        TempDir::write(profile / f, "x");
    TempDir::write(home / ".cache/mozilla/firefox/Profiles/o/Cache/entry", "x");
    TempDir::write(home / ".local/share/RecentDocuments/doc.desktop", "x");
    TempDir::write(tmp / "idle.tmp", "x");
    ageAll(tmp);
    test::FakeFormView view;
    test::ScriptedUi ui;
    platform::EmbeddedStringResource res;
    ui::StringTable strings{&res, &ui};
    ui::BusyState busy;
    CleaningRun run{{view, ui, strings, busy, ff, nullptr, nullptr, &processes}};
    for (int n = 1; n <= 6; ++n) view.setCheckValue("chk" + std::to_string(n), 1);
    run.cmdNext_Click();
    std::vector<std::string> names;
    for (const auto& r : recording.removed) names.push_back(fs::path(r).filename().string());
    EXPECT_EQ(names, (std::vector<std::string>{"entry", "formhistory.dat", "history.dat", "doc.desktop", "idle.tmp",
                                               "cookies.txt"}));
}

}  // namespace
}  // namespace quenvor::cleaning
