#include <gtest/gtest.h>
#include <signal.h>  // NOLINT(modernize-deprecated-headers): kill() is POSIX, not in <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "cleaning/CleaningRun.h"
#include "cleaning/desktop/LibreOfficeRecent.h"
#include "cleaning/desktop/LibreOfficeRunning.h"
#include "cleaning/desktop/RecentlyUsedList.h"
#include "cleaning/desktop/ThumbnailCache.h"
#include "cleaning/desktop/cCleanInternet.h"
#include "cleaning/firefox/FirefoxProfiles.h"
#include "platform/EmbeddedStringResource.h"
#include "support/FakeFormView.h"
#include "support/FakeHome.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "ui/BusyState.h"
#include "ui/StringTable.h"

namespace quenvor::cleaning {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

class Traces : public ::testing::Test, protected test::FakeHome {
protected:
    common::CleanReport report;
    fs::path xcu = home / ".config/libreoffice/4/user/registrymodifications.xcu";
};

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\n";
const std::string kKeep =
    "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"FirstRun\" oor:op=\"fuse\">"
    "<value>false</value></prop></item>\n"
    "<item oor:path='/org.openoffice.Office.HistoriesElsewhere'><prop oor:name=\"x\"><value>1</value></prop></item>\n";
const std::string kHistory =
    "<item "
    "oor:path=\"/org.openoffice.Office.Histories/Histories/org.openoffice.Office.Histories:HistoryInfo['PickList']"
    "/ItemList/org.openoffice.Office.Histories:HistoryItem['file:///home/ana/diagnosis.odt']\">"
    "<prop oor:name=\"Title\" oor:op=\"fuse\"><value>diagnosis</value></prop></item>\n"
    "<item "
    "oor:path=\"/org.openoffice.Office.Histories/Histories/org.openoffice.Office.Histories:HistoryInfo['PickList']"
    "/OrderList/org.openoffice.Office.Histories:OrderItem['0']\"><prop oor:name=\"HistoryItemRef\" oor:op=\"fuse\">"
    "<value>file:///home/ana/diagnosis.odt</value></prop></item>\n";

TEST(LibreOffice, OnlyTheHistoryEntriesLeaveAndEverythingElseStaysByteForByte) {
    std::set<std::string> removed;
    const std::string file = kHead + kHistory + kKeep + kHistory + "</oor:items>\n";
    EXPECT_EQ(desktop::LibreOfficeRecent::withoutHistory(file, &removed), kHead + kKeep + "</oor:items>\n");
    EXPECT_EQ(removed.size(), 2u);  // the same two entries, twice
    const std::string clean = kHead + kKeep + "</oor:items>";
    EXPECT_EQ(desktop::LibreOfficeRecent::withoutHistory(clean, &removed), clean);
    EXPECT_TRUE(removed.empty());
    // A file cut short, or not laid out as LibreOffice writes it, is never rewritten.
    for (const std::string& odd :
         {std::string(), kHead + kHistory, kHead + kHistory + "</oor:items>\ntrailing",
          std::string("<item oor:path=\"/x\">"),
          kHead + "<item oor:path=\"/org.openoffice.Office.Histories/a\"><value>x</value>\n</oor:items>",
          kHead + "<item oor:path=\"/a\"><item oor:path=\"/b\"></item></item></oor:items>",
          kHead + "<item><value>no path</value></item></oor:items>",
          kHead + "<item oor:path=\"/org.openoffice.Office.Histories</oor:items>"})
        EXPECT_FALSE(desktop::LibreOfficeRecent::withoutHistory(odd)) << odd;
    // Other tags that begin alike are not items.
    const std::string items = kHead + "<items-note/>\n</oor:items>\n";
    EXPECT_EQ(desktop::LibreOfficeRecent::withoutHistory(items), items);
}

TEST_F(Traces, LibreOfficesListIsEmptiedAndAForeignFileIsReportedNotRewritten) {
    TempDir::write(xcu, kHead + kHistory + kKeep + "</oor:items>\n");
    desktop::LibreOfficeRecent(files, folders, &processes, report).clear();
    EXPECT_TRUE(report.clean());
    EXPECT_EQ(TempDir::read(xcu), kHead + kKeep + "</oor:items>\n");

    const auto flatpak =
        home / ".var/app/org.libreoffice.LibreOffice/config/libreoffice/4/user/registrymodifications.xcu";
    TempDir::write(flatpak, kHead + kHistory);  // cut short
    const auto snapTarget = dir / "elsewhere.xcu";
    TempDir::write(snapTarget, kHead + kHistory + "</oor:items>\n");
    const auto snap = home / "snap/libreoffice/current/.config/libreoffice/4/user/registrymodifications.xcu";
    fs::create_directories(snap.parent_path());
    fs::create_symlink(snapTarget, snap);
    desktop::LibreOfficeRecent(files, folders, &processes, report).clear();
    ASSERT_EQ(report.failures().size(), 2u);
    EXPECT_EQ(report.failures()[0].what, flatpak.string());
    EXPECT_EQ(report.failures()[1].what, snap.string());
    EXPECT_EQ(TempDir::read(flatpak), kHead + kHistory);
    EXPECT_TRUE(fs::is_symlink(snap));
    EXPECT_EQ(TempDir::read(snapTarget), kHead + kHistory + "</oor:items>\n");
}

// The desktop's list loses the bookmarks found, each with the line it stood on, and keeps every
// other as it was; left without any it is the bare list. A list not laid out as the desktop
// writes it is never rewritten from a guess.
TEST(RecentlyUsedList, OnlyTheBookmarksFoundLeave) {
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xbel version=\"1.0\">\n";
    const std::string a =
        "  <bookmark href=\"file:///a.pdf\" added=\"x\">\n    <info><metadata owner=\"o\">"
        "<bookmark:applications><bookmark:application name=\"e\"/></bookmark:applications>"
        "</metadata></info>\n  </bookmark>\n";
    const std::string b = "  <bookmark href='file:///b%20c.odt'/>\n";
    const std::set<std::string> goes = {"file:///a.pdf"};
    struct Case {
        std::string list;
        std::optional<std::string> after;
        std::size_t removed;
    };
    const std::vector<Case> cases = {
        {head + a + b + "</xbel>\n", head + b + "</xbel>\n", 1},
        {head + b + a + "</xbel>", head + b + "</xbel>", 1},
        {head + a + "</xbel>\n", desktop::RecentlyUsedList::kEmpty, 1},
        {head + b + "</xbel>\n", head + b + "</xbel>\n", 0},
        {head + a, std::nullopt, 0},                                 // cut short
        {head + a + "</xbel>\ntrailing", std::nullopt, 0},           // something after the list
        {head + "<bookmark added=\"x\"/></xbel>", std::nullopt, 0},  // a bookmark without its address
        {head + "<bookmark href=\"x\"><bookmark href=\"y\"/></xbel>", std::nullopt, 0},  // nested, unclosed
    };
    for (const auto& c : cases) {
        std::size_t removed = 9;
        EXPECT_EQ(desktop::RecentlyUsedList::without(c.list, goes, &removed), c.after) << c.list;
        EXPECT_EQ(removed, c.removed) << c.list;
    }
}

TEST(LibreOffice, TheLockNamesItsMachineAndUser) {
    const auto lock = desktop::LibreOfficeRunning::parseLock(
        "[Other]\nHost=elsewhere\n[Lockdata]\r\nUser= ana \r\nHost=desk-1\r\nStamp=0A1B\r\nTime=Wed Dec  9 "
        "05:00:00 2026\r\nIPCServer=true\r\n");
    EXPECT_EQ(lock.host, "desk-1");
    EXPECT_EQ(lock.user, "ana");
    for (const char* odd : {"", "[Lockdata]", "Host=desk-1\nUser=ana", "[Lockdata]\nHost"}) {
        const auto l = desktop::LibreOfficeRunning::parseLock(odd);
        EXPECT_FALSE(l.host || l.user) << odd;
    }
}

// A program of the given name, started from a copy of a harmless one, until the object ends.
class FakeProgram {
public:
    FakeProgram(const fs::path& folder, const std::string& name) {
        const fs::path exe = folder / name;
        fs::create_directories(folder);
        for (const char* sleep : {"/usr/bin/sleep", "/bin/sleep"})
            if (::access(sleep, X_OK) == 0 && fs::copy_file(sleep, exe)) break;
        std::string path = exe.string(), seconds = "120";
        char* argv[] = {path.data(), seconds.data(), nullptr};
        if (::posix_spawn(&m_pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) m_pid = 0;
        // Until the new process runs the copy, it still shows as the test itself.
        for (int i = 0; m_pid > 0 && i < 100; ++i) {
            std::error_code ec;
            if (fs::read_symlink("/proc/" + std::to_string(m_pid) + "/exe", ec) == exe) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~FakeProgram() { stop(); }
    bool started() const { return m_pid > 0; }
    void stop() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = 0;
    }

private:
    pid_t m_pid = 0;
};

// LibreOffice writes its list back when it ends: while it runs with the profile the list is
// left alone and the final message names it, as for a running browser. A lock left by a crash,
// written on another machine sharing the home or by another user, keeps nothing.
TEST_F(Traces, ARunningLibreOfficeKeepsItsListAndAStaleLockDoesNot) {
    const fs::path profile = home / ".config/libreoffice/4";
    const std::string listed = kHead + kHistory + kKeep + "</oor:items>\n";
    const std::string me = processes.currentUserName(), here = processes.hostName();
    auto lockAs = [&](const std::string& host, const std::string& user) {
        TempDir::write(profile / ".lock", "[Lockdata]\nUser=" + user + "\nHost=" + host +
                                              "\nStamp=4F2A\nTime=Wed Dec  9 05:00:00 2026\nIPCServer=true\n");
    };
    TempDir::write(xcu, listed);
    lockAs(here, me);
    FakeProgram office(dir / "program", "soffice.bin");
    if (!office.started()) GTEST_SKIP() << "no program can be started from " << dir.path();
    EXPECT_TRUE(desktop::LibreOfficeRunning::running(profile, files, &processes));
    EXPECT_FALSE(desktop::LibreOfficeRunning::running(profile, files, nullptr));

    test::FakeFormView view;
    test::ScriptedUi ui;
    platform::EmbeddedStringResource res;
    ui::StringTable strings{&res, &ui};
    strings.setLanguage(ui::kEnglish);
    ui::BusyState busy;
    for (int n = 1; n <= 6; ++n) view.setCheckValue("chk" + std::to_string(n), n == 6 ? 1 : 0);
    CleaningRun run{{view, ui, strings, busy, {registry, ini, files, folders}, nullptr, nullptr, &processes}};
    run.cmdNext_Click();
    EXPECT_EQ(TempDir::read(xcu), listed);
    const std::string text = ui.messages.back().text;
    EXPECT_NE(text.find("LibreOffice is running with the profile " + profile.string() +
                        ": it was left alone. Close LibreOffice and try again."),
              std::string::npos)
        << text;

    for (const auto& [host, user] :
         std::vector<std::pair<std::string, std::string>>{{"another-machine", me}, {here, me + "-someone-else"}}) {
        lockAs(host, user);
        EXPECT_FALSE(desktop::LibreOfficeRunning::running(profile, files, &processes)) << host << " " << user;
    }
    fs::remove(profile / ".lock");
    fs::create_symlink(dir / "elsewhere.lock", profile / ".lock");  // not a lock LibreOffice writes
    EXPECT_FALSE(desktop::LibreOfficeRunning::running(profile, files, &processes));
    fs::remove(profile / ".lock");
    EXPECT_FALSE(desktop::LibreOfficeRunning::running(profile, files, &processes));

    // LibreOffice ended without tidying up: its lock stays, and the list goes.
    lockAs(here, me);
    office.stop();
    EXPECT_FALSE(desktop::LibreOfficeRunning::running(profile, files, &processes));
    report.clear();
    desktop::LibreOfficeRecent(files, folders, &processes, report).clear();
    EXPECT_TRUE(report.clean());
    EXPECT_EQ(TempDir::read(xcu), kHead + kKeep + "</oor:items>\n");
}

TEST_F(Traces, RecentFilesEmptyTheThumbnailCacheOnly) {
    const auto thumbs = home / ".cache/thumbnails";
    for (const char* f :
         {"normal/a.png", "large/b.png", "x-large/c.png", "xx-large/d.png", "fail/gnome-thumbnail-factory/e.png"})
        TempDir::write(thumbs / f, "picture");
    TempDir::write(home / ".thumbnails/normal/old.png", "picture");
    TempDir::write(home / ".cache/other-program/keep", "x");
    TempDir::write(dir / "photo.jpg", "the user's own picture");
    fs::create_symlink(dir / "photo.jpg", thumbs / "normal/link.png");
    TempDir::write(xcu, kHead + kHistory + "</oor:items>\n");

    desktop::cCleanInternet clean{{registry, files, folders, nullptr, &processes}, report};
    clean.CleanRecentFilesMenu();
    EXPECT_TRUE(report.clean()) << report.failures().front().what;
    for (const char* d : {"normal", "large", "x-large", "xx-large", "fail/gnome-thumbnail-factory"}) {
        EXPECT_TRUE(fs::is_directory(thumbs / d)) << d;
        EXPECT_TRUE(fs::is_empty(thumbs / d)) << d;
    }
    EXPECT_TRUE(fs::is_empty(home / ".thumbnails/normal"));
    EXPECT_TRUE(fs::exists(home / ".cache/other-program/keep"));
    EXPECT_EQ(TempDir::read(dir / "photo.jpg"), "the user's own picture");
    EXPECT_EQ(TempDir::read(xcu), kHead + "</oor:items>\n");
}

TEST_F(Traces, FirefoxsKinAreFoundByTheSameProfileFinder) {
    TempDir::write(home / ".librewolf/profiles.ini", "[Profile0]\nName=wolf\nPath=abc.default-default\n");
    TempDir::write(home / ".var/app/net.waterfox.waterfox/.waterfox/profiles.ini",
                   "[Profile0]\nName=water\nPath=w.default\n");
    // Only folders that exist are taken as profiles.
    for (const auto& f :
         {home / ".librewolf/abc.default-default", home / ".var/app/net.waterfox.waterfox/.waterfox/w.default"})
        for (const char* name : {"prefs.js", "times.json"}) TempDir::write(f / name, "");
    const auto found = firefox::FirefoxProfiles({registry, ini, files, folders}).find();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].folder, home / ".librewolf/abc.default-default");
    EXPECT_EQ(found[0].cacheFolder, home / ".cache/librewolf/abc.default-default");
    EXPECT_EQ(found[1].folder, home / ".var/app/net.waterfox.waterfox/.waterfox/w.default");
    EXPECT_EQ(found[1].cacheFolder, home / ".var/app/net.waterfox.waterfox/cache/waterfox/w.default");
}

}  // namespace
}  // namespace quenvor::cleaning
