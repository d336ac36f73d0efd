// The program's own start-up on Windows against WinINet itself (Wine's, in CI) and a Firefox and
// a Chrome profile in the user's application-data folders: what each keeps is on page one, and a
// run that says it is gone left none of it.
#include <windows.h>
// After windows.h, which it expects first.
#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/IKnownFolders.h"
#include "platform/IProcessTable.h"
#include "platform/NativePlatform.h"
#include "shell/AppServices.h"
#include "shell/StartForm.h"
#include "support/ChromiumFixture.h"
#include "support/FakeFormView.h"
#include "support/Fakes.h"
#include "support/FirefoxFixture.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "text/TextIds.h"

namespace quenvor::shell {
namespace {

struct Made {
    std::string url;
    DWORD type;
    std::filesystem::path file;
};

// An entry the way a browser makes one: a file for it in the cache, then the commit.
bool make(Made& m) {
    char file[MAX_PATH] = {};
    if (!CreateUrlCacheEntryA(m.url.c_str(), 0, "htm", file, 0)) return false;
    m.file = file;
    { std::ofstream(m.file, std::ios::binary) << "secret of " << m.url; }
    FILETIME never{};
    return CommitUrlCacheEntryA(m.url.c_str(), file, never, never, m.type, nullptr, 0, nullptr, nullptr) != FALSE;
}

// What FindFirstUrlCacheEntry walks now, by name; a record larger than the buffer grows it.
std::vector<std::string> cachedNames() {
    std::vector<std::string> names;
    std::vector<char> buffer(4096);
    auto info = [&] { return reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data()); };
    DWORD size = static_cast<DWORD>(buffer.size());
    HANDLE find = FindFirstUrlCacheEntryA(nullptr, info(), &size);
    if (!find && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        buffer.resize(size);
        find = FindFirstUrlCacheEntryA(nullptr, info(), &size);
    }
    if (!find) return names;
    for (;;) {
        if (info()->lpszSourceUrlName) names.emplace_back(info()->lpszSourceUrlName);
        size = static_cast<DWORD>(buffer.size());
        BOOL more = FindNextUrlCacheEntryA(find, info(), &size);
        if (!more && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
            buffer.resize(size);
            more = FindNextUrlCacheEntryA(find, info(), &size);
        }
        if (!more) break;
    }
    FindCloseUrlCache(find);
    return names;
}

bool has(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

TEST(RealWinInet, PagesAndCookiesAreListedThenErasedAndTheRunTellsTheTruth) {
    std::vector<Made> pages = {{"http://quenvor-run.example/one", NORMAL_CACHE_ENTRY, {}},
                               {"http://quenvor-run.example/two?q=1", NORMAL_CACHE_ENTRY, {}},
                               {"https://quenvor-run.example/three", NORMAL_CACHE_ENTRY, {}}};
    // A cookie as WinINet's own client marks it, normal as well: still no page.
    std::vector<Made> cookies = {{"Cookie:ana@quenvor-run.example/", COOKIE_CACHE_ENTRY, {}},
                                 {"Cookie:ana@quenvor-run.example/sub/", COOKIE_CACHE_ENTRY | NORMAL_CACHE_ENTRY, {}}};
    platform::NativePlatform native;
    // Where each browser keeps its profiles on Windows, as the known folders name them.
    auto& folders = *native.services().folders;
    const std::filesystem::path firefox = folders.configHome() / "Mozilla/Firefox",
                                chrome = folders.cacheHome() / "Google/Chrome/User Data";
    for (const auto& f : {firefox, chrome})
        if (std::filesystem::exists(f)) GTEST_SKIP() << f << " exists: a real browser's folder is never touched";
    struct Remove {
        std::vector<std::filesystem::path> folders;
        ~Remove() {
            std::error_code ec;
            for (const auto& f : folders) std::filesystem::remove_all(f, ec);
        }
    } cleanUp{{firefox, folders.cacheHome() / "Mozilla/Firefox", chrome}};
    for (auto* set : {&pages, &cookies})
        for (auto& m : *set) ASSERT_TRUE(make(m)) << m.url << ": " << GetLastError();

    test::TempDir::write(firefox / "profiles.ini", "[Profile0]\nPath=Profiles/a\n");
    test::FirefoxFixture::makeProfile(firefox / "Profiles/a");
    test::FirefoxFixture::writeCacheEntry(folders.cacheHome() / "Mozilla/Firefox/Profiles/a", "01",
                                          "a,:https://firefox-windows.example/page");
    test::ChromiumFixture::makeProfile(chrome / "Default");
    const std::string user = native.services().processes->currentUserName();
    pages.push_back({"https://firefox-windows.example/page", 0, {}});
    pages.push_back({"https://secret-clinic.example/appointment", 0, {}});
    cookies.push_back({"Cookie:" + user + "@secret-clinic.example/", 0, {}});

    AppServices app(native.services());
    auto& services = app.services();
    test::MemorySettingsStore settings;
    services.settings = &settings;
    test::FakeFormView view;
    test::ScriptedUi ui;
    StartForm form(view, ui, services);
    form.Form_Load();
    const auto visited = view.listItems("LstB2"), listedCookies = view.listItems("LstB3");
    for (const auto& m : pages) EXPECT_TRUE(has(visited, m.url)) << m.url;
    for (const auto& m : cookies) {
        EXPECT_TRUE(has(listedCookies, m.url)) << m.url;
        EXPECT_FALSE(has(visited, m.url)) << m.url;
    }

    for (int n = 1; n <= 6; ++n) view.setCheckValue("chk" + std::to_string(n), n == 2 || n == 4 ? 1 : 0);
    // What FindFirstUrlCacheEntry still finds, or whose file is still there.
    auto keptNow = [&] {
        const auto left = cachedNames();
        std::vector<std::string> kept;
        for (auto* set : {&pages, &cookies})
            for (const auto& m : *set) {
                std::error_code ec;
                if (has(left, m.url) || (!m.file.empty() && std::filesystem::exists(m.file, ec))) kept.push_back(m.url);
            }
        return kept;
    };
    const std::string allGone = form.strings().LoadLangString(text::CleaningDone);
    const std::vector<std::string> emptyList{form.strings().LoadLangString(text::ListClearedItem)};

    // One page held open, as a browser holds the page it shows: the system will not let it go.
    std::vector<char> held(4096);
    DWORD heldSize = static_cast<DWORD>(held.size());
    ASSERT_TRUE(RetrieveUrlCacheEntryFileA(pages[0].url.c_str(),
                                           reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(held.data()), &heldSize, 0))
        << GetLastError();
    ui.messages.clear();
    form.cmdNext_Click();
    ASSERT_EQ(ui.messages.size(), 2u);  // the question, then the outcome
    const std::string said = ui.messages[1].text;
    const auto kept = keptNow();
    UnlockUrlCacheEntryFileA(pages[0].url.c_str(), 0);
    EXPECT_TRUE(has(kept, pages[0].url)) << said;
    EXPECT_NE(test::verdictOf(said), allGone);
    for (const auto& url : kept) EXPECT_NE(said.find(url), std::string::npos) << url << " in:\n" << said;
    EXPECT_TRUE(has(view.listItems("LstB2"), pages[0].url));
    for (const auto& item : view.listItems("LstB2")) EXPECT_TRUE(has(kept, item)) << item;
    EXPECT_EQ(view.listItems("LstB3"), emptyList);

    // Released, it goes with the next run (Wine drops it at the release already), which then
    // rightly says all is gone.
    ui.messages.clear();
    form.cmdNext_Click();
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_TRUE(keptNow().empty());
    EXPECT_EQ(test::verdictOf(ui.messages[1].text), allGone);
    EXPECT_EQ(view.listItems("LstB2"), emptyList);
    // The browsers' own stores went with the same run.
    EXPECT_FALSE(std::filesystem::exists(folders.cacheHome() / "Mozilla/Firefox/Profiles/a/cache2/entries/01"));
    EXPECT_EQ(test::FirefoxFixture::queryOne(firefox / "Profiles/a/cookies.sqlite", "SELECT count(*) FROM moz_cookies"),
              "0");
    EXPECT_EQ(test::FirefoxFixture::queryOne(chrome / "Default/Network/Cookies", "SELECT count(*) FROM cookies"), "0");
}

}  // namespace
}  // namespace quenvor::shell
