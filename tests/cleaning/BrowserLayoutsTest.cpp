// Browser folders laid out otherwise than the common case: Opera's single profile in the
// browser's own folder, and on Windows the application-data layout and lock files.
#include <gtest/gtest.h>

#include "cleaning/chromium/ChromiumProfiles.h"
#include "cleaning/chromium/ChromiumRunning.h"
#include "cleaning/chromium/cChromium.h"
#include "cleaning/desktop/LibreOfficeRunning.h"
#include "cleaning/firefox/FirefoxProfiles.h"
#include "support/ChromiumFixture.h"
#include "support/FirefoxFixture.h"
#include "support/TempDir.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/IKnownFolders.h"
#include "platform/windows/WindowsFileService.h"
#include "platform/windows/WindowsProcessTable.h"
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/FakeHome.h"
#endif

namespace quenvor::cleaning {
namespace {

using test::ChromiumFixture;
using test::FirefoxFixture;
using test::TempDir;
namespace fs = std::filesystem;

std::string cookiesLeft(const fs::path& profile) {
    return FirefoxFixture::queryOne(profile / "Network/Cookies", "SELECT count(*) FROM cookies");
}

#ifndef _WIN32

class OperaLayout : public ::testing::Test, protected test::FakeHome {
protected:
    common::CleanReport report;
    fs::path root = home / ".config/opera";
    fs::path cacheRoot = home / ".cache/opera";
    void SetUp() override {
        ChromiumFixture::makeProfile(root);
        TempDir::write(root / "Local State", "{}");
        TempDir::write(cacheRoot / "Cache/Cache_Data/1234_0", "cached");
    }
    chromium::cChromium cleaner() {
        chromium::cChromium c({files, folders}, &processes, report);
        return c;
    }
};

TEST_F(OperaLayout, TheProfileInTheBrowsersOwnFolderIsCleanedAndItsOpenStoresTellItRuns) {
    const auto found = chromium::ChromiumProfiles({files, folders}).find();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].browser, "Opera");
    EXPECT_EQ(found[0].folder, root);
    EXPECT_EQ(found[0].cacheFolder, cacheRoot);

    {
        // The browser's id in a dead lock means nothing; its open History says it runs.
        const pid_t ended = ::fork();
        if (ended == 0) ::_exit(0);
        ::waitpid(ended, nullptr, 0);
        fs::create_symlink(processes.hostName() + "-" + std::to_string(ended), root / "SingletonLock");
        const int fd = ::open((root / "History").c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        EXPECT_TRUE(chromium::ChromiumRunning::running(root, files, &processes));
        cleaner().ClearCookies();
        ::close(fd);
    }
    EXPECT_EQ(cookiesLeft(root), "2");
    ASSERT_EQ(report.failures().size(), 1u);
    EXPECT_TRUE(report.failures()[0].browserRunning);

    report.clear();
    const std::string bookmarks = TempDir::read(root / "Bookmarks");
    cleaner().ClearHistory();
    cleaner().ClearCookies();
    cleaner().ClearCache();
    EXPECT_TRUE(report.clean());
    EXPECT_EQ(FirefoxFixture::queryOne(root / "History", "SELECT count(*) FROM urls"), "0");
    EXPECT_EQ(cookiesLeft(root), "0");
    EXPECT_FALSE(fs::exists(cacheRoot / "Cache/Cache_Data/1234_0"));
    EXPECT_FALSE(fs::exists(root / "Cache/Cache_Data/index"));
    EXPECT_EQ(TempDir::read(root / "Bookmarks"), bookmarks);
    EXPECT_TRUE(fs::exists(root / "Local State"));
}

#else

// The Windows folders, moved into a temporary folder.
class MovedFolders : public platform::IKnownFolders {
public:
    explicit MovedFolders(const fs::path& base) : m_base(base) {}
    fs::path programFolder() override { return m_base / "program"; }
    fs::path temporaryFolder() override { return m_base / "temp"; }
    fs::path homeFolder() override { return m_base / "home"; }
    fs::path configHome() override { return m_base / "Roaming"; }
    fs::path cacheHome() override { return m_base / "Local"; }
    fs::path dataHome() override { return m_base / "Roaming"; }
    fs::path stateHome() override { return m_base / "Local"; }
    fs::path chromeConfigHome() override { return {}; }

private:
    fs::path m_base;
};

// A file held open without sharing, as the browsers hold their lock files on Windows.
class HeldOpen {
public:
    explicit HeldOpen(const fs::path& file) {
        TempDir::write(file, "");
        m_h = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    ~HeldOpen() {
        if (m_h != INVALID_HANDLE_VALUE) CloseHandle(m_h);
    }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;
    bool held() const { return m_h != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_h = INVALID_HANDLE_VALUE;
};

class WindowsLayout : public ::testing::Test {
protected:
    TempDir dir;
    MovedFolders folders{dir.path()};
    platform::windows::WindowsFileService files;
    platform::windows::WindowsProcessTable processes;
    common::CleanReport report;
    fs::path chromeRoot = dir / "Local/Google/Chrome/User Data";
    fs::path chrome = chromeRoot / "Default";
    fs::path opera = dir / "Roaming/Opera Software/Opera Stable";
    void SetUp() override {
        ChromiumFixture::makeProfile(chrome);
        ChromiumFixture::makeProfile(opera);
    }
    chromium::cChromium cleaner() {
        chromium::cChromium c({files, folders}, &processes, report);
        return c;
    }
};

TEST_F(WindowsLayout, EveryBrowserIsFoundWhereWindowsKeepsItAndARunningOneIsLeftAlone) {
    const auto found = chromium::ChromiumProfiles({files, folders}).find();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].browser, "Google Chrome");
    EXPECT_EQ(found[0].folder, chrome);
    EXPECT_EQ(found[0].cacheFolder, chrome);  // the caches live inside the profile
    EXPECT_EQ(found[1].browser, "Opera");
    EXPECT_EQ(found[1].folder, opera);
    EXPECT_EQ(found[1].cacheFolder, dir / "Local/Opera Software/Opera Stable");

    {
        HeldOpen chromeRuns(chromeRoot / "lockfile");
        ASSERT_TRUE(chromeRuns.held());
        EXPECT_TRUE(chromium::ChromiumRunning::running(chromeRoot, files, &processes));
        cleaner().ClearCookies();
    }
    EXPECT_EQ(cookiesLeft(chrome), "2");
    EXPECT_EQ(cookiesLeft(opera), "0");
    std::string told;
    for (const auto& f : report.failures()) told += f.what + ": " + f.reason + "\n";
    ASSERT_EQ(report.failures().size(), 1u) << told;
    EXPECT_TRUE(report.failures()[0].browserRunning);
    EXPECT_EQ(report.failures()[0].browser, "Google Chrome");

    // Once the browser has ended its lock file stays behind and means nothing.
    report.clear();
    EXPECT_FALSE(chromium::ChromiumRunning::running(chromeRoot, files, &processes));
    const std::string bookmarks = TempDir::read(chrome / "Bookmarks");
    cleaner().ClearCookies();
    cleaner().ClearHistory();
    cleaner().ClearCache();
    EXPECT_TRUE(report.clean());
    EXPECT_EQ(cookiesLeft(chrome), "0");
    EXPECT_EQ(FirefoxFixture::queryOne(chrome / "History", "SELECT count(*) FROM urls"), "0");
    EXPECT_FALSE(fs::exists(chrome / "Cache/Cache_Data/index"));
    EXPECT_FALSE(fs::exists(chrome / "Code Cache/js/aaaa_0"));
    EXPECT_EQ(TempDir::read(chrome / "Bookmarks"), bookmarks);
    EXPECT_TRUE(fs::exists(chrome / "History"));
}

TEST(WindowsFirefox, AProfileIsBusyWhileFirefoxHoldsItsLockFile) {
    TempDir dir;
    const firefox::FirefoxProfile profile{"default", dir / "profile", dir / "profile"};
    platform::windows::WindowsProcessTable processes;
    TempDir::write(profile.folder / "parent.lock", "");  // left behind by a Firefox that has ended
    EXPECT_FALSE(firefox::FirefoxProfiles::running(profile, &processes));
    HeldOpen firefox(profile.folder / "parent.lock");
    ASSERT_TRUE(firefox.held());
    EXPECT_TRUE(firefox::FirefoxProfiles::running(profile, &processes));
}

#endif

// A lock that names this machine and user in LibreOffice's own spelling of them is ours: a lock
// read as another's would let a running LibreOffice write back the list just emptied.
TEST(LibreOfficeLock, TheMachineAndUserAreKnownAsLibreOfficeSpellsThem) {
    EXPECT_TRUE(desktop::LibreOfficeRunning::sameHost("ANA-LAPTOP", "Ana-Laptop"));
    EXPECT_TRUE(desktop::LibreOfficeRunning::sameHost("DESKTOP-ANA-OFF", "desktop-ana-office-2"));  // the short name
    EXPECT_FALSE(desktop::LibreOfficeRunning::sameHost("DESKTOP-ANA", "desktop-ana-office-2"));
    EXPECT_FALSE(desktop::LibreOfficeRunning::sameHost("other-pc", "ana-laptop"));
    EXPECT_TRUE(desktop::LibreOfficeRunning::sameUser("ana", "ana"));
    EXPECT_FALSE(desktop::LibreOfficeRunning::sameUser("ana", "anab"));
    EXPECT_FALSE(desktop::LibreOfficeRunning::sameUser("bob", "ana"));
#ifdef _WIN32
    EXPECT_TRUE(desktop::LibreOfficeRunning::sameUser("Jos?", "José"));
    EXPECT_TRUE(desktop::LibreOfficeRunning::sameUser("?ukasz", "Łukasz"));
    EXPECT_FALSE(desktop::LibreOfficeRunning::sameUser("??ukasz", "Łukasz"));  // a two-byte letter is one '?'
    EXPECT_FALSE(desktop::LibreOfficeRunning::sameUser("?", "a"));
    EXPECT_TRUE(desktop::LibreOfficeRunning::sameUser("JOSE", "jose"));
    EXPECT_FALSE(desktop::LibreOfficeRunning::sameUser("Jos?", "Jose"));
#else
    EXPECT_FALSE(desktop::LibreOfficeRunning::sameUser("Jos?", "José"));
    EXPECT_FALSE(desktop::LibreOfficeRunning::sameUser("JOSE", "jose"));
#endif
}

}  // namespace
}  // namespace quenvor::cleaning
